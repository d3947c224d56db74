// How the programs holding a file are named from the list the Restart Manager
// gives, and that every session started is ended. Wine's Restart Manager
// lists nobody, so a stand-in gives made-up lists.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_holders-win32.h"

namespace {

// The stand-in's answers, and what it was asked.
struct Session {
  DWORD start = ERROR_SUCCESS;
  DWORD registered = ERROR_SUCCESS;
  DWORD listing = ERROR_SUCCESS;
  std::vector<RM_PROCESS_INFO> listed;
  int started = 0;
  int ended = 0;
  std::wstring file;
};
Session g_session;

DWORD WINAPI StartSession(DWORD* handle, DWORD, WCHAR*) {
  if (g_session.start != ERROR_SUCCESS) return g_session.start;
  ++g_session.started;
  *handle = 7;
  return ERROR_SUCCESS;
}

DWORD WINAPI EndSession(DWORD handle) {
  if (handle == 7) ++g_session.ended;
  return ERROR_SUCCESS;
}

DWORD WINAPI RegisterResources(DWORD, UINT count, LPCWSTR files[], UINT, RM_UNIQUE_PROCESS*, UINT,
                               LPCWSTR*) {
  if (count == 1) g_session.file = files[0];
  return g_session.registered;
}

// As the real one: too small a list is answered with the size it needs.
DWORD WINAPI GetList(DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO* listed, DWORD* reasons) {
  *reasons = 0;
  if (g_session.listing != ERROR_SUCCESS) return g_session.listing;
  *needed = static_cast<UINT>(g_session.listed.size());
  if (*count < *needed) return ERROR_MORE_DATA;
  for (const RM_PROCESS_INFO& process : g_session.listed) *listed++ = process;
  *count = *needed;
  return ERROR_SUCCESS;
}

const platform::RestartManagerEntries kStandIn{StartSession, EndSession, RegisterResources,
                                               GetList};

RM_PROCESS_INFO Listed(DWORD process, FILETIME started, const wchar_t* application,
                       const wchar_t* service) {
  RM_PROCESS_INFO info{};
  info.Process.dwProcessId = process;
  info.Process.ProcessStartTime = started;
  std::wcsncpy(info.strAppName, application, CCH_RM_MAX_APP_NAME);
  std::wcsncpy(info.strServiceShortName, service, CCH_RM_MAX_SVC_NAME);
  return info;
}

std::vector<std::pair<std::string, std::string>> Named(
    const std::vector<platform::FileHolder>& holders) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const platform::FileHolder& holder : holders) {
    named.emplace_back(holder.application, holder.image);
  }
  return named;
}

TEST(FileHolders, AreNamedByTheirApplicationAndProgramFile) {
  g_session = {};
  FILETIME created{};
  FILETIME unused[3]{};
  ASSERT_TRUE(GetProcessTimes(GetCurrentProcess(), &created, &unused[0], &unused[1], &unused[2]));
  FILETIME other = created;
  ++other.dwLowDateTime;
  g_session.listed = {
      // This process, whose program file is named; a service's short name is not a name for people.
      Listed(GetCurrentProcessId(), created, L"Stock sheet", L"StockSvc"),
      // A service without an application name, and a process since replaced by another.
      Listed(GetCurrentProcessId(), other, L"", L"Spooler")};
  const auto holders = platform::HoldersListed(kStandIn, LR"(C:\Remanex\stan.txt)");
  EXPECT_EQ(Named(holders), (std::vector<std::pair<std::string, std::string>>{
                                {"Stock sheet", "windows_unit_tests.exe"}, {"", ""}}));
  EXPECT_EQ(g_session.file, LR"(C:\Remanex\stan.txt)");
}

struct SessionCase {
  const char* name;
  DWORD start;
  DWORD registered;
  DWORD listing;
  int sessions;
};

// Failures name the row, not its bytes.
void PrintTo(const SessionCase& row, std::ostream* out) { *out << row.name; }

class RestartSessions : public ::testing::TestWithParam<SessionCase> {};

TEST_P(RestartSessions, AreEndedOnEveryPath) {
  g_session = {};
  g_session.start = GetParam().start;
  g_session.registered = GetParam().registered;
  g_session.listing = GetParam().listing;
  g_session.listed = {Listed(4, FILETIME{}, L"Stock sheet", L"")};
  platform::HoldersListed(kStandIn, L"stan.txt");
  EXPECT_EQ(g_session.started, GetParam().sessions);
  EXPECT_EQ(g_session.ended, GetParam().sessions);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RestartSessions,
    ::testing::Values(
        SessionCase{"Listed", ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 1},
        SessionCase{"NotRegistered", ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, 1},
        SessionCase{"NotListed", ERROR_SUCCESS, ERROR_SUCCESS, ERROR_INVALID_HANDLE, 1},
        SessionCase{"NotStarted", ERROR_SEM_TIMEOUT, ERROR_SUCCESS, ERROR_SUCCESS, 0}),
    [](const ::testing::TestParamInfo<SessionCase>& test) { return std::string(test.param.name); });

}  // namespace
