// Every fault the device simulator can play, and the local failures, against
// the real program in both directions: what it reports, its exit status, and
// what it leaves behind on both sides.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/child_process.h"
#include "tests/end_to_end_support.h"
#include "tests/scratch.h"
#include "tests/simulated_device.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

enum class Direction { kDownload, kUpload };

// Whether the fault strikes this direction's copy at all.
enum class Effect { kFails, kNone };

// How the row departs from the usual files.
enum class Setup {
  kUsual,
  kNoDeviceFolder,         // the device has no \Tarvel
  kTargetInMissingFolder,  // -d missing/stock.txt
  kTargetIsFolder,         // -d stock.txt, where stock.txt is a folder
  kTargetIsReadOnly,       // -d stock.txt, where stock.txt may only be read
  kSourceMissing,          // -u absent.txt
  kSourceIsFolder,         // -u folder
  kEmptyName,              // -d "" or -u ""
  kStaleTemporaryFile,     // an upload that never finished left its temporary file
  kTargetIsDevice,         // -d stock.txt, where stock.txt is a character device
  kTargetIsFifo,           // -d stock.txt, where stock.txt is a FIFO
  kTargetIsDanglingLink,   // -d stock.txt, where stock.txt is a link to nothing
  kTargetHeld,             // -d stock.txt, where another program holds stock.txt
  kSourceHeld,             // -u stock.txt, the same
  kTargetHeldForASecond,   // -d stock.txt, held as above, let go after a second
  kSourceHeldForASecond,   // -u stock.txt, the same
  kTargetNameTooLong,      // -d with a name of 256 bytes, one more than a name may have
};

// Another program's lock is waited for 5 s, then the copy fails; one let go
// meanwhile is taken at the next attempt.
constexpr auto kHeldFor = std::chrono::milliseconds(4500);
constexpr auto kLetGoAfter = 1s;
constexpr auto kHeldLimit = std::chrono::seconds(10);

// Nothing here moves more than 50 KB, and with no terminal nothing may wait.
constexpr auto kAtOnce = 5s;
// Long enough that a message not waiting for a key would have gone.
constexpr auto kStillWaiting = 300ms;

// What a failed upload leaves of the device file it was to replace.
enum class DeviceFile {
  kKept,
  kGone,
  kGoneContentStaged,  // deleted, the whole new content in the staged file
  kReplaced,           // the new content in its place
};

struct FaultCase {
  const char* name;
  Direction direction;
  const char* variable;  // the simulator's fault, or none
  const char* value;
  Setup setup;
  Effect effect;
  const char* step;  // what the "FileCopy: " line must name
  bool contacts_device;
  // The new content is written to a temporary file and moved into place, so
  // only a failure after the old file was deleted can lose it.
  DeviceFile device_file;
  const char* connect_timeout = nullptr;  // FILECOPY_CONNECT_TIMEOUT, if set
  const char* call_timeout = nullptr;     // FILECOPY_CALL_TIMEOUT, if set
  const char* advice = nullptr;           // the line after the step's, if any
  const char* locale = nullptr;           // LC_ALL, if set
};

std::ostream& operator<<(std::ostream& out, const FaultCase& fault) { return out << fault.name; }

// No device to talk to, or a link lost or dead part-way, has a status of its
// own, so a batch file can say "dock the handheld and try again".
int FailureStatus(const FaultCase& row) {
  const std::string step = row.step;
  return step.rfind("cannot connect to the device", 0) == 0 ||
                 step.find("dock it and run again") != std::string::npos
             ? 2
             : 1;
}

constexpr Direction kD = Direction::kDownload;
constexpr Direction kU = Direction::kUpload;
constexpr const char* kConnect = "FILECOPY_SIM_FAIL_CONNECT";
constexpr const char* kOpen = "FILECOPY_SIM_FAIL_OPEN";
constexpr const char* kReadAfter = "FILECOPY_SIM_FAIL_READ_AFTER";
constexpr const char* kWriteAfter = "FILECOPY_SIM_FAIL_WRITE_AFTER";
constexpr const char* kShortWriteAfter = "FILECOPY_SIM_SHORT_WRITE_AFTER";
constexpr const char* kClose = "FILECOPY_SIM_FAIL_CLOSE";
constexpr const char* kDelete = "FILECOPY_SIM_FAIL_DELETE";
constexpr const char* kMove = "FILECOPY_SIM_FAIL_MOVE";
constexpr const char* kNoDevice = "FILECOPY_SIM_NO_DEVICE";
constexpr const char* kConnectDelay = "FILECOPY_SIM_CONNECT_DELAY_MS";
constexpr const char* kCallDelay = "FILECOPY_SIM_CALL_DELAY_MS";
constexpr const char* kConnectResult = "FILECOPY_SIM_CONNECT_RESULT";
constexpr const char* kDeviceError = "FILECOPY_SIM_DEVICE_ERROR";
constexpr const char* kDropAfter = "FILECOPY_SIM_DROP_AFTER";
constexpr const char* kHangAfter = "FILECOPY_SIM_HANG_AFTER";
constexpr const char* kLateAnswer = "FILECOPY_SIM_LATE_ANSWER";
constexpr DeviceFile kKept = DeviceFile::kKept;
constexpr const char* kPolishLocale = "pl_PL.UTF-8";

bool HeldForGood(const FaultCase& row) {
  return row.setup == Setup::kTargetHeld || row.setup == Setup::kSourceHeld;
}

bool HeldForASecond(const FaultCase& row) {
  return row.setup == Setup::kTargetHeldForASecond || row.setup == Setup::kSourceHeldForASecond;
}

// Whether the row cuts the link part-way, so the device cannot be tidied.
bool CutsTheLink(const FaultCase& row) {
  return row.variable == kDropAfter || row.variable == kHangAfter;
}

// Whether the row's call never answers within the bound, so the process ends in it.
bool EndsInACall(const FaultCase& row) {
  return row.variable == kHangAfter ||
         (row.variable == kLateAnswer && row.effect == Effect::kFails);
}

// The device's export and the local source are both this long; the chunk is 10240.
constexpr std::size_t kSize = 50000;
// Where an upload writes before it moves the file into place.
constexpr const char* kTemporaryName = "remanx.exp.filecopy";
// A device that gives no code gets no number; rows of such faults match the
// whole line.
constexpr const char* kWriteFailure =
    "cannot write device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
    "the device reported a write failure\n";

