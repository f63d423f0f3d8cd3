// The completion alert: a small frameless popup at the bottom right of the
// screen's work area that tells that a conversion has finished and offers to
// show the converted file in the file manager.
//
// Each alert belongs to nobody and frees itself when it closes (its close
// button, "关闭", or the end of its display time). Several may be open at
// once: each takes the lowest free place of a stack that grows upwards from
// the corner, so none covers another.
#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;
class QToolButton;

namespace veltrano::gui {

class TClickLabel;

class TAVDesktopAlert final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 270;
  static constexpr int kHeight = 150;
  static constexpr int kDisplayTimeMs = 400000;

  // An alert for the converted file `file_name`; Popup shows it.
  explicit TAVDesktopAlert(const QString& file_name);
  ~TAVDesktopAlert() override;

  // Creates the alert of a finished conversion of `target_file` and shows it.
  static TAVDesktopAlert* ShowCompleted(const std::string& target_file);
  // The alerts on screen, in the order they were opened.
  static std::vector<TAVDesktopAlert*> OpenAlerts();
  // Closes every alert at once (at exit).
  static void CloseAll();

  // Places the alert in its stack position and fades it in.
  void Popup();
  // Shows the file in the file manager, or an error box when it is gone.
  // Returns whether the file was there.
  bool ExploreTarget();
  // Starts fading out; the alert closes when it has faded.
  void FadeOut();

  const QString& FileName() const { return file_name_; }
  QString HeaderText() const;
  // The message as the alert states it: the file followed by one blank.
  QString MessageText() const;
  int Slot() const { return slot_; }

  QLabel* lblHeader;
  TClickLabel* lblText;
  QPushButton* btnOpenFolder;
  QPushButton* btnClose;
  QToolButton* btnCloseCorner;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void OpenFolderClicked();
  void DisplayTimeOver();
  bool MouseOver() const;
  QPoint StackPosition() const;
  void BuildContents();

  QString file_name_;
  int slot_ = 0;
  QPoint drag_offset_;
  bool fade_on_leave_ = false;
  bool fading_out_ = false;
  QTimer* display_timer_;
  QPropertyAnimation* fade_;
};

}  // namespace veltrano::gui
