#include "sim/handle_table.h"

#include <utility>

namespace sim {

std::optional<std::uint32_t> HandleTable::FreeHandle() const {
  for (std::size_t slot = 0; slot < kCapacity; ++slot) {
    if (!slots_[slot]) return kFirstHandle + static_cast<std::uint32_t>(slot);
  }
  return std::nullopt;
}

void HandleTable::Put(std::uint32_t handle, OpenFile file) {
  slots_[handle - kFirstHandle] = std::move(file);
}

OpenFile* HandleTable::Find(std::uint32_t handle) {
  const std::optional<std::size_t> slot = SlotOf(handle);
  return slot ? &*slots_[*slot] : nullptr;
}

bool HandleTable::Remove(std::uint32_t handle) {
  const std::optional<std::size_t> slot = SlotOf(handle);
  if (!slot) return false;
  slots_[*slot].reset();
  return true;
}

void HandleTable::Clear() {
  for (auto& slot : slots_) slot.reset();
}

bool HandleTable::Conflicts(const HostIdentity& identity, bool exclusive) const {
  for (const auto& slot : slots_) {
    if (slot && slot->identity == identity && (exclusive || slot->exclusive)) return true;
  }
  return false;
}

std::optional<std::size_t> HandleTable::SlotOf(std::uint32_t handle) const {
  if (handle < kFirstHandle || handle - kFirstHandle >= kCapacity) return std::nullopt;
  const std::size_t slot = handle - kFirstHandle;
  if (!slots_[slot]) return std::nullopt;
  return slot;
}

}  // namespace sim