const std::string kTooLongName = std::string(252, 's') + ".txt";
const std::string kTooLongNameRefused =
    "cannot create local file \"" + kTooLongName + "\": File name too long\n";

const FaultCase kFaultCases[] = {
    // name, direction, fault, setup, effect, step named, device contacted, device file after
    {"DownloadConnect", kD, kConnect, "1", Setup::kUsual, Effect::kFails,
     "cannot connect to the device", true, kKept},
    // A device that gives no reason (code 0) gets no number.
    {"DownloadOpen", kD, kOpen, "1", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.imp\": the device refused to open it\n", true,
     kKept},
    // The device's reason, in words and with its number.
    {"DownloadOpenInUse", kD, kDeviceError, "32", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.imp\": the file is in use on the handheld; "
     "close Remanex there and run again (device error 32)\n",
     true, kKept},
    {"DownloadOpenNotFound", kD, kDeviceError, "2", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.imp\": the file is not on the handheld "
     "(device error 2)\n",
     true, kKept},
    // The PC has no words of its own for it on POSIX.
    {"DownloadOpenOtherReason", kD, kDeviceError, "1234", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.imp\": the device refused to open it "
     "(device error 1234)\n",
     true, kKept},
    // The link drops after two chunks; the handle and the connection are still let go.
    {"DownloadLinkDroppedPartWay", kD, kDropAfter, "20480", Setup::kUsual, Effect::kFails,
     "cannot read device file \"\\Tarvel\\remanx.imp\": the connection to the handheld was "
     "lost during CeReadFile; dock it and run again (0x80072775)\n",
     true, kKept},
    // The third read never returns; the bound ends the copy, not the test's limit.
    {"DownloadHangsPartWay", kD, kHangAfter, "20480", Setup::kUsual, Effect::kFails,
     "FileCopy: the handheld stopped answering during CeReadFile; dock it and run again\n", true,
     kKept, nullptr, "2"},
    // The device closed the file but answers after the bound: nothing was replaced yet.
    {"DownloadCloseAnswersTooLate", kD, kLateAnswer, "CeCloseHandle:60000", Setup::kUsual,
     Effect::kFails,
     "FileCopy: the handheld stopped answering during CeCloseHandle; dock it and run again\n", true,
     kKept, nullptr, "2"},
    // The last call answers late, within the bound.
    {"DownloadLastCallAnswersLate", kD, kLateAnswer, "CeRapiUninit:1500", Setup::kUsual,
     Effect::kNone, "", true, kKept, nullptr, "2"},
    {"DownloadLockedHandheld", kD, kConnectResult, "0x80070056", Setup::kUsual, Effect::kFails,
     "cannot connect to the device: the connection failed with 0x80070056\n", true, kKept, nullptr,
     nullptr, "the handheld is locked: unlock it and run again"},
    // Six calls of 0.3 s each, each well within the bound, the copy not.
    {"DownloadSlowCallsEachWithinTheBound", kD, kCallDelay, "300", Setup::kUsual, Effect::kNone, "",
     true, kKept, nullptr, "1"},
    {"DownloadReadAtStart", kD, kReadAfter, "0", Setup::kUsual, Effect::kFails,
     "cannot read device file \"\\Tarvel\\remanx.imp\": the device reported a read failure\n", true,
     kKept},
    {"DownloadReadAfterOneChunk", kD, kReadAfter, "10240", Setup::kUsual, Effect::kFails,
     "cannot read device file \"\\Tarvel\\remanx.imp\": the device reported a read failure\n", true,
     kKept},
    {"DownloadReadMidChunk", kD, kReadAfter, "25000", Setup::kUsual, Effect::kFails,
     "cannot read device file \"\\Tarvel\\remanx.imp\": the device reported a read failure\n", true,
     kKept},
    // Every byte arrived; only the read that finds the end fails.
    {"DownloadReadAtEndOfFile", kD, kReadAfter, "50000", Setup::kUsual, Effect::kFails,
     "cannot read device file \"\\Tarvel\\remanx.imp\": the device reported a read failure\n", true,
     kKept},
    // A download never writes, deletes or moves on the device.
    {"DownloadWriteFaultHasNoEffect", kD, kWriteAfter, "0", Setup::kUsual, Effect::kNone, "", true,
     kKept},
    {"DownloadShortWriteHasNoEffect", kD, kShortWriteAfter, "0", Setup::kUsual, Effect::kNone, "",
     true, kKept},
    {"DownloadDeleteFaultHasNoEffect", kD, kDelete, "1", Setup::kUsual, Effect::kNone, "", true,
     kKept},
    {"DownloadMoveFaultHasNoEffect", kD, kMove, "1", Setup::kUsual, Effect::kNone, "", true, kKept},
    // A handheld that is never docked: the bound ends the wait.
    {"DownloadNoDevice", kD, kNoDevice, "1", Setup::kUsual, Effect::kFails,
     "cannot connect to the device: no device connected within 1 s", true, kKept, "1"},
    {"DownloadLateDock", kD, kConnectDelay, "300", Setup::kUsual, Effect::kNone, "", true, kKept},
    {"DownloadSlowLink", kD, kCallDelay, "2", Setup::kUsual, Effect::kNone, "", true, kKept},
    // POSIX keeps no event log: the setting is not even read.
    {"DownloadEventLogSettingNotRead", kD, "FILECOPY_EVENT_LOG", "bogus", Setup::kUsual,
     Effect::kNone, "", true, kKept},
    {"DownloadTimeoutNotANumber", kD, nullptr, "", Setup::kUsual, Effect::kFails,
     "FileCopy: FILECOPY_CONNECT_TIMEOUT is \"abc\"", false, kKept, "abc"},
    {"DownloadTimeoutZero", kD, nullptr, "", Setup::kUsual, Effect::kFails,
     "FileCopy: FILECOPY_CONNECT_TIMEOUT is \"0\"", false, kKept, "0"},
    // The longest bounds there are.
    {"DownloadCallTimeoutAtItsLongest", kD, nullptr, "", Setup::kUsual, Effect::kNone, "", true,
     kKept, nullptr, "86400"},
    {"DownloadConnectTimeoutAtItsLongest", kD, nullptr, "", Setup::kUsual, Effect::kNone, "", true,
     kKept, "86400"},
    {"DownloadClose", kD, kClose, "1", Setup::kUsual, Effect::kFails,
     "cannot close device file \"\\Tarvel\\remanx.imp\": the device reported a failure\n", true,
     kKept},
    {"DownloadNoDeviceFolder", kD, nullptr, "", Setup::kNoDeviceFolder, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.imp\": there is no \\Tarvel folder on the "
     "handheld (Remanex creates it) (device error 3)\n",
     true, kKept},
    {"DownloadIntoMissingFolder", kD, nullptr, "", Setup::kTargetInMissingFolder, Effect::kFails,
     "cannot create local file \"missing/stock.txt\"", false, kKept},
    // Only a regular file is replaced, and nothing else is touched.
    {"DownloadOntoFolder", kD, nullptr, "", Setup::kTargetIsFolder, Effect::kFails,
     "cannot create local file \"stock.txt\": it is not a regular file", false, kKept},
    {"DownloadOntoACharacterDevice", kD, nullptr, "", Setup::kTargetIsDevice, Effect::kFails,
     "cannot create local file \"stock.txt\": it is not a regular file", false, kKept},
    {"DownloadOntoAFifo", kD, nullptr, "", Setup::kTargetIsFifo, Effect::kFails,
     "cannot create local file \"stock.txt\": it is not a regular file", false, kKept},
    // cp refuses to write through it too; a link to a file is followed (transfer_test).
    {"DownloadOntoADanglingLink", kD, nullptr, "", Setup::kTargetIsDanglingLink, Effect::kFails,
     "cannot create local file \"stock.txt\": it is a link to a file that does not exist", false,
     kKept},
    {"DownloadOntoATargetHeldForASecond", kD, nullptr, "", Setup::kTargetHeldForASecond,
     Effect::kNone, "", true, kKept},
    {"DownloadOntoAHeldTarget", kD, nullptr, "", Setup::kTargetHeld, Effect::kFails,
     "cannot replace local file \"stock.txt\": it is open in another program; close it there and "
     "run again",
     false, kKept},
    // Its folder would let a new file take its place, but its owner made it read-only.
    {"DownloadOntoReadOnlyFile", kD, nullptr, "", Setup::kTargetIsReadOnly, Effect::kFails,
     "cannot create local file \"stock.txt\": Permission denied", false, kKept},
    // The system's reason in the run's language: glibc's Polish, in UTF-8, in a
    // Polish run; its English in an English one, the locale Polish all the same.
    {"DownloadOntoReadOnlyFileUnderAPolishLocale", kD, nullptr, "", Setup::kTargetIsReadOnly,
     Effect::kFails, "cannot create local file \"stock.txt\": Permission denied\n", false, kKept,
     nullptr, nullptr, nullptr, kPolishLocale},
    // Refused as the system refuses it (one of 255 bytes downloads: waiting_and_stopping_test).
    {"DownloadToATooLongName", kD, nullptr, "", Setup::kTargetNameTooLong, Effect::kFails,
     kTooLongNameRefused.c_str(), false, kKept},
    // A file with no name can never be stored, so the device must not be touched.
    {"DownloadToEmptyName", kD, nullptr, "", Setup::kEmptyName, Effect::kFails, "local file \"\"",
     false, kKept},

    {"UploadConnect", kU, kConnect, "1", Setup::kUsual, Effect::kFails,
     "cannot connect to the device", true, kKept},
    {"UploadOpen", kU, kOpen, "1", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "the device refused to open it\n",
     true, kKept},
    {"UploadOpenStorageFull", kU, kDeviceError, "112", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "the handheld's storage is full; make room there and run again (device error 112)\n",
     true, kKept},
    {"UploadOpenAccessDenied", kU, kDeviceError, "5", Setup::kUsual, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "the handheld denied access: the file or its storage is read-only (device error 5)\n",
     true, kKept},
    // What was written stays in the temporary file, which the link no longer lets go.
    {"UploadLinkDroppedPartWay", kU, kDropAfter, "20480", Setup::kUsual, Effect::kFails,
     "cannot write device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "the connection to the handheld was lost during CeWriteFile; dock it and run again "
     "(0x80072775)\n",
     true, kKept},
    {"UploadHangsPartWay", kU, kHangAfter, "20480", Setup::kUsual, Effect::kFails,
     "FileCopy: the handheld stopped answering during CeWriteFile; dock it and run again\n", true,
     kKept, nullptr, "2"},
    // Only the bound ends the replacement, and the line says where the content is.
    {"UploadDeleteAnswersTooLate", kU, kLateAnswer, "CeDeleteFile:60000", Setup::kUsual,
     Effect::kFails,
     "FileCopy: the handheld stopped answering during CeDeleteFile; the new content is in "
     "\"\\Tarvel\\remanx.exp.filecopy\" there; dock it and run again\n",
     true, DeviceFile::kGoneContentStaged, nullptr, "2"},
    {"UploadMoveAnswersTooLate", kU, kLateAnswer, "CeMoveFile:60000", Setup::kUsual, Effect::kFails,
     "FileCopy: the handheld stopped answering during CeMoveFile; the new content is in "
     "\"\\Tarvel\\remanx.exp.filecopy\" there, or already in \"\\Tarvel\\remanx.exp\"; dock it "
     "and run again\n",
     true, DeviceFile::kReplaced, nullptr, "2"},
    // Only a locked handheld gets a line of advice on POSIX.
    {"UploadConnectionFailedWith", kU, kConnectResult, "0x80004005", Setup::kUsual, Effect::kFails,
     "cannot connect to the device: the connection failed with 0x80004005\n", true, kKept},
    {"UploadCallTimeoutZero", kU, nullptr, "", Setup::kUsual, Effect::kFails,
     "FileCopy: FILECOPY_CALL_TIMEOUT is \"0\", not a whole number of seconds from 1 to 86400",
     false, kKept, nullptr, "0"},
    {"UploadCallTimeoutOutOfRange", kU, nullptr, "", Setup::kUsual, Effect::kFails,
     "FileCopy: FILECOPY_CALL_TIMEOUT is \"86401\", not a whole number of seconds from 1 to "
     "86400\n",
     false, kKept, nullptr, "86401"},
    // An upload never reads from the device.
    {"UploadReadFaultHasNoEffect", kU, kReadAfter, "0", Setup::kUsual, Effect::kNone, "", true,
     kKept},
    {"UploadWriteAtStart", kU, kWriteAfter, "0", Setup::kUsual, Effect::kFails, kWriteFailure, true,
     kKept},
    {"UploadWriteAfterOneChunk", kU, kWriteAfter, "10240", Setup::kUsual, Effect::kFails,
     kWriteFailure, true, kKept},
    {"UploadWriteMidChunk", kU, kWriteAfter, "20000", Setup::kUsual, Effect::kFails, kWriteFailure,
     true, kKept},
    // The device reports success but stores less than it was given.
    {"UploadShortWriteMidChunk", kU, kShortWriteAfter, "10000", Setup::kUsual, Effect::kFails,
     "cannot write device file \"\\Tarvel\\remanx.exp\"", true, kKept},
    {"UploadShortWriteOfTheLastByte", kU, kShortWriteAfter, "49999", Setup::kUsual, Effect::kFails,
     "cannot write device file \"\\Tarvel\\remanx.exp\"", true, kKept},
    {"UploadNoDevice", kU, kNoDevice, "1", Setup::kUsual, Effect::kFails,
     "cannot connect to the device: no device connected within 1 s", true, kKept, "1"},
    {"UploadLateDockWithinTheBound", kU, kConnectDelay, "300", Setup::kUsual, Effect::kNone, "",
     true, kKept, "5"},
    {"UploadSlowLink", kU, kCallDelay, "2", Setup::kUsual, Effect::kNone, "", true, kKept},
    {"UploadTimeoutOutOfRange", kU, nullptr, "", Setup::kUsual, Effect::kFails,
     "FileCopy: FILECOPY_CONNECT_TIMEOUT is \"86401\"", false, kKept, "86401"},
    {"UploadClose", kU, kClose, "1", Setup::kUsual, Effect::kFails,
     "cannot close device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "the device reported a failure\n",
     true, kKept},
    // The old file cannot be deleted, so the move onto it fails too.
    {"UploadDelete", kU, kDelete, "1", Setup::kUsual, Effect::kFails,
     "cannot replace device file \"\\Tarvel\\remanx.exp\": the device did not delete it and "
     "would not move \"\\Tarvel\\remanx.exp.filecopy\" into its place (device error 183)\n",
     true, kKept},
    // The one failure that loses the old file: it was deleted before the move failed.
    {"UploadMove", kU, kMove, "1", Setup::kUsual, Effect::kFails,
     "cannot replace device file \"\\Tarvel\\remanx.exp\": the device deleted it but would not "
     "move \"\\Tarvel\\remanx.exp.filecopy\" into its place\n",
     true, DeviceFile::kGone},
    {"UploadOverAStaleTemporaryFile", kU, nullptr, "", Setup::kStaleTemporaryFile, Effect::kNone,
     "", true, kKept},
    {"UploadNoDeviceFolder", kU, nullptr, "", Setup::kNoDeviceFolder, Effect::kFails,
     "cannot open device file \"\\Tarvel\\remanx.exp\" (via \"\\Tarvel\\remanx.exp.filecopy\"): "
     "there is no \\Tarvel folder on the handheld (Remanex creates it) (device error 3)\n",
     true, kKept},
    {"UploadOfMissingSource", kU, nullptr, "", Setup::kSourceMissing, Effect::kFails,
     "cannot open local file \"absent.txt\"", false, kKept},
    {"UploadOfEmptyName", kU, nullptr, "", Setup::kEmptyName, Effect::kFails,
     "cannot open local file \"\"", false, kKept},
    // A folder is refused before the device file would be emptied for it.
    {"UploadOfFolder", kU, nullptr, "", Setup::kSourceIsFolder, Effect::kFails,
     "cannot open local file \"folder\": it is a folder", false, kKept},
    {"UploadOfASourceHeldForASecond", kU, nullptr, "", Setup::kSourceHeldForASecond, Effect::kNone,
     "", true, kKept},
    {"UploadOfAHeldSource", kU, nullptr, "", Setup::kSourceHeld, Effect::kFails,
     "cannot open local file \"stock.txt\": it is open in another program; close it there and "
     "run again",
     false, kKept},
};

