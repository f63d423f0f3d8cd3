#include "platform/Drives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include <fmt/printf.h>

namespace veltrano {
namespace {

namespace fs = std::filesystem;

struct TMount {
  unsigned major = 0;
  unsigned minor = 0;
  std::string mount_point;
  std::string source;
};

// Mount points and sources escape blanks, tabs, newlines and backslashes as
// octal "\ooo".
std::string UnescapeOctal(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() &&
        std::all_of(text.begin() + i + 1, text.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// udev writes unsafe characters of a label as "\xHH".
std::string UnescapeHex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<TMount> ReadMounts(const std::string& mountinfo) {
  std::vector<TMount> mounts;
  std::ifstream in(mountinfo);
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mount-point options [optional...] - type source options
    std::istringstream fields(line);
    std::string id, parent, numbers, root, mount_point;
    if (!(fields >> id >> parent >> numbers >> root >> mount_point)) continue;
    std::string field;
    while (fields >> field && field != "-") {
    }
    std::string type, source;
    if (!(fields >> type >> source)) continue;
    TMount mount;
    if (std::sscanf(numbers.c_str(), "%u:%u", &mount.major, &mount.minor) != 2) continue;
    mount.mount_point = UnescapeOctal(mount_point);
    mount.source = UnescapeOctal(source);
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

fs::path Resolved(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(path, error);
  return error ? path : resolved;
}

// The mount of `device`: by its device number, or by its name for sources
// that are no block device (and in tests).
std::optional<TMount> FindMount(const std::vector<TMount>& mounts, const fs::path& device) {
  struct stat info {};
  const bool block = stat(device.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
  const fs::path name = Resolved(device);
  for (const TMount& mount : mounts) {
    if (block && mount.major == major(info.st_rdev) && mount.minor == minor(info.st_rdev)) {
      return mount;
    }
    if (!mount.source.empty() && mount.source[0] == '/' && Resolved(mount.source) == name) {
      return mount;
    }
  }
  return std::nullopt;
}

std::string LabelFromUdev(const std::string& by_label, const fs::path& device) {
  std::error_code error;
  const fs::path name = Resolved(device);
  for (fs::directory_iterator it(by_label, error), end; !error && it != end; it.increment(error)) {
    if (Resolved(it->path()) == name) return UnescapeHex(it->path().filename().string());
  }
  return std::string();
}

// The volume identifier of the ISO 9660 primary volume descriptor (sector 16),
// which video DVDs carry beside their UDF file system.
std::string LabelFromVolumeDescriptor(const fs::path& device) {
  const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string();
  char sector[2048] = {0};
  const ssize_t n = pread(fd, sector, sizeof sector, 16 * 2048);
  close(fd);
  if (n != static_cast<ssize_t>(sizeof sector) || sector[0] != 1 ||
      std::string(sector + 1, 5) != "CD001") {
    return std::string();
  }
  std::string label(sector + 40, 32);
  while (!label.empty() && (label.back() == ' ' || label.back() == '\0')) label.pop_back();
  return label;
}

std::vector<fs::path> OpticalDevices(const std::string& dev) {
  std::vector<std::pair<int, fs::path>> found;
  std::error_code error;
  for (fs::directory_iterator it(dev, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 2 && name.compare(0, 2, "sr") == 0 &&
        std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      found.emplace_back(std::stoi(name.substr(2)), it->path());
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> devices;
  for (auto& [number, path] : found) devices.push_back(std::move(path));
  return devices;
}

std::string InCase(std::string text, TTextCase text_case) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80)
      c = static_cast<char>(text_case == TTextCase::Upper ? std::toupper(u) : std::tolower(u));
  }
  return text;
}

}  // namespace

std::string DriveEntryText(const std::string& mount_point, const std::string& label,
                           TTextCase text_case) {
  return fmt::sprintf("%s: [%s]", mount_point, InCase(label, text_case));
}

bool HoldsVideoDvd(const std::string& folder) {
  std::error_code error;
  return fs::is_regular_file(fs::path(folder) / "VIDEO_TS" / "VIDEO_TS.IFO", error) ||
         fs::is_regular_file(fs::path(folder) / "video_ts" / "video_ts.ifo", error);
}

std::vector<TDvdDrive> ListDvdDrives(TTextCase text_case, const TDriveSystemPaths& paths) {
  std::vector<TDvdDrive> drives;
  const std::vector<fs::path> devices = OpticalDevices(paths.dev);
  if (devices.empty()) return drives;
  const std::vector<TMount> mounts = ReadMounts(paths.mountinfo);
  for (const fs::path& device : devices) {
    const std::optional<TMount> mount = FindMount(mounts, device);
    if (!mount || !HoldsVideoDvd(mount->mount_point)) continue;
    TDvdDrive drive;
    drive.device = device.string();
    drive.mount_point = mount->mount_point;
    drive.label = LabelFromUdev(paths.by_label, device);
    if (drive.label.empty()) drive.label = LabelFromVolumeDescriptor(device);
    drive.text = DriveEntryText(drive.mount_point, drive.label, text_case);
    drives.push_back(std::move(drive));
  }
  return drives;
}

}  // namespace veltrano
