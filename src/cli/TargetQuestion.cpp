#include "cli/TargetQuestion.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace veltrano {

bool MayWriteTarget(bool overwrite, bool no_overwrite, const std::string& target,
                    TAVConverter& converter) {
  converter.SetOverwrite(overwrite);
  std::error_code error;
  if (overwrite || no_overwrite || !std::filesystem::exists(target, error) ||
      !isatty(STDIN_FILENO)) {
    return true;
  }
  std::fprintf(stderr, "File '%s' already exists. Overwrite? [y/N] ", target.c_str());
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer) || answer.empty() || (answer[0] != 'y' && answer[0] != 'Y')) {
    return false;
  }
  converter.SetOverwrite(true);
  return true;
}

}  // namespace veltrano
