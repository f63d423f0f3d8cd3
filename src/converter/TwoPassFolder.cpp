#include "engine/TwoPassFolder.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "converter/AVError.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMarkName = "veltrano-2pass.mark";
constexpr size_t kLongestMark = 64 * 1024;

std::string FullName(const std::string& output_file) {
  return fs::absolute(output_file).string();
}

// One folder per output file: the two passes of one target meet there,
// conversions of different targets never share it.
fs::path FolderOf(const std::string& output_file) {
  const std::string name = fs::path(output_file).filename().string();
  const size_t hash = std::hash<std::string>{}(FullName(output_file));
  return fs::temp_directory_path() / fmt::format("veltrano-2pass-{}-{:016x}", name, hash);
}

std::string ReadMark(const fs::path& folder) {
  const int fd = open((folder / kMarkName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text(kLongestMark, '\0');
  const ssize_t got = read(fd, text.data(), text.size());
  close(fd);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// A folder, not a link; of this user; closed to others; marked for this output.
bool IsOurs(const fs::path& folder, const std::string& output_file) {
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
    return false;
  }
  return ReadMark(folder) == FullName(output_file);
}

[[noreturn]] void RefuseForeign(const fs::path& folder) {
  throw EAVError(WithReason("The two-pass statistics folder", folder.string(),
                            "it exists and was not made by this program for this output; it is "
                            "left as it is (remove or rename it to convert in two passes)"));
}

void WriteMark(const fs::path& folder, const std::string& output_file) {
  const fs::path mark = folder / kMarkName;
  const int fd = open(mark.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  const std::string text = FullName(output_file);
  const bool written =
      fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const int error = errno;
  if (fd >= 0) close(fd);
  if (written) return;
  // Only a mark this run created goes; the folder, made a moment ago, goes
  // when nothing else is in it.
  if (fd >= 0) unlink(mark.c_str());
  rmdir(folder.c_str());
  throw EAVError(WithReason("Cannot create the two-pass statistics folder", folder.string(),
                            SystemErrorText(error)));
}

void RemovePlainFile(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
}

}  // namespace

std::string TwoPassFolderForPass1(const std::string& output_file) {
  const fs::path folder = FolderOf(output_file);
  if (mkdir(folder.c_str(), 0700) == 0) {
    WriteMark(folder, output_file);
    return folder.string();
  }
  if (errno != EEXIST) {
    throw EAVError(WithReason("Cannot create the two-pass statistics folder", folder.string(),
                              SystemErrorText(errno)));
  }
  if (!IsOurs(folder, output_file)) RefuseForeign(folder);
  return folder.string();
}

std::string TwoPassFolderForPass2(const std::string& output_file) {
  const fs::path folder = FolderOf(output_file);
  struct stat info {};
  if (lstat(folder.c_str(), &info) == 0 && !IsOurs(folder, output_file)) RefuseForeign(folder);
  return folder.string();
}

void ReleaseTwoPassFolder(const std::string& output_file,
                          const std::vector<std::string>& stats_files) {
  const fs::path folder = FolderOf(output_file);
  if (!IsOurs(folder, output_file)) return;
  for (const std::string& file : stats_files) {
    if (fs::path(file).parent_path() != folder) continue;
    RemovePlainFile(file);
    RemovePlainFile(file + ".mbtree");
  }
  // The mark goes last, and only with the folder: a folder still holding
  // anything else stays marked as ours.
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().filename() != kMarkName) return;
  }
  if (error) return;
  RemovePlainFile((folder / kMarkName).string());
  rmdir(folder.c_str());
}

}  // namespace veltrano
