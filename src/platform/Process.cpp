#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string_view>

extern char** environ;

namespace veltrano {
namespace {

using TArgs = std::vector<std::string>;

// Everything execve needs, prepared before fork: after fork the child may
// only make async-signal-safe calls (no allocation), since other threads of
// this process may have held the allocator's locks at the moment of the fork.
class TExecImage {
 public:
  TExecImage(std::string program, const TArgs& argv) : FProgram(std::move(program)), FArgs(argv) {
    for (std::string& arg : FArgs) FPointers.push_back(arg.data());
    FPointers.push_back(nullptr);
    FEnvironment = environ;
  }
  // The pointers point into FArgs: the image stays where it was made.
  TExecImage(const TExecImage&) = delete;
  TExecImage& operator=(const TExecImage&) = delete;

  // Runs in the child: prepares the standard handles, signals and priority,
  // then executes the program. On failure writes errno to `status_fd` and exits.
  [[noreturn]] void Exec(int status_fd, int output_fd) const {
    // Programs start with normal priority whatever this process runs at;
    // going back up from a lowered priority may be refused, which is harmless.
    setpriority(PRIO_PROCESS, 0, 0);
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    signal(SIGPIPE, SIG_DFL);
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) {
      dup2(null_fd, STDIN_FILENO);
      if (null_fd != STDIN_FILENO) close(null_fd);
    }
    if (output_fd >= 0) {
      dup2(output_fd, STDOUT_FILENO);
      dup2(output_fd, STDERR_FILENO);
      if (output_fd > STDERR_FILENO) close(output_fd);
    }
    execve(FProgram.c_str(), FPointers.data(), FEnvironment);
    const int error = errno;
    [[maybe_unused]] ssize_t written = write(status_fd, &error, sizeof error);
    _exit(127);
  }

 private:
  std::string FProgram;
  TArgs FArgs;
  std::vector<char*> FPointers;
  char** FEnvironment = nullptr;
};

// A pipe whose ends are closed when it goes (and, being close-on-exec, when
// the child's exec succeeds).
class TPipe {
 public:
  TPipe() {
    if (pipe2(FFds, O_CLOEXEC) != 0) FFds[0] = FFds[1] = -1;
  }
  ~TPipe() {
    CloseRead();
    CloseWrite();
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;

  bool Valid() const { return FFds[0] >= 0; }
  int Read() const { return FFds[0]; }
  int Write() const { return FFds[1]; }
  void CloseRead() { CloseFd(FFds[0]); }
  void CloseWrite() { CloseFd(FFds[1]); }

 private:
  static void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  int FFds[2] = {-1, -1};
};

// Waits for `pid` and returns its exit code (128 + signal when killed).
int WaitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Reads `fd` to its end.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count > 0) {
      text.append(buffer, static_cast<size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      return text;
    }
  }
}

// True when the child's exec succeeded: the status pipe closes without the
// child's errno in it. The caller must have closed its own write end.
bool ExecSucceeded(TPipe& status) {
  return ReadAll(status.Read()).empty();
}

class TLauncherSlot {
 public:
  std::shared_ptr<TProcessLauncher> Get() {
    std::lock_guard lock(FMutex);
    return FLauncher;
  }
  std::shared_ptr<TProcessLauncher> Swap(std::shared_ptr<TProcessLauncher> launcher) {
    if (!launcher) launcher = std::make_shared<TSystemProcessLauncher>();
    std::lock_guard lock(FMutex);
    std::swap(FLauncher, launcher);
    return launcher;
  }

 private:
  std::mutex FMutex;
  std::shared_ptr<TProcessLauncher> FLauncher = std::make_shared<TSystemProcessLauncher>();
};

