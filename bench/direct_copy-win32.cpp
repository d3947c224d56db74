// The Windows benchmark's yardstick: FileCopy.exe's two transfers reduced to
// the bare calls into the system's rapi.dll, with the same device files,
// flags and 10,240-byte chunks: a download is flushed to the disk, an upload is
// written under a temporary name and moved into place.
// Usage: direct_copy -d|-u <local file>

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "bench/direct_entries.h"

namespace {

constexpr DWORD kChunkSize = 10240;
using Chunk = std::array<unsigned char, kChunkSize>;

constexpr const WCHAR* kImport = L"\\Tarvel\\remanx.exp";
constexpr const WCHAR* kStagedImport = L"\\Tarvel\\remanx.exp.filecopy";

// Stays loaded until the process ends, as in FileCopy.exe.
bool Load(DirectEntries& api) {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::string path = std::string(directory, length) + "\\rapi.dll";
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return library != nullptr && BindDirectEntries(api, [library](const char* name) {
           return reinterpret_cast<void*>(GetProcAddress(library, name));
         });
}

HANDLE OpenDeviceFile(const DirectEntries& api, const WCHAR* path, DWORD disposition) {
  return api.CeCreateFile(path, kRapiGenericRead | kRapiGenericWrite, 0, nullptr, disposition,
                          kRapiFileAttributeNormal, nullptr);
}

bool Download(const DirectEntries& api, HANDLE device, HANDLE local) {
  Chunk chunk;
  for (;;) {
    DWORD count = 0;
    if (api.CeReadFile(device, chunk.data(), kChunkSize, &count, nullptr) != 1) return false;
    if (count == 0) return true;
    DWORD written = 0;
    if (!WriteFile(local, chunk.data(), count, &written, nullptr) || written != count) {
      return false;
    }
  }
}

bool Upload(const DirectEntries& api, HANDLE local, HANDLE device) {
  Chunk chunk;
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(local, chunk.data(), kChunkSize, &count, nullptr)) return false;
    if (count == 0) return true;
    DWORD written = 0;
    if (api.CeWriteFile(device, chunk.data(), count, &written, nullptr) == 0 || written != count) {
      return false;
    }
  }
}

// As FileCopy.exe ends a download: the data on the disk.
bool FinishDownload(HANDLE local) {
  const bool flushed = FlushFileBuffers(local) != 0;
  return CloseHandle(local) != 0 && flushed;
}

// As FileCopy.exe ends an upload: the old file deleted, the new one moved into place.
bool FinishUpload(const DirectEntries& api, HANDLE local) {
  api.CeDeleteFile(kImport);
  const bool moved = api.CeMoveFile(kStagedImport, kImport) != 0;
  return CloseHandle(local) != 0 && moved;
}

int Fail(const char* reason) {
  std::fprintf(stderr, "direct_copy: %s\n", reason);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring_view direction = argc == 3 ? argv[1] : L"";
  const bool download = direction == L"-d";
  if (!download && direction != L"-u") return Fail("usage: direct_copy -d|-u <local file>");
  DirectEntries api;
  if (!Load(api)) return Fail("cannot load rapi.dll or one of its entries");
  const HANDLE local = download ? CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                                : CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (local == INVALID_HANDLE_VALUE) return Fail("cannot open the local file");
  if (!RapiSucceeded(api.CeRapiInit())) return Fail("CeRapiInit failed");
  const HANDLE device = download ? OpenDeviceFile(api, L"\\Tarvel\\remanx.imp", kRapiOpenAlways)
                                 : OpenDeviceFile(api, kStagedImport, kRapiCreateAlways);
  if (device == INVALID_HANDLE_VALUE) return Fail("CeCreateFile failed");
  bool copied = download ? Download(api, device, local) : Upload(api, local, device);
  copied = api.CeCloseHandle(device) != 0 && copied;
  copied = (download ? FinishDownload(local) : FinishUpload(api, local)) && copied;
  api.CeRapiUninit();
  return copied ? 0 : Fail("the copy failed");
}
