#include "gui/FormEditProfile.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "common/ProfileStore.h"
#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "gui/FrameProfile.h"
#include "gui/DialogParts.h"
#include "gui/Icons.h"
#include "gui/Language.h"

namespace veltrano::gui {
namespace {

constexpr int kProfileRole = Qt::UserRole;
// The category as stored in the profiles (the shown caption may be translated).
constexpr int kCategoryRole = Qt::UserRole;

QVariant HandleData(const TAVProfile* profile) {
  return QVariant::fromValue(static_cast<qulonglong>(profile->Handle()));
}

// A row of `list` as high as every other, whether its caption is Latin or
// Chinese (the font that draws Chinese is often taller than the Latin one).
QListWidgetItem* NewRow(const QString& text, QListWidget* list) {
  constexpr int kPadding = 6;
  const QFontMetrics metrics(list->font());
  const int height =
      std::max(metrics.height(), metrics.boundingRect(QStringLiteral("视频Ag")).height());
  auto* item = new QListWidgetItem(text, list);
  item->setSizeHint(QSize(metrics.horizontalAdvance(text) + 2 * kPadding, height + kPadding));
  return item;
}

QString CategoryOf(const QListWidgetItem* item) {
  return item == nullptr ? QString() : item->data(kCategoryRole).toString();
}

}  // namespace

TFormEditProfile::TFormEditProfile(TAVProfileList& profiles, QWidget* parent)
    : QDialog(parent), profiles_(profiles) {
  setWindowTitle(tr("编辑配置文件"));
  lstCategory = new QListWidget(this);
  lstCategory->setObjectName(QStringLiteral("lstCategory"));
  lstCategory->setFixedWidth(130);
  lstProfile = new QListWidget(this);
  lstProfile->setObjectName(QStringLiteral("lstProfile"));
  lstProfile->setFixedWidth(220);
  FrameProfile = new TFrameProfile(this);
  FrameProfile->setObjectName(QStringLiteral("FrameProfile"));

  auto* toolbar = new QToolBar(this);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  actNewAudio = toolbar->addAction(Icon(TIcon::AudioProfile),
                                   tr("新建音频输出配置"));
  actNewAudio->setToolTip(tr("New Audio Profile"));
  actNewVideo = toolbar->addAction(Icon(TIcon::VideoProfile),
                                   tr("新建视频输出配置"));
  actNewVideo->setToolTip(tr("New Video Profile"));
  actDelete =
      toolbar->addAction(Icon(TIcon::Delete), tr("删除输出配置"));
  actDelete->setToolTip(tr("Delete Profile"));
  actSave =
      toolbar->addAction(Icon(TIcon::Save), tr("保存并退出"));
  actSave->setToolTip(tr("Save and Exit"));

  auto* panes = new QHBoxLayout;
  panes->addWidget(lstCategory);
  panes->addWidget(lstProfile);
  panes->addWidget(FrameProfile, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(toolbar);
  layout->addLayout(panes);

  for (const std::string& caption : profiles_.Categories()) {
    if (caption == "Images") continue;
    auto* item = NewRow(CategoryCaption(caption), lstCategory);
    item->setData(kCategoryRole, QString::fromStdString(caption));
  }
  // A category or profile picked with the mouse or the keyboard.
  connect(lstCategory, &QListWidget::currentRowChanged, this, &TFormEditProfile::FillProfiles);
  connect(lstProfile, &QListWidget::currentRowChanged, this, &TFormEditProfile::ProfileClicked);
  connect(FrameProfile, &TFrameProfile::DescriptionChanged, this, [this](const QString& text) {
    if (QListWidgetItem* item = lstProfile->currentItem()) item->setText(text);
  });
  connect(actNewAudio, &QAction::triggered, this,
          [this] { AddNew(std::make_unique<TAVCustomAudioProfile>(), "New Audio Profile"); });
  connect(actNewVideo, &QAction::triggered, this,
          [this] { AddNew(std::make_unique<TAVCustomVideoProfile>(), "New Video Profile"); });
  connect(actDelete, &QAction::triggered, this, &TFormEditProfile::DeleteSelected);
  connect(actSave, &QAction::triggered, this, &TFormEditProfile::SaveAndExit);
  resize(760, 440);
  UpdateActions();
}

// Entries keep the profile's handle: a profile that has left the list is
// found no more, instead of being read through a stale address.
TAVCustomAudioProfile* TFormEditProfile::ProfileOf(const QListWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  return dynamic_cast<TAVCustomAudioProfile*>(
      profiles_.FindHandle(item->data(kProfileRole).toULongLong()));
}

TAVCustomAudioProfile* TFormEditProfile::CurrentProfile() const {
  return dynamic_cast<TAVCustomAudioProfile*>(profiles_.FindHandle(current_));
}

void TFormEditProfile::SetCurrentProfile(TAVCustomAudioProfile* profile) {
  const QString category = QString::fromStdString(profile->Category());
  for (int row = 0; row < lstCategory->count(); ++row) {
    if (CategoryOf(lstCategory->item(row)).compare(category, Qt::CaseInsensitive) == 0) {
      const QSignalBlocker blocker(lstCategory);
      lstCategory->setCurrentRow(row);
      break;
    }
  }
  FillProfiles();
  for (int row = 0; row < lstProfile->count(); ++row) {
    if (ProfileOf(lstProfile->item(row)) != profile) continue;
    const QSignalBlocker blocker(lstProfile);
    lstProfile->setCurrentRow(row);
  }
  Show(profile);
}

void TFormEditProfile::FillProfiles() {
  lstProfile->clear();
  const QListWidgetItem* category = lstCategory->currentItem();
  if (category != nullptr) {
    for (TAVProfile* profile : profiles_.ProfilesOfCategory(CategoryOf(category).toStdString())) {
      auto* parametric = dynamic_cast<TAVCustomAudioProfile*>(profile);
      if (parametric == nullptr) continue;  // disc and image profiles have nothing to edit
      auto* item = NewRow(QString::fromStdString(profile->Description()), lstProfile);
      item->setData(kProfileRole, HandleData(parametric));
    }
  }
  if (lstProfile->count() > 0 && CurrentProfile() != nullptr) {
    lstProfile->setCurrentRow(0);
    Show(ProfileOf(lstProfile->item(0)));
  }
  UpdateActions();
}

void TFormEditProfile::ProfileClicked() {
  if (TAVCustomAudioProfile* profile = ProfileOf(lstProfile->currentItem())) Show(profile);
}

void TFormEditProfile::Show(TAVCustomAudioProfile* profile) {
  current_ = profile != nullptr ? profile->Handle() : 0;
  FrameProfile->SetProfile(profile);
}

void TFormEditProfile::AddNew(std::unique_ptr<TAVCustomAudioProfile> owned,
                              const char* description) {
  const QListWidgetItem* category = lstCategory->currentItem();
  owned->SetDescription(description);
  TAVCustomAudioProfile* profile = profiles_.Add(std::move(owned));
  profile->SetCategory(CategoryOf(category).trimmed().toStdString());
  auto* item = NewRow(QString::fromLatin1(description), lstProfile);
  item->setData(kProfileRole, HandleData(profile));
  lstProfile->setCurrentItem(item);
  Show(profile);
  UpdateActions();
}

void TFormEditProfile::DeleteSelected() {
  QListWidgetItem* item = lstProfile->currentItem();
  if (item == nullptr) return;
  if (!AskWarning(tr("Are you sure to delete the profile?").toStdString())) return;
  TAVCustomAudioProfile* profile = ProfileOf(item);
  const int row = lstProfile->row(item);
  FrameProfile->SetProfile(nullptr);
  current_ = 0;
  delete item;
  profiles_.RemoveProfile(profile);  // destroyed here
  if (lstProfile->count() > 0) {
    const int next = row > 0 ? row - 1 : 0;
    lstProfile->setCurrentRow(next);
    Show(ProfileOf(lstProfile->item(next)));
  }
  UpdateActions();
}

void TFormEditProfile::SaveAndExit() {
  try {
    SaveProfiles(profiles_);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
    return;
  }
  accept();
}

void TFormEditProfile::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CenterOnScreen(*this);
}

void TFormEditProfile::UpdateActions() {
  actDelete->setEnabled(lstProfile->count() > 0);
}

TAVCustomAudioProfile* EditProfile(TAVProfileList& profiles, TAVCustomAudioProfile* profile,
                                   QWidget* parent) {
  TFormEditProfile editor(profiles, parent);
  editor.SetCurrentProfile(profile);
  editor.exec();
  return editor.CurrentProfile();
}

}  // namespace veltrano::gui
