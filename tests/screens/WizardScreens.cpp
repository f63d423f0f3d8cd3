// Pictures of the new-conversion wizard's two pages, a filter dialog and the
// profile editor.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>

#include "Screens.h"
#include "common/Configuration.h"
#include "common/ProfileStore.h"
#include "converter/AVProfile.h"
#include "converter/DeviceCatalogue.h"
#include "gui/AVPreviewWidget.h"
#include "gui/FileNameEdit.h"
#include "gui/FilterDialogs.h"
#include "gui/FormEditProfile.h"
#include "gui/FormNewConversion.h"
#include "gui/FormNewConversionFile.h"
#include "gui/TimeBar.h"
#include "support/DvdFixture.h"
#include "support/MediaFixture.h"
#include "support/TrackFixture.h"

namespace veltrano::screens {
namespace {

using gui::TFormNewConversion;

// Keeps `widget` until after the grab; it goes before what it was given
// (kept earlier), since the context releases the last first.
template <class T>
T* Kept(TScreenContext& ctx, T* widget) {
  ctx.keep.push_back(std::shared_ptr<T>(widget));
  return widget;
}

std::shared_ptr<TAVProfileList> Profiles(TScreenContext& ctx) {
  std::shared_ptr<TAVProfileList> profiles = CreateProfileList();
  ctx.keep.push_back(profiles);
  return profiles;
}

// A wizard with a generated clip as its source, the output folder in the
// screen's home.
TFormNewConversion* SourceWizard(TScreenContext& ctx) {
  AVConfiguration().SetOutputFolder((ctx.home / "Tellurix转换").string());
  test::TClip spec = test::AvClipSpec("mpeg4", "aac");
  spec.seconds = 95;
  spec.size = "320x240";
  spec.rate = "5";
  const auto clip = test::MakeClip(ctx.home / "假日 holiday.mp4", spec);
  auto profiles = Profiles(ctx);
  auto* wizard = Kept(ctx, new TFormNewConversion(*profiles, {}));
  wizard->SetSources({QString::fromStdString(clip.string())});
  wizard->show();
  // The preview reads the source beside the wizard: its length comes after.
  auto* preview = wizard->findChild<gui::TAVPreviewWidget*>(QStringLiteral("AVPreview"));
  QElapsedTimer waited;
  waited.start();
  while (!preview->Active() && waited.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return wizard;
}

// Confirms the next filter dialog after `prepare` has filled it.
void ConfirmNextFilterDialog(const std::function<void(QWidget*)>& prepare) {
  QTimer::singleShot(100, [prepare] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    prepare(dialog);
    QMetaObject::invokeMethod(dialog, "accept");
  });
}

}  // namespace

VELTRANO_SCREEN(wizard_source) {
  TFormNewConversion* wizard = SourceWizard(ctx);
  auto* bar = wizard->findChild<gui::TTimeBar*>(QStringLiteral("barTime"));
  for (const char* name : {"barTime", "btnStart", "btnEnd"}) {
    wizard->findChild<QWidget*>(QLatin1String(name))->setEnabled(true);
  }
  bar->setValue(20000);
  wizard->findChild<QPushButton*>(QStringLiteral("btnStart"))->click();
  bar->setValue(65000);
  wizard->findChild<QPushButton*>(QStringLiteral("btnEnd"))->click();
  bar->setValue(41000);
  return wizard;
}

VELTRANO_SCREEN(wizard_dvd) {
  TFormNewConversion* wizard = SourceWizard(ctx);
  wizard->findChild<QTabWidget*>(QStringLiteral("tabSource"))->setCurrentIndex(1);
  QTimer::singleShot(100, [] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QString::fromStdString(test::SharedDvd().folder.string()));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  wizard->findChild<QPushButton*>(QStringLiteral("btnOpenDvd"))->click();
  return wizard;
}

// The browse dialog of the source field: Qt's own dialog, in the window's
// language.
VELTRANO_SCREEN(file_dialog) {
  TFormNewConversion* wizard = SourceWizard(ctx);
  auto* dialog = Kept(ctx, new QFileDialog(wizard));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setNameFilter(gui::QtNameFilters(
      QStringLiteral("Video Files(*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov)|"
                     "*.flv;*.wmv;*.mp4;*.avi;*.mkv;*.mpg;*.mpeg;*.mov|All Files(*.*)|*.*")));
  dialog->setDirectory(QString::fromStdString(ctx.home.string()));
  gui::FitBrowseDialog(*dialog);
  dialog->show();
  return dialog;
}

VELTRANO_SCREEN(wizard_filters) {
  TFormNewConversion* wizard = SourceWizard(ctx);
  wizard->next();
  const QList<QAction*> kinds =
      wizard->findChild<QToolButton*>(QStringLiteral("btnNewFilter"))->menu()->actions();
  ConfirmNextFilterDialog([](QWidget* dialog) {
    dialog->findChild<QCheckBox*>(QStringLiteral("chkVFlip"))->setChecked(true);
  });
  kinds[0]->trigger();
  ConfirmNextFilterDialog([](QWidget* dialog) {
    dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmoText"))
        ->setPlainText(QStringLiteral("假日"));
  });
  kinds[2]->trigger();
  return wizard;
}

VELTRANO_SCREEN(filter_text) {
  auto* dialog = Kept(ctx, new gui::TFormTextFilter);
  dialog->findChild<QPlainTextEdit*>(QStringLiteral("mmoText"))
      ->setPlainText(QStringLiteral("Tellurix 假日\n2026"));
  dialog->findChild<gui::TFileNameEdit*>(QStringLiteral("edtFont"))
      ->SetFileName(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
  dialog->findChild<QSpinBox*>(QStringLiteral("edtX"))->setValue(10);
  dialog->findChild<QSpinBox*>(QStringLiteral("edtY"))->setValue(10);
  dialog->show();
  return dialog;
}

VELTRANO_SCREEN(filter_standard) {
  auto* dialog = Kept(ctx, new gui::TFormStdFilter);
  dialog->findChild<QCheckBox*>(QStringLiteral("chkRotate"))->setChecked(true);
  dialog->findChild<QCheckBox*>(QStringLiteral("chkDrawBox"))->setChecked(true);
  dialog->show();
  return dialog;
}

// The wizard with a profile of today's category: its information frame.
VELTRANO_SCREEN(wizard_device) {
  TFormNewConversion* wizard = SourceWizard(ctx);
  auto* categories = wizard->findChild<QComboBox*>(QStringLiteral("cbbCategory"));
  categories->setCurrentIndex(categories->findData(QString::fromUtf8(kDeviceCategory)));
  auto* profiles = wizard->findChild<QComboBox*>(QStringLiteral("cbbProfile"));
  profiles->setCurrentIndex(profiles->findText(QStringLiteral("TV 4K H.265 (MP4)")));
  return wizard;
}

VELTRANO_SCREEN(profile_editor_device) {
  auto profiles = Profiles(ctx);
  auto* editor = Kept(ctx, new gui::TFormEditProfile(*profiles));
  editor->SetCurrentProfile(
      dynamic_cast<TAVCustomAudioProfile*>(profiles->FindProfile("TV 4K H.265 (MP4)")));
  editor->show();
  return editor;
}

VELTRANO_SCREEN(profile_editor) {
  auto profiles = Profiles(ctx);
  auto* editor = Kept(ctx, new gui::TFormEditProfile(*profiles));
  editor->SetCurrentProfile(
      dynamic_cast<TAVCustomAudioProfile*>(profiles->FindProfile("IPhone H264 Video")));
  editor->show();
  return editor;
}

}  // namespace veltrano::screens

namespace veltrano::screens {
namespace {

// Waits until the wizard has probed its sources.
void WaitForProbes(TFormNewConversion& wizard) {
  QElapsedTimer waited;
  waited.start();
  while (wizard.Busy() && waited.elapsed() < 30000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

}  // namespace

// A season's folder: its episodes in order with targets in their
// sub-folders, sizes, and the files left out.
VELTRANO_SCREEN(wizard_folder) {
  AVConfiguration().SetOutputFolder((ctx.home / "Tellurix转换").string());
  const auto season = ctx.home / "第一季 Season 1";
  std::filesystem::create_directories(season);
  test::TClip spec = test::AvClipSpec("mpeg4", "aac");
  spec.seconds = 3;
  const auto first = test::MakeClip(season / "episode 1.mp4", spec);
  for (const char* name : {"episode 2.mp4", "episode 10.mp4", "特辑/making of.mp4"}) {
    std::filesystem::create_directories((season / name).parent_path());
    std::filesystem::copy_file(first, season / name);
  }
  std::ofstream(season / "字幕说明.txt") << "notes";
  std::ofstream(season / "cover.jpg") << "picture";
  auto profiles = Profiles(ctx);
  auto* wizard = Kept(ctx, new TFormNewConversion(*profiles, {}));
  wizard->SetSources({QString::fromStdString(season.string())});
  wizard->show();
  WaitForProbes(*wizard);
  return wizard;
}

// A film with two audio tracks and subtitles: the track lists.
VELTRANO_SCREEN(wizard_tracks) {
  AVConfiguration().SetOutputFolder((ctx.home / "Tellurix转换").string());
  const auto film = ctx.home / "film.mkv";
  std::filesystem::copy_file(test::MultiTrackClip(), film);
  auto profiles = Profiles(ctx);
  auto* wizard = Kept(ctx, new TFormNewConversion(*profiles, {}));
  wizard->SetSources({QString::fromStdString(film.string())});
  wizard->show();
  WaitForProbes(*wizard);
  auto* audio = wizard->findChild<QComboBox*>(QStringLiteral("cbbAudioTrack"));
  audio->setCurrentIndex(audio->findData(QStringLiteral("2")));
  auto* subtitle = wizard->findChild<QComboBox*>(QStringLiteral("cbbSubtitleTrack"));
  subtitle->setCurrentIndex(subtitle->findData(QStringLiteral("1")));
  return wizard;
}

namespace {

// Waits until `preview` shows its source.
void WaitForPreview(const gui::TAVPreviewWidget& preview) {
  QElapsedTimer waited;
  waited.start();
  while (!preview.Active() && waited.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// Three episodes, the second and third in a profile of their own.
std::vector<std::filesystem::path> Episodes(TScreenContext& ctx) {
  test::TClip spec = test::AvClipSpec("mpeg4", "aac");
  spec.seconds = 4;
  spec.size = "320x240";
  std::vector<std::filesystem::path> files{ctx.home / "第1集.mp4", ctx.home / "第2集.mp4",
                                           ctx.home / "第3集 花絮.mp4"};
  test::MakeClip(files[0], spec);
  for (size_t i = 1; i < files.size(); ++i) std::filesystem::copy_file(files[0], files[i]);
  return files;
}

void ChooseOwnProfile(QWidget* dialog, const QString& category, const QString& profile) {
  dialog->findChild<QGroupBox*>(QStringLiteral("grpProfile"))->setChecked(true);
  auto* categories = dialog->findChild<QComboBox*>(QStringLiteral("cbbCategory"));
  categories->setCurrentIndex(categories->findData(category));
  auto* profiles = dialog->findChild<QComboBox*>(QStringLiteral("cbbProfile"));
  profiles->setCurrentIndex(profiles->findText(profile));
}

}  // namespace

// The list of sources with files of their own settings.
VELTRANO_SCREEN(wizard_own_settings) {
  AVConfiguration().SetOutputFolder((ctx.home / "Tellurix转换").string());
  const auto files = Episodes(ctx);
  auto profiles = Profiles(ctx);
  auto* wizard = Kept(ctx, new TFormNewConversion(*profiles, {}));
  QStringList sources;
  for (const auto& file : files) sources << QString::fromStdString(file.string());
  wizard->SetSources(sources);
  wizard->show();
  WaitForProbes(*wizard);
  auto* list = wizard->findChild<QTreeWidget*>(QStringLiteral("lstSources"));
  auto* own = wizard->findChild<QAction*>(QStringLiteral("actOwnSettings"));
  for (int row : {1, 2}) {
    list->clearSelection();
    list->topLevelItem(row)->setSelected(true);
    own->setEnabled(true);
    ConfirmNextFilterDialog([row](QWidget* dialog) {
      if (row == 1) {
        ChooseOwnProfile(dialog, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
      } else {
        dialog->findChild<QGroupBox*>(QStringLiteral("grpFilters"))->setChecked(true);
      }
    });
    own->trigger();
  }
  list->clearSelection();
  list->topLevelItem(1)->setSelected(true);
  return wizard;
}

// The dialog of a file's own settings.
VELTRANO_SCREEN(wizard_file_settings) {
  const auto files = Episodes(ctx);
  auto profiles = Profiles(ctx);
  auto* dialog =
      Kept(ctx, new gui::TFormFileSettings(
                    *profiles, {{QString::fromStdString(files[2].string()), 4.0}}, {},
                    profiles->FindProfile("MPEG-4视频"), gui::WholeSource(), {}, nullptr));
  ChooseOwnProfile(dialog, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  dialog->show();
  WaitForPreview(*dialog->findChild<gui::TAVPreviewWidget*>(QStringLiteral("AVPreview")));
  return dialog;
}

}  // namespace veltrano::screens
