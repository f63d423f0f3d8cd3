#include "gui/FormOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "common/Configuration.h"
#include "gui/ClickLabel.h"
#include "gui/DialogParts.h"
#include "gui/Icons.h"
#include "gui/Language.h"
#include "platform/Shell.h"
#include "platform/VersionInfo.h"

namespace veltrano::gui {

const char* const kHomePage = "https://tellurix.example/";
const char* const kSupportAddress = "support@tellurix.example";
const char* const kDonationPage = "https://tellurix.example/donate";

namespace {

constexpr int kMaxThreadCount = 32;

}  // namespace

// TFormOptions ----------------------------------------------------------------

TFormOptions::TFormOptions(QWidget* parent)
    : QDialog(parent),
      tvOptions(new QTreeWidget(this)),
      pages(new QStackedWidget(this)),
      btnOk(new QPushButton(tr("确定"), this)),
      btnCancel(new QPushButton(tr("放弃"), this)) {
  setWindowTitle(tr("选项"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  tvOptions->setHeaderHidden(true);
  tvOptions->setRootIsDecorated(false);
  tvOptions->setFixedWidth(120);
  new QTreeWidgetItem(tvOptions, {tr("常规")});
  new QTreeWidgetItem(tvOptions, {tr("性能")});
  pages->addWidget(CreateGeneralPage());
  pages->addWidget(CreatePerformancePage());
  connect(tvOptions, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) pages->setCurrentIndex(tvOptions->indexOfTopLevelItem(item));
  });
  tvOptions->setCurrentItem(tvOptions->topLevelItem(0));

  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* body = new QHBoxLayout;
  body->addWidget(tvOptions);
  body->addWidget(pages, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(NewButtonRow(*this, btnOk, btnCancel));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TFormOptions::CreateGeneralPage() {
  auto* page = new QWidget(this);
  edtOutputFolder = new TDirectoryEdit(page);
  edtOutputFolder->setMinimumWidth(320);
  chkAlert = new QCheckBox(tr("Show Alert When Conversion Completed"), page);
  chkAlert->setLayoutDirection(Qt::RightToLeft);  // the box on the right of its text
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(tr("Output Folder"), page));
  layout->addWidget(edtOutputFolder);
  layout->addSpacing(8);
  layout->addWidget(chkAlert, 0, Qt::AlignAbsolute | Qt::AlignLeft);
  chkCopyFitting = new QCheckBox(tr("直接复制已符合设备要求的音视频流 (不重新编码)"), page);
  chkCopyFitting->setObjectName(QStringLiteral("chkCopyFitting"));
  chkCopyFitting->setToolTip(
      tr("用为设备制作的输出配置转换时, 已经符合设备要求的流原样复制, 快且无损"));
  layout->addWidget(chkCopyFitting);
  layout->addSpacing(8);
  AddLanguageChoice(*page, *layout);
  layout->addStretch(1);
  return page;
}

void TFormOptions::AddLanguageChoice(QWidget& page, QVBoxLayout& layout) {
  // The caption is written in both languages and each language is named in
  // itself, so that a user finds the way back from a language they do not read.
  cbbLanguage = new QComboBox(&page);
  cbbLanguage->setObjectName(QStringLiteral("cbbLanguage"));
  cbbLanguage->addItem(tr("自动 (Automatic)"), QString());
  cbbLanguage->addItem(tr("中文"), QLatin1String(kChineseCode));
  cbbLanguage->addItem(tr("English"), QLatin1String(kEnglishCode));
  auto* caption = new QLabel(tr("界面语言 / Language"), &page);
  caption->setObjectName(QStringLiteral("lblLanguage"));
  auto* note = new QLabel(tr("更改在程序重新启动后生效。"), &page);
  note->setObjectName(QStringLiteral("lblLanguageNote"));
  layout.addWidget(caption);
  layout.addWidget(cbbLanguage, 0, Qt::AlignLeft);
  layout.addWidget(note);
}

QWidget* TFormOptions::CreatePerformancePage() {
  auto* page = new QWidget(this);
  tbPriority = new QSlider(Qt::Horizontal, page);
  tbPriority->setRange(0, 5);
  tbPriority->setPageStep(1);
  tbPriority->setTickPosition(QSlider::TicksBelow);
  tbPriority->setTickInterval(1);
  connect(tbPriority, &QSlider::valueChanged, tbPriority,
          [this](int value) { tbPriority->setToolTip(QString::number(value)); });
  cbbThreadCnt = new QComboBox(page);
  cbbThreadCnt->setEditable(false);
  cbbThreadCnt->addItem(tr("Automatic(use all CPU(s))"));
  for (int count = 1; count <= kMaxThreadCount; ++count)
    cbbThreadCnt->addItem(QString::number(count));

  auto* priority = new QHBoxLayout;
  priority->addWidget(new QLabel(tr("Low"), page));
  priority->addWidget(tbPriority, 1);
  priority->addWidget(new QLabel(tr("High"), page));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(tr("Thread Priority"), page));
  layout->addLayout(priority);
  layout->addSpacing(8);
  layout->addWidget(new QLabel(tr("Thread Count"), page));
  layout->addWidget(cbbThreadCnt, 0, Qt::AlignLeft);
  layout->addStretch(1);
  return page;
}

void TFormOptions::Fill(const TAVConfiguration& configuration) {
  // A hand-edited file may hold counts the list does not offer: the nearest
  // entry is shown (negative counts mean automatic, as for the encoder).
  const int count = configuration.PerformanceOptions().ThreadCount();
  cbbThreadCnt->setCurrentIndex(std::clamp(count, 0, kMaxThreadCount));
  tbPriority->setValue(configuration.PerformanceOptions().ThreadPrority());
  edtOutputFolder->SetText(QString::fromStdString(configuration.OutputFolder()));
  chkAlert->setChecked(configuration.ShowAlert());
  chkCopyFitting->setChecked(configuration.CopyFittingStreams());
  // A choice this version does not know shows as automatic, as it acts.
  const int language = cbbLanguage->findData(QString::fromStdString(configuration.Language()));
  cbbLanguage->setCurrentIndex(std::max(language, 0));
}

void TFormOptions::Store(TAVConfiguration& configuration) const {
  configuration.PerformanceOptions().SetThreadCount(cbbThreadCnt->currentIndex());
  configuration.PerformanceOptions().SetThreadPrority(tbPriority->value());
  configuration.SetOutputFolder(edtOutputFolder->Text().toStdString());
  configuration.SetShowAlert(chkAlert->isChecked());
  configuration.SetCopyFittingStreams(chkCopyFitting->isChecked());
  configuration.SetLanguage(cbbLanguage->currentData().toString().toStdString());
}

bool ShowOptions(QWidget* parent) {
  TFormOptions form(parent);
  form.Fill(AVConfiguration());
  form.adjustSize();
  CenterOnScreen(form);
  if (form.exec() != QDialog::Accepted) return false;
  form.Store(AVConfiguration());
  AVConfiguration().Save();
  return true;
}

// TFormAbout ------------------------------------------------------------------

namespace {

// A label that opens `address` with the desktop's program for it.
TClickLabel* NewLinkLabel(const QString& text, const std::string& address, QWidget* parent) {
  auto* label = new TClickLabel(text, parent);
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
  label->setPalette(palette);
  QObject::connect(label, &TClickLabel::Clicked, label, [address] { OpenDocument(address); });
  return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
  const std::string version = TVersionInfo().Value("FileVersion");
  setWindowTitle(tr("关于..."));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* picture = new QLabel(this);
  picture->setPixmap(Icon(TIcon::Application).pixmap(64, 64));
  Label3 = new QLabel(tr("Tellurix软件"), this);
  QFont title = Label3->font();
  title.setPointSizeF(title.pointSizeF() * 1.5);
  title.setBold(true);
  Label3->setFont(title);
  lblVersion = new QLabel(tr("版本  %1   ").arg(QString::fromStdString(version)), this);
  Label1 = new QLabel(tr("Tellurix以后将致力于为你提供更好的软件体验，") + QLatin1Char('\n') +
                          tr("当然我们的软件会一直免费下去，这需要你的宣传，谢谢"),
                      this);
  lblUrl = NewLinkLabel(QString::fromLatin1(kHomePage), kHomePage, this);
  Label2 = NewLinkLabel(QString::fromLatin1(kSupportAddress),
                        std::string("mailto:") + kSupportAddress, this);
  btnOk = new QPushButton(tr("OK"), this);
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* grid = new QGridLayout(this);
  grid->addWidget(picture, 0, 0, 3, 1, Qt::AlignTop);
  grid->addWidget(Label3, 0, 1);
  grid->addWidget(lblVersion, 1, 1);
  grid->addWidget(Label1, 2, 1);
  grid->addWidget(lblUrl, 3, 1);
  grid->addWidget(Label2, 4, 1);
  grid->addWidget(btnOk, 5, 1, Qt::AlignRight);
  grid->setHorizontalSpacing(16);
  grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace veltrano::gui
