#include "common/MediaFolder.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/TargetNames.h"

namespace veltrano {
namespace fs = std::filesystem;
namespace {

char Folded(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string LowerExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  if (!extension.empty()) extension.erase(0, 1);
  std::transform(extension.begin(), extension.end(), extension.begin(), Folded);
  return extension;
}

// Compares the digit runs starting at `a[i]` and `b[j]` by value (leading
// zeros ignored) and moves past them; 0 when equal.
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
  while (i < a.size() && a[i] == '0' && i + 1 < a.size() && IsDigit(a[i + 1])) ++i;
  while (j < b.size() && b[j] == '0' && j + 1 < b.size() && IsDigit(b[j + 1])) ++j;
  const size_t a_start = i;
  const size_t b_start = j;
  while (i < a.size() && IsDigit(a[i])) ++i;
  while (j < b.size() && IsDigit(b[j])) ++j;
  const size_t a_length = i - a_start;
  const size_t b_length = j - b_start;
  if (a_length != b_length) return a_length < b_length ? -1 : 1;
  return a.compare(a_start, a_length, b, b_start, b_length);
}

// True when the file can be opened for reading.
bool Readable(const fs::path& file, std::string& reason) {
  std::ifstream stream(file, std::ios::binary);
  if (stream) return true;
  reason = std::strerror(errno);
  return false;
}

void AddFile(TFolderScan& scan, const fs::path& file) {
  if (!HasMediaExtension(file.string())) {
    scan.skipped.push_back({file.string(), TSkippedFile::NotMedia, {}});
    return;
  }
  std::string reason;
  if (!Readable(file, reason)) {
    scan.skipped.push_back({file.string(), TSkippedFile::Unreadable, reason});
    return;
  }
  scan.files.push_back(file.string());
}

}  // namespace

const std::vector<std::pair<std::string, std::vector<std::string>>>& MediaTypeExtensions() {
  static const std::vector<std::pair<std::string, std::vector<std::string>>> table{
      {"video/x-flv", {"flv"}},
      {"video/x-ms-wmv", {"wmv"}},
      {"video/mp4", {"mp4", "m4v"}},
      {"video/x-msvideo", {"avi"}},
      {"video/x-matroska", {"mkv"}},
      {"video/mpeg", {"mpg", "mpeg", "mpe", "m1v", "m2v"}},
      {"video/quicktime", {"mov", "qt"}},
      {"audio/x-wav", {"wav"}},
      {"audio/wav", {"wav"}},
      {"audio/mpeg", {"mp3", "mpga"}},
  };
  return table;
}

bool HasMediaExtension(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension.empty()) return false;
  return std::any_of(MediaTypeExtensions().begin(), MediaTypeExtensions().end(),
                     [&](const auto& type) {
                       const auto& list = type.second;
                       return std::find(list.begin(), list.end(), extension) != list.end();
                     });
}

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const int order = CompareNumbers(a, i, b, j);
      if (order != 0) return order < 0;
      continue;
    }
    const char x = Folded(a[i]);
    const char y = Folded(b[j]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;  // only letter case or leading zeros differ
}

TFolderScan ScanMediaFolder(const std::string& folder) {
  TFolderScan scan;
  scan.root = folder;
  while (scan.root.size() > 1 && scan.root.back() == '/') scan.root.pop_back();
  std::error_code error;
  fs::recursive_directory_iterator entry(scan.root, error);
  if (error) {
    scan.skipped.push_back({scan.root, TSkippedFile::Unreadable, error.message()});
    return scan;
  }
  for (; entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    if (error) break;
    std::error_code kind_error;
    if (entry->is_directory(kind_error)) {
      if (entry->is_symlink(kind_error)) continue;  // not followed
      // A folder that cannot be entered is listed and stepped over.
      std::error_code open_error;
      fs::directory_iterator probe(entry->path(), open_error);
      if (open_error) {
        scan.skipped.push_back(
            {entry->path().string(), TSkippedFile::Unreadable, open_error.message()});
        entry.disable_recursion_pending();
      }
      continue;
    }
    if (entry->is_regular_file(kind_error)) {
      AddFile(scan, entry->path());
    } else if (entry->is_symlink(kind_error) && !fs::exists(entry->path(), kind_error)) {
      AddFile(scan, entry->path());  // a link to nothing: listed as unreadable
    }
    // Devices, FIFOs and sockets are no files to convert (and a FIFO would
    // block the scan that opens it).
  }
  if (error) scan.skipped.push_back({scan.root, TSkippedFile::Unreadable, error.message()});
  const std::string root = scan.root;
  std::stable_sort(scan.files.begin(), scan.files.end(),
                   [&](const std::string& x, const std::string& y) {
                     return NaturalLess(RelativeToFolder(x, root), RelativeToFolder(y, root));
                   });
  std::stable_sort(
      scan.skipped.begin(), scan.skipped.end(),
      [](const TSkippedFile& x, const TSkippedFile& y) { return NaturalLess(x.path, y.path); });
  return scan;
}

std::string RelativeToFolder(const std::string& source, const std::string& root) {
  if (root.empty()) return {};
  const std::string prefix = root.back() == '/' ? root : root + '/';
  if (source.size() <= prefix.size() || source.compare(0, prefix.size(), prefix) != 0) return {};
  return source.substr(prefix.size());
}

std::string FolderTarget(const std::string& source, const std::string& root,
                         const std::string& output_folder, const std::string& extension,
                         const std::vector<std::string>& taken) {
  std::string relative = RelativeToFolder(source, root);
  if (relative.empty()) relative = fs::path(source).filename().string();
  const fs::path name = fs::path(relative).replace_extension();
  return FreeTargetName((fs::path(output_folder) / name).string() + extension, taken);
}

}  // namespace veltrano
