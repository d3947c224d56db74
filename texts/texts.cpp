#include "texts/texts.h"

#include <cstddef>
#include <iterator>
#include <string_view>

namespace {

// In the order of Text, which the check below holds it to.
constexpr Wordings kTexts[] = {
    {Text::kLocalOpen, "cannot open local file \"{1}\": {2}",
     "nie mozna otworzyc pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalRead, "cannot read local file \"{1}\": {2}",
     "nie mozna odczytac pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalCreate, "cannot create local file \"{1}\": {2}",
     "nie mozna utworzyc pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalWrite, "cannot write local file \"{1}\": {2}",
     "nie mozna zapisac pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalReplace, "cannot replace local file \"{1}\": {2}",
     "nie mozna zastapic pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalFlush, "cannot flush local file \"{1}\": {2}",
     "nie mozna utrwalic na dysku pliku lokalnego \"{1}\": {2}"},
    {Text::kLocalNotRegularFile, "it is not a regular file", "to nie jest zwykly plik"},
    {Text::kLocalDanglingLink, "it is a link to a file that does not exist",
     "to dowiazanie do pliku, ktory nie istnieje"},
    {Text::kLocalUnresolvedLink,
     "it is a link, and the system cannot say where it leads; give the path of the file it "
     "leads to",
     "to dowiazanie, a system nie podaje, dokad prowadzi; podaj sciezke pliku, do ktorego "
     "prowadzi"},
    {Text::kLocalIsFolder, "it is a folder", "to jest folder"},
    {Text::kLocalNoFileName, "no file name was given", "nie podano nazwy pliku"},
    {Text::kLocalOpenIn, "it is open in {1}; close it there and run again",
     "jest otwarty w programie {1}; zamknij go tam i uruchom ponownie"},
    {Text::kLocalOpenElsewhere, "it is open in another program; close it there and run again",
     "jest otwarty w innym programie; zamknij go tam i uruchom ponownie"},
    {Text::kDeviceOpen, "cannot open device file {1}: {2}",
     "nie mozna otworzyc pliku na terminalu {1}: {2}"},
    {Text::kDeviceRead, "cannot read device file {1}: {2}",
     "nie mozna odczytac pliku na terminalu {1}: {2}"},
    {Text::kDeviceWrite, "cannot write device file {1}: {2}",
     "nie mozna zapisac pliku na terminalu {1}: {2}"},
    {Text::kDeviceClose, "cannot close device file {1}: {2}",
     "nie mozna zamknac pliku na terminalu {1}: {2}"},
    {Text::kDeviceReplace, "cannot replace device file {1}: {2}",
     "nie mozna zastapic pliku na terminalu {1}: {2}"},
    {Text::kDeviceFileVia, "{1} (via {2})", "{1} (przez {2})"},
    {Text::kDeviceRefusedOpen, "the device refused to open it", "terminal odmowil jego otwarcia"},
    {Text::kDeviceReadFailed, "the device reported a read failure",
     "terminal zglosil blad odczytu"},
    {Text::kDeviceReadTooMuch, "the device returned {1:byte|bytes} for a read of {2:byte|bytes}",
     "terminal zwrocil {1:bajt|bajty|bajtow} przy odczycie {2:bajtu|bajtow|bajtow}"},
    {Text::kDeviceWriteFailed, "the device reported a write failure",
     "terminal zglosil blad zapisu"},
    {Text::kDeviceStoredLess, "the device stored only {1} of {2:byte|bytes}",
     "terminal zapisal tylko {1} z {2:bajtu|bajtow|bajtow}"},
    {Text::kDeviceCloseFailed, "the device reported a failure", "terminal zglosil blad"},
    {Text::kDeviceKeptOldFile, "the device did not delete it and would not move {1} into its place",
     "terminal go nie usunal i nie przeniosl {1} na jego miejsce"},
    {Text::kDeviceDeletedOldFile, "the device deleted it but would not move {1} into its place",
     "terminal go usunal, ale nie przeniosl {1} na jego miejsce"},
    {Text::kDeviceFileNotFound, "the file is not on the handheld", "pliku nie ma na terminalu"},
    {Text::kDeviceNoTarvelFolder,
     "there is no \\Tarvel folder on the handheld (Remanex creates it)",
     "na terminalu nie ma folderu \\Tarvel (tworzy go Remanex)"},
    {Text::kDeviceAccessDenied, "the handheld denied access: the file or its storage is read-only",
     "terminal odmowil dostepu: plik albo jego pamiec jest tylko do odczytu"},
    {Text::kDeviceFileInUse,
     "the file is in use on the handheld; close Remanex there and run again",
     "plik jest uzywany na terminalu; zamknij tam Remanex i uruchom ponownie"},
    {Text::kDeviceStorageFull, "the handheld's storage is full; make room there and run again",
     "pamiec terminala jest pelna; zwolnij na nim miejsce i uruchom ponownie"},
    {Text::kConnectionLost,
     "the connection to the handheld was lost during {1}; dock it and run again ({2})",
     "polaczenie z terminalem zostalo zerwane podczas {1}; wloz go do stacji i uruchom ponownie "
     "({2})"},
    {Text::kStoppedAnswering, "the handheld stopped answering during {1}; dock it and run again",
     "terminal przestal odpowiadac podczas {1}; wloz go do stacji i uruchom ponownie"},
    {Text::kStoppedAnsweringStaged,
     "the handheld stopped answering during {1}; the new content is in {2} there; dock it and "
     "run again",
     "terminal przestal odpowiadac podczas {1}; nowa zawartosc jest na nim w {2}; wloz go do "
     "stacji i uruchom ponownie"},
    {Text::kStoppedAnsweringMoving,
     "the handheld stopped answering during {1}; the new content is in {2} there, or already in "
     "{3}; dock it and run again",
     "terminal przestal odpowiadac podczas {1}; nowa zawartosc jest na nim w {2} albo juz w {3}; "
     "wloz go do stacji i uruchom ponownie"},
    {Text::kCannotConnect, "cannot connect to the device: {1}",
     "nie mozna polaczyc sie z terminalem: {1}"},
    {Text::kInitExReturned, "CeRapiInitEx returned {1}", "CeRapiInitEx zwrocilo {1}"},
    {Text::kNoDeviceWithin, "no device connected within {1} s",
     "zaden terminal nie polaczyl sie w ciagu {1} s"},
    {Text::kEventCannotBeAwaited, "the library's connection event cannot be waited for",
     "nie mozna czekac na zdarzenie polaczenia od biblioteki"},
    {Text::kConnectionFailedWith, "the connection failed with {1}",
     "polaczenie nie powiodlo sie z kodem {1}"},
    {Text::kInitReturned, "CeRapiInit returned {1}", "CeRapiInit zwrocilo {1}"},
    {Text::kHandheldLocked, "the handheld is locked: unlock it and run again",
     "terminal jest zablokowany: odblokuj go i uruchom ponownie"},
    {Text::kDeviceCenterMissing,
     "Windows Mobile Device Center is not installed or is damaged (there is no service {1}): "
     "install it, README.txt says where from",
     "Centrum obslugi urzadzen z systemem Windows Mobile nie jest zainstalowane albo jest "
     "uszkodzone (nie ma uslugi {1}): zainstaluj je, skad - podaje README.txt"},
    {Text::kServiceDisabled,
     "the service {1} of Windows Mobile Device Center is disabled: an administrator must set "
     "its start type to Automatic and start it (net start {1}), or install FileCopy's MSI with "
     "WMDCFIX=1",
     "usluga {1} Centrum obslugi urzadzen z systemem Windows Mobile jest wylaczona: administrator "
     "musi ustawic jej typ uruchomienia na Automatyczny i ja uruchomic (net start {1}) albo "
     "zainstalowac pakiet MSI programu FileCopy z WMDCFIX=1"},
    {Text::kServiceStopped,
     "the service {1} of Windows Mobile Device Center is not running: an administrator must "
     "start it (net start {1}) or set its start type to Automatic",
     "usluga {1} Centrum obslugi urzadzen z systemem Windows Mobile nie dziala: administrator "
     "musi ja uruchomic (net start {1}) albo ustawic jej typ uruchomienia na Automatyczny"},
    {Text::kServicesSplit,
     "Windows runs the services RapiMgr and WcesComm in separate processes, where they do not "
     "work together: an administrator must set SvcHostSplitDisable to 1 for both and restart "
     "them, as README.txt shows, or install FileCopy's MSI with WMDCFIX=1",
     "Windows uruchamia uslugi RapiMgr i WcesComm w osobnych procesach, w ktorych nie "
     "wspolpracuja: administrator musi ustawic dla obu SvcHostSplitDisable na 1 i uruchomic je "
     "ponownie, jak podaje README.txt, albo zainstalowac pakiet MSI programu FileCopy z "
     "WMDCFIX=1"},
    {Text::kCheckHandheld,
     "check that the handheld is docked, switched on and unlocked, and that {1} shows it as "
     "connected",
     "sprawdz, czy terminal jest w stacji, wlaczony i odblokowany oraz czy {1} pokazuje go jako "
     "polaczony"},
    {Text::kDeviceCenter, "Windows Mobile Device Center",
     "Centrum obslugi urzadzen z systemem Windows Mobile"},
    {Text::kLinuxRapiLibrary, "SynCE's Linux RAPI library, libsynce or the older librapi2",
     "biblioteka Linux RAPI projektu SynCE, libsynce albo starsza librapi2"},
    {Text::kLibraryComesWith, "{1} (it comes with {2})", "{1} (dostarcza ja: {2})"},
    {Text::kBadTimeout, "{1} is \"{2}\", not a whole number of seconds from 1 to {3}",
     "{1} ma wartosc \"{2}\", a nie liczbe calkowita sekund od 1 do {3}"},
    {Text::kBadEventLog, "{1} is \"{2}\", not off, failures or all",
     "{1} ma wartosc \"{2}\", a nie off, failures ani all"},
    {Text::kLibraryNotLoaded,
     "cannot call {1}: the remote API library \"{2}\" could not be loaded: {3}",
     "nie mozna wywolac {1}: nie mozna zaladowac biblioteki zdalnego API \"{2}\": {3}"},
    {Text::kLibraryLacksEntry,
     "cannot call {1}: the remote API library \"{2}\" does not provide it",
     "nie mozna wywolac {1}: biblioteka zdalnego API \"{2}\" jej nie udostepnia"},
    {Text::kLibraryPathNotAbsolute, "not an absolute path", "to nie jest sciezka bezwzgledna"},
    {Text::kLibraryFileMissing, "there is no such file", "nie ma takiego pliku"},
    {Text::kLibraryFileMissingEither, ", nor \"{1}\"", ", ani \"{1}\""},
    {Text::kSystemDirectoryUnknown, "the system directory is unknown",
     "katalog systemowy jest nieznany"},
    {Text::kUnexpectedFailure, "unexpected failure", "nieoczekiwany blad"},
    {Text::kStoppedBeforeComplete, "copy stopped before it was complete",
     "kopiowanie przerwane przed jego zakonczeniem"},
    {Text::kStoppedAfterComplete, "copy stopped after it was complete",
     "kopiowanie przerwane po jego zakonczeniu"},
    {Text::kWaitingForDevice, "Waiting for the connection to the handheld... (Ctrl+C stops)",
     "Czekam na polaczenie z terminalem... (Ctrl+C przerywa)"},
    {Text::kCopiedOf, "Copied {1} of {2:byte|bytes} ({3}%)",
     "Skopiowano {1} z {2:bajtu|bajtow|bajtow} ({3}%)"},
    {Text::kCopied, "Copied {1:byte|bytes}", "Skopiowano {1:bajt|bajty|bajtow}"},
};

constexpr bool InOrder() {
  std::size_t index = 0;
  for (const Wordings& row : kTexts) {
    if (static_cast<std::size_t>(row.text) != index++) return false;
  }
  return true;
}
static_assert(InOrder(), "every text has its row, in the order of Text");

Language g_language = Language::kEnglish;

// "{2}", or "{2:byte|bytes}": the second argument, then the word's forms.
struct Placeholder {
  std::size_t argument = 0;
  std::string_view forms;  // empty for a bare argument
  std::size_t end = 0;     // just past the closing brace
};

bool ReadPlaceholder(std::string_view wording, std::size_t at, Placeholder& placeholder) {
  if (at + 2 >= wording.size() || wording[at] != '{' || wording[at + 1] < '1' ||
      wording[at + 1] > '9') {
    return false;
  }
  const std::size_t close = wording.find('}', at);
  if (close == std::string_view::npos || (close != at + 2 && wording[at + 2] != ':')) {
    return false;
  }
  placeholder.argument = static_cast<std::size_t>(wording[at + 1] - '1');
  placeholder.forms = close == at + 2 ? std::string_view() : wording.substr(at + 3, close - at - 3);
  placeholder.end = close + 1;
  return true;
}

// The index-th of forms separated by '|'; the last where there are fewer.
std::string_view Form(std::string_view forms, std::size_t index) {
  for (; index > 0; --index) {
    const std::size_t bar = forms.find('|');
    if (bar == std::string_view::npos) break;
    forms.remove_prefix(bar + 1);
  }
  return forms.substr(0, forms.find('|'));
}

// Which of the language's forms a count's word takes, the count in digits,
// grouped or not: only whether it is one and its last two digits matter.
std::size_t PluralForm(Language language, std::string_view count) {
  std::string digits;
  for (const char c : count) {
    if (c >= '0' && c <= '9') digits += c;
  }
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? "0" : digits.substr(first);
  const int last = digits.back() - '0';
  const int tens = digits.size() > 1 ? digits[digits.size() - 2] - '0' : 0;
  if (digits == "1") return 0;
  if (language == Language::kEnglish) return 1;
  return last >= 2 && last <= 4 && tens != 1 ? 1 : 2;
}

}  // namespace

