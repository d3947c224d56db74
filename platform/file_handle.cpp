#include <utility>

#include "platform/local_file.h"

namespace platform {

FileHandle::~FileHandle() {
  if (open_) CloseNative(native_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : native_(other.native_), open_(std::exchange(other.open_, false)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (open_) CloseNative(native_);
    native_ = other.native_;
    open_ = std::exchange(other.open_, false);
  }
  return *this;
}

void FileHandle::Adopt(NativeFile native) {
  if (open_) CloseNative(native_);
  native_ = native;
  open_ = true;
}

FileError FileHandle::Close() {
  if (!open_) return {};
  open_ = false;
  return CloseNative(native_);
}

}  // namespace platform
