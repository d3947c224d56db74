#include "tests/end_to_end_support.h"

#include <sstream>

#include "tests/scratch.h"

namespace fs = std::filesystem;

ProgramRun RunWithoutTerminal(const std::vector<std::string>& arguments,
                              const std::string& directory, std::chrono::milliseconds limit,
                              const Launch& launch) {
  // Outside the folders the tests inspect, so capturing leaves no trace there.
  const ScratchFolder capture;
  ChildProcess::Options options;
  std::string program = kProgram;
  if (!launch.through.empty()) {
    program = launch.through.front();
    options.arguments.assign(launch.through.begin() + 1, launch.through.end());
    options.arguments.push_back(kProgram);
  }
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  options.directory = directory;
  options.output_file = capture / "stdout";
  options.error_file = capture / "stderr";
  options.bound_by_file_permissions = launch.bound_by_file_permissions;
  ProgramRun run;
  {
    ChildProcess child(program, options);
    run.start_failure = child.start_failure();
    if (run.start_failure.empty()) run.status = child.Wait(limit);
  }
  run.output = ReadFileBytes(options.output_file);
  run.errors = ReadFileBytes(options.error_file);
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string AsShownOnTerminal(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    if (c == '\n') shown += '\r';
    shown += c;
  }
  return shown;
}

// What is not a regular file is never read (a FIFO would block): a link by
// where it leads, anything else by its type.
FolderSnapshot Snapshot(const fs::path& folder) {
  FolderSnapshot snapshot;
  if (!fs::exists(folder)) return snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    // Not fs::relative, which would name a link by where it leads.
    const std::string name = entry.path().lexically_relative(folder).generic_string();
    const fs::file_type type = entry.symlink_status().type();
    if (type == fs::file_type::directory) {
      snapshot[name] = std::nullopt;
    } else if (type == fs::file_type::regular) {
      snapshot[name] = ReadFileBytes(entry.path().string());
    } else if (type == fs::file_type::symlink) {
      snapshot[name] = "a link to " + fs::read_symlink(entry.path()).string();
    } else {
      snapshot[name] = "a special file of type " + std::to_string(static_cast<int>(type));
    }
  }
  return snapshot;
}

namespace {

std::string Describe(const std::optional<std::string>& entry) {
  if (!entry) return "a folder";
  return std::to_string(entry->size()) + " bytes";
}

}  // namespace

std::string Differences(const FolderSnapshot& expected, const FolderSnapshot& actual) {
  std::ostringstream out;
  for (const auto& [name, content] : expected) {
    const auto found = actual.find(name);
    if (found == actual.end()) {
      out << name << ": missing (expected " << Describe(content) << ")\n";
    } else if (found->second != content) {
      out << name << ": " << Describe(found->second) << ", not the expected " << Describe(content)
          << (found->second && content ? " (bytes differ)" : "") << "\n";
    }
  }
  for (const auto& [name, content] : actual) {
    if (expected.count(name) == 0) out << name << ": unexpected (" << Describe(content) << ")\n";
  }
  return out.str();
}

std::vector<Call> ParseCalls(const std::string& log) {
  std::vector<Call> calls;
  for (const std::string& line : Lines(log)) {
    Call call;
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    call.entry = line.substr(0, open);
    if (open != std::string::npos && close != std::string::npos && close > open) {
      call.arguments = line.substr(open + 1, close - open - 1);
      const std::size_t equals = line.find("= ", close);
      if (equals != std::string::npos) {
        call.result = line.substr(equals + 2, line.find(' ', equals + 2) - (equals + 2));
      }
    }
    calls.push_back(call);
  }
  return calls;
}

::testing::AssertionResult DeviceReleased(const std::vector<Call>& calls) {
  std::map<std::string, int> open_handles;
  for (const Call& call : calls) {
    if (call.entry == "CeCreateFile" && call.result != "0xFFFFFFFF") ++open_handles[call.result];
    if (call.entry == "CeCloseHandle") --open_handles[call.arguments];
  }
  for (const auto& [handle, count] : open_handles) {
    if (count != 0) return ::testing::AssertionFailure() << "handle " << handle << " left open";
  }
  if (calls.empty() || calls.back().entry != "CeRapiUninit") {
    return ::testing::AssertionFailure() << "the connection was not closed last";
  }
  return ::testing::AssertionSuccess();
}

namespace {

std::size_t DisplayWidth(const std::string& utf8) {
  std::size_t width = 0;
  for (const char c : utf8) width += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
  return width;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool Framed(const std::string& line, char edge) {
  return line.size() >= 2 && line.front() == edge && line.back() == edge;
}

}  // namespace

::testing::AssertionResult ShowsFramedMessage(const std::string& screen, const std::string& caption,
                                              const std::string& text) {
  std::string unix_lines;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    if (screen.compare(i, 2, "\r\n") == 0) continue;
    unix_lines += screen[i];
  }
  std::vector<std::string> lines = Lines(unix_lines);
  while (!lines.empty() && Trimmed(lines.front()).empty()) lines.erase(lines.begin());
  auto failure = [&]() {
    return ::testing::AssertionFailure() << "screen:\n" << unix_lines << "\n";
  };
  if (lines.size() < 3) return failure() << "has no frame";
  const std::string top = Trimmed(lines.front());
  const std::string bottom = Trimmed(lines.back());
  if (!Framed(top, '+') || top.find(caption) == std::string::npos) {
    return failure() << "has no title bar with \"" << caption << "\" first";
  }
  if (!Framed(bottom, '+') || bottom.find_first_not_of('-', 1) != bottom.size() - 1) {
    return failure() << "does not end with the frame's bottom edge";
  }
  bool has_text = false;
  bool has_button = false;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    const std::string inside = Trimmed(lines[i]);
    if (!Framed(inside, '|')) return failure() << "line " << i << " is not inside the frame";
    has_text = has_text || Trimmed(inside.substr(1, inside.size() - 2)) == text;
    has_button = has_button || Trimmed(inside.substr(1, inside.size() - 2)) == "[ OK ]";
  }
  for (const std::string& line : lines) {
    if (DisplayWidth(line) != DisplayWidth(lines.front())) {
      return failure() << "the frame's lines differ in width";
    }
  }
  if (!has_text) return failure() << "does not show \"" << text << "\" on a line of its own";
  if (!has_button) return failure() << "has no \"[ OK ]\"";
  return ::testing::AssertionSuccess();
}

bool IsRaw(const termios& modes) {
  return (modes.c_lflag & static_cast<tcflag_t>(ICANON | ECHO | ISIG)) == 0;
}

::testing::AssertionResult ModesRestored(const std::optional<termios>& now, const termios& before) {
  if (!now) return ::testing::AssertionFailure() << "the terminal's modes cannot be read";
  constexpr tcflag_t kKeyFlags = ICANON | ECHO | ISIG | IEXTEN;
  if ((now->c_lflag & kKeyFlags) != kKeyFlags) {
    return ::testing::AssertionFailure() << "ICANON, ECHO, ISIG or IEXTEN still cleared";
  }
  if (now->c_lflag != before.c_lflag || now->c_iflag != before.c_iflag ||
      now->c_oflag != before.c_oflag || now->c_cc[VMIN] != before.c_cc[VMIN] ||
      now->c_cc[VTIME] != before.c_cc[VTIME]) {
    return ::testing::AssertionFailure()
           << std::hex << "modes differ: lflag " << now->c_lflag << " (was " << before.c_lflag
           << "), iflag " << now->c_iflag << " (was " << before.c_iflag << ")";
  }
  return ::testing::AssertionSuccess();
}
