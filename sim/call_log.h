#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/host_file.h"
#include "sim/utf16.h"

namespace sim {

// One line per remote API call, appended to the file FILECOPY_SIM_LOG names so
// tests can check what the program asked of the device, e.g.
//   CeReadFile(0x00000100, ptr, 10240, ptr, null) = 1 [10240]
// Each line goes out in one direct write and survives whatever the process
// does next. A line is Begin, its arguments in order, an optional result and
// stored count, then End. A call that answers late says so at the end of its
// line, written once its work is done:
//   CeDeleteFile("\Tarvel\remanx.exp") = 1, answering 2500 ms late
class CallLog {
 public:
  // False when path names a file that cannot be opened.
  bool Open(const std::optional<HostPath>& path);
  // The entry whose calls answer late, and by how much; none: no entry.
  void AnswerLate(const char* entry, std::uint64_t delay_ms);
  bool IsActive() const { return file_.IsOpen(); }

  CallLog& Begin(const char* entry);
  CallLog& Hex(std::uint32_t value);
  CallLog& Decimal(std::uint64_t value);
  CallLog& Pointer(const void* pointer);
  // A handle argument where 0 means none.
  CallLog& OptionalHandle(std::uint32_t handle);
  template <typename Unit>
  CallLog& Text(const Unit* text) {
    return text ? Quoted(CopyUtf16(text)) : Pointer(nullptr);
  }
  CallLog& ReturnsHex(std::uint32_t value);
  CallLog& ReturnsDecimal(std::uint64_t value);
  // The count the call stored through its pointer, if it had one.
  CallLog& Stored(std::optional<std::uint32_t> count);
  void End();
  // Ends the line of a call that does not return: "CeReadFile(...) hangs".
  void Hangs();

 private:
  void Separate();
  CallLog& Quoted(std::u16string_view text);
  void CloseArguments();

  HostFile file_;
  // Reused so logging a transfer allocates nothing per call.
  std::string line_;
  bool first_argument_ = true;
  bool arguments_closed_ = false;
  std::string late_entry_;
  std::uint64_t late_ms_ = 0;
  bool late_ = false;  // the call being logged answers late
};

}  // namespace sim
