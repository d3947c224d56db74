#include "device/transfer/device_target.h"

#include <utility>
#include <vector>

#include "device/transfer/copy_failure.h"
#include "device/transfer/remote_failure.h"
#include "platform/stop.h"

namespace {

// Fixed, so a copy left by a run that never finished is simply overwritten
// by the next; it cannot pass for an exchange file (.exp or .imp).
constexpr const char* kTemporarySuffix = ".filecopy";

}  // namespace

DeviceTarget::DeviceTarget(const TRAPI& api, std::string path, NewContent& content)
    : api_(api), path_(std::move(path)), content_(content) {
  if (!api_.CeDeleteFile || !api_.CeMoveFile) {
    file_.emplace(api_, path_, kRapiCreateAlways, Quoted(path_));
    return;
  }
  staged_path_ = path_ + kTemporarySuffix;
  content_.Name(Quoted(staged_path_), Quoted(path_));
  // Messages name the file the user asked for; the temporary one in passing.
  file_.emplace(api_, staged_path_, kRapiCreateAlways,
                Say(Text::kDeviceFileVia, {Quoted(path_), Quoted(staged_path_)}));
}

DeviceTarget::~DeviceTarget() {
  // Closed first: Windows CE deletes no open file.
  file_.reset();
  if (!staged_path_.empty()) api_.CeDeleteFile(DevicePathText(staged_path_).data());
}

// A stop is heeded up to the replacement, never between its delete and move.
// Written directly, the target holds the content once it is closed.
void DeviceTarget::Commit() {
  file_->Close();
  platform::ThrowIfStopRequested();
  if (!staged_path_.empty()) Replace();
  content_.Set(NewContent::Place::kInPlace);
}

// Windows CE's MoveFile never replaces a file, so the old one is deleted
// first. A failed delete proves nothing on its own: it also fails when there
// is no old file, and asking why would add calls to an upload that succeeds.
// The move decides: it fails while the old file is still there, which then
// keeps its bytes; its failure is the one explained.
void DeviceTarget::Replace() {
  const std::vector<RapiChar> name = DevicePathText(path_);
  content_.Set(NewContent::Place::kOldGoing);
  const bool deleted = api_.CeDeleteFile(name.data()) != 0;
  content_.Set(NewContent::Place::kBeingMoved);
  if (!api_.CeMoveFile(DevicePathText(staged_path_).data(), name.data())) {
    // Still staged, so a stop may end the tidying of it.
    content_.Set(NewContent::Place::kNotYet);
    const Text why = deleted ? Text::kDeviceDeletedOldFile : Text::kDeviceKeptOldFile;
    ThrowFailedCall(api_, api_.CeMoveFile.name(), Text::kDeviceReplace, Quoted(path_),
                    Say(why, {Quoted(staged_path_)}), true);
  }
  staged_path_.clear();
}