// Each row runs once in each language the program speaks. The Polish line is
// the English one with these phrases in Polish, the file names as they are.
enum class Language { kEnglish, kPolish };

const std::pair<const char*, const char*> kPolishPhrases[] = {
    {"cannot connect to the device", "nie mozna polaczyc sie z terminalem"},
    {"no device connected within", "zaden terminal nie polaczyl sie w ciagu"},
    {"cannot open device file", "nie mozna otworzyc pliku na terminalu"},
    {"cannot read device file", "nie mozna odczytac pliku na terminalu"},
    {"cannot write device file", "nie mozna zapisac pliku na terminalu"},
    {"cannot close device file", "nie mozna zamknac pliku na terminalu"},
    {"cannot replace device file", "nie mozna zastapic pliku na terminalu"},
    {"the device did not delete it and would not move", "terminal go nie usunal i nie przeniosl"},
    {"the device deleted it but would not move", "terminal go usunal, ale nie przeniosl"},
    {"into its place", "na jego miejsce"},
    {"cannot create local file", "nie mozna utworzyc pliku lokalnego"},
    {"cannot open local file", "nie mozna otworzyc pliku lokalnego"},
    {"cannot read local file", "nie mozna odczytac pliku lokalnego"},
    {"cannot replace local file", "nie mozna zastapic pliku lokalnego"},
    {"it is not a regular file", "to nie jest zwykly plik"},
    {"it is a link to a file that does not exist", "to dowiazanie do pliku, ktory nie istnieje"},
    {"it is a folder", "to jest folder"},
    {"it is open in another program; close it there and run again",
     "jest otwarty w innym programie; zamknij go tam i uruchom ponownie"},
    {"FILECOPY_CONNECT_TIMEOUT is", "FILECOPY_CONNECT_TIMEOUT ma wartosc"},
    {"FILECOPY_CALL_TIMEOUT is", "FILECOPY_CALL_TIMEOUT ma wartosc"},
    {", not a whole number of seconds from 1 to", ", a nie liczbe calkowita sekund od 1 do"},
    {"(via", "(przez"},
    {"the device refused to open it", "terminal odmowil jego otwarcia"},
    {"the device reported a read failure", "terminal zglosil blad odczytu"},
    {"the device reported a write failure", "terminal zglosil blad zapisu"},
    {"the device reported a failure", "terminal zglosil blad"},
    {"the file is in use on the handheld; close Remanex there and run again",
     "plik jest uzywany na terminalu; zamknij tam Remanex i uruchom ponownie"},
    {"the file is not on the handheld", "pliku nie ma na terminalu"},
    {"the handheld's storage is full; make room there and run again",
     "pamiec terminala jest pelna; zwolnij na nim miejsce i uruchom ponownie"},
    {"the handheld denied access: the file or its storage is read-only",
     "terminal odmowil dostepu: plik albo jego pamiec jest tylko do odczytu"},
    {"there is no \\Tarvel folder on the handheld (Remanex creates it)",
     "na terminalu nie ma folderu \\Tarvel (tworzy go Remanex)"},
    {"the connection to the handheld was lost during",
     "polaczenie z terminalem zostalo zerwane podczas"},
    {"the handheld stopped answering during", "terminal przestal odpowiadac podczas"},
    {"the new content is in", "nowa zawartosc jest na nim w"},
    {" there, or already in", " albo juz w"},
    {"\" there;", "\";"},
    {"dock it and run again", "wloz go do stacji i uruchom ponownie"},
    {"the connection failed with", "polaczenie nie powiodlo sie z kodem"},
    {"the handheld is locked: unlock it and run again",
     "terminal jest zablokowany: odblokuj go i uruchom ponownie"},
    {"local file", "pliku lokalnego"},
};

