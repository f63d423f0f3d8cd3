#include "gui/Frames.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "common/AVNodes.h"
#include "gui/DModule.h"
#include "gui/ErrorGuard.h"
#include "gui/Icons.h"

namespace veltrano::gui {
namespace {

QVBoxLayout* BareLayout(QWidget* frame) {
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return layout;
}

}  // namespace

// TFrameExplorer --------------------------------------------------------------

TFrameExplorer::TFrameExplorer(QWidget* parent)
    : QWidget(parent), vstExplorer(new QTreeView(this)), model_(this) {
  BareLayout(this)->addWidget(vstExplorer);
  vstExplorer->setHeaderHidden(true);
  vstExplorer->setSelectionMode(QAbstractItemView::SingleSelection);
  vstExplorer->setEditTriggers(QAbstractItemView::NoEditTriggers);
  vstExplorer->setContextMenuPolicy(Qt::CustomContextMenu);
  model_.SetImageProvider(&TdmGlobal::ExplorerImage);
  model_.Attach(*vstExplorer);
  // A new category shows at once below its parent.
  connect(&model_, &QAbstractItemModel::rowsInserted, vstExplorer,
          [this](const QModelIndex& parent) {
            if (parent.isValid()) vstExplorer->expand(parent);
          });
  connect(&model_.Selection(), &QItemSelectionModel::currentChanged, this,
          &TFrameExplorer::CurrentChanged);
  connect(&model_.Selection(), &QItemSelectionModel::selectionChanged, this,
          &TFrameExplorer::KeepSelected);
  connect(vstExplorer, &QTreeView::customContextMenuRequested, this, &TFrameExplorer::ShowMenu);
  connect(vstExplorer, &QTreeView::doubleClicked, this, [this] { EditData(model_); });
}

TConvertedNode* TFrameExplorer::ConvertedNode() const {
  return dynamic_cast<TConvertedNode*>(GetCurrNodeObject(model_));
}

void TFrameExplorer::CurrentChanged(const QModelIndex& current) {
  if (model_.InSelectRow()) return;
  TNodeObject* node = model_.RowObject(model_.RowOf(current));
  if (node != nullptr) emit NodeSelected(node);
}

void TFrameExplorer::KeepSelected() {
  // The node whose tasks are listed stays selected: a Ctrl+click must not
  // leave the list without its node.
  if (model_.InSelectRow() || model_.Selection().hasSelection()) return;
  const QModelIndex current = model_.Selection().currentIndex();
  if (current.isValid()) model_.SelectRow(model_.RowOf(current));
}

void TFrameExplorer::ShowMenu(const QPoint& position) {
  const QModelIndex index = vstExplorer->indexAt(position);
  if (!index.isValid()) return;
  if (index != model_.Selection().currentIndex()) {
    model_.Selection().setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  // Categories have the category menu; the node of unfiled tasks has none.
  if (ConvertedNode() != nullptr && category_menu_ != nullptr) {
    category_menu_->popup(vstExplorer->viewport()->mapToGlobal(position));
  }
}

// TTaskListView ---------------------------------------------------------------

TTaskListView::TTaskListView(QWidget* parent) : QTreeView(parent) {
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
}

QStringList TTaskListView::LocalFiles(const QMimeData* data) {
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) files.push_back(url.toLocalFile());
  }
  return files;
}

namespace {

// Takes a drag that carries local files, as a link where the source offers
// one; refuses any other.
void AcceptFileDrag(QDragMoveEvent* event) {
  if (TTaskListView::LocalFiles(event->mimeData()).isEmpty()) {
    event->ignore();
  } else if ((event->possibleActions() & Qt::LinkAction) != 0) {
    event->setDropAction(Qt::LinkAction);
    event->accept();
  } else {
    event->acceptProposedAction();
  }
}

}  // namespace

void TTaskListView::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrag(event); }

void TTaskListView::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrag(event); }

void TTaskListView::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit FilesDropped(files);
}

void TTaskListView::keyPressEvent(QKeyEvent* event) {
  // The Delete key of the keypad comes with the keypad modifier.
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Delete && modifiers == Qt::NoModifier) {
    emit DeletePressed();
    return;
  }
  QTreeView::keyPressEvent(event);
}

// TFrameList ------------------------------------------------------------------

TFrameList::TFrameList(QWidget* parent)
    : QWidget(parent), vstTaskList(new TTaskListView(this)), model_(this) {
  BareLayout(this)->addWidget(vstTaskList);
  vstTaskList->setRootIsDecorated(false);
  vstTaskList->setUniformRowHeights(true);
  vstTaskList->setAllColumnsShowFocus(true);
  vstTaskList->setSelectionBehavior(QAbstractItemView::SelectRows);
  vstTaskList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  vstTaskList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  vstTaskList->setContextMenuPolicy(Qt::CustomContextMenu);
  vstTaskList->header()->setSectionsMovable(true);
  vstTaskList->header()->setSectionResizeMode(QHeaderView::Interactive);
  vstTaskList->header()->setStretchLastSection(false);
  model_.SetImageProvider(&TdmGlobal::ListImage);
  model_.Attach(*vstTaskList);
  connect(&model_.Selection(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (auto* task = dynamic_cast<TAVTask*>(model_.RowObject(model_.RowOf(current)))) {
              emit TaskFocused(task);
            }
          });
  connect(vstTaskList, &QTreeView::customContextMenuRequested, this, [this](const QPoint& at) {
    if (task_menu_ != nullptr) task_menu_->popup(vstTaskList->viewport()->mapToGlobal(at));
  });
}

// TFrameInfo ------------------------------------------------------------------

TFrameInfo::TFrameInfo(QWidget* parent)
    : QWidget(parent),
      pages(new QTabWidget(this)),
      vstTaskInfo(new QTreeView(this)),
      lstLog(new QListView(this)),
      actClearLog(new QAction(Icon(TIcon::ClearLog), tr("Clear Log"), this)),
      info_model_(this),
      log_model_(this) {
  BareLayout(this)->addWidget(pages);
  vstTaskInfo->setRootIsDecorated(false);
  vstTaskInfo->setEditTriggers(QAbstractItemView::NoEditTriggers);
  info_model_.Attach(*vstTaskInfo);
  lstLog->setModel(&log_model_);
  lstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstLog->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstLog->setContextMenuPolicy(Qt::ActionsContextMenu);
  lstLog->addAction(actClearLog);
  pages->addTab(vstTaskInfo, tr("Task Info"));
  pages->addTab(lstLog, tr("Logs"));
  pages->setTabVisible(0, false);
  pages->setCurrentWidget(lstLog);
  connect(&log_model_, &TLogViewModel::LinesChanged, this, [this] {
    lstLog->scrollToBottom();
    UpdateActions();
  });
  connect(actClearLog, &QAction::triggered, this, [this] {
    if (TAVTask* task = ShownTask()) Guarded([task] { task->ClearLog(); });
  });
  UpdateActions();
}

void TFrameInfo::ShowTask(TAVTask& task) {
  task_ = &task;
  log_model_.SetShownOwner(&task);
  task.LoadTaskInfo(&info_model_, &log_model_);
}

TAVTask* TFrameInfo::ShownTask() const {
  return task_ != nullptr && log_model_.ShownOwner() == task_ ? task_ : nullptr;
}

void TFrameInfo::UpdateActions() {
  actClearLog->setEnabled(log_model_.LineCount() > 0);
}

}  // namespace veltrano::gui
