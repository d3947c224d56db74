#include <string>
#include <vector>

#include "app/entry.h"

int main(int argc, char** argv) { return RunFileCopy(std::vector<std::string>(argv, argv + argc)); }
