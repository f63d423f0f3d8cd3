// Nothing waits for the window's thread, and the window's thread waits for
// nothing slow: conversions go on while it is busy, and probing a source,
// scanning a DVD and reading preview pictures happen beside it.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "GuiFixture.h"
#include "WizardTestSupport.h"
#include "gui/AVPreviewWidget.h"
#include "gui/FileNameEdit.h"
#include "gui/TimeBar.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using ResponsiveWindow = GuiTest;

// Three minutes of small pictures: many frames a second, each cheap, so
// that frames are decoded every moment even on a loaded machine, for longer
// than the test blocks.
fs::path LongSmallClip() {
  TClip clip;
  clip.seconds = 180;
  clip.size = "96x64";
  clip.video_codec = "mpeg4";
  clip.audio = false;
  return SharedClip("gui-long-small.mkv", clip);
}

TEST_F(ResponsiveWindow, ConversionsGoOnWhileTheWindowsThreadIsBlocked) {
  StartApp();
  TAVTask& task = NewTask(Settings(LongSmallClip(), "busy.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return task.Converter().FramesDecoded() > 0; }));
  // The window's thread does nothing for 2 s. A worker that handed its
  // progress over and waited would stand still within a tenth of a second;
  // this one decodes on through the second half of the block.
  // The output's time (what the encoders have written) moves on as well.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int64_t decoded_at_one = task.Converter().FramesDecoded();
  const double written_at_one = task.Converter().ConvertedDuration();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_GT(task.Converter().FramesDecoded(), decoded_at_one)
      << "no frame decoded in the second half of the block";
  EXPECT_GT(task.Converter().ConvertedDuration(), written_at_one)
      << "nothing encoded in the second half of the block";
  // The window catches up at once and the task is still the running one.
  QTest::qWait(300);
  EXPECT_EQ(task.Status(), stRunning);
  task.Stop();
  ASSERT_TRUE(WaitForIdle());
}

// A named pipe stands for a source that answers slowly (a network share, a
// sleeping disk): opening it waits until someone writes.
class SlowSource {
 public:
  explicit SlowSource(const fs::path& path) : path_(path) {
    // A reader may close the pipe between our open and our write: that is an
    // EPIPE to ignore, not a signal that ends the test.
    signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
  }
  // Nothing may be left waiting for the pipe when the test ends.
  ~SlowSource() {
    for (int i = 0; i < 20; ++i) {
      Answer();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  // Lets a reader that waits in its open go on: a few bytes of no media.
  void Answer() const {
    const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return;  // nobody reads: nothing to answer
    if (write(fd, "no media", 8) < 0 && errno != EPIPE) ADD_FAILURE() << "writing the pipe";
    close(fd);
  }
  QString Name() const { return QString::fromStdString(path_.string()); }

 private:
  fs::path path_;
};

class ResponsiveWizard : public gui::test::WizardTest {};

TEST_F(ResponsiveWizard, ProbingAndPreviewingASlowSourceLeaveTheWizardUsable) {
  auto wizard = Wizard();
  auto* busy = gui::test::Child<QLabel>(wizard.get(), "lblBusy");
  QAbstractButton* finish = wizard->button(QWizard::FinishButton);

  // A file chosen in the browse dialog is probed beside the wizard, which
  // says so and cannot be finished meanwhile.
  const SlowSource chosen(veltrano::test::MakeTempFolder("slow-probe") / "chosen.mkv");
  wizard->ChooseSources({chosen.Name()});
  EXPECT_TRUE(wizard->Busy());
  EXPECT_TRUE(gui::test::SpinUntil([&] { return busy->isVisible(); }));
  EXPECT_EQ(busy->text(), QStringLiteral("正在检查文件…"));
  QElapsedTimer loop;
  loop.start();
  gui::test::Spin(500);  // the event loop runs: nothing waits for the pipe here
  EXPECT_LT(loop.elapsed(), 2000);
  EXPECT_FALSE(finish->isEnabled());
  EXPECT_TRUE(gui::test::SpinUntil(
      [&] {
        chosen.Answer();
        return !wizard->Busy();
      },
      20000));
  EXPECT_EQ(messages->Errors(), std::vector<std::string>{"无效的文件"});
  EXPECT_FALSE(busy->isVisible());
  EXPECT_TRUE(wizard->Sources().isEmpty());

  // A handed-in source is not probed, but the preview reads it: on a thread
  // of its own, so the wizard answers while the pipe keeps it waiting.
  const SlowSource handed(veltrano::test::MakeTempFolder("slow-preview") / "handed.mkv");
  wizard->SetSources({handed.Name()});
  gui::test::Spin(500);
  auto* bar = gui::test::Child<gui::TTimeBar>(wizard.get(), "barTime");
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_EQ(gui::test::Child<QLabel>(wizard.get(), "lblDuration")->text(),
            QStringLiteral("00:00:00"));
  // The preview gives up on what is no media; a real file shows.
  auto* preview = gui::test::Child<gui::TAVPreviewWidget>(wizard.get(), "AVPreview");
  EXPECT_TRUE(gui::test::SpinUntil(
      [&] {
        handed.Answer();
        return !preview->Busy();
      },
      20000));
  EXPECT_FALSE(preview->Active());
  wizard->SetSources({QString::fromStdString(gui::test::WizardClip().string())});
  EXPECT_TRUE(gui::test::SpinUntil([&] { return bar->isEnabled(); }, 20000));
  EXPECT_EQ(gui::test::Child<QLabel>(wizard.get(), "lblDuration")->text(), QStringLiteral("0:0:1"));
}

}  // namespace
}  // namespace veltrano::test
