#pragma once

#include <cstdio>

// Writes the usage text to out.
void WriteUsage(std::FILE* out);

// Writes the usage text to standard output, then waits for a key at the
// console (not standard input) when there is one.
void ShowUsage();
