#pragma once

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/child_process.h"

// The real program, bound to the device simulator.
inline const std::string kProgram = FILECOPY_PROGRAM;

// What a failed copy shows, caption and text, in UTF-8. The caption keeps the
// first letter of the program file's name "filecopy" as it is.
inline const std::string kCaption = "filecopy";
inline const std::string kCopyFailedText =
    "B\xC5\x82\xC4\x85"
    "d podczas kopiowania pliku";

// Enough for a start-up and a few MiB through the simulator on a loaded machine.
inline constexpr std::chrono::milliseconds kRunLimit{20000};

// The program's outcome, run in a session of its own with no terminal.
struct ProgramRun {
  std::string start_failure;
  std::optional<ExitStatus> status;  // nothing: it did not end in time and was killed
  std::string output;
  std::string errors;
};

// How the program is started, beyond its arguments.
struct Launch {
  // A program that runs it, with its own arguments before the program's path
  // (a tracer); empty: the program itself.
  std::vector<std::string> through;
  // Bound by file permissions as a user is, even when the tests run as root.
  bool bound_by_file_permissions = false;
};

ProgramRun RunWithoutTerminal(const std::vector<std::string>& arguments,
                              const std::string& directory,
                              std::chrono::milliseconds limit = kRunLimit,
                              const Launch& launch = {});

std::vector<std::string> Lines(const std::string& text);

// Text as a terminal with the usual output modes shows it: "\n" as "\r\n".
std::string AsShownOnTerminal(const std::string& text);

// Every file below a folder with its bytes; folders map to nothing, links and
// special files to what they are.
using FolderSnapshot = std::map<std::string, std::optional<std::string>>;
FolderSnapshot Snapshot(const std::filesystem::path& folder);
// Empty when equal; otherwise each path that differs, briefly.
std::string Differences(const FolderSnapshot& expected, const FolderSnapshot& actual);

// One line of the simulator's call log.
struct Call {
  std::string entry;
  std::string arguments;
  std::string result;
};
std::vector<Call> ParseCalls(const std::string& log);
// After a connection: every file opened was closed and the connection was
// closed last.
::testing::AssertionResult DeviceReleased(const std::vector<Call>& calls);

// Whether the screen holds exactly one framed message and nothing else: a
// title bar with the caption, the text and "[ OK ]" inside, all lines of one width.
::testing::AssertionResult ShowsFramedMessage(const std::string& screen, const std::string& caption,
                                              const std::string& text);

// Single keys, no echo, no signals from the keyboard.
bool IsRaw(const termios& modes);
// The modes the terminal had before the program ran, in every flag that
// matters for reading keys.
::testing::AssertionResult ModesRestored(const std::optional<termios>& now, const termios& before);
