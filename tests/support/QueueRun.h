// Programs under test as processes of their own, for tests that signal or kill them.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace veltrano::test {

// Starts `program queue run` with HOME and the configuration in `home`, the
// variables `extra` ("NAME=value") added to this process's environment, and
// its output (stdout and stderr) in `log`. Returns its process id.
pid_t SpawnQueueRun(const std::string& program, const std::filesystem::path& home,
                    const std::filesystem::path& log, const std::vector<std::string>& extra = {});

// Starts `argv` (argv[0] the program's path) with stdin from /dev/null, its
// output (stdout and stderr) in `log` and the environment `env` ("NAME=value";
// when empty, this process's). Returns its process id.
pid_t SpawnProgram(std::vector<std::string> argv, const std::filesystem::path& log,
                   std::vector<std::string> env = {});

// Waits until process `pid` has a handler for `signal` (its /proc status lists
// it as caught), at most `limit`: a signal sent before that would end the
// program by its default action, which on a loaded machine can take a while
// to change. False when the limit passed or the process is gone.
bool WaitUntilCatching(pid_t pid, int signal, std::chrono::milliseconds limit);

}  // namespace veltrano::test
