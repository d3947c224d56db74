// Runs a program in a window station of its own, which nobody sees, as Task
// Scheduler runs a task "whether the user is logged on or not", and ends with
// its exit status. The program shares this one's console and standard handles.
//   invisible_station <program> [<argument>...]
// Status 124: it did not end within 30 s and was ended; 125: this could not
// set it up, or the station turned out to be visible, so nothing is proved.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kLimitMs = 30000;
constexpr int kDidNotEnd = 124;
constexpr int kNotSetUp = 125;

int Fail(const char* what) {
  std::fprintf(stderr, "invisible_station: %s failed with %lu\n", what, GetLastError());
  return kNotSetUp;
}

std::wstring Quoted(const wchar_t* argument) { return L"\"" + std::wstring(argument) + L"\""; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Fail("reading the arguments");
  const std::wstring station_name = L"FileCopyUnattended" + std::to_wstring(GetCurrentProcessId());
  HWINSTA station = CreateWindowStationW(station_name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  if (station == nullptr) return Fail("CreateWindowStationW");
  USEROBJECTFLAGS flags{};
  DWORD size = 0;
  if (!GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &size)) {
    return Fail("GetUserObjectInformationW");
  }
  if ((flags.dwFlags & WSF_VISIBLE) != 0) {
    std::fprintf(stderr, "invisible_station: the new window station is visible\n");
    return kNotSetUp;
  }
  // A desktop is made in the window station of the process that makes it.
  HWINSTA own = GetProcessWindowStation();
  if (!SetProcessWindowStation(station)) return Fail("SetProcessWindowStation");
  HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  SetProcessWindowStation(own);
  if (desktop == nullptr) return Fail("CreateDesktopW");

  std::wstring command = Quoted(argv[1]);
  for (int i = 2; i < argc; ++i) command += L" " + Quoted(argv[i]);
  std::wstring desktop_name = station_name + L"\\Default";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpDesktop = desktop_name.data();
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return Fail("CreateProcessW");
  }
  DWORD status = kDidNotEnd;
  if (WaitForSingleObject(process.hProcess, kLimitMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, kDidNotEnd);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseDesktop(desktop);
  CloseWindowStation(station);
  return static_cast<int>(status);
}
