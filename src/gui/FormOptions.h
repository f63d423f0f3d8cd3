// The options window (general: output folder, completion alert, copying
// streams that already fit and the interface language; performance: process
// priority and encoder threads)
// and the about window.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTreeWidget;
class QVBoxLayout;

namespace veltrano {
class TAVConfiguration;
}

namespace veltrano::gui {

class TDirectoryEdit;

class TFormOptions final : public QDialog {
  Q_OBJECT

 public:
  explicit TFormOptions(QWidget* parent = nullptr);

  // Shows the values of `configuration`.
  void Fill(const TAVConfiguration& configuration);
  // Writes the shown values into `configuration` (nothing is saved).
  void Store(TAVConfiguration& configuration) const;

  QTreeWidget* tvOptions;
  QStackedWidget* pages;
  TDirectoryEdit* edtOutputFolder;
  QCheckBox* chkAlert;
  // Copy the source's streams that already fit a device profile.
  QCheckBox* chkCopyFitting;
  // Automatic, Chinese, English; the entries carry the stored choice.
  QComboBox* cbbLanguage;
  QSlider* tbPriority;
  QComboBox* cbbThreadCnt;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 private:
  QWidget* CreateGeneralPage();
  void AddLanguageChoice(QWidget& page, QVBoxLayout& layout);
  QWidget* CreatePerformancePage();
};

// Shows the options window modally over `parent`, filled from the program's
// configuration. On "确定" the values are stored and the configuration saved
// (which applies the process priority); returns true. On "放弃" or closing
// nothing changes; returns false.
bool ShowOptions(QWidget* parent);

class TFormAbout final : public QDialog {
  Q_OBJECT

 public:
  // Reads the program's version; raises EVersionInfoError when it has none.
  explicit TFormAbout(QWidget* parent = nullptr);

  QLabel* lblVersion;
  QLabel* lblUrl;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QPushButton* btnOk;
};

// The vendor's addresses.
extern const char* const kHomePage;
extern const char* const kSupportAddress;
extern const char* const kDonationPage;

}  // namespace veltrano::gui
