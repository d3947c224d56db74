// Calls every entry of the program's one list through its declared type, as
// the __stdcall import of rapi.dll that the Windows SDK declares. A 32-bit
// import's decorated name carries the bytes its parameters take on the stack
// (_CeReadFile@20), so an entry given a parameter too many or too few in the
// list names an import that mingw-w64's librapi.a does not have, and this
// program does not link. Linking it is the test; it never runs.

#include "device/remote_api/remote_entries.h"

#define FILECOPY_DECLARE_IMPORT(name, result, parameters) \
  extern "C" __declspec(dllimport) result FILECOPY_RAPI_CALL name parameters;
FILECOPY_REMOTE_ENTRIES(FILECOPY_DECLARE_IMPORT)
#undef FILECOPY_DECLARE_IMPORT

namespace {

// A value of each parameter's type: the call's stack is what the type says.
template <typename Result, typename... Parameters>
void Call(Result(FILECOPY_RAPI_CALL* entry)(Parameters...)) {
  entry(Parameters{}...);
}

}  // namespace

int main() {
#define FILECOPY_CALL_IMPORT(name, result, parameters) Call(static_cast<name##Entry>(&name));
  FILECOPY_REMOTE_ENTRIES(FILECOPY_CALL_IMPORT)
#undef FILECOPY_CALL_IMPORT
  return 0;
}
