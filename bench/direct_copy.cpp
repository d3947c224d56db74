// The benchmark's yardstick: filecopy's two transfers reduced to the bare calls
// into the simulator, with the same device files, flags and 10,240-byte chunks.
// Usage: direct_copy -d|-u <local file>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "device/remote_api/remote_entries.h"

namespace {

constexpr std::size_t kChunkSize = 10240;
using Chunk = std::array<unsigned char, kChunkSize>;

struct Simulator {
  CeRapiInitEntry init = nullptr;
  CeRapiUninitEntry uninit = nullptr;
  CeCreateFileEntry create_file = nullptr;
  CeReadFileEntry read_file = nullptr;
  CeWriteFileEntry write_file = nullptr;
  CeCloseHandleEntry close_handle = nullptr;
};

template <typename Entry>
bool Find(void* library, const char* name, Entry& entry) {
  entry = reinterpret_cast<Entry>(dlsym(library, name));
  return entry != nullptr;
}

// Stays loaded until the process ends, as in filecopy.
std::optional<Simulator> Load() {
  void* library = dlopen(FILECOPY_SIMULATOR, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return std::nullopt;
  Simulator sim;
  if (Find(library, "CeRapiInit", sim.init) && Find(library, "CeRapiUninit", sim.uninit) &&
      Find(library, "CeCreateFile", sim.create_file) &&
      Find(library, "CeReadFile", sim.read_file) && Find(library, "CeWriteFile", sim.write_file) &&
      Find(library, "CeCloseHandle", sim.close_handle)) {
    return sim;
  }
  return std::nullopt;
}

RapiHandle OpenDeviceFile(const Simulator& sim, std::u16string_view path, RapiDword disposition) {
  std::vector<RapiChar> name(path.begin(), path.end());
  name.push_back(0);
  return sim.create_file(name.data(), kRapiGenericRead | kRapiGenericWrite, 0, nullptr, disposition,
                         kRapiFileAttributeNormal, RapiHandle{});
}

bool Download(const Simulator& sim, RapiHandle device, int local) {
  Chunk chunk;
  for (;;) {
    RapiDword count = 0;
    if (sim.read_file(device, chunk.data(), kChunkSize, &count, nullptr) != 1) return false;
    if (count == 0) return true;
    if (write(local, chunk.data(), count) != static_cast<ssize_t>(count)) return false;
  }
}

bool Upload(const Simulator& sim, int local, RapiHandle device) {
  Chunk chunk;
  for (;;) {
    const ssize_t count = read(local, chunk.data(), chunk.size());
    if (count < 0) return false;
    if (count == 0) return true;
    const auto size = static_cast<RapiDword>(count);
    RapiDword written = 0;
    if (sim.write_file(device, chunk.data(), size, &written, nullptr) == 0 || written != size) {
      return false;
    }
  }
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
  const std::optional<Simulator> sim = Load();
  if (!sim) return Fail("cannot load the simulator or one of its entries");
  const int local = download ? open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                             : open(argv[2], O_RDONLY | O_CLOEXEC);
  if (local < 0) return Fail("cannot open the local file");
  if (!RapiSucceeded(sim->init())) return Fail("CeRapiInit failed");
  const RapiHandle device = download
                                ? OpenDeviceFile(*sim, u"\\Tarvel\\remanx.imp", kRapiOpenAlways)
                                : OpenDeviceFile(*sim, u"\\Tarvel\\remanx.exp", kRapiCreateAlways);
  if (device == kRapiInvalidHandle) return Fail("CeCreateFile failed");
  bool copied = download ? Download(*sim, device, local) : Upload(*sim, local, device);
  copied = sim->close_handle(device) != 0 && copied;
  copied = close(local) == 0 && copied;
  sim->uninit();
  return copied ? 0 : Fail("the copy failed");
}
