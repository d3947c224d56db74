// Linked into the variant only: a call made when the DLL loads, so the loader
// has to find the helper before anything else runs.
#include "sim/helper-win32.h"

namespace {

[[maybe_unused]] const int kHelperVersion = FileCopySimHelperVersion();

}  // namespace
