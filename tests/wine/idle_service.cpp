// A service that only runs until it is stopped, in a process of its own, as
// Windows Mobile Device Center's services do where Windows splits them:
//   sc create RapiMgr binpath= <this program> type= own
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(g_status, &status);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) SetEvent(g_stop);
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t** arguments) {
  g_status = RegisterServiceCtrlHandlerExW(arguments[0], OnControl, nullptr);
  if (g_status == nullptr) return;
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stop, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain() {
  g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  wchar_t any[] = L"";
  const SERVICE_TABLE_ENTRYW table[] = {{any, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
