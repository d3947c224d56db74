#pragma once

#include <string>
#include <vector>

// The program's own lines, each in English and in Polish. Polish is written
// without its accented letters, as the usage text is, so it reads the same on
// every console code page and in redirected output. {1}, {2}... stand for the
// arguments, so each language may put them where its grammar wants them. A
// count's word follows it in the form its number takes: {2:byte|bytes} in
// English (one, other), {2:bajt|bajty|bajtow} in Polish (one; 2-4 in the last
// digit but not 12-14; other), with each sentence's own case written out
// ("z {2:bajtu|bajtow|bajtow}").

enum class Language { kEnglish, kPolish };

enum class Text {
  kLocalOpen,
  kLocalRead,
  kLocalCreate,
  kLocalWrite,
  kLocalReplace,
  kLocalFlush,
  kLocalNotRegularFile,
  kLocalDanglingLink,
  kLocalUnresolvedLink,
  kLocalIsFolder,
  kLocalNoFileName,
  kLocalOpenIn,
  kLocalOpenElsewhere,
  kDeviceOpen,
  kDeviceRead,
  kDeviceWrite,
  kDeviceClose,
  kDeviceReplace,
  kDeviceFileVia,
  kDeviceRefusedOpen,
  kDeviceReadFailed,
  kDeviceReadTooMuch,
  kDeviceWriteFailed,
  kDeviceStoredLess,
  kDeviceCloseFailed,
  kDeviceKeptOldFile,
  kDeviceDeletedOldFile,
  kDeviceFileNotFound,
  kDeviceNoTarvelFolder,
  kDeviceAccessDenied,
  kDeviceFileInUse,
  kDeviceStorageFull,
  kConnectionLost,
  kStoppedAnswering,
  kStoppedAnsweringStaged,
  kStoppedAnsweringMoving,
  kCannotConnect,
  kInitExReturned,
  kNoDeviceWithin,
  kEventCannotBeAwaited,
  kConnectionFailedWith,
  kInitReturned,
  kHandheldLocked,
  kDeviceCenterMissing,
  kServiceDisabled,
  kServiceStopped,
  kServicesSplit,
  kCheckHandheld,
  kDeviceCenter,
  kLinuxRapiLibrary,
  kLibraryComesWith,
  kBadTimeout,
  kBadEventLog,
  kLibraryNotLoaded,
  kLibraryLacksEntry,
  kLibraryPathNotAbsolute,
  kLibraryFileMissing,
  kLibraryFileMissingEither,
  kSystemDirectoryUnknown,
  kUnexpectedFailure,
  kStoppedBeforeComplete,
  kStoppedAfterComplete,
  kWaitingForDevice,
  kCopiedOf,
  kCopied,
};

// The language of every text from now on; English until it is set.
void SetLanguage(Language language);
Language CurrentLanguage();

// The text in the current language, each {N} replaced by the Nth argument.
std::string Say(Text text, const std::vector<std::string>& arguments = {});

// A sentence of the system's without its full stop, for a text of the
// program's to go on after it.
std::string WithoutFullStop(std::string sentence);

// The text as it is stored, for code that may not build strings (a signal
// handler); it lasts as long as the program.
const char* Wording(Text text, Language language);

// Every text as stored, for checks of the table itself.
struct Wordings {
  Text text;
  const char* english;
  const char* polish;
};
const std::vector<Wordings>& AllTexts();
