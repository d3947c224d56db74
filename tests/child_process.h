#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// How a child process ended: its exit code, or the signal that killed it,
// and whether that left a core dump (children may leave one).
struct ExitStatus {
  bool exited = false;
  int value = 0;
  bool core_dumped = false;
};

bool operator==(const ExitStatus& left, const ExitStatus& right);
std::ostream& operator<<(std::ostream& out, const ExitStatus& status);
inline ExitStatus ExitedWith(int code) { return {true, code}; }
inline ExitStatus KilledBy(int signal_number) { return {false, signal_number}; }

// A program started with fork and exec. Every wait has a limit, and a child
// still running when the object goes is killed, so no test can hang on one.
class ChildProcess {
 public:
  enum class Terminal {
    // A session of its own without a controlling terminal, so /dev/tty cannot
    // be opened.
    kNone,
    // A new pseudo-terminal as controlling terminal, standard output and,
    // unless redirected, standard error.
    kPseudo,
  };
  enum class Input {
    kNull,      // reading gives end of file at once
    kOpenPipe,  // a pipe the parent holds open and never writes: reading blocks
  };
  struct Options {
    std::vector<std::string> arguments;  // after the program's path
    Terminal terminal = Terminal::kNone;
    Input input = Input::kOpenPipe;
    std::string directory = ".";
    // Empty: the terminal, or /dev/null without one.
    std::string output_file;
    std::string error_file;
    // Subject to file permissions as a user is, even when run by root: without
    // the capabilities that override them.
    bool bound_by_file_permissions = false;
    // A signal the program starts with ignored, as nohup starts it; 0: none.
    int ignored_signal = 0;
  };

  ChildProcess(const std::string& program, const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Empty when the program runs; otherwise why it could not be started.
  const std::string& start_failure() const { return start_failure_; }

  // How it ended; nothing if it still ran after limit, and then it is killed.
  std::optional<ExitStatus> Wait(std::chrono::milliseconds limit);
  bool StillRunningAfter(std::chrono::milliseconds period);
  void Signal(int signal_number) const;
  pid_t pid() const { return pid_; }

  // The rest needs Terminal::kPseudo.
  void Type(const std::string& bytes) const;
  // Everything the child has written to the terminal so far.
  const std::string& Screen();
  bool WaitForScreen(const std::function<bool(const std::string&)>& done,
                     std::chrono::milliseconds limit);
  // The modes the terminal was created with.
  const termios& initial_modes() const { return initial_modes_; }
  // The terminal's modes now, read on the terminal's side, not the master's.
  std::optional<termios> Modes() const;
  bool WaitForModes(const std::function<bool(const termios&)>& done,
                    std::chrono::milliseconds limit);
  // Bytes typed at the terminal that nobody has read.
  int UnreadInput() const;

 private:
  bool Reap(bool block);
  void Kill();
  // Reads what the terminal shows, waiting at most wait for the first byte.
  void ReadScreen(std::chrono::milliseconds wait);
  // Reads until the terminal has been quiet for a while.
  void DrainScreen();
  void Pause();

  pid_t pid_ = -1;
  std::optional<ExitStatus> status_;
  int master_ = -1;
  int slave_ = -1;
  int input_pipe_ = -1;
  termios initial_modes_{};
  std::string screen_;
  std::string start_failure_;
};
