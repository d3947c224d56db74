#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The host's side of the simulated device: its files, folders and environment.
// host_file-posix.cpp and host_file-win32.cpp are the only code that calls the
// operating system.

namespace sim {

#ifdef _WIN32
using HostPath = std::wstring;
using HostDescriptor = void*;
#else
using HostPath = std::string;
using HostDescriptor = int;
#endif

enum class HostCreation {
  kCreateNew,
  kCreateAlways,
  kOpenExisting,
  kOpenAlways,
  kTruncateExisting,
};

// Which file a name or handle refers to, whatever path reached it.
struct HostIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const HostIdentity& other) const {
    return volume == other.volume && file == other.file;
  }
};

struct HostEntry {
  HostIdentity identity;
  bool directory = false;
};

class HostFile {
 public:
  HostFile() = default;
  ~HostFile();
  HostFile(HostFile&& other) noexcept;
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  // Not open on failure. Host sharing stays wide open: the simulator applies
  // the device's sharing rules itself.
  static HostFile Open(const HostPath& path, bool read, bool write, HostCreation creation);
  // Appends only, creating the file if needed.
  static HostFile OpenLog(const HostPath& path);

  bool IsOpen() const;
  // Fills up to count bytes from the current position (fewer only at the end
  // of the file); nothing on failure.
  std::optional<std::size_t> Read(void* buffer, std::size_t count);
  // All count bytes or failure.
  bool Write(const void* buffer, std::size_t count);
  std::optional<std::uint64_t> Size() const;
  std::optional<HostIdentity> Identity() const;
  void Close();

 private:
#ifdef _WIN32
  static inline const HostDescriptor kClosed = reinterpret_cast<HostDescriptor>(-1);
#else
  static constexpr HostDescriptor kClosed = -1;
#endif

  explicit HostFile(HostDescriptor descriptor) : descriptor_(descriptor) {}
  HostDescriptor descriptor_ = kClosed;
};

std::optional<HostEntry> LookUpHostEntry(const HostPath& path);
bool MakeHostDirectory(const HostPath& path);
bool RemoveHostFile(const HostPath& path);
// Moves a file or folder to a name that must not exist yet.
bool RenameHostEntry(const HostPath& from, const HostPath& to);
// Nothing when the variable is unset or empty.
std::optional<HostPath> HostEnvironment(const char* name);
// Adds one already checked device path component below path.
void AppendHostComponent(HostPath& path, std::u16string_view component);

}  // namespace sim
