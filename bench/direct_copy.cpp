// The benchmark's yardstick: filecopy's two transfers reduced to the bare calls
// into the simulator, with the same device files, flags and 10,240-byte chunks:
// a download is flushed to the disk with its folder, an upload is written under
// a temporary name and moved into place.
// Usage: direct_copy -d|-u <local file>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/direct_entries.h"

namespace {

constexpr std::size_t kChunkSize = 10240;
using Chunk = std::array<unsigned char, kChunkSize>;

// Stays loaded until the process ends, as in filecopy.
std::optional<DirectEntries> Load() {
  void* library = dlopen(FILECOPY_SIMULATOR, RTLD_NOW | RTLD_LOCAL);
  DirectEntries sim;
  const bool bound = library != nullptr && BindDirectEntries(sim, [library](const char* name) {
                       return dlsym(library, name);
                     });
  // cppcheck-suppress resourceLeak ; the library is kept on purpose, see above
  return bound ? std::optional<DirectEntries>(sim) : std::nullopt;
}

constexpr std::u16string_view kImport = u"\\Tarvel\\remanx.exp";
constexpr std::u16string_view kStagedImport = u"\\Tarvel\\remanx.exp.filecopy";

std::vector<RapiChar> DeviceName(std::u16string_view path) {
  std::vector<RapiChar> name(path.begin(), path.end());
  name.push_back(0);
  return name;
}

RapiHandle OpenDeviceFile(const DirectEntries& sim, std::u16string_view path,
                          RapiDword disposition) {
  return sim.CeCreateFile(DeviceName(path).data(), kRapiGenericRead | kRapiGenericWrite, 0, nullptr,
                          disposition, kRapiFileAttributeNormal, RapiHandle{});
}

bool FolderSynced(const std::string& file) {
  const std::size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool synced = fsync(descriptor) == 0;
  return close(descriptor) == 0 && synced;
}

bool Download(const DirectEntries& sim, RapiHandle device, int local) {
  Chunk chunk;
  for (;;) {
    RapiDword count = 0;
    if (sim.CeReadFile(device, chunk.data(), kChunkSize, &count, nullptr) != 1) return false;
    if (count == 0) return true;
    if (write(local, chunk.data(), count) != static_cast<ssize_t>(count)) return false;
  }
}

bool Upload(const DirectEntries& sim, int local, RapiHandle device) {
  Chunk chunk;
  for (;;) {
    const ssize_t count = read(local, chunk.data(), chunk.size());
    if (count < 0) return false;
    if (count == 0) return true;
    const auto size = static_cast<RapiDword>(count);
    RapiDword written = 0;
    if (sim.CeWriteFile(device, chunk.data(), size, &written, nullptr) == 0 || written != size) {
      return false;
    }
  }
}

// As filecopy ends a download: the data, then the folder's entry, on the disk.
bool FinishDownload(int local, const std::string& path) {
  const bool synced = fsync(local) == 0;
  return close(local) == 0 && synced && FolderSynced(path);
}

// As filecopy ends an upload: the old file deleted, the new one moved into place.
bool FinishUpload(const DirectEntries& sim, int local) {
  sim.CeDeleteFile(DeviceName(kImport).data());
  const bool moved =
      sim.CeMoveFile(DeviceName(kStagedImport).data(), DeviceName(kImport).data()) != 0;
  return close(local) == 0 && moved;
}

int Fail(const char* reason) {
  std::fprintf(stderr, "direct_copy: %s\n", reason);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view direction = argc == 3 ? argv[1] : "";
  const bool download = direction == "-d";
  if (!download && direction != "-u") return Fail("usage: direct_copy -d|-u <local file>");
  const std::optional<DirectEntries> sim = Load();
  if (!sim) return Fail("cannot load the simulator or one of its entries");
  const int local = download ? open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                             : open(argv[2], O_RDONLY | O_CLOEXEC);
  if (local < 0) return Fail("cannot open the local file");
  if (!RapiSucceeded(sim->CeRapiInit())) return Fail("CeRapiInit failed");
  const RapiHandle device = download
                                ? OpenDeviceFile(*sim, u"\\Tarvel\\remanx.imp", kRapiOpenAlways)
                                : OpenDeviceFile(*sim, kStagedImport, kRapiCreateAlways);
  if (device == kRapiInvalidHandle) return Fail("CeCreateFile failed");
  bool copied = download ? Download(*sim, device, local) : Upload(*sim, local, device);
  copied = sim->CeCloseHandle(device) != 0 && copied;
  copied = (download ? FinishDownload(local, argv[2]) : FinishUpload(*sim, local)) && copied;
  sim->CeRapiUninit();
  return copied ? 0 : Fail("the copy failed");
}
