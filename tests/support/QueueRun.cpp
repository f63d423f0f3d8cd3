#include "support/QueueRun.h"

#include <fcntl.h>
#include <unistd.h>

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
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string log_name = log.string();
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(log_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, STDOUT_FILENO);
      dup2(fd, STDERR_FILENO);
    }
    execle(program.c_str(), program.c_str(), "queue", "run", static_cast<char*>(nullptr),
           envp.data());
    _exit(127);
  }
  return pid;
}

}  // namespace veltrano::test
