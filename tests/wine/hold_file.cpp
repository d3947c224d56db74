// Holds a file open without sharing, as a program the person has it open in
// does, then lets it go; or with "read", opens it only to read it, sharing
// everything, as a viewer or a virus scanner does.
//   hold_file <file> <milliseconds> [read]
// Writes "held" on standard output once it holds it; where it cannot open
// it, the system's error code on standard error, and ends with status 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const bool reading = argc == 4 && std::wcscmp(argv[3], L"read") == 0;
  if (argc != 3 && !reading) return 2;
  HANDLE file = CreateFileW(argv[1], reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                            reading ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_file: cannot open it: %lu\n", GetLastError());
    return 1;
  }
  // Straight to the handle: the C runtime's buffer would keep it until the end.
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "held\n", 5, &written, nullptr);
  Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
  CloseHandle(file);
  return 0;
}
