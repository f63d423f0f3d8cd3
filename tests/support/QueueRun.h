// `veltrano-cli queue run` as a process of its own, for tests that kill it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace veltrano::test {

// Starts `program queue run` with HOME and the configuration in `home`, the
// variables `extra` ("NAME=value") added to this process's environment, and
// its output (stdout and stderr) in `log`. Returns its process id.
pid_t SpawnQueueRun(const std::string& program, const std::filesystem::path& home,
                    const std::filesystem::path& log, const std::vector<std::string>& extra = {});

}  // namespace veltrano::test