TLauncherSlot& LauncherSlot() {
  static TLauncherSlot slot;
  return slot;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path_variable = std::getenv("PATH");
  const std::string_view search_path =
      path_variable != nullptr ? path_variable : "/usr/local/bin:/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    const size_t end = std::min(search_path.find(':', begin), search_path.size());
    // An empty PATH entry means the current folder.
    const std::string_view folder = end > begin ? search_path.substr(begin, end - begin) : ".";
    std::string candidate(folder);
    candidate += '/';
    candidate += name;
    if (IsExecutableFile(candidate)) return candidate;
    if (end == search_path.size()) return {};
    begin = end + 1;
  }
}

bool TSystemProcessLauncher::Start(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::string program = FindProgram(argv[0]);
  if (program.empty()) return false;
  const TExecImage image(std::move(program), argv);
  TPipe status;
  if (!status.Valid()) return false;

  // The program is started by a short-lived intermediate child, so that it
  // is adopted by init (or the session's subreaper) and reaped there: we do
  // not wait for it, and it never lingers as our zombie.
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) image.Exec(status.Write(), -1);
    _exit(grandchild < 0 ? 1 : 0);
  }
  status.CloseWrite();
  if (child < 0) return false;
  const int intermediate_exit = WaitForExit(child);
  return ExecSucceeded(status) && intermediate_exit == 0;
}

TProcessOutput TSystemProcessLauncher::Run(const std::vector<std::string>& argv) {
  TProcessOutput result;
  if (argv.empty()) return result;
  std::string program = FindProgram(argv[0]);
  if (program.empty()) return result;
  const TExecImage image(std::move(program), argv);
  TPipe status;
  TPipe output;
  if (!status.Valid() || !output.Valid()) return result;

  const pid_t child = fork();
  if (child == 0) image.Exec(status.Write(), output.Write());
  status.CloseWrite();
  output.CloseWrite();
  if (child < 0) return result;
  // The status pipe closes at the exec, before the program writes anything,
  // so reading it first cannot block on a full output pipe.
  result.started = ExecSucceeded(status);
  result.output = ReadAll(output.Read());
  result.exit_code = WaitForExit(child);
  return result;
}

std::shared_ptr<TProcessLauncher> SetProcessLauncher(std::shared_ptr<TProcessLauncher> launcher) {
  return LauncherSlot().Swap(std::move(launcher));
}

bool StartProcess(const std::vector<std::string>& argv) {
  return LauncherSlot().Get()->Start(argv);
}

TProcessOutput RunProcess(const std::vector<std::string>& argv) {
  return LauncherSlot().Get()->Run(argv);
}

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& command_line) {
  enum class TQuote { kNone, kSingle, kDouble };
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;  // a word has begun (it may be empty: "")
  TQuote quote = TQuote::kNone;
  for (size_t i = 0; i < command_line.size(); ++i) {
    const char c = command_line[i];
    if (quote == TQuote::kSingle) {
      if (c == '\'') {
        quote = TQuote::kNone;
      } else {
        word += c;
      }
    } else if (quote == TQuote::kDouble) {
      if (c == '"') {
        quote = TQuote::kNone;
      } else if (c == '\\' && i + 1 < command_line.size() &&
                 std::string_view("\\\"$`\n").find(command_line[i + 1]) != std::string_view::npos) {
        if (command_line[++i] != '\n') word += command_line[i];
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      in_word = true;
      if (c == '\'') {
        quote = TQuote::kSingle;
      } else if (c == '"') {
        quote = TQuote::kDouble;
      } else if (c == '\\') {
        if (++i == command_line.size()) return std::nullopt;
        if (command_line[i] != '\n') word += command_line[i];
      } else {
        word += c;
      }
    }
  }
  if (quote != TQuote::kNone) return std::nullopt;
  if (in_word) words.push_back(std::move(word));
  return words;
}

bool RunAndWait(const std::vector<std::string>& argv, [[maybe_unused]] int show_state) {
  return StartProcess(argv);
}

bool RunAndWait(const std::string& command_line, int show_state) {
  const std::optional<std::vector<std::string>> argv = SplitCommandLine(command_line);
  return argv && !argv->empty() && RunAndWait(*argv, show_state);
}

}  // namespace veltrano
