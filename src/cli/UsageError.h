// Mistakes in what the user typed: the command ends with status 2, the
// message and a one-line hint to the command's help.
#pragma once

#include <stdexcept>

namespace veltrano::cli {

class EUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Exit statuses of veltrano-cli.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStopped = 130;

}  // namespace veltrano::cli
