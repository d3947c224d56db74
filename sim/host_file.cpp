#include "sim/host_file.h"

#include <utility>

namespace sim {

// Ownership is the same on every platform; only Close differs.
HostFile::~HostFile() { Close(); }

HostFile::HostFile(HostFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, kClosed)) {}

HostFile& HostFile::operator=(HostFile&& other) noexcept {
  if (this != &other) {
    Close();
    descriptor_ = std::exchange(other.descriptor_, kClosed);
  }
  return *this;
}

}  // namespace sim
