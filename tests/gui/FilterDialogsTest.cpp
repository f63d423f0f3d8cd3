#include "gui/FilterDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <fstream>

#include "GuiTestSupport.h"
#include "gui/ColorBox.h"
#include "gui/FileNameEdit.h"
#include "support/MediaFixture.h"

namespace veltrano::gui {
namespace {

using test::Child;
using test::SpinUntil;
using test::WhenModalOpens;
namespace fs = std::filesystem;

fs::path SomeFile(const std::string& name) {
  static const fs::path folder = veltrano::test::MakeTempFolder("filter-files");
  const fs::path path = folder / name;
  std::ofstream(path) << "x";
  return path;
}

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

void SetFile(const QObject* dialog, const char* name, const QString& file) {
  Child<TFileNameEdit>(dialog, name)->SetFileName(file);
}

bool OkEnabled(const TFilterDialog* dialog) {
  // The dialogs re-evaluate on a short timer: give it a few turns.
  test::Spin(250);
  return dialog->OkButton()->isEnabled();
}

TEST(FilterDialogs, LogoDialogAcceptsOnlyAnExistingFileAndNoticesOneThatAppears) {
  TFormLogoFilter dialog;
  dialog.show();
  const fs::path later = veltrano::test::MakeTempFolder("logo") / "later.png";
  SetFile(&dialog, "edtLogo", Q(later));
  EXPECT_FALSE(OkEnabled(&dialog));
  std::ofstream(later) << "png";
  EXPECT_TRUE(SpinUntil([&] { return dialog.OkButton()->isEnabled(); }));
  SetFile(&dialog, "edtLogo", Q(later.parent_path()));  // a folder is not a file
  EXPECT_FALSE(OkEnabled(&dialog));
}

TEST(FilterDialogs, LogoRoundTripThroughExecuteNewAndEdit) {
  TLogoFilter filter;
  const fs::path logo = SomeFile("logo.png");
  auto confirm = WhenModalOpens<TFormLogoFilter>([&](TFormLogoFilter* dialog) {
    SetFile(dialog, "edtLogo", Q(logo));
    Child<QSpinBox>(dialog, "edtX2")->setValue(-10);
    Child<QSpinBox>(dialog, "edtY2")->setValue(20);
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteNew(filter, nullptr));
  EXPECT_EQ(filter.LogoFile(), logo.string());
  EXPECT_EQ(filter.X(), -10);
  EXPECT_EQ(filter.Y(), 20);

  // Edit opens filled from the filter; "放弃" leaves the filter as it was.
  auto cancel = WhenModalOpens<TFormLogoFilter>([&](TFormLogoFilter* dialog) {
    EXPECT_EQ(Child<TFileNameEdit>(dialog, "edtLogo")->FileName(), Q(logo));
    EXPECT_EQ(Child<QSpinBox>(dialog, "edtX2")->value(), -10);
    Child<QSpinBox>(dialog, "edtY2")->setValue(99);
    dialog->reject();
  });
  EXPECT_FALSE(ExecuteEdit(filter, nullptr));
  EXPECT_EQ(filter.Y(), 20);
}

TEST(FilterDialogs, TextDialogNeedsRealTextAndAFontAndKeepsTheHiddenBackground) {
  const fs::path font = SomeFile("font.ttf");
  {
    TFormTextFilter dialog;
    dialog.show();
    SetFile(&dialog, "edtFont", Q(font));
    Child<QPlainTextEdit>(&dialog, "mmoText")->setPlainText(QStringLiteral("  \n \n  "));
    EXPECT_FALSE(OkEnabled(&dialog));
    Child<QPlainTextEdit>(&dialog, "mmoText")->setPlainText(QStringLiteral("ab"));
    EXPECT_TRUE(OkEnabled(&dialog));
    SetFile(&dialog, "edtFont", Q(font) + QStringLiteral(".missing"));
    EXPECT_FALSE(OkEnabled(&dialog));
  }

  TOverlayTextFilter filter;
  auto create = WhenModalOpens<TFormTextFilter>([&](TFormTextFilter* dialog) {
    EXPECT_EQ(Child<QSpinBox>(dialog, "edtSize")->value(), 16);
    EXPECT_EQ(Child<QSpinBox>(dialog, "edtSize")->singleStep(), 16);
    EXPECT_EQ(Child<QSpinBox>(dialog, "edtX")->minimum(), 0);
    EXPECT_TRUE(Child<TColorBox>(dialog, "cbbBack")->isHidden());
    Child<QPlainTextEdit>(dialog, "mmoText")->setPlainText(QStringLiteral("ab\ncd"));
    SetFile(dialog, "edtFont", Q(font));
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteNew(filter, nullptr));
  EXPECT_EQ(filter.Text(), "ab\ncd\n");
  EXPECT_EQ(filter.FontColor(), kYellow);
  EXPECT_EQ(filter.BgColor(), kBlue);
  EXPECT_EQ(filter.FontSize(), 16);

  // A background the colour list does not offer survives an edit.
  filter.SetBgColor(0x123456);
  filter.SetFontColor(0x0000FF);  // red
  auto edit = WhenModalOpens<TFormTextFilter>([&](TFormTextFilter* dialog) {
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "mmoText")->toPlainText(), QStringLiteral("ab\ncd"));
    EXPECT_EQ(Child<TColorBox>(dialog, "cbbColor")->ColorName(), QStringLiteral("Red"));
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteEdit(filter, nullptr));
  EXPECT_EQ(filter.BgColor(), 0x123456u);
  EXPECT_EQ(filter.FontColor(), 0x0000FFu);
  EXPECT_EQ(filter.Text(), "ab\ncd\n");
}

TEST(FilterDialogs, SubtitleDialogNeedsBothFilesAndTrimsTheCodePage) {
  const fs::path subtitle = SomeFile("movie.srt");
  const fs::path font = SomeFile("sub.ttf");
  TSubtitleFilter filter;
  auto create = WhenModalOpens<TFormSubtitleFilter>([&](TFormSubtitleFilter* dialog) {
    auto* pages = Child<QComboBox>(dialog, "cbbCodePage");
    EXPECT_EQ(pages->count(), 67);
    EXPECT_EQ(pages->itemText(37), QStringLiteral("GBK"));
    EXPECT_TRUE(pages->currentText().isEmpty());
    SetFile(dialog, "edtSubtitle", Q(subtitle));
    EXPECT_FALSE(OkEnabled(dialog));
    SetFile(dialog, "edtFont", Q(font));
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteNew(filter, nullptr));
  EXPECT_EQ(filter.CodePage(), "");
  EXPECT_EQ(filter.FontColor(), kYellow);
  EXPECT_EQ(filter.GetFilterString().find("codepage"), std::string::npos);

  auto edit = WhenModalOpens<TFormSubtitleFilter>([&](TFormSubtitleFilter* dialog) {
    EXPECT_EQ(Child<TFileNameEdit>(dialog, "edtSubtitle")->FileName(), Q(subtitle));
    Child<QComboBox>(dialog, "cbbCodePage")->setEditText(QStringLiteral(" GBK "));
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteEdit(filter, nullptr));
  EXPECT_EQ(filter.CodePage(), "GBK");
  EXPECT_NE(filter.GetFilterString().find("#codepage$GBK"), std::string::npos);
}

TEST(FilterDialogs, StandardDialogEnablingFollowsItsSwitches) {
  TFormStdFilter dialog;
  dialog.show();
  auto* rotate = Child<QCheckBox>(&dialog, "chkRotate");
  auto* degree = Child<QSpinBox>(&dialog, "edtDegree");
  auto* box = Child<QCheckBox>(&dialog, "chkDrawBox");
  auto* box_width = Child<QSpinBox>(&dialog, "edtWidth");
  EXPECT_FALSE(OkEnabled(&dialog));
  EXPECT_FALSE(degree->isEnabled());
  EXPECT_FALSE(box_width->isEnabled());
  rotate->setChecked(true);
  EXPECT_TRUE(OkEnabled(&dialog));
  EXPECT_TRUE(degree->isEnabled());
  EXPECT_FALSE(box_width->isEnabled());
  rotate->setChecked(false);
  box->setChecked(true);
  EXPECT_TRUE(OkEnabled(&dialog));
  EXPECT_TRUE(box_width->isEnabled());
  EXPECT_FALSE(degree->isEnabled());
}

TEST(FilterDialogs, StandardFilterStoresEveryFieldAndKeepsItsColour) {
  TVideoStdFilter filter;
  auto create = WhenModalOpens<TFormStdFilter>([&](TFormStdFilter* dialog) {
    EXPECT_EQ(Child<TColorBox>(dialog, "cbColor")->count(), 16);
    Child<QCheckBox>(dialog, "chkRotate")->setChecked(true);
    Child<QSpinBox>(dialog, "edtX")->setValue(7);  // stored although the box is off
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteNew(filter, nullptr));
  EXPECT_TRUE(filter.Rotate());
  EXPECT_EQ(filter.Degree(), 45);
  EXPECT_FALSE(filter.DrawBox());
  EXPECT_EQ(filter.BX(), 7);
  EXPECT_EQ(filter.BColor(), "Black");
  EXPECT_EQ(filter.GetFilterString(), "rotate=45");

  filter.SetBColor("Red");
  auto edit = WhenModalOpens<TFormStdFilter>([&](TFormStdFilter* dialog) {
    EXPECT_EQ(Child<TColorBox>(dialog, "cbColor")->ColorName(), QStringLiteral("Red"));
    EXPECT_TRUE(Child<QCheckBox>(dialog, "chkRotate")->isChecked());
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  ASSERT_TRUE(ExecuteEdit(filter, nullptr));
  EXPECT_EQ(filter.BColor(), "Red");
}

TEST(FilterDialogs, MemoTextAndFileFilterForms) {
  EXPECT_EQ(MemoLinesText(QStringLiteral("ab\ncd")), "ab\ncd\n");
  EXPECT_EQ(MemoLinesText(QStringLiteral("ab\n")), "ab\n");
  EXPECT_EQ(MemoLinesText(QString()), "");
  EXPECT_EQ(MemoFromLinesText("ab\ncd\n"), QStringLiteral("ab\ncd"));
  EXPECT_EQ(
      QtNameFilters(QStringLiteral("Audio Files (*.wav;*.mp3)|*.wav;*.mp3|All Files(*.*)|*.*")),
      QStringLiteral("Audio Files (*.wav *.mp3);;All Files (*)"));
}

}  // namespace
}  // namespace veltrano::gui