std::string Said(std::string text, Language language) {
  if (language == Language::kEnglish) return text;
  for (const auto& [english, polish] : kPolishPhrases) {
    const std::size_t at = text.find(english);
    if (at != std::string::npos) text.replace(at, std::strlen(english), polish);
  }
  return text;
}

// glibc's own words under a Polish locale, where Debian's libc-l10n installs them.
const std::pair<const char*, const char*> kGlibcPolishPhrases[] = {
    {"Permission denied", "Brak dost\xC4\x99pu"},
};

// What the row's line says in that language, the system's words as well
// where the row runs under a Polish locale.
std::string SaidFor(const FaultCase& row, Language language) {
  std::string text = Said(row.step, language);
  if (language == Language::kPolish && row.locale != nullptr) {
    for (const auto& [english, polish] : kGlibcPolishPhrases) {
      const std::size_t at = text.find(english);
      if (at != std::string::npos) text.replace(at, std::strlen(english), polish);
    }
  }
  return text;
}

// Whether glibc has Polish words for its errors here, which the rows under a
// Polish locale need.
std::string WithoutPolishSystemTexts() {
  const locale_t polish = newlocale(LC_MESSAGES_MASK, kPolishLocale, nullptr);
  if (polish == nullptr) return std::string("there is no locale ") + kPolishLocale;
  const bool english = std::string(strerror_l(EACCES, polish)) == "Permission denied";
  freelocale(polish);
  return english ? "glibc's Polish messages are not installed (Debian: libc-l10n)" : "";
}

