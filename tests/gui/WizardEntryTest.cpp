#include "gui/WizardEntry.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "WizardTestSupport.h"
#include "common/ProfileStore.h"
#include "common/TaskFixture.h"
#include "support/MediaFixture.h"

namespace veltrano::gui::test {
namespace {

class WizardEntry : public veltrano::test::TaskFixture {
 protected:
  fs::path Copy(const fs::path& clip, const std::string& relative) {
    const fs::path path = folder / "sources" / relative;
    fs::create_directories(path.parent_path());
    fs::copy_file(clip, path);
    return path;
  }
};

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

TEST_F(WizardEntry, CancelledWizardCreatesNothing) {
  const auto profiles = CreateProfileList();
  auto cancel = WhenModalOpens<TFormNewConversion>(
      [](TFormNewConversion* wizard) { wizard->button(QWizard::CancelButton)->click(); });
  EXPECT_TRUE(RunNewConversionWizard(nullptr, *profiles, {Q(WizardClip())}, {}).empty());
  EXPECT_TRUE(cancel->Done());
}

TEST_F(WizardEntry, ThreeFilesBecomeThreeTasksConvertingAtOnceWithDistinctTargets) {
  const QStringList sources{Q(Copy(WizardClip(), "a/clip.mp4")),
                            Q(Copy(WizardClip(), "b/clip.mp4")),
                            Q(Copy(WizardClip(), "c/other.mkv"))};
  const std::vector<std::string> reserved{(folder / "other.mp4").string()};
  const auto profiles = CreateProfileList();
  auto confirm = WhenModalOpens<TFormNewConversion>([](TFormNewConversion* wizard) {
    auto* count = Child<QLabel>(wizard, "lblFileCount");
    EXPECT_FALSE(count->isHidden());
    EXPECT_EQ(count->text(), QStringLiteral("共 3 个文件"));
    Choose(*wizard, QStringLiteral("Zune"), QStringLiteral("Zune MPEG4 Video(320x240)"));
    EXPECT_TRUE(Finish(*wizard));
  });
  auto settings = RunNewConversionWizard(nullptr, *profiles, sources, reserved);
  ASSERT_EQ(settings.size(), 3u);
  const std::vector<fs::path> targets{folder / "clip.mp4", folder / "clip (2).mp4",
                                      folder / "other (2).mp4"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(settings[i]->SourceFile(), sources[static_cast<int>(i)].toStdString());
    EXPECT_EQ(fs::path(settings[i]->TargetFile()), targets[i]);
    EXPECT_EQ(settings[i]->Profile(), "Zune MPEG4 Video(320x240)");
  }

  std::vector<TConvertingTask*> tasks;
  for (auto& one : settings) tasks.push_back(&Unfiled().NewConversion(std::move(one)));
  for (TConvertingTask* task : tasks) {
    EXPECT_EQ(task->Status(), stRunning);
    EXPECT_TRUE(task->Converter().IsRunning());
  }
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(messages->Errors().empty());
  EXPECT_TRUE(Unfiled().Tasks().empty());  // all three completed and filed
  for (const fs::path& target : targets) {
    const veltrano::test::TMediaInfo made = veltrano::test::ProbeMedia(target);
    ASSERT_TRUE(made.opened) << target;
    EXPECT_EQ(made.Stream("video").width, 320);
  }
}

}  // namespace
}  // namespace veltrano::gui::test
