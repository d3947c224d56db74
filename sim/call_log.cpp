#include "sim/call_log.h"

#include "platform/unicode.h"

namespace sim {

bool CallLog::Open(const std::optional<HostPath>& path) {
  file_.Close();
  if (!path) return true;
  file_ = HostFile::OpenLog(*path);
  return file_.IsOpen();
}

void CallLog::AnswerLate(const char* entry, std::uint64_t delay_ms) {
  late_entry_ = entry != nullptr ? entry : "";
  late_ms_ = delay_ms;
}

CallLog& CallLog::Begin(const char* entry) {
  late_ = !late_entry_.empty() && late_entry_ == entry;
  line_.assign(entry);
  line_ += '(';
  first_argument_ = true;
  arguments_closed_ = false;
  return *this;
}

CallLog& CallLog::Hex(std::uint32_t value) {
  Separate();
  line_ += "0x";
  for (int shift = 28; shift >= 0; shift -= 4) line_ += "0123456789ABCDEF"[(value >> shift) & 0xF];
  return *this;
}

CallLog& CallLog::Decimal(std::uint64_t value) {
  Separate();
  char digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count != 0) line_ += digits[--count];
  return *this;
}

CallLog& CallLog::Pointer(const void* pointer) {
  Separate();
  line_ += pointer ? "ptr" : "null";
  return *this;
}

CallLog& CallLog::OptionalHandle(std::uint32_t handle) {
  return handle == 0 ? Pointer(nullptr) : Hex(handle);
}

CallLog& CallLog::ReturnsHex(std::uint32_t value) {
  CloseArguments();
  return Hex(value);
}

CallLog& CallLog::ReturnsDecimal(std::uint64_t value) {
  CloseArguments();
  return Decimal(value);
}

CallLog& CallLog::Stored(std::optional<std::uint32_t> count) {
  if (!count) return *this;
  line_ += " [";
  first_argument_ = true;
  Decimal(*count);
  line_ += ']';
  return *this;
}

void CallLog::End() {
  if (!arguments_closed_) line_ += ')';
  if (late_) {
    line_ += ", answering ";
    first_argument_ = true;
    Decimal(late_ms_);
    line_ += " ms late";
  }
  line_ += '\n';
  file_.Write(line_.data(), line_.size());
}

void CallLog::Hangs() {
  line_ += ") hangs\n";
  file_.Write(line_.data(), line_.size());
}

void CallLog::Separate() {
  if (!first_argument_) line_ += ", ";
  first_argument_ = false;
}

CallLog& CallLog::Quoted(std::u16string_view text) {
  Separate();
  line_ += '"';
  line_ += platform::Utf16ToUtf8(text);
  line_ += '"';
  return *this;
}

void CallLog::CloseArguments() {
  line_ += ") = ";
  arguments_closed_ = true;
  first_argument_ = true;
}

}  // namespace sim
