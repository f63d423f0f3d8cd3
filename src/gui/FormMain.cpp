#include "gui/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "common/AVNodes.h"
#include "gui/CategoryCommands.h"
#include "gui/DModule.h"
#include "gui/DialogParts.h"
#include "gui/ErrorGuard.h"
#include "gui/FormOptions.h"
#include "gui/Frames.h"
#include "gui/Icons.h"
#include "gui/RunCommands.h"
#include "gui/WizardEntry.h"
#include "platform/Process.h"
#include "platform/Shell.h"

namespace veltrano::gui {
namespace {

constexpr int kActionUpdateMs = 200;
constexpr int kStatusUpdateMs = 1000;
constexpr int kExplorerWidth = 209;
constexpr int kTaskListHeight = 353;
constexpr int kSplitterWidth = 3;
constexpr int kToolbarHeight = 73;
const char* const kPlayerProgram = "tellurix-player";

// The vendor's banner, drawn by the program itself (468 x 60).
class TVendorBanner final : public QWidget {
 public:
  explicit TVendorBanner(QWidget* parent) : QWidget(parent) {
    setFixedSize(468, 60);
    setObjectName(QStringLiteral("WebBrowser1"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, width(), 0);
    background.setColorAt(0, QColor(0x1d, 0x5f, 0xae));
    background.setColorAt(1, QColor(0x3a, 0x8e, 0xe6));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(rect(), 6, 6);
    Icon(TIcon::Application).paint(&painter, QRect(8, 6, 48, 48));
    QFont title = font();
    title.setPixelSize(22);
    title.setBold(true);
    painter.setPen(Qt::white);
    DrawFitted(painter, title, QRect(66, 4, width() - 74, 32), TFormMain::tr("Tellurix软件"));
    QFont line = font();
    line.setPixelSize(13);
    painter.setPen(QColor(0xff, 0xe8, 0x9a));
    DrawFitted(painter, line, QRect(66, 34, width() - 74, 22),
               TFormMain::tr("免费视频转换：手机、播放器、游戏机、DVD，一步完成"));
  }

 private:
  // Draws `text` in `box`, in a smaller `font` when it would not fit (the
  // banner has a fixed size; translations may be longer).
  static void DrawFitted(QPainter& painter, QFont font, const QRect& box, const QString& text) {
    constexpr int kSmallestPixels = 9;
    while (font.pixelSize() > kSmallestPixels &&
           QFontMetrics(font).horizontalAdvance(text) > box.width()) {
      font.setPixelSize(font.pixelSize() - 1);
    }
    painter.setFont(font);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
};

QAction* NewAction(QObject* parent, TIcon icon, const QString& text, const QString& hint) {
  auto* action = new QAction(Icon(icon), text, parent);
  action->setToolTip(hint);
  action->setStatusTip(hint);
  return action;
}

// Whole seconds as "h:mm:ss".
QString ClockText(double seconds) {
  const auto total = static_cast<long long>(std::max(0.0, seconds));
  return QStringLiteral("%1:%2:%3")
      .arg(total / 3600)
      .arg(total / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(total % 60, 2, 10, QLatin1Char('0'));
}

// The source time a running conversion still has to convert; negative while
// unknown (the source not yet opened).
double RemainingSourceSeconds(const TAVConverter& converter) {
  const TAVConvertOptions& options = converter.ConvertOptions();
  const double total = converter.Duration() - static_cast<double>(options.StartTime()) / 1e6;
  const double span = std::min(static_cast<double>(options.RecordingTime()) / 1e6, total);
  if (converter.Duration() <= 0 || span <= 0) return -1;
  return std::max(0.0, span - converter.ConvertedDuration());
}

}  // namespace

TFormMain::TFormMain(TdmGlobal& data, QWidget* parent)
    : QMainWindow(parent), data_(data), wizard_(&RunNewConversionWizard) {
  setWindowTitle(tr("免费Veltrano-Tellurix制造"));
  setWindowIcon(Icon(TIcon::Application));
  CreateFrames();
  model_ = std::make_unique<TNodeTree>(frame_explorer_->Model(), frame_list_->Model());
  CreateActions();
  CreateMenus();
  CreateToolbar();
  CreateStatusBar();
  ConnectViews();
  resize(930,
         510 + kToolbarHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  // The explorer with the category tree; the node of unfiled tasks is
  // selected, which lists the unfinished tasks of the store.
  model_->Load();
  frame_explorer_->vstExplorer->expandAll();
  UpdateActions();
  UpdateStatus();
}

TFormMain::~TFormMain() {
  action_timer_->stop();
  status_timer_->stop();
  // Every conversion stops and its worker is joined while the views exist.
  model_.reset();
}

// Building --------------------------------------------------------------------

void TFormMain::CreateFrames() {
  frame_explorer_ = new TFrameExplorer(this);
  frame_list_ = new TFrameList(this);
  frame_info_ = new TFrameInfo(this);
  frame_explorer_->setObjectName(QStringLiteral("FrameExplorer"));
  frame_list_->setObjectName(QStringLiteral("FrameList"));
  frame_info_->setObjectName(QStringLiteral("FrameInfo"));
  splitter_tasks_ = new QSplitter(Qt::Vertical, this);
  splitter_tasks_->addWidget(frame_list_);
  splitter_tasks_->addWidget(frame_info_);
  splitter_tasks_->setHandleWidth(kSplitterWidth);
  splitter_tasks_->setStretchFactor(0, 0);
  splitter_tasks_->setStretchFactor(1, 1);
  splitter_tasks_->setSizes({kTaskListHeight, 510 - kTaskListHeight - kSplitterWidth});
  splitter_main_ = new QSplitter(Qt::Horizontal, this);
  splitter_main_->addWidget(frame_explorer_);
  splitter_main_->addWidget(splitter_tasks_);
  splitter_main_->setHandleWidth(kSplitterWidth);
  splitter_main_->setStretchFactor(0, 0);
  splitter_main_->setStretchFactor(1, 1);
  splitter_main_->setSizes({kExplorerWidth, 930 - kExplorerWidth - kSplitterWidth});
  setCentralWidget(splitter_main_);
}

void TFormMain::CreateActions() {
  run_ = new TRunCommands(this, frame_list_->Model(), [this] { StartNewConversion({}); });
  categories_ =
      new TCategoryCommands(this, *model_, frame_explorer_->Model(), frame_list_->Model());
  frame_explorer_->SetCategoryMenu(categories_->pmConverted);
  frame_list_->SetTaskMenu(categories_->pmTask);

  actOptions = NewAction(this, TIcon::Options, tr("详细设置"), tr("Options"));
  actAbout = NewAction(this, TIcon::About, tr("关于..."), tr("About..."));
  actHome = NewAction(this, TIcon::Home, tr("Tellurix软件"), tr("Homepage"));
  actHome->setIconText(tr("Tellurix官网"));
  actBugreport = NewAction(this, TIcon::BugReport, tr("问题反馈"), tr("Bug Report"));
  actDonate = NewAction(this, TIcon::Donate, tr("捐助我们"), tr("Make a donation"));
  actDonate->setVisible(false);
  actDonate->setEnabled(false);
  actExit = NewAction(this, TIcon::Exit, tr("关闭"), tr("Exit"));
  actLiveUpdate = NewAction(this, TIcon::Home, tr("在线升级"), tr("Live Update"));
  actLiveUpdate->setVisible(false);
  actPlayer = NewAction(this, TIcon::Player, tr("Audio Video Player"), tr("Audio Video Player"));
  actPlayer->setVisible(false);

  connect(actOptions, &QAction::triggered, this,
          [this] { Guarded([this] { ShowOptions(this); }); });
  connect(actAbout, &QAction::triggered, this, &TFormMain::ShowAbout);
  connect(actHome, &QAction::triggered, this, [] { OpenDocument(kHomePage); });
  connect(actBugreport, &QAction::triggered, this,
          [] { OpenDocument(std::string("mailto:") + kSupportAddress); });
  connect(actDonate, &QAction::triggered, this, [] { OpenDocument(kDonationPage); });
  connect(actExit, &QAction::triggered, this, &QWidget::close);
  connect(actPlayer, &QAction::triggered, this,
          [] { RunAndWait(std::vector<std::string>{kPlayerProgram}, 1); });
}

void TFormMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
  file->addAction(run_->actNewConversion);
  file->addSeparator();
  file->addAction(run_->actStartTask);
  file->addAction(run_->actPauseTask);
  file->addAction(run_->actStopTask);
  file->addSeparator();
  file->addAction(actExit);
  QMenu* tools = menuBar()->addMenu(tr("Tools"));
  tools->addAction(actPlayer);
  tools->menuAction()->setVisible(false);
  QMenu* settings = menuBar()->addMenu(tr("设置"));
  settings->addAction(run_->actShutdown);
  settings->addSeparator();
  settings->addAction(actOptions);
  QMenu* help = menuBar()->addMenu(tr("帮助"));
  help->addAction(actHome);
  help->addAction(actBugreport);
  help->addAction(actDonate);
  help->addAction(actLiveUpdate);
  help->addSeparator();
  help->addAction(actAbout);
}

void TFormMain::CreateToolbar() {
  tlbMain = new QToolBar(this);
  tlbMain->setObjectName(QStringLiteral("tlbMain"));
  tlbMain->setMovable(false);
  tlbMain->setFloatable(false);
  tlbMain->setIconSize(QSize(48, 48));
  tlbMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  tlbMain->setFixedHeight(kToolbarHeight);
  tlbMain->toggleViewAction()->setVisible(false);
  for (QAction* action :
       {run_->actNewConversion, run_->actStartTask, run_->actPauseTask, run_->actStopTask}) {
    tlbMain->addAction(action);
  }
  tlbMain->addSeparator();
  tlbMain->addAction(actHome);
  // The donation and bug report buttons exist but are not shown (the bug
  // report stays in the help menu).
  tlbMain->addAction(actDonate);
  auto* bugreport_button = new QAction(actBugreport->icon(), actBugreport->text(), tlbMain);
  connect(bugreport_button, &QAction::triggered, actBugreport, &QAction::trigger);
  bugreport_button->setVisible(false);
  tlbMain->addAction(bugreport_button);
  for (QAction* action : tlbMain->actions()) {
    if (QWidget* button = tlbMain->widgetForAction(action); qobject_cast<QToolButton*>(button)) {
      button->setMinimumSize(86, 68);
    }
  }
  // At the design width (930) the banner fits beside the buttons with a few
  // pixels to spare; a wider gap would push it into the overflow menu.
  auto* gap = new QWidget(tlbMain);
  gap->setFixedWidth(2);
  tlbMain->addWidget(gap);
  tlbMain->addWidget(new TVendorBanner(tlbMain));
  addToolBar(Qt::TopToolBarArea, tlbMain);
}

void TFormMain::CreateStatusBar() {
  lblRunning = new QLabel(this);
  lblFinish = new QLabel(this);
  statusBar()->addWidget(lblRunning);
  statusBar()->addWidget(lblFinish);
  status_timer_ = new QTimer(this);
  status_timer_->setInterval(kStatusUpdateMs);
  connect(status_timer_, &QTimer::timeout, this, &TFormMain::RefreshClaims);
  connect(status_timer_, &QTimer::timeout, this, &TFormMain::UpdateStatus);
  status_timer_->start();
}

void TFormMain::ConnectViews() {
  connect(frame_explorer_, &TFrameExplorer::NodeSelected, this, [this](TNodeObject* node) {
    Guarded([&] { node->LoadTaskList(&frame_list_->Model()); });
    UpdateActions();
  });
  connect(frame_list_, &TFrameList::TaskFocused, this,
          [this](TAVTask* task) { frame_info_->ShowTask(*task); });
  TTaskListView* list = frame_list_->vstTaskList;
  // The wizard opens once the drop has ended, so the file manager that
  // started the drag does not wait for it.
  connect(list, &TTaskListView::FilesDropped, this, &TFormMain::StartNewConversion,
          Qt::QueuedConnection);
  connect(list, &TTaskListView::DeletePressed, this,
          [this] { Guarded([this] { categories_->DeletePressed(); }); });
  // Enabled states follow selection and status changes at once, and
  // everything else within a moment.
  for (QItemSelectionModel* selection :
       {&frame_list_->Model().Selection(), &frame_explorer_->Model().Selection()}) {
    connect(selection, &QItemSelectionModel::selectionChanged, this, &TFormMain::UpdateActions);
    connect(selection, &QItemSelectionModel::currentChanged, this, &TFormMain::UpdateActions);
  }
  connect(&frame_list_->Model(), &QAbstractItemModel::dataChanged, this, &TFormMain::UpdateActions);
  action_timer_ = new QTimer(this);
  action_timer_->setInterval(kActionUpdateMs);
  connect(action_timer_, &QTimer::timeout, this, [this] {
    UpdateActions();
    RunPendingFiles();
  });
  action_timer_->start();
}

// Commands --------------------------------------------------------------------

void TFormMain::UpdateActions() {
  run_->UpdateActions();
  categories_->UpdateActions();
  frame_info_->UpdateActions();
}

void TFormMain::StartNewConversion(const QStringList& sources) {
  Guarded([&] {
    TConvertingNode& unfiled = model_->ConvertingNode();
    std::vector<std::string> reserved;
    for (const auto& task : unfiled.Tasks()) reserved.push_back(task->Settings().TargetFile());
    auto created = wizard_(this, data_.Profiles(), sources, reserved);
    for (auto& settings : created) {
      if (settings) unfiled.NewConversion(std::move(settings));
    }
  });
  UpdateActions();
}

void TFormMain::OpenFiles(const QStringList& files) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (files.isEmpty()) return;
  pending_files_.append(files);
  has_pending_files_ = true;
  QTimer::singleShot(0, this, &TFormMain::RunPendingFiles);
}

void TFormMain::RunPendingFiles() {
  // Files arriving while a dialog (the wizard itself) is open wait for it.
  if (!has_pending_files_ || QApplication::activeModalWidget() != nullptr) return;
  const QStringList files = std::exchange(pending_files_, {});
  has_pending_files_ = false;
  StartNewConversion(files);
}

void TFormMain::ShowAbout() {
  Guarded([this] {
    TFormAbout about(this);
    about.adjustSize();
    CenterOnScreen(about);
    about.exec();
  });
}

void TFormMain::closeEvent(QCloseEvent* event) {
  event->accept();
  emit Closed();
}

// Status bar ------------------------------------------------------------------

QString TFormMain::RunningText() const {
  return lblRunning->text();
}

QString TFormMain::FinishText() const {
  return lblFinish->text();
}

void TFormMain::RefreshClaims() {
  // A store that cannot answer now is asked again at the next tick.
  try {
    model_->ConvertingNode().RefreshClaims();
  } catch (const std::exception&) {
  }
}

std::vector<TProgressReport> TFormMain::ProgressReports() const {
  std::vector<TProgressReport> reports;
  for (const auto& task : model_->ConvertingNode().Tasks()) {
    if (task->Status() != stRunning && task->Status() != stPaused) continue;
    const TAVConverter& converter = task->Converter();
    reports.push_back({task.get(), converter.StartTime(), converter.LastTime(),
                       converter.ConvertedDuration(), RemainingSourceSeconds(converter),
                       task->Status() == stPaused});
  }
  return reports;
}

void TFormMain::UpdateStatus() {
  const std::vector<TProgressReport> reports = ProgressReports();
  const auto running = std::count_if(reports.begin(), reports.end(),
                                     [](const TProgressReport& report) { return !report.paused; });
  estimate_.Update(reports, ProgressClockUs());
  lblRunning->setText(tr("正在转换: %n 个任务", nullptr, static_cast<int>(running)));
  const std::optional<TFinishRange> range = estimate_.Range();
  const QString finish = range ? tr("%1 – %2").arg(ClockText(std::floor(range->low_s)),
                                                   ClockText(std::ceil(range->high_s)))
                               : QStringLiteral("--");
  lblFinish->setText(tr("全部完成还需: %1").arg(finish));
}

}  // namespace veltrano::gui
