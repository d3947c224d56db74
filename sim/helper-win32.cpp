#include "sim/helper-win32.h"

int FileCopySimHelperVersion() { return 1; }
