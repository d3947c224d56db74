#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/host_file.h"

namespace sim {

struct OpenFile {
  HostFile file;
  HostIdentity identity;
  bool can_read = false;
  bool can_write = false;
  // Opened with share mode 0: nobody else may open the file meanwhile.
  bool exclusive = false;
};

// The device files open through the simulator. Handles are small numbers, far
// from 0 and from the invalid handle, and the lowest free one is reused so a
// session's log reads the same on every run.
class HandleTable {
 public:
  static constexpr std::uint32_t kFirstHandle = 0x100;
  static constexpr std::size_t kCapacity = 64;

  std::optional<std::uint32_t> FreeHandle() const;
  // handle must come from FreeHandle.
  void Put(std::uint32_t handle, OpenFile file);
  OpenFile* Find(std::uint32_t handle);
  bool Remove(std::uint32_t handle);
  void Clear();
  // Whether a new open of the file, exclusive or not, breaks the sharing rule.
  bool Conflicts(const HostIdentity& identity, bool exclusive) const;

 private:
  std::optional<std::size_t> SlotOf(std::uint32_t handle) const;

  std::array<std::optional<OpenFile>, kCapacity> slots_;
};

}  // namespace sim
