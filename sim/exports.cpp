// The remote API entries, with the exact names and C signatures the program
// binds. A variant library leaves entries out when built with
// FILECOPY_SIM_OMIT_<entry>, to test how the program reacts.

#include <cstdint>
#include <optional>
#include <type_traits>

#include "device/remote_api/remote_entries.h"
#include "sim/simulator.h"

#ifdef _WIN32
#define FILECOPY_SIM_EXPORT __declspec(dllexport)
#else
#define FILECOPY_SIM_EXPORT __attribute__((visibility("default")))
#endif

// Declared from the program's own list, so a definition below that strays from
// it is a conflicting C declaration and does not compile.
#define FILECOPY_SIM_DECLARE_EXPORT(name, result, parameters) \
  extern "C" FILECOPY_SIM_EXPORT result FILECOPY_RAPI_CALL name parameters;
FILECOPY_REMOTE_ENTRIES(FILECOPY_SIM_DECLARE_EXPORT)
#undef FILECOPY_SIM_DECLARE_EXPORT

#define FILECOPY_SIM_CHECK_EXPORT(name, result, parameters)     \
  static_assert(std::is_same_v<decltype(&::name), name##Entry>, \
                #name " must match the program's entry type");
FILECOPY_REMOTE_ENTRIES(FILECOPY_SIM_CHECK_EXPORT)
#undef FILECOPY_SIM_CHECK_EXPORT

namespace {

sim::Simulator simulator;

std::uint32_t NumberOf(RapiHandle handle) {
#ifdef _WIN32
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
#else
  return handle;
#endif
}

RapiHandle HandleOf(std::uint32_t number) {
#ifdef _WIN32
  // INVALID_HANDLE_VALUE is all ones at any pointer width.
  if (number == sim::Simulator::kInvalidHandle) return kRapiInvalidHandle;
  return reinterpret_cast<RapiHandle>(static_cast<std::uintptr_t>(number));
#else
  return number;
#endif
}

std::optional<std::uint32_t> StoredCount(const RapiDword* count) {
  if (!count) return std::nullopt;
  return static_cast<std::uint32_t>(*count);
}

std::u16string DevicePath(const RapiChar* path) {
  return path ? sim::CopyUtf16(path) : std::u16string();
}

// Logs a read or write, whose call log begins; one that hangs is logged as
// hanging first, and again with its result should it ever return.
template <typename Begin>
RapiBool Finish(sim::Simulator::Outcome outcome, const Begin& begin,
                std::optional<std::uint32_t> stored) {
  sim::CallLog& log = simulator.Log();
  bool result = outcome == sim::Simulator::Outcome::kDone;
  if (outcome == sim::Simulator::Outcome::kHangs) {
    if (log.IsActive()) begin(log).Hangs();
    result = simulator.Hang();
  }
  if (log.IsActive()) begin(log).ReturnsDecimal(result).Stored(stored).End();
  return result;
}

// Lets the caller have a call's answer only once the simulator's delay for
// that entry, if any, has passed; made first, so it goes last, once the
// call's work is done and logged.
class LateAnswer {
 public:
  explicit LateAnswer(const char* entry) : entry_(entry) {}
  ~LateAnswer() { simulator.AnswerLate(entry_); }
  LateAnswer(const LateAnswer&) = delete;
  LateAnswer& operator=(const LateAnswer&) = delete;

 private:
  const char* entry_;
};

}  // namespace

// The connection entries log themselves, under the lock a CeRapiUninit from
// another thread takes too.
#ifndef FILECOPY_SIM_OMIT_CeRapiInit
RapiResult FILECOPY_RAPI_CALL CeRapiInit() {
  const LateAnswer late("CeRapiInit");
  return simulator.Connect();
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeRapiInitEx
RapiResult FILECOPY_RAPI_CALL CeRapiInitEx(RapiInit* init) {
  const LateAnswer late("CeRapiInitEx");
  if (!init || init->size != sizeof(RapiInit)) return simulator.RefuseInit(init);
  sim::HostDescriptor event{};
  const auto report = [](void* destination, std::int32_t outcome) {
    static_cast<RapiInit*>(destination)->result = outcome;
  };
  const RapiResult result = simulator.ConnectInBackground(init, report, event);
#ifdef _WIN32
  if (result == sim::Simulator::kOk) init->event = event;
#else
  if (result == sim::Simulator::kOk) init->event = static_cast<RapiHandle>(event);
#endif
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeRapiUninit
RapiResult FILECOPY_RAPI_CALL CeRapiUninit() {
  const LateAnswer late("CeRapiUninit");
  return simulator.Disconnect();
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeCreateFile
RapiHandle FILECOPY_RAPI_CALL CeCreateFile(const RapiChar* file_name, RapiDword desired_access,
                                           RapiDword share_mode, void* security_attributes,
                                           RapiDword creation_disposition,
                                           RapiDword flags_and_attributes,
                                           RapiHandle template_file) {
  const LateAnswer late("CeCreateFile");
  const sim::Simulator::OpenRequest request{
      (desired_access & kRapiGenericRead) != 0, (desired_access & kRapiGenericWrite) != 0,
      share_mode != 0, static_cast<std::uint32_t>(creation_disposition)};
  const std::uint32_t result = simulator.Open(DevicePath(file_name), request);
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeCreateFile")
        .Text(file_name)
        .Hex(desired_access)
        .Decimal(share_mode)
        .Pointer(security_attributes)
        .Decimal(creation_disposition)
        .Hex(flags_and_attributes)
        .OptionalHandle(NumberOf(template_file))
        .ReturnsHex(result)
        .End();
  }
  return HandleOf(result);
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeReadFile
RapiBool FILECOPY_RAPI_CALL CeReadFile(RapiHandle file, void* buffer, RapiDword bytes_to_read,
                                       RapiDword* bytes_read, void* overlapped) {
  const LateAnswer late("CeReadFile");
  std::uint32_t done = 0;
  const sim::Simulator::Outcome outcome =
      simulator.Read(NumberOf(file), buffer, bytes_to_read, done);
  if (bytes_read) *bytes_read = done;
  const auto log = [&](sim::CallLog& line) -> sim::CallLog& {
    return line.Begin("CeReadFile")
        .Hex(NumberOf(file))
        .Pointer(buffer)
        .Decimal(bytes_to_read)
        .Pointer(bytes_read)
        .Pointer(overlapped);
  };
  return Finish(outcome, log, StoredCount(bytes_read));
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeWriteFile
RapiBool FILECOPY_RAPI_CALL CeWriteFile(RapiHandle file, const void* buffer,
                                        RapiDword bytes_to_write, RapiDword* bytes_written,
                                        void* overlapped) {
  const LateAnswer late("CeWriteFile");
  std::uint32_t done = 0;
  const sim::Simulator::Outcome outcome =
      simulator.Write(NumberOf(file), buffer, bytes_to_write, done);
  if (bytes_written) *bytes_written = done;
  const auto log = [&](sim::CallLog& line) -> sim::CallLog& {
    return line.Begin("CeWriteFile")
        .Hex(NumberOf(file))
        .Pointer(buffer)
        .Decimal(bytes_to_write)
        .Pointer(bytes_written)
        .Pointer(overlapped);
  };
  return Finish(outcome, log, StoredCount(bytes_written));
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeCloseHandle
RapiBool FILECOPY_RAPI_CALL CeCloseHandle(RapiHandle object) {
  const LateAnswer late("CeCloseHandle");
  const bool result = simulator.Close(NumberOf(object));
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) log.Begin("CeCloseHandle").Hex(NumberOf(object)).ReturnsDecimal(result).End();
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeGetFileSize
RapiDword FILECOPY_RAPI_CALL CeGetFileSize(RapiHandle file, RapiDword* file_size_high) {
  const LateAnswer late("CeGetFileSize");
  const std::optional<std::uint64_t> size = simulator.FileSize(NumberOf(file));
  const auto low = static_cast<std::uint32_t>(size ? *size : 0xFFFFFFFFU);
  std::optional<std::uint32_t> high;
  if (size && file_size_high) {
    high = static_cast<std::uint32_t>(*size >> 32);
    *file_size_high = *high;
  }
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeGetFileSize")
        .Hex(NumberOf(file))
        .Pointer(file_size_high)
        .ReturnsDecimal(low)
        .Stored(high)
        .End();
  }
  return low;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeCreateDirectory
RapiBool FILECOPY_RAPI_CALL CeCreateDirectory(const RapiChar* path_name,
                                              void* security_attributes) {
  const LateAnswer late("CeCreateDirectory");
  const bool result = simulator.MakeDirectory(DevicePath(path_name));
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeCreateDirectory")
        .Text(path_name)
        .Pointer(security_attributes)
        .ReturnsDecimal(result)
        .End();
  }
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeCreateProcess
// The simulated device runs nothing.
RapiBool FILECOPY_RAPI_CALL CeCreateProcess(const RapiChar* application_name,
                                            const RapiChar* command_line, void* process_attributes,
                                            void* thread_attributes, RapiBool inherit_handles,
                                            RapiDword creation_flags, void* environment,
                                            RapiChar* current_directory, void* startup_info,
                                            void* process_information) {
  const LateAnswer late("CeCreateProcess");
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeCreateProcess")
        .Text(application_name)
        .Text(command_line)
        .Pointer(process_attributes)
        .Pointer(thread_attributes)
        .Decimal(static_cast<std::uint32_t>(inherit_handles))
        .Hex(creation_flags)
        .Pointer(environment)
        .Text(current_directory)
        .Pointer(startup_info)
        .Pointer(process_information)
        .ReturnsDecimal(0)
        .End();
  }
  return 0;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeGetSystemInfo
// The structure is opaque to the program, so there is nothing to fill in.
void FILECOPY_RAPI_CALL CeGetSystemInfo(void* system_info) {
  const LateAnswer late("CeGetSystemInfo");
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) log.Begin("CeGetSystemInfo").Pointer(system_info).End();
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeDeleteFile
RapiBool FILECOPY_RAPI_CALL CeDeleteFile(const RapiChar* file_name) {
  const LateAnswer late("CeDeleteFile");
  const bool result = simulator.Delete(DevicePath(file_name));
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) log.Begin("CeDeleteFile").Text(file_name).ReturnsDecimal(result).End();
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeMoveFile
RapiBool FILECOPY_RAPI_CALL CeMoveFile(const RapiChar* existing_file_name,
                                       const RapiChar* new_file_name) {
  const LateAnswer late("CeMoveFile");
  const bool result = simulator.Move(DevicePath(existing_file_name), DevicePath(new_file_name));
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeMoveFile")
        .Text(existing_file_name)
        .Text(new_file_name)
        .ReturnsDecimal(result)
        .End();
  }
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeRapiGetError
RapiResult FILECOPY_RAPI_CALL CeRapiGetError() {
  const LateAnswer late("CeRapiGetError");
  const std::int32_t result = simulator.LinkError();
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) {
    log.Begin("CeRapiGetError").ReturnsHex(static_cast<std::uint32_t>(result)).End();
  }
  return result;
}
#endif

#ifndef FILECOPY_SIM_OMIT_CeGetLastError
RapiDword FILECOPY_RAPI_CALL CeGetLastError() {
  const LateAnswer late("CeGetLastError");
  const std::uint32_t code = simulator.LastError();
  sim::CallLog& log = simulator.Log();
  if (log.IsActive()) log.Begin("CeGetLastError").ReturnsDecimal(code).End();
  return code;
}
#endif
