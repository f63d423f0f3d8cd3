// One window per user: the lock, the hand-over, and two real starts at once.
#include "gui/SingleInstance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTest>

#include <atomic>
#include <thread>

#include "GuiFixture.h"
#include "common/TestHome.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using gui::TSingleInstance;
using SingleInstanceTest = GuiTest;

TEST_F(SingleInstanceTest, ALaterStartHandsItsFilesToTheOneInstance) {
  const QString app_folder = QString::fromStdString(GetAppDataFolder());
  TSingleInstance primary(app_folder);
  ASSERT_EQ(primary.Claim({}), TSingleInstance::TRole::kPrimary);
  QSignalSpy received(&primary, &TSingleInstance::FilesReceived);

  std::atomic<int> role{-1};
  std::thread later([&] {
    TSingleInstance second(app_folder);
    role =
        static_cast<int>(second.Claim({QStringLiteral("/a/一.mp4"), QStringLiteral("/b/c d.avi")}));
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return role != -1; }, 15000));
  later.join();
  EXPECT_EQ(role, static_cast<int>(TSingleInstance::TRole::kHandedOver));
  ASSERT_EQ(received.count(), 1);
  EXPECT_EQ(received[0][0].toStringList(),
            (QStringList{QStringLiteral("/a/一.mp4"), QStringLiteral("/b/c d.avi")}));
}

TEST_F(SingleInstanceTest, ALockLeftByAProcessThatIsGoneIsTakenOver) {
  const QString app_folder = QString::fromStdString(GetAppDataFolder());
  const pid_t dead_pid = fork();
  if (dead_pid == 0) _exit(0);
  ASSERT_GT(dead_pid, 0);
  ASSERT_EQ(waitpid(dead_pid, nullptr, 0), dead_pid);
  {
    TSingleInstance probe(app_folder);
    QFile lock(probe.LockFileName());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(dead_pid) + "\nveltrano\n" +
               QSysInfo::machineHostName().toUtf8() + "\n");
  }
  TSingleInstance instance(app_folder);
  EXPECT_EQ(instance.Claim({}, 3000), TSingleInstance::TRole::kPrimary);
}

// Two starts of the program at the same moment, each with a file.
TEST_F(SingleInstanceTest, TwoStartsAtOnceEndAsOneWindowWithBothFiles) {
  const fs::path log = folder / "sources.log";
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("VELTRANO_TEST_SOURCES_LOG"), QString::fromStdString(log));
  std::vector<std::unique_ptr<QProcess>> starts;
  for (const char* file : {"first.mp4", "second.mkv"}) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral(VELTRANO_GUI),
                   {QString::fromStdString((folder / file).string())});
    starts.push_back(std::move(process));
  }
  for (const auto& process : starts) ASSERT_TRUE(process->waitForStarted());

  const std::string both =
      (folder / "first.mp4").string() + "\n" + (folder / "second.mkv").string() + "\n";
  const std::string reversed =
      (folder / "second.mkv").string() + "\n" + (folder / "first.mp4").string() + "\n";
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const std::string seen = ReadWholeFile(log);
        return seen == both || seen == reversed;
      },
      30000))
      << ReadWholeFile(log);
  // One start handed its file over and ended; the other is the window.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return starts[0]->state() == QProcess::NotRunning ||
               starts[1]->state() == QProcess::NotRunning;
      },
      10000));
  QProcess& ended = starts[0]->state() == QProcess::NotRunning ? *starts[0] : *starts[1];
  QProcess& window = &ended == starts[0].get() ? *starts[1] : *starts[0];
  EXPECT_EQ(ended.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(ended.exitCode(), 0);
  ASSERT_EQ(window.state(), QProcess::Running);

  // The window ends cleanly on SIGTERM and leaves neither lock nor socket.
  ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
  ASSERT_TRUE(window.waitForFinished(20000));
  EXPECT_EQ(window.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(window.exitCode(), 0);
  const QString app_folder = QString::fromStdString(GetAppDataFolder());
  EXPECT_FALSE(QFile::exists(TSingleInstance(app_folder).LockFileName()));
  EXPECT_FALSE(QFile::exists(TSingleInstance(app_folder).SocketName()));
  EXPECT_TRUE(fs::exists(GetConfigFile()));
}

}  // namespace
}  // namespace veltrano::test
