// Optical drives that hold a video DVD.
//
// Each /dev/srN whose disc is mounted (/proc/self/mountinfo) and carries
// VIDEO_TS/VIDEO_TS.IFO is listed with its mount point and volume label. Only
// mounted file systems are looked at, so an empty drive or a drive without a
// disc is simply left out and nothing waits for the hardware.
#pragma once

#include <string>
#include <vector>

namespace veltrano {

// Case of the volume label in the entry text (lower by default).
enum class TTextCase { Lower, Upper };

struct TDvdDrive {
  std::string device;       // "/dev/sr0"
  std::string mount_point;  // the folder the disc is mounted at (holds VIDEO_TS)
  std::string label;        // the volume label as recorded; empty when unreadable
  std::string text;         // the list entry: "%s: [%s]", mount point and cased label
};

// Where the system describes its drives; tests point these at fake files.
struct TDriveSystemPaths {
  std::string dev = "/dev";
  std::string mountinfo = "/proc/self/mountinfo";
  std::string by_label = "/dev/disk/by-label";
};

// The drives holding a video DVD, in device number order.
std::vector<TDvdDrive> ListDvdDrives(TTextCase text_case = TTextCase::Lower,
                                     const TDriveSystemPaths& paths = TDriveSystemPaths());

// "%s: [%s]" with `mount_point` and `label` in `text_case`.
std::string DriveEntryText(const std::string& mount_point, const std::string& label,
                           TTextCase text_case);

// True when `folder` holds VIDEO_TS/VIDEO_TS.IFO (either letter case, as
// ISO 9660 mounts may show the names in lower case).
bool HoldsVideoDvd(const std::string& folder);

}  // namespace veltrano