void SetLanguage(Language language) { g_language = language; }

Language CurrentLanguage() { return g_language; }

std::string WithoutFullStop(std::string sentence) {
  while (!sentence.empty() && (sentence.back() == '.' || sentence.back() == ' ')) {
    sentence.pop_back();
  }
  return sentence;
}

const char* Wording(Text text, Language language) {
  const Wordings& row = kTexts[static_cast<std::size_t>(text)];
  return language == Language::kPolish ? row.polish : row.english;
}

std::string Say(Text text, const std::vector<std::string>& arguments) {
  const std::string_view wording = Wording(text, g_language);
  std::string said;
  for (std::size_t at = 0; at < wording.size(); ++at) {
    Placeholder placeholder;
    if (!ReadPlaceholder(wording, at, placeholder) || placeholder.argument >= arguments.size()) {
      said += wording[at];
      continue;
    }
    const std::string& argument = arguments[placeholder.argument];
    said += argument;
    if (!placeholder.forms.empty()) {
      said += ' ';
      said += Form(placeholder.forms, PluralForm(g_language, argument));
    }
    at = placeholder.end - 1;
  }
  return said;
}

const std::vector<Wordings>& AllTexts() {
  static const std::vector<Wordings> all(std::begin(kTexts), std::end(kTexts));
  return all;
}
