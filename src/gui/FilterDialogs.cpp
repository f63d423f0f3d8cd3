#include "gui/FilterDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

#include "gui/ColorBox.h"
#include "gui/FileNameEdit.h"
#include "gui/DialogParts.h"

namespace veltrano::gui {
namespace {

// How often the dialogs re-evaluate what is enabled.
constexpr int kIdleIntervalMs = 100;

bool FileExists(const TFileNameEdit* edit) {
  return QFileInfo(edit->FileName()).isFile();
}

QSpinBox* SpinField(int minimum, int maximum, int value, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  return spin;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

template <class Dialog, class Filter>
bool Execute(Filter& filter, QWidget* parent, bool fill_from_filter) {
  Dialog dialog(parent);
  if (fill_from_filter) dialog.LoadFrom(filter);
  if (dialog.exec() != QDialog::Accepted) return false;
  dialog.SaveTo(filter);
  return true;
}

bool Execute(TAVFilter& filter, QWidget* parent, bool edit) {
  if (auto* logo = dynamic_cast<TLogoFilter*>(&filter)) {
    return Execute<TFormLogoFilter>(*logo, parent, edit);
  }
  if (auto* text = dynamic_cast<TOverlayTextFilter*>(&filter)) {
    return Execute<TFormTextFilter>(*text, parent, edit);
  }
  if (auto* subtitle = dynamic_cast<TSubtitleFilter*>(&filter)) {
    return Execute<TFormSubtitleFilter>(*subtitle, parent, edit);
  }
  auto& standard = dynamic_cast<TVideoStdFilter&>(filter);
  return Execute<TFormStdFilter>(standard, parent, edit);
}

}  // namespace

bool ExecuteNew(TAVFilter& filter, QWidget* parent) {
  return Execute(filter, parent, false);
}
bool ExecuteEdit(TAVFilter& filter, QWidget* parent) {
  return Execute(filter, parent, true);
}

std::string MemoLinesText(const QString& memo) {
  if (memo.isEmpty()) return std::string();
  QStringList lines = memo.split(QLatin1Char('\n'));
  if (memo.endsWith(QLatin1Char('\n'))) lines.removeLast();
  QString text;
  for (const QString& line : lines) text += line + QLatin1Char('\n');
  return text.toStdString();
}

QString MemoFromLinesText(const std::string& text) {
  QString memo = Q(text);
  if (memo.endsWith(QLatin1Char('\n'))) memo.chop(1);
  return memo;
}

const QStringList& SubtitleCodePages() {
  // clang-format off
  static const QStringList pages{
      "ISO-2022-JP", "ISO-2022-JP-1", "ISO-2022-JP-2", "ISO-8859-1",    "ISO-8859-2",
      "ISO-8859-3",  "ISO-8859-4",    "ISO-8859-5",    "ISO-8859-6",    "ISO-8859-7",
      "ISO-8859-8",  "ISO-8859-9",    "ISO-8859-10",   "ISO-8859-13",   "ISO-8859-14",
      "ISO-8859-15", "ISO-8859-16",   "KOI8-R",        "KOI8-U",        "KOI8-RU",
      "cp1250",      "cp1251",        "cp1252",        "cp1253",        "cp1254",
      "cp1255",      "cp1256",        "cp1257",        "cp850",         "cp862",
      "cp866",       "cp932",         "cp1131",        "EUC-JP",        "SHIFT_JIS",
      "EUC-CN",      "HZ",            "GBK",           "CP936",         "GB18030",
      "EUC-TW",      "BIG5",          "CP950",         "BIG5-HKSCS",    "ISO-2022-CN",
      "ISO-2022-CN-EXT", "EUC-KR",    "CP949",         "ISO-2022-KR",   "JOHAB",
      "VISCII",      "TCVN",          "CP1258",        "UTF-8",         "UCS-2",
      "UCS-2BE",     "UCS-2LE",       "UCS-4",         "UCS-4BE",       "UCS-4LE",
      "UTF-16",      "UTF-16BE",      "UTF-16LE",      "UTF-32",        "UTF-32BE",
      "UTF-32LE",    "UTF-7"};
  // clang-format on
  return pages;
}

// TFilterDialog --------------------------------------------------------------------

TFilterDialog::TFilterDialog(const QString& caption, QWidget* parent)
    : QDialog(parent), idle_(new QTimer(this)) {
  setWindowTitle(caption);
  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
  cancel_ = buttons->addButton(tr("放弃"), QDialogButtonBox::RejectRole);
  ok_->setObjectName(QStringLiteral("btnOK"));
  cancel_->setObjectName(QStringLiteral("btnCancel"));
  ok_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  idle_->setInterval(kIdleIntervalMs);
  connect(idle_, &QTimer::timeout, this, &TFilterDialog::UpdateStates);
}

void TFilterDialog::SetPanel(QWidget* panel) {
  static_cast<QVBoxLayout*>(layout())->insertWidget(0, panel);
}

void TFilterDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  UpdateStates();
  idle_->start();
  CenterOnScreen(*this);
}

void TFilterDialog::UpdateStates() {
  UpdateDependentFields();
  ok_->setEnabled(FieldsAcceptable());
}

// TFormLogoFilter ------------------------------------------------------------------

TFormLogoFilter::TFormLogoFilter(QWidget* parent) : TFilterDialog(tr("添加LOGO"), parent) {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  edtLogo = new TFileNameEdit(panel);
  edtLogo->setObjectName(QStringLiteral("edtLogo"));
  edtLogo->SetFilter(QStringLiteral("PNG files (*.png)|*.png"));
  edtLogo->setMinimumWidth(280);
  edtX2 = SpinField(INT_MIN, INT_MAX, 0, panel);
  edtX2->setObjectName(QStringLiteral("edtX2"));
  edtY2 = SpinField(INT_MIN, INT_MAX, 0, panel);
  edtY2->setObjectName(QStringLiteral("edtY2"));
  grid->addWidget(new QLabel(tr("输入文件"), panel), 0, 0);
  grid->addWidget(edtLogo, 0, 1, 1, 3);
  grid->addWidget(new QLabel(tr("X"), panel), 1, 0);
  grid->addWidget(edtX2, 1, 1);
  grid->addWidget(new QLabel(tr("Y"), panel), 1, 2);
  grid->addWidget(edtY2, 1, 3);
  SetPanel(panel);
}

void TFormLogoFilter::LoadFrom(const TLogoFilter& filter) {
  edtLogo->SetFileName(Q(filter.LogoFile()));
  edtX2->setValue(filter.X());
  edtY2->setValue(filter.Y());
}

void TFormLogoFilter::SaveTo(TLogoFilter& filter) const {
  filter.SetLogoFile(edtLogo->FileName().toStdString());
  filter.SetX(edtX2->value());
  filter.SetY(edtY2->value());
}

bool TFormLogoFilter::FieldsAcceptable() const {
  return FileExists(edtLogo);
}

// TFormTextFilter ------------------------------------------------------------------

TFormTextFilter::TFormTextFilter(QWidget* parent) : TFilterDialog(tr("文字水印"), parent) {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  mmoText = new QPlainTextEdit(panel);
  mmoText->setObjectName(QStringLiteral("mmoText"));
  mmoText->setFixedHeight(80);
  edtFont = new TFileNameEdit(panel);
  edtFont->setObjectName(QStringLiteral("edtFont"));
  edtFont->SetFilter(QStringLiteral("Font File(*.ttf)|*.ttf"));
  edtFont->setMinimumWidth(280);
  cbbColor = new TColorBox(TColorBox::TColors::All, panel);
  cbbColor->setObjectName(QStringLiteral("cbbColor"));
  cbbColor->SetColor(kYellow);
  cbbBack = new TColorBox(TColorBox::TColors::All, panel);
  cbbBack->setObjectName(QStringLiteral("cbbBack"));
  cbbBack->SetColor(kBlue);
  auto* back_label = new QLabel(tr("背景颜色"), panel);
  edtX = SpinField(0, INT_MAX, 0, panel);
  edtX->setObjectName(QStringLiteral("edtX"));
  edtY = SpinField(0, INT_MAX, 0, panel);
  edtY->setObjectName(QStringLiteral("edtY"));
  edtSize = SpinField(1, 72, 16, panel);
  edtSize->setObjectName(QStringLiteral("edtSize"));
  edtSize->setSingleStep(16);
  grid->addWidget(new QLabel(tr("文字"), panel), 0, 0, Qt::AlignTop);
  grid->addWidget(mmoText, 0, 1, 1, 2);
  grid->addWidget(new QLabel(tr("字体文字"), panel), 1, 0);
  grid->addWidget(edtFont, 1, 1, 1, 2);
  grid->addWidget(new QLabel(tr("文字颜色"), panel), 2, 0);
  grid->addWidget(cbbColor, 2, 1, 1, 2);
  grid->addWidget(back_label, 3, 0);
  grid->addWidget(cbbBack, 3, 1, 1, 2);
  grid->addWidget(new QLabel(tr("坐标X,Y"), panel), 4, 0);
  grid->addWidget(edtX, 4, 1);
  grid->addWidget(edtY, 4, 2);
  grid->addWidget(new QLabel(tr("文字大小"), panel), 5, 0);
  grid->addWidget(edtSize, 5, 1);
  back_label->hide();
  cbbBack->hide();
  SetPanel(panel);
}

void TFormTextFilter::LoadFrom(const TOverlayTextFilter& filter) {
  mmoText->setPlainText(MemoFromLinesText(filter.Text()));
  edtFont->SetFileName(Q(filter.FontFile()));
  cbbColor->SetColor(filter.FontColor());
  cbbBack->SetColor(filter.BgColor());
  edtX->setValue(filter.X());
  edtY->setValue(filter.Y());
  edtSize->setValue(filter.FontSize());
}

void TFormTextFilter::SaveTo(TOverlayTextFilter& filter) const {
  filter.SetText(MemoLinesText(mmoText->toPlainText()));
  filter.SetFontFile(edtFont->FileName().toStdString());
  filter.SetFontColor(cbbColor->Color());
  filter.SetBgColor(cbbBack->Color());
  filter.SetX(edtX->value());
  filter.SetY(edtY->value());
  filter.SetFontSize(edtSize->value());
}

bool TFormTextFilter::FieldsAcceptable() const {
  return !mmoText->toPlainText().trimmed().isEmpty() && FileExists(edtFont);
}

// TFormSubtitleFilter --------------------------------------------------------------

TFormSubtitleFilter::TFormSubtitleFilter(QWidget* parent) : TFilterDialog(tr("字幕设置"), parent) {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  edtSubtitle = new TFileNameEdit(panel);
  edtSubtitle->setObjectName(QStringLiteral("edtSubtitle"));
  edtSubtitle->SetFilter(
      QStringLiteral("SSA Files(*.ssa)|*.ssa|ASS Files(*.ass)|*.ass|SRT Files(*.srt)|*.srt|"
                     "Other Subtitle Files(*.txt)|*.txt"));
  edtSubtitle->setMinimumWidth(280);
  edtFont = new TFileNameEdit(panel);
  edtFont->setObjectName(QStringLiteral("edtFont"));
  edtFont->SetFilter(QStringLiteral("Font File(*.ttf)|*.ttf"));
  cbColor = new TColorBox(TColorBox::TColors::All, panel);
  cbColor->setObjectName(QStringLiteral("cbColor"));
  cbColor->SetColor(kYellow);
  cbbCodePage = new QComboBox(panel);
  cbbCodePage->setObjectName(QStringLiteral("cbbCodePage"));
  cbbCodePage->setEditable(true);
  cbbCodePage->setInsertPolicy(QComboBox::NoInsert);
  cbbCodePage->addItems(SubtitleCodePages());
  cbbCodePage->setCurrentIndex(-1);
  cbbCodePage->setEditText(QString());
  grid->addWidget(new QLabel(tr("文件"), panel), 0, 0);
  grid->addWidget(edtSubtitle, 0, 1);
  grid->addWidget(new QLabel(tr("字体文件"), panel), 1, 0);
  grid->addWidget(edtFont, 1, 1);
  grid->addWidget(new QLabel(tr("字体颜色"), panel), 2, 0);
  grid->addWidget(cbColor, 2, 1);
  grid->addWidget(new QLabel(tr("Code Page"), panel), 3, 0);
  grid->addWidget(cbbCodePage, 3, 1);
  SetPanel(panel);
  edtSubtitle->setFocus();
}

void TFormSubtitleFilter::LoadFrom(const TSubtitleFilter& filter) {
  edtSubtitle->SetFileName(Q(filter.SubtitleFile()));
  edtFont->SetFileName(Q(filter.FontFile()));
  cbColor->SetColor(filter.FontColor());
  cbbCodePage->setEditText(Q(filter.CodePage()));
}

void TFormSubtitleFilter::SaveTo(TSubtitleFilter& filter) const {
  filter.SetSubtitleFile(edtSubtitle->FileName().toStdString());
  filter.SetFontFile(edtFont->FileName().toStdString());
  filter.SetFontColor(cbColor->Color());
  filter.SetCodePage(cbbCodePage->currentText().trimmed().toStdString());
}

bool TFormSubtitleFilter::FieldsAcceptable() const {
  return FileExists(edtSubtitle) && FileExists(edtFont);
}

// TFormStdFilter -------------------------------------------------------------------

TFormStdFilter::TFormStdFilter(QWidget* parent) : TFilterDialog(tr("标准过滤"), parent) {
  auto* panel = new QWidget(this);
  auto* grid = new QGridLayout(panel);
  auto check = [panel](const QString& caption, const char* name) {
    auto* box = new QCheckBox(caption, panel);
    box->setObjectName(QLatin1String(name));
    return box;
  };
  chkVFlip = check(tr("垂直翻转"), "chkVFlip");
  chkHFlip = check(tr("水平翻转"), "chkHFlip");
  chkNegate = check(tr("反面"), "chkNegate");
  chkRotate = check(tr("旋转"), "chkRotate");
  chkDrawBox = check(tr("绘制窗口"), "chkDrawBox");
  edtDegree = SpinField(0, 359, 45, panel);
  edtDegree->setObjectName(QStringLiteral("edtDegree"));

  pnlBox = new QWidget(panel);
  pnlBox->setObjectName(QStringLiteral("pnlBox"));
  auto* box = new QGridLayout(pnlBox);
  box->setContentsMargins(0, 0, 0, 0);
  auto spin = [this](const char* name) {
    QSpinBox* field = SpinField(INT_MIN, INT_MAX, 0, pnlBox);
    field->setObjectName(QLatin1String(name));
    return field;
  };
  edtX = spin("edtX");
  edtY = spin("edtY");
  edtWidth = spin("edtWidth");
  edtHeight = spin("edtHeight");
  cbColor = new TColorBox(TColorBox::TColors::Standard, pnlBox);
  cbColor->setObjectName(QStringLiteral("cbColor"));
  cbColor->SetColorName(QStringLiteral("Black"));
  box->addWidget(new QLabel(tr("X"), pnlBox), 0, 0);
  box->addWidget(edtX, 0, 1);
  box->addWidget(new QLabel(tr("Y"), pnlBox), 0, 2);
  box->addWidget(edtY, 0, 3);
  box->addWidget(new QLabel(tr("宽"), pnlBox), 1, 0);
  box->addWidget(edtWidth, 1, 1);
  box->addWidget(new QLabel(tr("高"), pnlBox), 1, 2);
  box->addWidget(edtHeight, 1, 3);
  box->addWidget(new QLabel(tr("颜色"), pnlBox), 2, 0);
  box->addWidget(cbColor, 2, 1, 1, 3);

  grid->addWidget(chkVFlip, 0, 0);
  grid->addWidget(chkHFlip, 0, 1);
  grid->addWidget(chkNegate, 0, 2);
  grid->addWidget(chkRotate, 1, 0);
  grid->addWidget(new QLabel(tr("角度"), panel), 1, 1, Qt::AlignRight);
  grid->addWidget(edtDegree, 1, 2);
  grid->addWidget(chkDrawBox, 2, 0);
  grid->addWidget(pnlBox, 3, 0, 1, 3);
  SetPanel(panel);
  UpdateDependentFields();
}

void TFormStdFilter::LoadFrom(const TVideoStdFilter& filter) {
  chkVFlip->setChecked(filter.VerticalFilp());
  chkHFlip->setChecked(filter.HorizontalFilip());
  chkNegate->setChecked(filter.Negate());
  chkRotate->setChecked(filter.Rotate());
  edtDegree->setValue(filter.Degree());
  chkDrawBox->setChecked(filter.DrawBox());
  edtX->setValue(filter.BX());
  edtY->setValue(filter.BY());
  edtWidth->setValue(filter.BWidth());
  edtHeight->setValue(filter.BHeight());
  cbColor->SetColorName(Q(filter.BColor()));
}

void TFormStdFilter::SaveTo(TVideoStdFilter& filter) const {
  filter.SetVerticalFilp(chkVFlip->isChecked());
  filter.SetHorizontalFilip(chkHFlip->isChecked());
  filter.SetNegate(chkNegate->isChecked());
  filter.SetRotate(chkRotate->isChecked());
  filter.SetDegree(edtDegree->value());
  filter.SetDrawBox(chkDrawBox->isChecked());
  filter.SetBX(edtX->value());
  filter.SetBY(edtY->value());
  filter.SetBWidth(edtWidth->value());
  filter.SetBHeight(edtHeight->value());
  filter.SetBColor(cbColor->ColorName().toStdString());
}

bool TFormStdFilter::FieldsAcceptable() const {
  return chkVFlip->isChecked() || chkHFlip->isChecked() || chkNegate->isChecked() ||
         chkRotate->isChecked() || chkDrawBox->isChecked();
}

void TFormStdFilter::UpdateDependentFields() {
  edtDegree->setEnabled(chkRotate->isChecked());
  pnlBox->setEnabled(chkDrawBox->isChecked());
}

}  // namespace veltrano::gui
