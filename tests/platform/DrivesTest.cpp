#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// A fake system: device nodes (plain files), a mountinfo table and udev's
// label links, all in a folder of the test's own.
class FakeSystem {
 public:
  FakeSystem() : root_(test::MakeTempFolder("drives")) {
    fs::create_directories(root_ / "dev");
    fs::create_directories(root_ / "by-label");
    paths_.dev = (root_ / "dev").string();
    paths_.mountinfo = (root_ / "mountinfo").string();
    paths_.by_label = (root_ / "by-label").string();
    std::ofstream(paths_.mountinfo) << "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
                                    << "29 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";
  }

  // A device node; `label` is written as its ISO 9660 volume identifier.
  fs::path Device(const std::string& name, const std::string& label = "") {
    const fs::path device = root_ / "dev" / name;
    std::ofstream out(device, std::ios::binary);
    std::string image(17 * 2048, '\0');
    if (!label.empty()) {
      image[16 * 2048] = 1;
      image.replace(16 * 2048 + 1, 5, "CD001");
      std::string padded = label;
      padded.resize(32, ' ');
      image.replace(16 * 2048 + 40, 32, padded);
    }
    out << image;
    return device;
  }

  // A mounted folder; `video` gives it VIDEO_TS/VIDEO_TS.IFO.
  fs::path Mount(const fs::path& device, const std::string& folder, bool video,
                 const std::string& video_ts = "VIDEO_TS/VIDEO_TS.IFO") {
    const fs::path mount_point = root_ / folder;
    fs::create_directories(mount_point);
    if (video) {
      fs::create_directories((mount_point / video_ts).parent_path());
      std::ofstream(mount_point / video_ts) << "DVDVIDEO-VMG";
    }
    std::string escaped;
    for (char c : mount_point.string())
      escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
    std::ofstream(paths_.mountinfo, std::ios::app)
        << "40 29 11:" << ++mounts_ << " / " << escaped << " ro,nosuid,nodev shared:7 - udf "
        << device.string() << " ro,uid=1000\n";
    return mount_point;
  }

  void UdevLabel(const std::string& link_name, const std::string& device_name) {
    fs::create_symlink("../dev/" + device_name, root_ / "by-label" / link_name);
  }

  const TDriveSystemPaths& Paths() const { return paths_; }

 private:
  fs::path root_;
  TDriveSystemPaths paths_;
  int mounts_ = 0;
};

TEST(Drives, ListsMountedVideoDvdsOnly) {
  FakeSystem system;
  const fs::path movie = system.Mount(system.Device("sr0", "MOVIE"), "media/my movie", true);
  system.Device("sr1", "EMPTY_DRIVE");                              // no disc mounted
  system.Mount(system.Device("sr2", "DATA"), "media/data", false);  // no VIDEO_TS
  const fs::path holiday = system.Mount(system.Device("sr10"), "media/holiday", true,
                                        "video_ts/video_ts.ifo");  // ISO 9660 names
  system.UdevLabel("Holiday\\x202023", "sr10");
  system.Device("sda");  // not an optical drive

  const std::vector<TDvdDrive> drives = ListDvdDrives(TTextCase::Lower, system.Paths());
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].device, system.Paths().dev + "/sr0");
  EXPECT_EQ(drives[0].mount_point, movie.string());
  EXPECT_EQ(drives[0].label, "MOVIE");
  EXPECT_EQ(drives[0].text, movie.string() + ": [movie]");
  EXPECT_EQ(drives[1].device, system.Paths().dev + "/sr10");  // after sr2, by number
  EXPECT_EQ(drives[1].label, "Holiday 2023");
  EXPECT_EQ(drives[1].text, holiday.string() + ": [holiday 2023]");

  const std::vector<TDvdDrive> upper = ListDvdDrives(TTextCase::Upper, system.Paths());
  ASSERT_EQ(upper.size(), 2u);
  EXPECT_EQ(upper[0].text, movie.string() + ": [MOVIE]");
  EXPECT_EQ(upper[1].text, holiday.string() + ": [HOLIDAY 2023]");
}

TEST(Drives, NoDriveOrNoDiscGivesAnEmptyList) {
  FakeSystem system;
  EXPECT_TRUE(ListDvdDrives(TTextCase::Lower, system.Paths()).empty());  // no drive
  system.Device("sr0");
  EXPECT_TRUE(ListDvdDrives(TTextCase::Lower, system.Paths()).empty());  // no disc

  TDriveSystemPaths missing = system.Paths();
  missing.mountinfo = "/nonexistent/mountinfo";
  missing.dev = "/nonexistent/dev";
  EXPECT_TRUE(ListDvdDrives(TTextCase::Lower, missing).empty());

  // An unreadable label leaves the brackets empty.
  const fs::path mounted = system.Mount(system.Device("sr1"), "media/nolabel", true);
  const std::vector<TDvdDrive> drives = ListDvdDrives(TTextCase::Lower, system.Paths());
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].text, mounted.string() + ": []");
}

TEST(Drives, TheRealSystemAnswersAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  for (const TDvdDrive& drive : ListDvdDrives()) {
    EXPECT_TRUE(HoldsVideoDvd(drive.mount_point)) << drive.text;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace veltrano
