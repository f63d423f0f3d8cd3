// The filter dialogs: one small modal dialog per video filter class, through
// which the user sets the filter's parameters. ExecuteNew opens the dialog
// with its own defaults, ExecuteEdit filled from the filter; when the user
// confirms with "确定" the filter takes every field (enabled or not) and the
// call returns true; "放弃" leaves the filter unchanged.
//
// Every dialog enables "确定" only while its fields are acceptable; that and
// the enabling of dependent fields are re-evaluated continuously while the
// dialog is open (a file that appears meanwhile counts at once).
#pragma once

#include <QDialog>

#include "common/CFilters.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace veltrano::gui {

class TColorBox;
class TFileNameEdit;

// Opens the dialog of `filter`'s class; true when confirmed.
bool ExecuteNew(TAVFilter& filter, QWidget* parent);
bool ExecuteEdit(TAVFilter& filter, QWidget* parent);

// The shared frame: a panel of fields, "确定" (default, confirms) and "放弃".
// The dialogs open centred on the desktop and cannot be resized.
class TFilterDialog : public QDialog {
  Q_OBJECT

 public:
  QPushButton* OkButton() const { return ok_; }

 protected:
  TFilterDialog(const QString& caption, QWidget* parent);
  // Puts `panel` above the buttons; called once by the constructor of each dialog.
  void SetPanel(QWidget* panel);
  void showEvent(QShowEvent* event) override;
  // Whether "确定" may be pressed.
  virtual bool FieldsAcceptable() const = 0;
  // Enables or disables the fields that depend on others.
  virtual void UpdateDependentFields() {}

 private:
  void UpdateStates();

  QPushButton* ok_;
  QPushButton* cancel_;
  QTimer* idle_;
};

// "添加LOGO": a PNG picture at X, Y.
class TFormLogoFilter : public TFilterDialog {
  Q_OBJECT

 public:
  explicit TFormLogoFilter(QWidget* parent = nullptr);
  void LoadFrom(const TLogoFilter& filter);
  void SaveTo(TLogoFilter& filter) const;

 protected:
  bool FieldsAcceptable() const override;

 private:
  TFileNameEdit* edtLogo;
  QSpinBox* edtX2;
  QSpinBox* edtY2;
};

// "文字水印": text drawn with a TrueType font.
class TFormTextFilter : public TFilterDialog {
  Q_OBJECT

 public:
  explicit TFormTextFilter(QWidget* parent = nullptr);
  void LoadFrom(const TOverlayTextFilter& filter);
  void SaveTo(TOverlayTextFilter& filter) const;

 protected:
  bool FieldsAcceptable() const override;

 private:
  QPlainTextEdit* mmoText;
  TFileNameEdit* edtFont;
  TColorBox* cbbColor;
  TColorBox* cbbBack;  // hidden, but kept and stored
  QSpinBox* edtX;
  QSpinBox* edtY;
  QSpinBox* edtSize;
};

// "字幕设置": subtitles from a file burnt into the picture.
class TFormSubtitleFilter : public TFilterDialog {
  Q_OBJECT

 public:
  explicit TFormSubtitleFilter(QWidget* parent = nullptr);
  void LoadFrom(const TSubtitleFilter& filter);
  void SaveTo(TSubtitleFilter& filter) const;

 protected:
  bool FieldsAcceptable() const override;

 private:
  TFileNameEdit* edtSubtitle;
  TFileNameEdit* edtFont;
  TColorBox* cbColor;
  QComboBox* cbbCodePage;
};

// "标准过滤": flips, negation, rotation and a drawn box.
class TFormStdFilter : public TFilterDialog {
  Q_OBJECT

 public:
  explicit TFormStdFilter(QWidget* parent = nullptr);
  void LoadFrom(const TVideoStdFilter& filter);
  void SaveTo(TVideoStdFilter& filter) const;

 protected:
  bool FieldsAcceptable() const override;
  void UpdateDependentFields() override;

 private:
  QCheckBox* chkVFlip;
  QCheckBox* chkHFlip;
  QCheckBox* chkNegate;
  QCheckBox* chkRotate;
  QSpinBox* edtDegree;
  QCheckBox* chkDrawBox;
  QWidget* pnlBox;
  QSpinBox* edtX;
  QSpinBox* edtY;
  QSpinBox* edtWidth;
  QSpinBox* edtHeight;
  TColorBox* cbColor;
};

// The code page names the subtitle dialog offers, in order (67).
const QStringList& SubtitleCodePages();

// The memo form of a filter text and back: lines each followed by a line
// break ("ab\ncd" gives "ab\ncd\n").
std::string MemoLinesText(const QString& memo);
QString MemoFromLinesText(const std::string& text);

}  // namespace veltrano::gui
