#include "support/WorkFiles.h"

namespace veltrano::test {
namespace {

namespace fs = std::filesystem;

bool IsWorkName(const std::string& name) {
  return name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0;
}

}  // namespace

std::vector<fs::path> WorkFilesOf(const fs::path& target) {
  std::vector<fs::path> found;
  std::error_code error;
  // A long name is shortened to make room for the tag: its first bytes stay.
  std::string name = target.filename().string();
  std::erase(name, '%');  // left out of a folder of numbered pictures
  name = name.substr(0, 32);
  for (const auto& entry : fs::directory_iterator(target.parent_path(), error)) {
    const std::string file = entry.path().filename().string();
    if (IsWorkName(file) && file.rfind(name, 0) == 0) found.push_back(entry.path());
  }
  return found;
}

std::vector<fs::path> WorkFilesUnder(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (IsWorkName(entry.path().filename().string())) found.push_back(entry.path());
  }
  return found;
}

}  // namespace veltrano::test
