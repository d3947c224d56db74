#include "tests/child_process.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kExecLimit{5000};
constexpr milliseconds kPollStep{5};
// Output still travelling through the pseudo-terminal arrives within this.
constexpr milliseconds kQuietPeriod{100};
constexpr milliseconds kDrainLimit{2000};

int Milliseconds(milliseconds duration) { return static_cast<int>(duration.count()); }

// Fresh pseudo-terminal modes, so a test can tell what the program changed.
termios DefaultTerminalModes() {
  termios modes{};
  int master = -1;
  int slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
    tcgetattr(slave, &modes);
    close(slave);
    close(master);
  }
  return modes;
}

int OpenOutput(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

void CloseIfOpen(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

struct ChildSetup {
  bool new_session;
  int input;   // -1: keep
  int output;  // -1: keep
  int error;   // -1: keep
  const char* directory;
  const char* program;
  char* const* argv;
  int report;  // gets errno if anything fails before the program runs
  bool bound_by_file_permissions;
  int ignored_signal;
};

// Between fork and exec: async-signal-safe calls only.
[[noreturn]] void RunChild(const ChildSetup& setup) {
  // Dispositions and the mask survive exec; the program must start clean.
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    signal(signal_number, SIG_DFL);
  }
  if (setup.ignored_signal != 0) signal(setup.ignored_signal, SIG_IGN);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  // As under "ulimit -c unlimited", so a core dump the program leaves shows.
  rlimit core{RLIM_INFINITY, RLIM_INFINITY};
  if (setrlimit(RLIMIT_CORE, &core) != 0 && getrlimit(RLIMIT_CORE, &core) == 0) {
    core.rlim_cur = core.rlim_max;
    setrlimit(RLIMIT_CORE, &core);
  }
  bool ready = !setup.new_session || setsid() >= 0;
  if (ready && setup.input >= 0) ready = dup2(setup.input, STDIN_FILENO) >= 0;
  if (ready && setup.output >= 0) ready = dup2(setup.output, STDOUT_FILENO) >= 0;
  if (ready && setup.error >= 0) ready = dup2(setup.error, STDERR_FILENO) >= 0;
  if (ready) ready = chdir(setup.directory) == 0;
  // Through exec root keeps only what is left in its bounding set; the
  // test's own process keeps everything.
  if (ready && setup.bound_by_file_permissions && geteuid() == 0) {
    ready = prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
            prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0;
  }
  if (ready) execv(setup.program, setup.argv);
  const int error = errno;
  if (write(setup.report, &error, sizeof error) < 0) _exit(126);
  _exit(127);
}

}  // namespace

bool operator==(const ExitStatus& left, const ExitStatus& right) {
  return left.exited == right.exited && left.value == right.value &&
         left.core_dumped == right.core_dumped;
}

std::ostream& operator<<(std::ostream& out, const ExitStatus& status) {
  if (status.exited) return out << "exit status " << status.value;
  return out << "killed by signal " << status.value << " (" << strsignal(status.value) << ")"
             << (status.core_dumped ? ", core dumped" : "");
}

ChildProcess::ChildProcess(const std::string& program, const Options& options) {
  std::vector<std::string> words{program};
  words.insert(words.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const bool pseudo = options.terminal == Terminal::kPseudo;
  int input = -1;
  if (options.input == Input::kNull) {
    input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  } else {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
      input = ends[0];
      input_pipe_ = ends[1];
    }
  }
  const auto output_to = [&](const std::string& path) {
    if (!path.empty()) return OpenOutput(path);
    return pseudo ? -1 : OpenOutput("/dev/null");
  };
  int output = output_to(options.output_file);
  int error = output_to(options.error_file);
  int report[2] = {-1, -1};
  if (input < 0 || (!pseudo && (output < 0 || error < 0)) ||
      (!options.output_file.empty() && output < 0) || (!options.error_file.empty() && error < 0) ||
      pipe2(report, O_CLOEXEC) != 0) {
    start_failure_ = std::string("cannot set up the child's files: ") + std::strerror(errno);
    CloseIfOpen(input);
    CloseIfOpen(output);
    CloseIfOpen(error);
    return;
  }
  const ChildSetup setup{!pseudo,
                         input,
                         output,
                         error,
                         options.directory.c_str(),
                         program.c_str(),
                         argv.data(),
                         report[1],
                         options.bound_by_file_permissions,
                         options.ignored_signal};
  if (pseudo) {
    initial_modes_ = DefaultTerminalModes();
    pid_ = forkpty(&master_, nullptr, &initial_modes_, nullptr);
  } else {
    pid_ = fork();
  }
  if (pid_ == 0) RunChild(setup);
  const int fork_error = errno;
  CloseIfOpen(input);
  CloseIfOpen(output);
  CloseIfOpen(error);
  close(report[1]);
  if (pid_ < 0) {
    start_failure_ = std::string("cannot fork: ") + std::strerror(fork_error);
    close(report[0]);
    return;
  }
  if (pseudo) {
    // Held open so the terminal outlives the child and its modes can be read.
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) {
      slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (slave_ < 0) start_failure_ = "cannot open the terminal's side of the pseudo-terminal";
  }
  // The report pipe closes on a successful exec, or brings the reason.
  pollfd waiting{report[0], POLLIN, 0};
  int exec_error = 0;
  if (poll(&waiting, 1, Milliseconds(kExecLimit)) <= 0) {
    start_failure_ = "the child neither ran the program nor failed to";
  } else if (read(report[0], &exec_error, sizeof exec_error) == sizeof exec_error) {
    start_failure_ = "cannot run " + program + ": " + std::strerror(exec_error);
  }
  close(report[0]);
  if (!start_failure_.empty()) Kill();
}

