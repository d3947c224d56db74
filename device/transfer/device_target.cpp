#include "device/transfer/device_target.h"

#include <utility>

#include "device/transfer/copy_failure.h"

namespace {

// Fixed, so a copy left by a run that never finished is simply overwritten
// by the next; it cannot pass for an exchange file (.exp or .imp).
constexpr const char* kTemporarySuffix = ".filecopy";

}  // namespace

DeviceTarget::DeviceTarget(const TRAPI& api, std::string path) : api_(api), path_(std::move(path)) {
  if (!api_.CeDeleteFile || !api_.CeMoveFile) {
    file_.emplace(api_, path_, kRapiCreateAlways, Quoted(path_));
    return;
  }
  temporary_path_ = path_ + kTemporarySuffix;
  temporary_name_ = DevicePathText(temporary_path_);
  // Messages name the file the user asked for; the temporary one in passing.
  file_.emplace(api_, temporary_path_, kRapiCreateAlways,
                Quoted(path_) + " (via " + Quoted(temporary_path_) + ")");
  pending_ = true;
}

DeviceTarget::~DeviceTarget() {
  // Closed first: Windows CE deletes no open file.
  file_.reset();
  if (pending_ && api_.CeDeleteFile) api_.CeDeleteFile(temporary_name_.data());
}

void DeviceTarget::Commit() {
  file_->Close();
  if (pending_) Replace();
}

// Windows CE's MoveFile never replaces a file, so the old one is deleted
// first. A failed delete proves nothing on its own: it also fails when there
// is no old file, and the library does not say which without an entry the
// program does not bind. The move decides: it fails while the old file is
// still there, which then keeps its bytes.
void DeviceTarget::Replace() {
  const std::vector<RapiChar> name = DevicePathText(path_);
  const bool deleted = api_.CeDeleteFile(name.data()) != 0;
  if (!api_.CeMoveFile(temporary_name_.data(), name.data())) {
    const char* what = deleted ? "the device deleted it but would not move "
                               : "the device did not delete it and would not move ";
    ThrowDeviceFailure("replace", Quoted(path_),
                       what + Quoted(temporary_path_) + " into its place");
  }
  pending_ = false;
}
