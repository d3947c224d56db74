#include "sim/simulator.h"

#include <algorithm>
#include <utility>

#include "sim/device_path.h"
#include "sim/fault_limits.h"

namespace sim {
namespace {

// Windows CE's creation dispositions, CREATE_NEW (1) to TRUNCATE_EXISTING (5).
std::optional<HostCreation> CreationOf(std::uint32_t disposition) {
  switch (disposition) {
    case 1: return HostCreation::kCreateNew;
    case 2: return HostCreation::kCreateAlways;
    case 3: return HostCreation::kOpenExisting;
    case 4: return HostCreation::kOpenAlways;
    case 5: return HostCreation::kTruncateExisting;
    default: return std::nullopt;
  }
}

// Win32 error codes, as Windows CE gives them.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kTooManyOpenFiles = 4;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidHandleError = 6;
constexpr std::uint32_t kWriteFault = 29;
constexpr std::uint32_t kReadFault = 30;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kInvalidName = 123;
constexpr std::uint32_t kAlreadyExists = 183;
// A fault flag gives no reason.
constexpr std::uint32_t kNoReason = 0;

bool IsDirectory(const HostPath& path) {
  const std::optional<HostEntry> entry = LookUpHostEntry(path);
  return entry && entry->directory;
}

}  // namespace

Simulator::~Simulator() {
  std::unique_ptr<Background> stopped;
  {
    const HostLock::Hold hold(lock_);
    stopped = CutShort();
  }
  stopped.reset();
}

std::int32_t Simulator::Connect() {
  HostEvent cancel;
  std::unique_ptr<Background> stopped;
  Docking docking;
  std::uint64_t attempt = 0;
  {
    const HostLock::Hold hold(lock_);
    stopped = CutShort();
    docking = Begin();
    attempt = attempt_;
    if (docking.Waits()) {
      cancel = HostEvent::Create();
      if (cancel.IsOpen()) {
        waiting_ = &cancel;
      } else {
        docking = {kFail, 0};
      }
    }
  }
  stopped.reset();
  if (docking.Waits()) cancel.Wait(docking.delay);
  const HostLock::Hold hold(lock_);
  if (waiting_ == &cancel) waiting_ = nullptr;
  const std::int32_t result = Conclude(attempt, docking.outcome);
  LogResult("CeRapiInit", result);
  return result;
}

std::int32_t Simulator::ConnectInBackground(void* init, Report report, HostDescriptor& event) {
  auto background = std::make_unique<Background>();
  background->init = init;
  background->report = report;
  background->event = HostEvent::Create();
  background->cancel = HostEvent::Create();
  std::unique_ptr<Background> stopped;
  std::int32_t result = kFail;
  {
    const HostLock::Hold hold(lock_);
    stopped = CutShort();
    background->docking = Begin();
    background->attempt = attempt_;
    bool started = background->event.IsOpen() && background->cancel.IsOpen();
    if (started && !background->docking.Waits()) {
      Publish(*background);
    } else if (started) {
      Background& pending = *background;
      pending.thread = HostThread::Start([this, &pending] { Settle(pending); });
      started = pending.thread.IsRunning();
    }
    if (started) {
      event = background->event.Waitable();
      background_ = std::move(background);
      result = kOk;
    }
    if (log_.IsActive()) {
      log_.Begin("CeRapiInitEx").Pointer(init).ReturnsHex(static_cast<std::uint32_t>(result)).End();
    }
  }
  stopped.reset();
  return result;
}

std::int32_t Simulator::RefuseInit(const void* init) {
  const HostLock::Hold hold(lock_);
  if (log_.IsActive()) {
    log_.Begin("CeRapiInitEx")
        .Pointer(init)
        .ReturnsHex(static_cast<std::uint32_t>(kInvalidArgument))
        .End();
  }
  return kInvalidArgument;
}

std::int32_t Simulator::Disconnect() {
  std::unique_ptr<Background> stopped;
  std::int32_t result = kFail;
  {
    const HostLock::Hold hold(lock_);
    if (connected_ || waiting_ || background_) result = kOk;
    stopped = CutShort();
    files_.Clear();
    connected_ = false;
    LogResult("CeRapiUninit", result);
    // Once logged, as the call it ends logs itself next.
    if (released_.IsOpen()) released_.Set();
  }
  stopped.reset();
  return result;
}

std::uint32_t Simulator::Open(std::u16string_view device_path, const OpenRequest& request) {
  if (!connected_ || dropped_) return kInvalidHandle;
  if (settings_.device_error) return Refuse(*settings_.device_error);
  if (settings_.fail_open) return Refuse(kNoReason);
  const std::optional<HostCreation> creation = CreationOf(request.disposition);
  const std::optional<HostPath> path = HostPathOf(device_path);
  const std::optional<std::uint32_t> handle = files_.FreeHandle();
  if (!path) return Refuse(kInvalidName);
  if (!handle) return Refuse(kTooManyOpenFiles);
  // As on Windows, truncating needs write access.
  if (!creation || (*creation == HostCreation::kTruncateExisting && !request.write)) {
    return Refuse(kInvalidParameter);
  }
  // Checked before the host open, which may already create or truncate.
  if (const std::optional<HostEntry> entry = LookUpHostEntry(*path)) {
    if (entry->directory) return Refuse(kAccessDenied);
    if (files_.Conflicts(entry->identity, !request.shared)) return Refuse(kSharingViolation);
    if (*creation == HostCreation::kCreateNew) return Refuse(kFileExists);
  }
  OpenFile file{HostFile::Open(*path, request.read, request.write, *creation),
                {},
                request.read,
                request.write,
                !request.shared};
  if (!file.file.IsOpen()) return Refuse(OpenFailure(device_path, *path));
  const std::optional<HostIdentity> identity = file.file.Identity();
  if (!identity) return Refuse(kAccessDenied);
  file.identity = *identity;
  files_.Put(*handle, std::move(file));
  return *handle;
}

Simulator::Outcome Simulator::Read(std::uint32_t handle, void* buffer, std::uint32_t count,
                                   std::uint32_t& done) {
  done = 0;
  if (dropped_) return Outcome::kFailed;
  OpenFile* file = Readable(handle);
  if (!file) return Failed(kInvalidHandleError);
  if (settings_.call_delay_ms != 0) HostPause(settings_.call_delay_ms);
  const Allowance link = ReadWithin(CutAfter(), bytes_read_ + bytes_written_, count);
  if (link.fails) return Cut();
  const Allowance allowance = AllowRead(settings_, bytes_read_, link.count);
  if (allowance.fails) return Failed(kNoReason);
  const std::optional<std::size_t> got = file->file.Read(buffer, allowance.count);
  if (!got) return Failed(kReadFault);
  done = static_cast<std::uint32_t>(*got);
  bytes_read_ += done;
  return Outcome::kDone;
}

Simulator::Outcome Simulator::Write(std::uint32_t handle, const void* buffer, std::uint32_t count,
                                    std::uint32_t& done) {
  done = 0;
  if (dropped_) return Outcome::kFailed;
  OpenFile* file = Writable(handle);
  if (!file) return Failed(kInvalidHandleError);
  if (settings_.call_delay_ms != 0) HostPause(settings_.call_delay_ms);
  const Allowance link = WriteWithin(CutAfter(), bytes_read_ + bytes_written_, count);
  const Allowance allowance = AllowWrite(settings_, bytes_written_, link.count);
  if (!file->file.Write(buffer, allowance.count)) return Failed(kWriteFault);
  done = allowance.count;
  bytes_written_ += done;
  if (link.fails) return Cut();
  if (allowance.fails) return Failed(kNoReason);
  return Outcome::kDone;
}

bool Simulator::Hang() {
  if (released_.IsOpen()) released_.Wait(std::nullopt);
  dropped_ = true;
  return false;
}

bool Simulator::Close(std::uint32_t handle) {
  if (dropped_) return false;
  if (!files_.Remove(handle)) return Fail(kInvalidHandleError);
  return !settings_.fail_close || Fail(kNoReason);
}

std::optional<std::uint64_t> Simulator::FileSize(std::uint32_t handle) {
  if (dropped_) return std::nullopt;
  OpenFile* file = files_.Find(handle);
  return file ? file->file.Size() : std::nullopt;
}

bool Simulator::MakeDirectory(std::u16string_view device_path) {
  if (!connected_ || dropped_) return false;
  const std::optional<HostPath> path = HostPathOf(device_path);
  return path && MakeHostDirectory(*path);
}

bool Simulator::Delete(std::u16string_view device_path) {
  if (!connected_ || dropped_) return false;
  ++deletes_;
  if (settings_.fail_delete && deletes_ == 1) return Fail(kNoReason);
  const std::optional<HostPath> path = HostPathOf(device_path);
  if (!path) return Fail(kInvalidName);
  const std::optional<HostEntry> entry = LookUpHostEntry(*path);
  // As on Windows CE: no folder, no missing file, no file open in any way.
  if (!entry) return Fail(kFileNotFound);
  if (entry->directory) return Fail(kAccessDenied);
  if (files_.Conflicts(entry->identity, true)) return Fail(kSharingViolation);
  return RemoveHostFile(*path) || Fail(kAccessDenied);
}

bool Simulator::Move(std::u16string_view existing_path, std::u16string_view new_path) {
  if (!connected_ || dropped_) return false;
  if (settings_.fail_move) return Fail(kNoReason);
  const std::optional<HostPath> from = HostPathOf(existing_path);
  const std::optional<HostPath> to = HostPathOf(new_path);
  if (!from || !to) return Fail(kInvalidName);
  const std::optional<HostEntry> entry = LookUpHostEntry(*from);
  // As on Windows CE: the source exists and is not open, and nothing is replaced.
  if (!entry) return Fail(kFileNotFound);
  if (files_.Conflicts(entry->identity, true)) return Fail(kSharingViolation);
  if (LookUpHostEntry(*to)) return Fail(kAlreadyExists);
  return RenameHostEntry(*from, *to) || Fail(OpenFailure(new_path, *to));
}

void Simulator::AnswerLate(const char* entry) {
  std::uint64_t delay_ms = 0;
  {
    const HostLock::Hold hold(lock_);
    if (settings_.late_answer && settings_.late_answer->entry == entry) {
      delay_ms = settings_.late_answer->delay_ms;
    }
  }
  if (delay_ms != 0) HostPause(delay_ms);
}

Simulator::Docking Simulator::Begin() {
  files_.Clear();
  bytes_read_ = 0;
  bytes_written_ = 0;
  deletes_ = 0;
  last_error_ = 0;
  dropped_ = false;
  connected_ = false;
  settings_ = ReadSettings();
  released_ = settings_.hang_after ? HostEvent::Create() : HostEvent();
  const bool logging = log_.Open(settings_.log);
  log_.AnswerLate(settings_.late_answer ? settings_.late_answer->entry.c_str() : nullptr,
                  settings_.late_answer ? settings_.late_answer->delay_ms : 0);
  const bool docks = logging && settings_.well_formed && !settings_.fail_connect &&
                     settings_.root && IsDirectory(*settings_.root);
  Docking docking{docks ? settings_.connect_result.value_or(kOk) : kFail,
                  settings_.connect_delay_ms};
  // A mistyped variable may be the delay itself: fail at once, never wait.
  if (!settings_.well_formed) {
    docking.delay = 0;
  } else if (settings_.no_device) {
    docking.delay = std::nullopt;
  }
  return docking;
}

std::unique_ptr<Simulator::Background> Simulator::CutShort() {
  ++attempt_;
  if (waiting_) std::exchange(waiting_, nullptr)->Set();
  if (background_) background_->cancel.Set();
  return std::move(background_);
}

std::int32_t Simulator::Conclude(std::uint64_t attempt, std::int32_t outcome) {
  // Cut short: the session is someone else's now.
  if (attempt != attempt_) return kFail;
  connected_ = outcome == kOk;
  return outcome;
}

void Simulator::Publish(Background& background) {
  connected_ = background.docking.outcome == kOk;
  background.report(background.init, background.docking.outcome);
  background.event.Set();
}

void Simulator::LogResult(const char* entry, std::int32_t result) {
  if (log_.IsActive()) log_.Begin(entry).ReturnsHex(static_cast<std::uint32_t>(result)).End();
}

void Simulator::Settle(Background& background) {
  background.cancel.Wait(background.docking.delay);
  const HostLock::Hold hold(lock_);
  if (background.attempt == attempt_) Publish(background);
}

std::optional<HostPath> Simulator::HostPathOf(std::u16string_view device_path) const {
  return MapDevicePath(*settings_.root, device_path);
}

OpenFile* Simulator::Readable(std::uint32_t handle) {
  OpenFile* file = files_.Find(handle);
  return file && file->can_read ? file : nullptr;
}

OpenFile* Simulator::Writable(std::uint32_t handle) {
  OpenFile* file = files_.Find(handle);
  return file && file->can_write ? file : nullptr;
}

// Why a host file could not be opened or named, as Windows CE would say it:
// its folder missing, the file missing, or anything else refused.
std::uint32_t Simulator::OpenFailure(std::u16string_view device_path, const HostPath& path) const {
  const std::u16string_view folder = device_path.substr(0, device_path.rfind(u'\\'));
  const std::optional<HostPath> host_folder = HostPathOf(folder);
  if (!folder.empty() && !(host_folder && IsDirectory(*host_folder))) return kPathNotFound;
  return LookUpHostEntry(path) ? kAccessDenied : kFileNotFound;
}

bool Simulator::Fail(std::uint32_t code) {
  last_error_ = code;
  return false;
}

std::uint32_t Simulator::Refuse(std::uint32_t code) {
  Fail(code);
  return kInvalidHandle;
}

Simulator::Outcome Simulator::Failed(std::uint32_t code) {
  Fail(code);
  return Outcome::kFailed;
}

std::optional<std::uint64_t> Simulator::CutAfter() const {
  if (!settings_.drop_after) return settings_.hang_after;
  if (!settings_.hang_after) return settings_.drop_after;
  return std::min(*settings_.drop_after, *settings_.hang_after);
}

Simulator::Outcome Simulator::Cut() {
  if (settings_.hang_after && CutAfter() == settings_.hang_after) return Outcome::kHangs;
  dropped_ = true;
  return Outcome::kFailed;
}

}  // namespace sim
