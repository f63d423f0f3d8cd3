#include "gui/DvdComboBox.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "converter/DvdNavigation.h"
#include "gui/FileNameEdit.h"

namespace veltrano::gui {
namespace {

namespace fs = std::filesystem;

constexpr int kPathRole = Qt::UserRole;
constexpr int kLabelRole = Qt::UserRole + 1;

bool IsVideoTsName(const fs::path& path) {
  return QString::fromStdString(path.filename().string())
             .compare(QLatin1String("VIDEO_TS"), Qt::CaseInsensitive) == 0;
}

// True for a folder the navigation service can open as a DVD.
bool IsDvdFolder(const QString& name) {
  const fs::path path = fs::u8path(name.toStdString());
  std::error_code error;
  if (!fs::is_directory(path, error)) return false;
  if (HoldsVideoDvd(path.string())) return true;
  return IsVideoTsName(path) && HoldsVideoDvd(path.parent_path().string());
}

// A file dialog that also accepts DVD folders: "Open" on a selected folder
// that holds a DVD takes it instead of entering it.
class TDvdSourceDialog : public QFileDialog {
 public:
  explicit TDvdSourceDialog(QWidget* parent) : QFileDialog(parent) {
    setWindowTitle(TDvdCombo::tr("打开DVD文件夹或映像…"));
    setFileMode(QFileDialog::ExistingFile);
    setNameFilter(QtNameFilters(QStringLiteral("DVD(*.iso;VIDEO_TS.IFO)|*.iso;VIDEO_TS.IFO")));
  }

  void accept() override {
    const QStringList names = selectedFiles();
    if (names.size() == 1 && IsDvdFolder(names.first())) {
      QDialog::accept();
      return;
    }
    QFileDialog::accept();
  }
};

}  // namespace

TDvdCombo::TDvdCombo(QWidget* parent, const TDriveSystemPaths& paths)
    : QComboBox(parent), paths_(paths) {
  setObjectName(QStringLiteral("FCbbDvd"));
  connect(this, &QComboBox::activated, this, &TDvdCombo::Selected);
  Rebuild();
  WatchMounts();
}

TDvdCombo::~TDvdCombo() {
  delete mount_watch_;
  if (mount_fd_ >= 0) ::close(mount_fd_);
}

void TDvdCombo::WatchMounts() {
  mount_fd_ = ::open(paths_.mountinfo.c_str(), O_RDONLY | O_CLOEXEC);
  if (mount_fd_ < 0) return;
  mount_watch_ = new QSocketNotifier(mount_fd_, QSocketNotifier::Exception, this);
  connect(mount_watch_, &QSocketNotifier::activated, this, &TDvdCombo::Rebuild);
}

void TDvdCombo::SetTextCase(TTextCase value) {
  text_case_ = value;
  Rebuild();
}

void TDvdCombo::Rebuild() {
  const std::string selected = Drive();
  clear();
  auto add = [this](const std::string& path, const std::string& label, const std::string& text) {
    addItem(QString::fromStdString(text));
    setItemData(count() - 1, QString::fromStdString(path), kPathRole);
    setItemData(count() - 1, QString::fromStdString(label), kLabelRole);
  };
  for (const TDvdDrive& drive : ListDvdDrives(text_case_, paths_)) {
    add(drive.mount_point, drive.label, drive.text);
  }
  for (const auto& [path, label] : added_)
    add(path, label, DriveEntryText(path, label, text_case_));
  setCurrentIndex(findData(QString::fromStdString(selected), kPathRole));
}

int TDvdCombo::AddSource(const std::string& path, const std::string& label) {
  const int existing = findData(QString::fromStdString(path), kPathRole);
  if (existing >= 0) return existing;
  added_.emplace_back(path, label);
  Rebuild();
  return findData(QString::fromStdString(path), kPathRole);
}

std::string TDvdCombo::Drive() const {
  return currentIndex() < 0 ? std::string() : currentData(kPathRole).toString().toStdString();
}

std::string TDvdCombo::VolumeLabel() const {
  return currentIndex() < 0 ? std::string() : currentData(kLabelRole).toString().toStdString();
}

std::string DvdRootOf(const std::string& path) {
  fs::path root = fs::u8path(path).lexically_normal();
  if (root.has_parent_path() && root.filename().empty()) root = root.parent_path();
  std::error_code error;
  if (fs::is_regular_file(root, error) &&
      QString::fromStdString(root.filename().string())
              .compare(QLatin1String("VIDEO_TS.IFO"), Qt::CaseInsensitive) == 0) {
    root = root.parent_path();
  }
  if (fs::is_directory(root, error) && IsVideoTsName(root)) root = root.parent_path();
  return root.string();
}

std::string DvdSourceLabel(const std::string& root) {
  if (std::unique_ptr<TDvdNavigation> dvd = TDvdNavigation::Init(root)) {
    if (!dvd->VolumeName().empty()) return dvd->VolumeName();
  }
  const fs::path path = fs::u8path(root);
  std::error_code error;
  return fs::is_directory(path, error) ? path.filename().string() : path.stem().string();
}

QString ChooseDvdSource(QWidget* parent) {
  TDvdSourceDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return QString::fromStdString(DvdRootOf(dialog.selectedFiles().first().toStdString()));
}

}  // namespace veltrano::gui
