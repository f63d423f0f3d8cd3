// The DVD drive selector: a drop-down list of the optical drives that hold a
// video DVD ("%s: [%s]": mount point and volume label), followed by the DVD
// folders and images the user opened (kept for the selector's lifetime).
//
// The list is rebuilt whenever the system's mount table changes (a disc
// inserted or removed): the kernel reports that as an exceptional condition
// on an open /proc/self/mountinfo. The selection follows its path across
// rebuilds. `Selected` is raised only when the user picks an entry.
#pragma once

#include <QComboBox>
#include <QString>

#include <string>

#include "platform/Drives.h"

class QSocketNotifier;

namespace veltrano::gui {

class TDvdCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit TDvdCombo(QWidget* parent = nullptr,
                     const TDriveSystemPaths& paths = TDriveSystemPaths());
  ~TDvdCombo() override;

  TTextCase TextCase() const { return text_case_; }
  void SetTextCase(TTextCase value);

  // Lists the drives holding a video DVD, then the added folders and images.
  void Rebuild();
  // Adds a DVD folder or image under `label` (once per path); returns its index.
  int AddSource(const std::string& path, const std::string& label);

  // The path the selected entry reads from (a mount point, folder or image);
  // empty when nothing is selected.
  std::string Drive() const;
  // The selected entry's volume label as recorded (not cased).
  std::string VolumeLabel() const;

 signals:
  void Selected();

 private:
  void WatchMounts();

  TDriveSystemPaths paths_;
  TTextCase text_case_ = TTextCase::Lower;
  std::vector<std::pair<std::string, std::string>> added_;  // path, label
  int mount_fd_ = -1;
  QSocketNotifier* mount_watch_ = nullptr;
};

// The DVD at `path` as the navigation service opens it: a folder holding
// VIDEO_TS, a VIDEO_TS folder or its VIDEO_TS.IFO give the folder above
// VIDEO_TS; anything else (an image) stays as it is.
std::string DvdRootOf(const std::string& path);

// The volume label of a DVD folder or image: the disc's own when it records
// one, otherwise the folder's (or the image's) name.
std::string DvdSourceLabel(const std::string& root);

// Asks for a DVD folder (VIDEO_TS, the folder holding it, or VIDEO_TS.IFO) or
// an .iso image; returns its root (DvdRootOf), empty when cancelled.
QString ChooseDvdSource(QWidget* parent);

}  // namespace veltrano::gui