const char* LanguageName(Language language) { return language == Language::kPolish ? "pl" : "en"; }

std::ostream& operator<<(std::ostream& out, Language language) {
  return out << (language == Language::kPolish ? "Polish" : "English");
}

// The simulator grows new faults; each must get its rows here in both directions.
TEST(FaultTable, CoversEveryFaultTheSimulatorReadsInBothDirections) {
  const std::regex variable("\"(FILECOPY_SIM_[A-Z_]+)\"");
  std::set<std::string> faults;
  for (const auto& entry : fs::directory_iterator(fs::path(FILECOPY_SOURCE_DIR) / "sim")) {
    const std::string source = ReadFileBytes(entry.path().string());
    for (auto match = std::sregex_iterator(source.begin(), source.end(), variable);
         match != std::sregex_iterator(); ++match) {
      faults.insert((*match)[1]);
    }
  }
  faults.erase("FILECOPY_SIM_ROOT");
  faults.erase("FILECOPY_SIM_LOG");
  ASSERT_FALSE(faults.empty()) << "no fault variables found in the simulator's sources";
  for (const std::string& fault : faults) {
    for (const Direction direction : {Direction::kDownload, Direction::kUpload}) {
      bool covered = false;
      for (const FaultCase& row : kFaultCases) {
        covered = covered ||
                  (row.variable != nullptr && row.variable == fault && row.direction == direction);
      }
      EXPECT_TRUE(covered) << fault << " has no row for the "
                           << (direction == Direction::kDownload ? "download" : "upload");
    }
  }
}