ChildProcess::~ChildProcess() {
  Kill();
  CloseIfOpen(master_);
  CloseIfOpen(slave_);
  CloseIfOpen(input_pipe_);
}

bool ChildProcess::Reap(bool block) {
  if (status_) return true;
  if (pid_ <= 0) return false;
  int raw = 0;
  pid_t result;
  do {
    result = waitpid(pid_, &raw, block ? 0 : WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result != pid_) return false;
  status_ = WIFEXITED(raw) ? ExitedWith(WEXITSTATUS(raw)) : KilledBy(WTERMSIG(raw));
  status_->core_dumped = WIFSIGNALED(raw) && WCOREDUMP(raw);
  return true;
}

void ChildProcess::Kill() {
  if (pid_ <= 0 || Reap(false)) return;
  kill(pid_, SIGKILL);
  Reap(true);
}

std::optional<ExitStatus> ChildProcess::Wait(milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!Reap(false)) {
    if (pid_ <= 0) return std::nullopt;
    if (Clock::now() >= deadline) {
      Kill();
      return std::nullopt;
    }
    Pause();
  }
  DrainScreen();
  return status_;
}

bool ChildProcess::StillRunningAfter(milliseconds period) {
  const auto end = Clock::now() + period;
  while (Clock::now() < end) {
    if (Reap(false)) return false;
    Pause();
  }
  return !Reap(false);
}

void ChildProcess::Signal(int signal_number) const {
  if (pid_ > 0 && !status_) kill(pid_, signal_number);
}

void ChildProcess::Type(const std::string& bytes) const {
  // One write, so a key's whole sequence arrives at once as from a keyboard.
  const ssize_t written = write(master_, bytes.data(), bytes.size());
  (void)written;
}

const std::string& ChildProcess::Screen() {
  ReadScreen(milliseconds{0});
  return screen_;
}

bool ChildProcess::WaitForScreen(const std::function<bool(const std::string&)>& done,
                                 milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    ReadScreen(kPollStep);
    if (done(screen_)) return true;
    if (Reap(false)) {
      DrainScreen();
      return done(screen_);
    }
    if (Clock::now() >= deadline) return false;
  }
}

std::optional<termios> ChildProcess::Modes() const {
  termios modes{};
  if (slave_ < 0 || tcgetattr(slave_, &modes) != 0) return std::nullopt;
  return modes;
}

bool ChildProcess::WaitForModes(const std::function<bool(const termios&)>& done,
                                milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const std::optional<termios> modes = Modes();
    if (modes && done(*modes)) return true;
    if (Reap(false) || Clock::now() >= deadline) return false;
    Pause();
  }
}

int ChildProcess::UnreadInput() const {
  int count = -1;
  if (slave_ < 0 || ioctl(slave_, FIONREAD, &count) != 0) return -1;
  return count;
}

void ChildProcess::ReadScreen(milliseconds wait) {
  if (master_ < 0) return;
  pollfd waiting{master_, POLLIN, 0};
  if (poll(&waiting, 1, Milliseconds(wait)) <= 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(master_, buffer, sizeof buffer);
    if (count <= 0) return;
    screen_.append(buffer, static_cast<std::size_t>(count));
  }
}

void ChildProcess::DrainScreen() {
  if (master_ < 0) return;
  const auto deadline = Clock::now() + kDrainLimit;
  std::size_t seen = screen_.size();
  auto quiet_since = Clock::now();
  while (Clock::now() < deadline && Clock::now() - quiet_since < kQuietPeriod) {
    ReadScreen(kPollStep);
    if (screen_.size() != seen) {
      seen = screen_.size();
      quiet_since = Clock::now();
    }
  }
}

void ChildProcess::Pause() {
  if (master_ >= 0) {
    ReadScreen(kPollStep);
  } else {
    std::this_thread::sleep_for(kPollStep);
  }
}
