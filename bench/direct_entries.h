#pragma once

// The direct loops' binding: every entry of the program's one list, looked up
// by its exact name, with none of the program's own code in between.

#include "device/remote_api/remote_entries.h"

struct DirectEntries {
#define FILECOPY_DIRECT_ENTRY(name, result, parameters) name##Entry name = nullptr;
  FILECOPY_REMOTE_ENTRIES(FILECOPY_DIRECT_ENTRY)
#undef FILECOPY_DIRECT_ENTRY
};

// lookup(name) gives an export's address, or null; true when all were found.
template <typename Lookup>
bool BindDirectEntries(DirectEntries& entries, Lookup lookup) {
  bool all = true;
#define FILECOPY_BIND_DIRECT_ENTRY(name, result, parameters)   \
  entries.name = reinterpret_cast<name##Entry>(lookup(#name)); \
  all = all && entries.name != nullptr;
  FILECOPY_REMOTE_ENTRIES(FILECOPY_BIND_DIRECT_ENTRY)
#undef FILECOPY_BIND_DIRECT_ENTRY
  return all;
}
