#include "support/QueueRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

extern char** environ;

namespace veltrano::test {

pid_t SpawnQueueRun(const std::string& program, const std::filesystem::path& home,
                    const std::filesystem::path& log, const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.rfind("HOME=", 0) != 0 && text.rfind("XDG_CONFIG_HOME=", 0) != 0) {
      env.push_back(text);
    }
  }
  env.push_back("HOME=" + home.string());
  env.push_back("XDG_CONFIG_HOME=" + (home / ".config").string());
  env.insert(env.end(), extra.begin(), extra.end());
  return SpawnProgram({program, "queue", "run"}, log, std::move(env));
}

pid_t SpawnProgram(std::vector<std::string> argv, const std::filesystem::path& log,
                   std::vector<std::string> env) {
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string log_name = log.string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(log_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in >= 0) dup2(in, STDIN_FILENO);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    execve(args[0], args.data(), env.empty() ? environ : envp.data());
    _exit(127);
  }
  return pid;
}

namespace {

// The mask of caught signals from /proc/PID/status ("SigCgt:\t<hex>"), or
// nothing when the process is gone.
std::optional<unsigned long long> CaughtSignals(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
  }
  return std::nullopt;
}

}  // namespace

bool WaitUntilCatching(pid_t pid, int signal, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  const unsigned long long bit = 1ull << (signal - 1);
  while (std::chrono::steady_clock::now() < until) {
    const auto caught = CaughtSignals(pid);
    if (!caught) return false;
    if ((*caught & bit) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace veltrano::test