class FaultMatrix : public ::testing::Test {
 protected:
  // Lays out the row's files and fault; returns the program's arguments.
  std::vector<std::string> Prepare(const FaultCase& row) {
    WriteFileBytes(device_.Tarvel("remanx.imp"), export_);
    WriteFileBytes(device_.Tarvel("remanx.exp"), old_import_);
    const bool download = row.direction == Direction::kDownload;
    WriteFileBytes(device_.Local("stock.txt"), download ? old_target_ : source_);
    std::string file = "stock.txt";
    switch (row.setup) {
      case Setup::kUsual: break;
      case Setup::kNoDeviceFolder: fs::remove_all(device_.tarvel_folder()); break;
      case Setup::kTargetInMissingFolder: file = "missing/stock.txt"; break;
      case Setup::kTargetIsFolder:
        fs::remove(device_.Local("stock.txt"));
        fs::create_directory(device_.Local("stock.txt"));
        WriteFileBytes(device_.Local("stock.txt/inside"), "inside");
        break;
      case Setup::kTargetIsReadOnly:
        fs::permissions(device_.Local("stock.txt"),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        break;
      case Setup::kSourceMissing: file = "absent.txt"; break;
      case Setup::kSourceIsFolder:
        fs::create_directory(device_.Local("folder"));
        file = "folder";
        break;
      case Setup::kEmptyName: file = ""; break;
      case Setup::kTargetNameTooLong: file = kTooLongName; break;
      case Setup::kStaleTemporaryFile:
        WriteFileBytes(device_.Tarvel(kTemporaryName), RandomBytes(kSize + 1, 25));
        break;
      case Setup::kTargetIsDevice:
        fs::remove(device_.Local("stock.txt"));
        // What /dev/null is, made here, so a program that replaced it would harm nothing.
        if (mknod(device_.Local("stock.txt").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
          skipped_ = std::string("cannot make a device node here: ") + std::strerror(errno);
        }
        break;
      case Setup::kTargetIsFifo:
        fs::remove(device_.Local("stock.txt"));
        mkfifo(device_.Local("stock.txt").c_str(), 0644);
        break;
      case Setup::kTargetIsDanglingLink:
        fs::remove(device_.Local("stock.txt"));
        fs::create_symlink("absent.txt", device_.Local("stock.txt"));
        break;
      case Setup::kTargetHeld:
      case Setup::kSourceHeld:
      case Setup::kTargetHeldForASecond:
      case Setup::kSourceHeldForASecond:
        // The lock of a program that writes it, held for the whole run or a second.
        holder_ = open(device_.Local("stock.txt").c_str(), O_RDWR | O_CLOEXEC);
        flock(holder_, LOCK_EX);
        if (HeldForASecond(row)) {
          letting_go_ = std::thread([holder = holder_] {
            std::this_thread::sleep_for(kLetGoAfter);
            flock(holder, LOCK_UN);
          });
        }
        break;
    }
    if (row.variable != nullptr) SimulatedDevice::Inject(row.variable, row.value);
    if (row.connect_timeout != nullptr) {
      SimulatedDevice::Inject("FILECOPY_CONNECT_TIMEOUT", row.connect_timeout);
    }
    if (row.call_timeout != nullptr) {
      SimulatedDevice::Inject("FILECOPY_CALL_TIMEOUT", row.call_timeout);
    }

    local_after_ = Snapshot(device_.local_folder());
    device_after_ = Snapshot(DeviceRoot());
    // Only a link cut part-way leaves the upload's temporary file behind, as
    // far as it got.
    device_after_.erase(std::string("Tarvel/") + kTemporaryName);
    if (CutsTheLink(row) && !download) {
      device_after_[std::string("Tarvel/") + kTemporaryName] =
          source_.substr(0, std::stoul(row.value));
    }
    if (row.effect == Effect::kNone) {
      if (download) {
        local_after_["stock.txt"] = export_;
      } else {
        device_after_["Tarvel/remanx.exp"] = source_;
      }
    } else if (row.device_file == DeviceFile::kGone) {
      device_after_.erase("Tarvel/remanx.exp");
    } else if (row.device_file == DeviceFile::kGoneContentStaged) {
      device_after_.erase("Tarvel/remanx.exp");
      device_after_[std::string("Tarvel/") + kTemporaryName] = source_;
    } else if (row.device_file == DeviceFile::kReplaced) {
      device_after_["Tarvel/remanx.exp"] = source_;
    }
    return {download ? "-d" : "-u", file};
  }

  // Both sides hold exactly what they should, and the device was left as found.
  void CheckAftermath(const FaultCase& row) const {
    EXPECT_EQ(Differences(local_after_, Snapshot(device_.local_folder())), "") << "local folder";
    EXPECT_EQ(Differences(device_after_, Snapshot(DeviceRoot())), "") << "device";
    const std::vector<Call> calls = ParseCalls(device_.Calls());
    if (!row.contacts_device) {
      EXPECT_EQ(device_.Calls(), "") << "the device must not be contacted";
      return;
    }
    ASSERT_FALSE(calls.empty());
    // Once CeRapiInitEx has returned, whatever follows, the connection is
    // closed, last; only a call that hangs keeps the program from it.
    EXPECT_EQ(calls.front().entry, "CeRapiInitEx");
    if (EndsInACall(row)) {
      const std::string log = device_.Calls();
      const std::string last = row.variable == kHangAfter ? ") hangs\n" : " ms late\n";
      EXPECT_TRUE(log.size() > last.size() &&
                  log.compare(log.size() - last.size(), last.size(), last) == 0)
          << log;
    } else {
      EXPECT_TRUE(DeviceReleased(calls)) << device_.Calls();
    }
    const std::string device_file = row.direction == Direction::kDownload
                                        ? "\"\\Tarvel\\remanx.imp\""
                                        : "\"\\Tarvel\\remanx.exp.filecopy\"";
    for (const Call& call : calls) {
      if (call.entry == "CeCreateFile") {
        EXPECT_EQ(call.arguments.rfind(device_file, 0), 0U) << "opened " << call.arguments;
      }
    }
  }

  // The exit status and standard error, without a terminal.
  static void CheckReported(const FaultCase& row, const ProgramRun& run,
                            Language language = Language::kEnglish) {
    EXPECT_EQ(run.output, "");
    if (row.effect == Effect::kFails) {
      EXPECT_EQ(run.status, ExitedWith(FailureStatus(row)));
      const std::vector<std::string> lines = Lines(run.errors);
      ASSERT_EQ(lines.size(), row.advice != nullptr ? 3U : 2U) << run.errors;
      EXPECT_EQ(lines[0].rfind("FileCopy: ", 0), 0U) << lines[0];
      if (row.advice != nullptr) {
        EXPECT_EQ(lines[1], "FileCopy: " + Said(row.advice, language));
      }
      // A step that ends in a line end is the whole line's end.
      const std::string step = SaidFor(row, language);
      if (language == Language::kPolish) {
        ASSERT_NE(step, row.step) << "no Polish for this row";
        // Nor any English in the reasons the program gives (the system's are its own).
        for (const char* english : {"cannot ", "the device", "connect"}) {
          EXPECT_EQ(lines[0].find(english), std::string::npos) << lines[0];
        }
      }
      EXPECT_NE((lines[0] + "\n").find(step), std::string::npos) << lines[0];
      EXPECT_EQ(lines.back(), kCaption + ": " + kCopyFailedText);
      EXPECT_EQ(run.errors.back(), '\n');
    } else {
      EXPECT_EQ(run.status, ExitedWith(0));
      EXPECT_EQ(run.errors, "");
    }
  }

  fs::path DeviceRoot() const { return device_.tarvel_folder().parent_path(); }

  void TearDown() override {
    if (letting_go_.joinable()) letting_go_.join();
    if (holder_ >= 0) close(holder_);
  }

  SimulatedDevice device_;
  std::string skipped_;  // why the row cannot be laid out on this machine
  int holder_ = -1;      // the other program's hold on the local file
  std::thread letting_go_;
  const std::string export_ = RandomBytes(kSize, 21);
  const std::string old_import_ = RandomBytes(3000, 22);
  const std::string old_target_ = RandomBytes(5000, 23);
  const std::string source_ = RandomBytes(kSize, 24);
  FolderSnapshot local_after_;
  FolderSnapshot device_after_;
};

class FaultWithoutTerminal : public FaultMatrix,
                             public ::testing::WithParamInterface<std::tuple<FaultCase, Language>> {
};

TEST_P(FaultWithoutTerminal, ReportsOnStandardErrorAndLeavesBothSidesAsExpected) {
  const auto& [row, language] = GetParam();
  // Root may write into a read-only file; the program's users may not.
  Launch launch;
  launch.bound_by_file_permissions = row.setup == Setup::kTargetIsReadOnly;
  if (row.locale != nullptr) {
    const std::string missing = WithoutPolishSystemTexts();
    if (!missing.empty()) GTEST_SKIP() << missing;
    // LANGUAGE would name the messages' language before the locale.
    launch.through = {"/usr/bin/env", "-u", "LANGUAGE", std::string("LC_ALL=") + row.locale};
  }
  const std::vector<std::string> arguments = Prepare(row);
  if (!skipped_.empty()) GTEST_SKIP() << skipped_;
  SimulatedDevice::Inject("FILECOPY_LANGUAGE", LanguageName(language));
  const bool held = HeldForGood(row) || HeldForASecond(row);
  const auto started = std::chrono::steady_clock::now();
  const ProgramRun run =
      RunWithoutTerminal(arguments, device_.local_folder(), held ? kHeldLimit : kAtOnce, launch);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(run.start_failure, "");
  CheckReported(row, run, language);
  CheckAftermath(row);
  if (HeldForGood(row)) {
    EXPECT_GE(took, kHeldFor) << "the program that holds it was not waited for";
  } else if (HeldForASecond(row)) {
    // Less what passed between the hold and the start.
    EXPECT_GE(took, kLetGoAfter - 100ms) << "the program that held it was not waited for";
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultWithoutTerminal,
                         ::testing::Combine(::testing::ValuesIn(kFaultCases),
                                            ::testing::Values(Language::kEnglish,
                                                              Language::kPolish)),
                         [](const ::testing::TestParamInfo<std::tuple<FaultCase, Language>>& test) {
                           return std::string(std::get<0>(test.param).name) +
                                  (std::get<1>(test.param) == Language::kPolish ? "InPolish"
                                                                                : "InEnglish");
                         });

// A download's flushes, watched and failed through strace: the data reaches
// the disk before the new name does, and the name before the copy is done.
struct FlushCase {
  const char* name;
  const char* inject;  // which fsync strace fails, or none
  Effect effect;
  bool replaced;      // whether the target then holds the new content
  const char* calls;  // as traced, the paths from the scratch folder on
};

std::ostream& operator<<(std::ostream& out, const FlushCase& test) { return out << test.name; }

const FlushCase kFlushCases[] = {
    {"FileThenNameThenFolder", nullptr, Effect::kNone, true,
     "fsync(local/stock.txt.filecopy-XXXXXX) = 0\n"
     "rename(\"local/stock.txt.filecopy-XXXXXX\", \"local/stock.txt\") = 0\n"
     "fsync(local) = 0\n"},
    {"FileFlushFails", "when=1", Effect::kFails, false,
     "fsync(local/stock.txt.filecopy-XXXXXX) = -1 EIO (Input/output error) (INJECTED)\n"},
    {"FolderFlushFails", "when=2", Effect::kFails, true,
     "fsync(local/stock.txt.filecopy-XXXXXX) = 0\n"
     "rename(\"local/stock.txt.filecopy-XXXXXX\", \"local/stock.txt\") = 0\n"
     "fsync(local) = -1 EIO (Input/output error) (INJECTED)\n"},
};

constexpr const char* kFlushStep = "cannot flush local file \"stock.txt\": Input/output error";

// strace's lines without what differs from run to run: the process and
// descriptor numbers, the scratch folder and the temporary name's letters.
std::string TracedCalls(const std::string& trace, const fs::path& local_folder) {
  const std::string scratch = fs::canonical(local_folder).parent_path().string() + "/";
  std::string calls;
  for (std::string line : Lines(trace)) {
    for (std::size_t at; (at = line.find(scratch)) != std::string::npos;) {
      line.erase(at, scratch.size());
    }
    line = std::regex_replace(line, std::regex("^[0-9]+ +"), "");
    line = std::regex_replace(line, std::regex("[0-9]+<([^>]*)>"), "$1");
    line = std::regex_replace(line, std::regex("filecopy-[A-Za-z0-9]{6}"), "filecopy-XXXXXX");
    calls += std::regex_replace(line, std::regex(" +="), " =") + "\n";
  }
  return calls;
}

// strace names itself as it was called.
bool TracingRefused(const ProgramRun& run) {
  const std::string refused = std::string(FILECOPY_STRACE) + ": ";
  return run.errors.rfind(refused, 0) == 0 && run.errors.find("ptrace") != std::string::npos;
}

// The program under strace with these options, without a terminal; where
// strace is missing or may not trace here, skip says why instead.
ProgramRun RunTraced(const std::vector<std::string>& arguments, const fs::path& folder,
                     const std::vector<std::string>& options, std::string& skip) {
  if (std::string(FILECOPY_STRACE).empty()) {
    skip = "strace is not installed (scripts/install-dependencies.sh installs it)";
    return {};
  }
  Launch launch;
  launch.through = {FILECOPY_STRACE, "-f", "-qq"};
  launch.through.insert(launch.through.end(), options.begin(), options.end());
  // A sanitized build's leak check cannot run under a tracer.
  launch.through.insert(launch.through.end(), {"-E", "ASAN_OPTIONS=detect_leaks=0"});
  ProgramRun run = RunWithoutTerminal(arguments, folder, kAtOnce, launch);
  if (TracingRefused(run)) {
    skip = "strace cannot trace programs on this machine: " + Lines(run.errors)[0];
  }
  return run;
}

class FlushFault : public FaultMatrix, public ::testing::WithParamInterface<FlushCase> {};

TEST_P(FlushFault, IsSeenInOrderAndReported) {
  const FlushCase& test = GetParam();
  const FaultCase row{test.name,   kD,         nullptr, "",   Setup::kUsual,
                      test.effect, kFlushStep, true,    kKept};
  const std::vector<std::string> arguments = Prepare(row);
  if (test.replaced) local_after_["stock.txt"] = export_;
  const ScratchFolder capture;
  const std::string trace = capture / "trace";
  std::vector<std::string> options = {"-y", "-o", trace, "-e", "trace=fsync,/^rename"};
  if (test.inject != nullptr) {
    options.insert(options.end(), {"-e", std::string("inject=fsync:error=EIO:") + test.inject});
  }
  std::string skip;
  const ProgramRun run = RunTraced(arguments, device_.local_folder(), options, skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  ASSERT_EQ(run.start_failure, "");
  CheckReported(row, run);
  EXPECT_EQ(TracedCalls(ReadFileBytes(trace), device_.local_folder()), test.calls);
  CheckAftermath(row);
}

INSTANTIATE_TEST_SUITE_P(Flushes, FlushFault, ::testing::ValuesIn(kFlushCases),
                         [](const ::testing::TestParamInfo<FlushCase>& test) {
                           return std::string(test.param.name);
                         });

// The upload's source fails part-way through (strace fails its third read):
// a failed read, not a failed open, and the device file as it was.
class SourceReadFault : public FaultMatrix, public ::testing::WithParamInterface<Language> {};

TEST_P(SourceReadFault, IsReportedAsAFailedRead) {
  const FaultCase row{"UploadSourceReadFails",
                      kU,
                      nullptr,
                      "",
                      Setup::kUsual,
                      Effect::kFails,
                      "cannot read local file \"stock.txt\": Input/output error\n",
                      true,
                      kKept};
  const std::vector<std::string> arguments = Prepare(row);
  SimulatedDevice::Inject("FILECOPY_LANGUAGE", LanguageName(GetParam()));
  std::string skip;
  const ProgramRun run = RunTraced(arguments, device_.local_folder(),
                                   {"-o", "/dev/null", "-P", device_.Local("stock.txt"), "-e",
                                    "trace=read", "-e", "inject=read:error=EIO:when=3"},
                                   skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  ASSERT_EQ(run.start_failure, "");
  CheckReported(row, run, GetParam());
  CheckAftermath(row);
  const std::vector<Call> calls = ParseCalls(device_.Calls());
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const Call& call) { return call.entry == "CeWriteFile"; }),
            2)
      << "two chunks were to be read before the failure";
}

INSTANTIATE_TEST_SUITE_P(Languages, SourceReadFault,
                         ::testing::Values(Language::kEnglish, Language::kPolish),
                         [](const ::testing::TestParamInfo<Language>& test) {
                           return std::string(test.param == Language::kPolish ? "InPolish"
                                                                              : "InEnglish");
                         });

// The same failures on a terminal: the message waits there for Enter or Esc;
// or, for a background job, nothing touches the terminal: the kernel would
// stop the job for it (SIGTTOU), and it would wait for ever.
struct TerminalCase {
  const char* row;
  const char* key_name;
  const char* key;  // none: run as a background job of a shell with job control
};

std::ostream& operator<<(std::ostream& out, const TerminalCase& test) {
  return out << test.row << " closed by " << test.key_name;
}

const FaultCase& Row(const char* name) {
  for (const FaultCase& row : kFaultCases) {
    if (std::string(row.name) == name) return row;
  }
  throw std::invalid_argument(name);
}

class FaultOnTerminal : public FaultMatrix, public ::testing::WithParamInterface<TerminalCase> {};

TEST_P(FaultOnTerminal, ShowsTheFramedMessageUntilEnterOrEsc) {
  const FaultCase& row = Row(GetParam().row);
  ScratchFolder capture;
  ChildProcess::Options options;
  options.arguments = Prepare(row);
  options.terminal = ChildProcess::Terminal::kPseudo;
  options.input = ChildProcess::Input::kNull;
  options.directory = device_.local_folder();
  // Standard output is a file, so the frame can only come through /dev/tty.
  options.output_file = capture / "stdout";
  options.error_file = capture / "stderr";
  if (GetParam().key == nullptr) {
    options.arguments.insert(options.arguments.begin(),
                             {"-m", "-c", "\"$0\" \"$@\" & wait $!", kProgram});
  }
  ChildProcess child(GetParam().key == nullptr ? "/bin/sh" : kProgram, options);
  ASSERT_EQ(child.start_failure(), "");
  if (GetParam().key == nullptr) {
    EXPECT_EQ(child.Wait(kAtOnce), ExitedWith(FailureStatus(row)));
    EXPECT_EQ(child.Screen(), "");
    EXPECT_TRUE(ModesRestored(child.Modes(), child.initial_modes()));
    const std::vector<std::string> lines = Lines(ReadFileBytes(capture / "stderr"));
    ASSERT_EQ(lines.size(), 2U) << ReadFileBytes(capture / "stderr");
    EXPECT_NE(lines[0].find(row.step), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], kCaption + ": " + kCopyFailedText);
    CheckAftermath(row);
    return;
  }

  // Keys typed before the message is up may be discarded, so wait for all of it.
  ASSERT_TRUE(child.WaitForScreen(
      [](const std::string& screen) {
        const std::size_t button = screen.find("[ OK ]");
        return button != std::string::npos && screen.find("+\r\n", button) != std::string::npos;
      },
      kAtOnce))
      << child.Screen();
  ASSERT_TRUE(child.StillRunningAfter(kStillWaiting)) << "the message did not wait";
  child.Type("\x1b[A");
  EXPECT_TRUE(child.StillRunningAfter(kStillWaiting)) << "an arrow key closed the message";
  child.Type(GetParam().key);
  EXPECT_EQ(child.Wait(kAtOnce), ExitedWith(FailureStatus(row)));

  EXPECT_TRUE(ShowsFramedMessage(child.Screen(), kCaption, kCopyFailedText));
  EXPECT_TRUE(ModesRestored(child.Modes(), child.initial_modes()));
  EXPECT_EQ(ReadFileBytes(capture / "stdout"), "");
  const std::vector<std::string> lines = Lines(ReadFileBytes(capture / "stderr"));
  ASSERT_EQ(lines.size(), 1U) << "the message belongs on the terminal, not on standard error";
  EXPECT_EQ(lines[0].rfind("FileCopy: ", 0), 0U) << lines[0];
  EXPECT_NE((lines[0] + "\n").find(row.step), std::string::npos) << lines[0];
  CheckAftermath(row);
}

INSTANTIATE_TEST_SUITE_P(Keys, FaultOnTerminal,
                         ::testing::Values(TerminalCase{"DownloadConnect", "Enter", "\r"},
                                           TerminalCase{"DownloadReadMidChunk", "Esc", "\x1b"},
                                           TerminalCase{"UploadShortWriteMidChunk", "Enter", "\r"},
                                           TerminalCase{"UploadOfMissingSource", "Esc", "\x1b"},
                                           TerminalCase{"DownloadConnect", "Nothing", nullptr}),
                         [](const ::testing::TestParamInfo<TerminalCase>& test) {
                           return std::string(test.param.row) +
                                  (test.param.key == nullptr
                                       ? "InABackgroundJob"
                                       : std::string("ClosedBy") + test.param.key_name);
                         });

}  // namespace
