// "为所选文件设置": the settings of one or several files of the wizard's list
// that differ from the wizard's settings for all files. Each part (the
// profile, the time span, the filters) is a box that is ticked to give the
// files a setting of their own; an unticked box leaves that part to the
// wizard. The boxes open with the first file's own settings, or with the
// wizard's where it has none.
//
// The time span is chosen on the preview of the first file; "确定" refuses
// a span that does not fit every chosen file, naming the file.
#pragma once

#include <QDialog>
#include <QStringList>

#include <vector>

#include "gui/FormNewConversionParts.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace veltrano::gui {

class TFormFileSettings : public QDialog {
  Q_OBJECT

 public:
  // A file of the dialog: its path and its length in seconds (0: unknown).
  struct TFile {
    QString path;
    double seconds = 0;
  };

  // `own`: the first file's own settings; `common_*`: the wizard's.
  TFormFileSettings(TAVProfileList& profiles, std::vector<TFile> files, const TOwnSettings& own,
                    TAVProfile* common_profile, const TTimeSpan& common_span,
                    const TFilterList& common_filters, QWidget* parent);
  ~TFormFileSettings() override;

  // What the ticked boxes give the files.
  TOwnSettings Settings() const;

  void accept() override;

 private:
  const std::vector<TFile> files_;
  QLabel* lblFiles = nullptr;
  QGroupBox* grpProfile = nullptr;
  QGroupBox* grpSpan = nullptr;
  QGroupBox* grpFilters = nullptr;
  TProfileChoice* profile_ = nullptr;
  TSpanChoice* span_ = nullptr;
  TFilterChoice* filters_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace veltrano::gui
