// The completion alert.
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "GuiFixture.h"
#include "gui/ClickLabel.h"
#include "gui/DesktopAlert.h"
#include "gui/Frames.h"
#include "platform/Shell.h"

namespace veltrano::test {
namespace {

using AlertTest = GuiTest;
using gui::TAVDesktopAlert;

std::shared_ptr<bool> ReadErrorBox(std::string* text) {
  return OnNextModal([text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle().toStdString(), "Error");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    *text = box->text().toStdString();
    box->button(QMessageBox::Ok)->click();
  });
}

TEST_F(AlertTest, ACompletionFilesTheTaskAndShowsTheAlertThatShowsTheFile) {
  StartApp();
  NewTask(Settings(QuickClip(), "alert.mp4"));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(Unfiled().Tasks().empty());
  EXPECT_EQ(Sql("select Converting, CategoryId from conversions;"), "0|1\n");

  ASSERT_EQ(TAVDesktopAlert::OpenAlerts().size(), 1u);
  TAVDesktopAlert& alert = *TAVDesktopAlert::OpenAlerts()[0];
  const QString target = QString::fromStdString((folder / "alert.mp4").string());
  EXPECT_TRUE(alert.isVisible());
  EXPECT_EQ(alert.HeaderText().toStdString(), "任务完成！点击打开文件夹.");
  EXPECT_EQ(alert.MessageText(), target + QLatin1Char(' '));
  EXPECT_EQ(alert.btnOpenFolder->text().toStdString(), "打开文件夹");
  EXPECT_EQ(alert.btnClose->text().toStdString(), "关闭");
  EXPECT_EQ(alert.size(), QSize(270, 150));
  // Both buttons lie inside the popup, whatever width the style gives them.
  for (const QPushButton* button : {alert.btnOpenFolder, alert.btnClose}) {
    EXPECT_TRUE(alert.rect().contains(button->geometry())) << button->text().toStdString();
  }
  EXPECT_LT(alert.btnOpenFolder->geometry().right(), alert.btnClose->geometry().left());
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(alert.geometry().bottomRight(), area.bottomRight());

  // The text and the folder button show the file in the file manager; the
  // button lets the alert fade away afterwards.
  QTest::mouseClick(alert.lblText, Qt::LeftButton);
  ASSERT_EQ(dbus->Calls().size(), 1u);
  EXPECT_EQ(dbus->Calls()[0].method, "ShowItems");
  EXPECT_EQ(dbus->Calls()[0].arguments[0],
            TDBusValue(std::vector<std::string>{FileUri(target.toStdString())}));
  QTest::mouseClick(alert.btnOpenFolder, Qt::LeftButton);
  EXPECT_EQ(dbus->Calls().size(), 2u);
  EXPECT_TRUE(
      WaitUntil([] { return TAVDesktopAlert::OpenAlerts().empty(); }, std::chrono::seconds(5)));
}

TEST_F(AlertTest, AMissingFileIsReportedAndTheAlertStays) {
  StartApp();
  const std::string missing = (folder / "gone.mp4").string();
  TAVDesktopAlert* alert = TAVDesktopAlert::ShowCompleted(missing);
  std::string text;
  auto done = ReadErrorBox(&text);
  QTest::mouseClick(alert->btnOpenFolder, Qt::LeftButton);
  ASSERT_TRUE(*done);
  EXPECT_EQ(text, missing + " does not exists.");
  EXPECT_TRUE(dbus->Calls().empty());
  QTest::qWait(800);
  ASSERT_EQ(TAVDesktopAlert::OpenAlerts().size(), 1u);

  done = ReadErrorBox(&text);
  QTest::mouseClick(alert->lblText, Qt::LeftButton);
  ASSERT_TRUE(*done);
  // "关闭" closes it at once.
  QTest::mouseClick(alert->btnClose, Qt::LeftButton);
  EXPECT_TRUE(
      WaitUntil([] { return TAVDesktopAlert::OpenAlerts().empty(); }, std::chrono::seconds(2)));
}

TEST_F(AlertTest, SeveralAlertsStackUpwardsAndAFreedPlaceIsTakenAgain) {
  std::vector<TAVDesktopAlert*> alerts;
  for (int i = 0; i < 3; ++i)
    alerts.push_back(TAVDesktopAlert::ShowCompleted("/x/" + std::to_string(i)));
  for (int i = 1; i < 3; ++i) {
    EXPECT_FALSE(alerts[i]->geometry().intersects(alerts[i - 1]->geometry()));
    EXPECT_LT(alerts[i]->y(), alerts[i - 1]->y());
    EXPECT_EQ(alerts[i]->x(), alerts[0]->x());
  }
  const QPoint freed = alerts[1]->pos();
  alerts[1]->close();
  ASSERT_TRUE(
      WaitUntil([] { return TAVDesktopAlert::OpenAlerts().size() == 2; }, std::chrono::seconds(2)));
  TAVDesktopAlert* next = TAVDesktopAlert::ShowCompleted("/x/3");
  EXPECT_EQ(next->pos(), freed);
  TAVDesktopAlert::CloseAll();
  EXPECT_TRUE(TAVDesktopAlert::OpenAlerts().empty());
}

}  // namespace
}  // namespace veltrano::test
