// The PC's files as Windows has them where Wine cannot show it: links, told
// from the file itself and followed to where the system says they lead (a
// stand-in for those calls, as Wine makes no links); and a replaced file's
// security descriptor and attributes on its replacement.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <sddl.h>

#include <ostream>
#include <string>

#include "platform/local_file-win32.h"
#include "platform/local_file.h"
#include "platform/wide_string-win32.h"

namespace {

// A folder of its own in the temporary folder, removed with what is in it.
class Scratch {
 public:
  Scratch() {
    wchar_t temporary[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temporary);
    folder_ = std::wstring(temporary) + L"filecopy-unit-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(++count_);
    CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~Scratch() {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring file = folder_ + L"\\" + found.cFileName;
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(file.c_str());
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    RemoveDirectoryW(folder_.c_str());
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::wstring File(const wchar_t* name, const char* content) const {
    const std::wstring path = folder_ + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content, static_cast<DWORD>(std::char_traits<char>::length(content)), &written,
              nullptr);
    CloseHandle(file);
    return path;
  }
  std::string Path(const wchar_t* name) const {
    return platform::Utf8String((folder_ + L"\\" + name).c_str());
  }

 private:
  static inline int count_ = 0;
  std::wstring folder_;
};

// What the stand-ins answer: the entry's reparse tag, and the path for each
// kind of volume name ("" where there is none).
struct LinkAnswers {
  bool kind_read = true;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  DWORD tag = 0;
  std::wstring on_drive;
  std::wstring on_volume;
};
LinkAnswers g_answers;

BOOL WINAPI Information(HANDLE, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size) {
  if (!g_answers.kind_read || kind != FileAttributeTagInfo ||
      size < sizeof(FILE_ATTRIBUTE_TAG_INFO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* tag = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(buffer);
  tag->FileAttributes = g_answers.attributes;
  tag->ReparseTag = g_answers.tag;
  return TRUE;
}

// As the real one: the length without the terminating null, or where the
// buffer is too small, the size it needs with it.
DWORD WINAPI FinalPath(HANDLE, LPWSTR buffer, DWORD size, DWORD flags) {
  const std::wstring& path =
      (flags & VOLUME_NAME_GUID) != 0 ? g_answers.on_volume : g_answers.on_drive;
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  if (size <= path.size()) return static_cast<DWORD>(path.size() + 1);
  path.copy(buffer, path.size());
  buffer[path.size()] = L'\0';
  return static_cast<DWORD>(path.size());
}

struct LinkCase {
  const char* name;
  LinkAnswers answers;
  bool link;
  std::string target;
};

// Failures name the row, not its bytes.
void PrintTo(const LinkCase& row, std::ostream* out) { *out << row.name; }

class Links : public ::testing::TestWithParam<LinkCase> {};

TEST_P(Links, AreToldFromTheFileAndFollowed) {
  const Scratch scratch;
  scratch.File(L"stan.txt", "old");
  g_answers = GetParam().answers;
  const platform::PathFacts facts =
      platform::ExamineWith(scratch.Path(L"stan.txt"), {Information, FinalPath});
  EXPECT_EQ(facts.link, GetParam().link);
  EXPECT_EQ(facts.type, platform::FileType::kRegular);
  EXPECT_EQ(facts.target, GetParam().target);
}

constexpr DWORD kReparse = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE;
const std::wstring kOnDrive = LR"(\\?\C:\Remanex\stan.txt)";
const std::wstring kOnVolume = LR"(\\?\Volume{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\stan.txt)";
const std::wstring kLong = LR"(\\?\C:\)" + std::wstring(300, L'x') + L"\\stan.txt";

INSTANTIATE_TEST_SUITE_P(
    Kinds, Links,
    ::testing::Values(
        LinkCase{"SymbolicLink",
                 {true, kReparse, IO_REPARSE_TAG_SYMLINK, kOnDrive, kOnVolume},
                 true,
                 R"(\\?\C:\Remanex\stan.txt)"},
        LinkCase{"Junction",
                 {true, kReparse, IO_REPARSE_TAG_MOUNT_POINT, kOnDrive, kOnVolume},
                 true,
                 R"(\\?\C:\Remanex\stan.txt)"},
        // On a volume without a letter: its own name, which the \\?\ calls take.
        LinkCase{"OnAVolumeWithoutALetter",
                 {true, kReparse, IO_REPARSE_TAG_SYMLINK, L"", kOnVolume},
                 true,
                 R"(\\?\Volume{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}\stan.txt)"},
        // Nowhere the system will say: refused above, never replaced.
        LinkCase{
            "LeadingNowhereSaid", {true, kReparse, IO_REPARSE_TAG_SYMLINK, L"", L""}, true, ""},
        LinkCase{"PastMaxPath",
                 {true, kReparse, IO_REPARSE_TAG_SYMLINK, kLong, kOnVolume},
                 true,
                 "\\\\?\\C:\\" + std::string(300, 'x') + "\\stan.txt"},
        // Other reparse points are the files themselves.
        LinkCase{
            "Deduplicated", {true, kReparse, IO_REPARSE_TAG_DEDUP, kOnDrive, kOnVolume}, false, ""},
        LinkCase{
            "NoReparsePoint", {true, FILE_ATTRIBUTE_ARCHIVE, 0, kOnDrive, kOnVolume}, false, ""},
        // Where the kind cannot be read, the file's own attributes decide.
        LinkCase{"KindUnread",
                 {false, kReparse, IO_REPARSE_TAG_SYMLINK, kOnDrive, kOnVolume},
                 false,
                 ""}),
    [](const ::testing::TestParamInfo<LinkCase>& test) { return std::string(test.param.name); });

std::wstring DaclOf(const std::wstring& path) {
  char descriptor[4096] = {};
  DWORD size = 0;
  if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                        &size)) {
    return L"unreadable";
  }
  LPWSTR text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  std::wstring dacl = text != nullptr ? text : L"";
  LocalFree(text);
  return dacl;
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  char user[512] = {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, user, sizeof user, &size);
  CloseHandle(token);
  LPWSTR text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text);
  std::wstring sid = text != nullptr ? text : L"";
  LocalFree(text);
  return sid;
}

constexpr DWORD kShown = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                         FILE_ATTRIBUTE_READONLY;

// Only the owner and the system, where the folder would give everyone more;
// hidden and system, and archive cleared, as a backup leaves it.
TEST(Replacements, KeepTheReplacedFilesPermissionsAndAttributes) {
  const Scratch scratch;
  const std::wstring old = scratch.File(L"stan.txt", "old");
  PSECURITY_DESCRIPTOR only_owner = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      (L"D:P(A;;FA;;;SY)(A;;FA;;;" + UserSid() + L")").c_str(), SDDL_REVISION_1, &only_owner,
      nullptr));
  ASSERT_TRUE(SetFileSecurityW(old.c_str(), DACL_SECURITY_INFORMATION, only_owner));
  LocalFree(only_owner);
  ASSERT_TRUE(SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

  platform::FileHandle held;
  ASSERT_FALSE(platform::CreateHeld(scratch.Path(L"new.txt"), held).failed());
  const std::wstring created = scratch.File(L"fresh.txt", "");
  ASSERT_NE(DaclOf(created), DaclOf(old)) << "a new file here gets the same permissions anyway";
  EXPECT_FALSE(platform::TakePermissions(held, scratch.Path(L"stan.txt")).failed());
  std::size_t written = 0;
  EXPECT_FALSE(platform::Write(held, "new", 3, written).failed()) << "made read-only";
  ASSERT_FALSE(held.Close().failed());

  const std::wstring replacement = platform::WideString(scratch.Path(L"new.txt"));
  EXPECT_EQ(DaclOf(replacement), DaclOf(old));
  EXPECT_EQ(GetFileAttributesW(replacement.c_str()) & kShown,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
}

TEST(Replacements, OfNoFileKeepTheirFoldersPermissions) {
  const Scratch scratch;
  const std::wstring created = scratch.File(L"fresh.txt", "");
  platform::FileHandle held;
  ASSERT_FALSE(platform::CreateHeld(scratch.Path(L"new.txt"), held).failed());
  EXPECT_FALSE(platform::TakePermissions(held, scratch.Path(L"stan.txt")).failed());
  ASSERT_FALSE(held.Close().failed());
  const std::wstring replacement = platform::WideString(scratch.Path(L"new.txt"));
  EXPECT_EQ(DaclOf(replacement), DaclOf(created));
  EXPECT_EQ(GetFileAttributesW(replacement.c_str()) & kShown, FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace
