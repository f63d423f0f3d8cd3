// The file manager and document opener through the doubles (and once through
// real dbus-send on a private bus), and file sizes.
#include "platform/Shell.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/ServiceDoubles.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using TArgs = std::vector<std::string>;

// A folder and file name with spaces, both quotes, a comma (dbus-send's array
// separator), a percent sign and Chinese characters.
const std::string kOddFolder = "/srv/a b \"q\" 'x',中%";
const std::string kOddFile = kOddFolder + "/视频 1,2.mp4";
const std::string kOddFileUri =
    "file:///srv/a%20b%20%22q%22%20%27x%27%2C%E4%B8%AD%25/%E8%A7%86%E9%A2%91%201%2C2.mp4";

TEST(FileUri, PercentEncodesEverythingButUnreservedCharactersAndSlashes) {
  EXPECT_EQ(FileUri(kOddFile), kOddFileUri);
  EXPECT_EQ(FileUri("/a-b_c.d~e/F9"), "file:///a-b_c.d~e/F9");
  EXPECT_EQ(FileUri("/x/#?&+;=@[]:\\\n"), "file:///x/%23%3F%26%2B%3B%3D%40%5B%5D%3A%5C%0A");
  // Relative paths are taken from the current folder.
  EXPECT_EQ(FileUri("clip 1.mp4"), FileUri((fs::current_path() / "clip 1.mp4").string()));
}

class FileManagerTest : public ::testing::Test {
 protected:
  std::shared_ptr<TRecordingLauncher> FLauncher = std::make_shared<TRecordingLauncher>();
  TScopedLauncher FScope{FLauncher};
};

void ExpectFileManagerCall(const TDBusCall& call, const std::string& method,
                           const std::string& uri) {
  EXPECT_EQ(call.bus, TDBusBus::kSession);
  EXPECT_EQ(call.destination, "org.freedesktop.FileManager1");
  EXPECT_EQ(call.object_path, "/org/freedesktop/FileManager1");
  EXPECT_EQ(call.interface_name, "org.freedesktop.FileManager1");
  EXPECT_EQ(call.method, method);
  ASSERT_EQ(call.arguments.size(), 2u);
  EXPECT_EQ(call.arguments[0], TDBusValue(TArgs{uri}));
  EXPECT_EQ(call.arguments[1], TDBusValue(std::string()));  // no startup id
  EXPECT_TRUE(DBusSendCommand(call)) << "dbus-send must be able to pass it";
}

TEST_F(FileManagerTest, FileManagerServiceShowsTheFileOrFolder) {
  TDBusRecorder dbus(true);
  ExploreFile(kOddFile, true);
  ExploreFolder(kOddFolder, false);
  ASSERT_EQ(dbus.Calls().size(), 2u);
  ExpectFileManagerCall(dbus.Calls()[0], "ShowItems", kOddFileUri);
  ExpectFileManagerCall(dbus.Calls()[1], "ShowFolders", FileUri(kOddFolder));
  EXPECT_TRUE(FLauncher->started.empty());
}

TEST_F(FileManagerTest, WithoutTheServiceTheFolderIsOpenedWithXdgOpen) {
  TDBusRecorder dbus(false);
  ExploreFile(kOddFile, true);
  ExploreFolder(kOddFolder, true);
  ExploreFile("relative name.mp4", false);
  EXPECT_EQ(dbus.Calls().size(), 3u);
  EXPECT_EQ(FLauncher->started, (std::vector<TArgs>{{"xdg-open", kOddFolder},
                                                    {"xdg-open", kOddFolder},
                                                    {"xdg-open", fs::current_path().string()}}));
}

TEST_F(FileManagerTest, OpenDocumentHandsPathsAndAddressesToXdgOpen) {
  OpenDocument(kOddFile);
  OpenDocument("-rf clip.mp4");  // relative: made absolute, so never an option
  OpenDocument("https://example.com/a b?c=1&d=\"2\"");
  OpenDocument("mailto:someone@example.com");
  EXPECT_EQ(FLauncher->started,
            (std::vector<TArgs>{{"xdg-open", kOddFile},
                                {"xdg-open", (fs::current_path() / "-rf clip.mp4").string()},
                                {"xdg-open", "https://example.com/a b?c=1&d=\"2\""},
                                {"xdg-open", "mailto:someone@example.com"}}));
}

TEST(GetFileSize, SizeOfRegularFilesAndZeroForAnythingElse) {
  const fs::path folder = MakeTempFolder("file size");
  const fs::path file = folder / "视频 'a'.bin";
  std::ofstream(file, std::ios::binary) << std::string(12345, 'x');
  std::ofstream(folder / "empty");
  fs::create_symlink(file, folder / "link");
  EXPECT_EQ(GetFileSize(file.string()), 12345);
  EXPECT_EQ(GetFileSize((folder / "link").string()), 12345);
  EXPECT_EQ(GetFileSize((folder / "empty").string()), 0);
  EXPECT_EQ(GetFileSize((folder / "missing").string()), 0);
  EXPECT_EQ(GetFileSize(folder.string()), 0);
  EXPECT_EQ(GetFileSize(""), 0);
}

// A message bus of the test's own that activates no service (so no file
// manager can appear), with a monitor that writes every message to a file.
class TPrivateBus {
 public:
  explicit TPrivateBus(const fs::path& folder) : FMonitorLog(folder / "monitor.txt") {
    const fs::path config = folder / "bus.conf";
    std::ofstream(config) << R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
    const fs::path started = folder / "bus.txt";
    const TCommandResult bus =
        RunCommand("dbus-daemon --fork --print-address=1 --print-pid=1 --config-file=" +
                   ShellQuote(config.string()) + " > " + ShellQuote(started.string()));
    std::ifstream lines(started);
    std::string pid;
    std::getline(lines, FAddress);
    std::getline(lines, pid);
    if (bus.exit_code != 0 || FAddress.empty() || pid.empty()) return;
    FBusPid = std::stoi(pid);
    const TCommandResult monitor =
        RunCommand("dbus-monitor --address " + ShellQuote(FAddress) + " > " +
                   ShellQuote(FMonitorLog.string()) + " 2>&1 & echo $!");
    if (monitor.exit_code == 0) FMonitorPid = std::stoi(monitor.output);
    // The monitor has connected once it has given up its own name.
    WaitForLog("member=NameLost");
  }

  ~TPrivateBus() {
    if (FMonitorPid > 0) kill(FMonitorPid, SIGTERM);
    if (FBusPid > 0) kill(FBusPid, SIGTERM);
  }

  bool Running() const { return FBusPid > 0 && FMonitorPid > 0; }
  const std::string& Address() const { return FAddress; }

  // Waits up to 5 s for `text` to appear in the monitor's log; returns the log.
  std::string WaitForLog(const std::string& text) const {
    std::string log;
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(FMonitorLog);
      std::ostringstream all;
      all << in.rdbuf();
      log = all.str();
      if (log.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return log;
  }

 private:
  fs::path FMonitorLog;
  std::string FAddress;
  pid_t FBusPid = 0;
  pid_t FMonitorPid = 0;
};

// Sets an environment variable while it lives.
class TScopedEnvironment {
 public:
  TScopedEnvironment(const char* name, const std::string& value) : FName(name) {
    if (const char* old = getenv(name)) FOld = old;
    setenv(name, value.c_str(), 1);
  }
  ~TScopedEnvironment() {
    if (FOld) {
      setenv(FName, FOld->c_str(), 1);
    } else {
      unsetenv(FName);
    }
  }

 private:
  const char* FName;
  std::optional<std::string> FOld;
};

TEST(FileManagerOverDBus, RealCallCarriesTheEncodedPathAndMissingServiceFallsBack) {
  const fs::path folder = MakeTempFolder("bus");
  TPrivateBus bus(folder);
  ASSERT_TRUE(bus.Running()) << "dbus-daemon and dbus-monitor are needed (package dbus-daemon)";
  TScopedEnvironment session("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  const auto launcher = std::make_shared<TRecordingLauncher>();
  launcher->real_run = true;  // dbus-send runs; xdg-open is only recorded
  TScopedLauncher scope(launcher);
  TScopedDBusHandler real_dbus(nullptr);

  ExploreFile(kOddFile, true);

  ASSERT_EQ(launcher->ran.size(), 1u);
  EXPECT_EQ(launcher->ran[0].front(), "dbus-send");
  EXPECT_EQ(launcher->started, (std::vector<TArgs>{{"xdg-open", kOddFolder}}));
  const std::string log = bus.WaitForLog("org.freedesktop.DBus.Error.ServiceUnknown");
  const size_t call = log.find("member=ShowItems");
  ASSERT_NE(call, std::string::npos) << log;
  // One array element with the whole URI, then the empty startup id.
  const std::string arguments =
      "   array [\n      string \"" + kOddFileUri + "\"\n   ]\n   string \"\"\n";
  EXPECT_NE(log.find(arguments, call), std::string::npos) << log;
}

}  // namespace
}  // namespace veltrano::test
