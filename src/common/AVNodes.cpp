// The explorer's nodes, the tree that owns them, and the view operations.
// The tasks are in AVTask.cpp.
#include "common/AVNodes.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

#include "common/PersistentManager.h"
#include "converter/AVError.h"
#include "converter/MessageBoxes.h"

namespace veltrano {
namespace {

using TColumns = std::vector<std::pair<std::string, int>>;

const TColumns& ConvertingColumns() {
  static const TColumns columns{{"原始文件", 150},     {"原始文件大小", 100}, {"目标文件", 150},
                                {"目标文件大小", 100}, {"输出格式配置", 100}, {"用时", 60},
                                {"完成度", 70},        {"码率(kbs)", 70},     {"剩余时间", 70},
                                {"已用时间", 70}};
  return columns;
}

const TColumns& ConvertedColumns() {
  static const TColumns columns{{"原始文件", 150},        {"原始文件大小", 100}, {"目标文件", 150},
                                {"目标文件大小", 100},    {"输出格式配置", 100}, {"用时", 60},
                                {kDateColumnCaption, 120}};
  return columns;
}

TCompletionAlertHandler& AlertHandler() {
  static TCompletionAlertHandler handler;
  return handler;
}

}  // namespace

// TNodeObject -----------------------------------------------------------------

TNodeObject::TNodeObject(IDispatcher* dispatcher)
    : FDispatcher(dispatcher != nullptr ? dispatcher : &DefaultDispatcher()),
      FLife(std::make_shared<int>(0)),
      FLifeToken(FLife) {}

TNodeObject::~TNodeObject() {
  EndLife();
  ClearTasks();
}

TAVTask& TNodeObject::AddTask(std::unique_ptr<TAVTask> task) {
  FTasks.push_back(std::move(task));
  return *FTasks.back();
}

std::unique_ptr<TAVTask> TNodeObject::TakeTask(const TAVTask* task) {
  auto it = std::find_if(FTasks.begin(), FTasks.end(),
                         [task](const auto& owned) { return owned.get() == task; });
  if (it == FTasks.end()) return nullptr;
  std::unique_ptr<TAVTask> taken = std::move(*it);
  FTasks.erase(it);
  return taken;
}

void TNodeObject::ClearTasks() {
  while (!FTasks.empty()) {
    std::unique_ptr<TAVTask> last = std::move(FTasks.back());
    FTasks.pop_back();
    last.reset();
  }
}

TNodeObject* TNodeObject::Parent() const {
  VEL_ASSERT(FNode != kNoRow && FTreeView != nullptr);
  return FTreeView->RowObject(FTreeView->ParentRow(FNode));
}

bool TNodeObject::IsShown() const {
  return FTreeView != nullptr && FNode != kNoRow && FTreeView->IsSelected(FNode) &&
         FTreeView->RowObject(FNode) == this;
}

void TNodeObject::LoadTaskList(ITaskView* AList) {
  FListView = AList;
}

void TNodeObject::LoadTaskInfo(ITaskView* AList, ILogView* ALogList) {
  FInfoView = AList;
  FLogList = ALogList;
}

void TNodeObject::EmptyList(ITaskView& AList) {
  // The rows of whatever was shown go: their tasks must know they have none.
  for (TRowId row : AList.ChildRows(kNoRow)) {
    TNodeObject* shown = AList.RowObject(row);
    if (shown != nullptr && shown->FNode == row) shown->FNode = kNoRow;
  }
  AList.Clear();
}

void TNodeObject::FillTaskList(ITaskView& AList, const TColumns& columns) {
  EmptyList(AList);
  AList.ClearColumns();
  for (const auto& [caption, width] : columns) AList.AddColumn(caption, width);
  for (const auto& task : FTasks) {
    task->SetListView(&AList);
    task->SetNode(AList.AddChild(kNoRow, task.get()));
  }
}

// TConvertingNode -------------------------------------------------------------

TConvertingNode::~TConvertingNode() {
  // Stop every conversion at once, then wait for each.
  EndLife();
  for (const auto& task : FTasks) task->Converter().Stop();
  for (const auto& task : FRetired) task->Converter().Stop();
  FRetired.clear();
  ClearTasks();
}

std::string TConvertingNode::GetCaption(int) {
  return "任务列表";
}

void TConvertingNode::LoadTaskList(ITaskView* AList) {
  VEL_ASSERT(AList != nullptr);
  TNodeObject::LoadTaskList(AList);
  if (!FLoaded) {
    TPersistentManager::LoadConvertingTask(*this);
    FLoaded = true;
  }
  FillTaskList(*AList, ConvertingColumns());
}

TConvertingTask& TConvertingNode::NewConversion(std::unique_ptr<TConversionSettings> ASettings) {
  const int32_t category = ASettings->CategoryId();
  auto owned = std::make_unique<TConvertingTask>(std::move(ASettings), FListView, &Dispatcher());
  TConvertingTask& task = *owned;
  task.SetSourceIsFresh(true);
  task.SetCategory(this);
  task.SetCategoryId(category);
  // Stored, and claimed in the same transaction, before it starts: a task
  // that the store cannot take (read-only, locked, full) is not created,
  // rather than converting without a record.
  TPersistentManager::NewDbTask(task, true);
  task.FClaimed = true;
  if (IsShown() && FListView != nullptr) task.SetNode(FListView->AddChild(kNoRow, &task));
  AddTask(std::move(owned));
  task.Start();
  return task;
}

bool TConvertingNode::HasRunningTask() const {
  return std::any_of(FTasks.begin(), FTasks.end(),
                     [](const auto& task) { return task->Status() == stRunning; });
}

void TConvertingNode::RefreshClaims() {
  for (const auto& task : FTasks) task->RefreshClaim();
}

bool TConvertingNode::HasActiveConverter() const {
  auto running = [](const auto& task) { return task->Converter().IsRunning(); };
  return std::any_of(FTasks.begin(), FTasks.end(), running) ||
         std::any_of(FRetired.begin(), FRetired.end(), running);
}

void TConvertingNode::Retire(std::unique_ptr<TAVTask> task) {
  FRetired.push_back(std::move(task));
  if (FReapPosted) return;
  FReapPosted = true;
  Dispatcher().Post([life = LifeToken(), this] {
    if (life.expired()) return;
    FReapPosted = false;
    ReapRetired();
  });
}

void TConvertingNode::ReapRetired() {
  TTaskList ended;
  for (auto it = FRetired.begin(); it != FRetired.end();) {
    if ((*it)->Converter().IsRunning()) {
      ++it;
    } else {
      ended.push_back(std::move(*it));
      it = FRetired.erase(it);
    }
  }
  ended.clear();  // their workers have ended: destroying them waits for nothing
  if (FRetired.empty() || FReapPosted) return;
  // A worker still on its way out: look again shortly, without spinning.
  FReapPosted = true;
  Dispatcher().Post([life = LifeToken(), this] {
    if (life.expired()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    FReapPosted = false;
    ReapRetired();
  });
}

// TConvertedNode --------------------------------------------------------------

void TConvertedNode::LoadTaskList(ITaskView* AList) {
  VEL_ASSERT(AList != nullptr);
  TNodeObject::LoadTaskList(AList);
  EmptyList(*AList);  // the store destroys the tasks shown so far
  TPersistentManager::LoadConvertedTask(*this);
  FillTaskList(*AList, ConvertedColumns());
}

void TConvertedNode::DeleteChildrens() {
  VEL_ASSERT(FTreeView != nullptr && FNode != kNoRow);
  DeleteChild(FNode);
}

void TConvertedNode::DeleteChild(TRowId row) {
  auto* category = dynamic_cast<TConvertedNode*>(FTreeView->RowObject(row));
  if (category != nullptr) TPersistentManager::DeleteCategory(*category);
  for (TRowId child : FTreeView->ChildRows(row)) DeleteChild(child);
}

// TNodeTree -------------------------------------------------------------------

TNodeTree::TNodeTree(ITaskView& tree, ITaskView& list, IDispatcher* dispatcher)
    : FTree(tree), FList(list), FDispatcher(dispatcher) {}

TNodeTree::~TNodeTree() {
  // Every conversion is asked to stop first, so that they end side by side;
  // destroying the nodes then waits for each worker.
  for (const auto& node : FNodes) {
    for (const auto& task : node->Tasks()) task->Converter().Stop();
  }
  FList.Clear();
  FTree.Clear();
  FNodes.clear();
}

TNodeObject& TNodeTree::AddNode(std::unique_ptr<TNodeObject> node, TRowId parent) {
  node->SetTreeView(&FTree);
  AddNodeToView(FTree, *node, parent);
  FNodes.push_back(std::move(node));
  return *FNodes.back();
}

void TNodeTree::Load() {
  VEL_ASSERT(FConverting == nullptr);
  FConverting = &static_cast<TConvertingNode&>(
      AddNode(std::make_unique<TConvertingNode>(FDispatcher), kNoRow));
  // Depth first from the top-level categories. A category is added once
  // only, so a file whose Parent links loop back cannot make this endless.
  std::set<int32_t> added;
  std::vector<std::pair<int32_t, TRowId>> pending{{-1, kNoRow}};
  while (!pending.empty()) {
    const auto [parent_id, parent_row] = pending.back();
    pending.pop_back();
    std::vector<std::unique_ptr<TConvertedNode>> children;
    TPersistentManager::LoadConvertedNodes(parent_id, children, FDispatcher);
    std::vector<std::pair<int32_t, TRowId>> below;
    for (auto& child : children) {
      if (!added.insert(child->CategoryId()).second) continue;
      const int32_t id = child->CategoryId();
      const TRowId row = AddNode(std::move(child), parent_row).Node();
      below.emplace_back(id, row);
    }
    pending.insert(pending.end(), below.rbegin(), below.rend());
  }
  Select(*FConverting);
}

std::vector<TConvertedNode*> TNodeTree::Categories() const {
  std::vector<TConvertedNode*> categories;
  std::vector<TRowId> pending{kNoRow};
  while (!pending.empty()) {
    const TRowId row = pending.back();
    pending.pop_back();
    if (auto* category = dynamic_cast<TConvertedNode*>(FTree.RowObject(row))) {
      categories.push_back(category);
    }
    const std::vector<TRowId> children = FTree.ChildRows(row);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return categories;
}

TConvertedNode* TNodeTree::FindCategory(int32_t id) const {
  for (TConvertedNode* category : Categories()) {
    if (category->CategoryId() == id) return category;
  }
  return nullptr;
}

void TNodeTree::Select(TNodeObject& node) {
  FTree.SelectRow(node.Node());
  node.LoadTaskList(&FList);
}

TConvertedNode& TNodeTree::NewCategory(TConvertedNode& parent, const std::string& name,
                                       const std::string& folder) {
  auto node = std::make_unique<TConvertedNode>(FDispatcher);
  node->SetCategory(name);
  node->SetFolder(folder);
  auto& added = static_cast<TConvertedNode&>(AddNode(std::move(node), parent.Node()));
  try {
    TPersistentManager::NewCategory(added);
  } catch (...) {
    RemoveSubtree(added.Node());  // a category the store refused is not shown
    throw;
  }
  return added;
}

void TNodeTree::UpdateCategory(TConvertedNode& node, const std::string& name,
                               const std::string& folder) {
  const std::string old_name = node.Category();
  const std::string old_folder = node.Folder();
  node.SetCategory(name);
  node.SetFolder(folder);
  try {
    TPersistentManager::UpdateCategory(node);
  } catch (...) {
    node.SetCategory(old_name);  // what the store still holds
    node.SetFolder(old_folder);
    throw;
  }
  std::error_code error;  // a folder that cannot be made shows up in the file manager
  std::filesystem::create_directories(std::filesystem::path(folder), error);
  FTree.InvalidateRow(node.Node());
}

void TNodeTree::DeleteCategory(TConvertedNode& node) {
  VEL_ASSERT(!node.IsRoot());
  TPersistentManager::DeleteCategory(node);
  node.DeleteChildrens();
  TNodeObject* parent = node.Parent();
  VEL_ASSERT(parent != nullptr);
  Select(*parent);
  RemoveSubtree(node.Node());
}

void TNodeTree::RemoveSubtree(TRowId row) {
  std::vector<TNodeObject*> doomed;
  std::vector<TRowId> pending{row};
  while (!pending.empty()) {
    const TRowId current = pending.back();
    pending.pop_back();
    if (TNodeObject* object = FTree.RowObject(current)) doomed.push_back(object);
    const std::vector<TRowId> children = FTree.ChildRows(current);
    pending.insert(pending.end(), children.begin(), children.end());
  }
  FTree.DeleteRow(row);
  std::erase_if(FNodes, [&doomed](const auto& owned) {
    return std::find(doomed.begin(), doomed.end(), owned.get()) != doomed.end();
  });
}

std::vector<TKeptFile> TNodeTree::DeleteTasks(const std::vector<TAVTask*>& tasks, bool DeleteSource,
                                              bool DeleteTarget) {
  std::vector<TKeptFile> kept;
  for (TAVTask* task : tasks) {
    if (task->Status() == stRunning || task->Status() == stPaused) {
      task->Stop();
    } else if (task->ClaimedElsewhere()) {
      task->RefreshClaim();  // another program's run: its row and store entry stay
    } else {
      std::vector<TKeptFile> files = task->Delete(DeleteSource, DeleteTarget);
      kept.insert(kept.end(), files.begin(), files.end());
    }
  }
  return kept;
}

// View operations -------------------------------------------------------------

TNodeObject* GetNodeObject(const ITaskView& AView, TRowId ANode) {
  return ANode == kNoRow ? nullptr : AView.RowObject(ANode);
}

TNodeObject* GetCurrNodeObject(const ITaskView& AView) {
  return GetNodeObject(AView, AView.FocusedRow());
}

TRowId AddNodeToView(ITaskView& AView, TNodeObject& ANode, TRowId ParentNode) {
  const TRowId row = AView.AddChild(ParentNode, &ANode);
  ANode.SetNode(row);
  return row;
}

void EditData(const ITaskView& AView) {
  TNodeObject* node = GetCurrNodeObject(AView);
  if (node == nullptr) return;
  try {
    node->Edit();
  } catch (const std::exception& e) {
    ShowErrorBox(std::string("ERROR:") + e.what());
  }
}

std::string GetCaption(const ITaskView& AView, TRowId ANode, int ColumnIndex) {
  TNodeObject* node = GetNodeObject(AView, ANode);
  return node == nullptr ? std::string() : node->GetCaption(ColumnIndex);
}

int GetImageIndex(const ITaskView& AView, TRowId ANode) {
  TNodeObject* node = GetNodeObject(AView, ANode);
  return node == nullptr ? -1 : node->GetImageIndex();
}

TAVTask* CurrentTask(const ITaskView& AList) {
  return dynamic_cast<TAVTask*>(GetCurrNodeObject(AList));
}

std::vector<TAVTask*> SelectedTasks(const ITaskView& AList) {
  std::vector<TAVTask*> tasks;
  const std::vector<TRowId> rows = AList.SelectedRows();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (auto* task = dynamic_cast<TAVTask*>(AList.RowObject(*it))) tasks.push_back(task);
  }
  return tasks;
}

// Completion alert and texts --------------------------------------------------

TCompletionAlertHandler SetCompletionAlertHandler(TCompletionAlertHandler handler) {
  TCompletionAlertHandler previous = std::move(AlertHandler());
  AlertHandler() = std::move(handler);
  return previous;
}

void ShowCompletionAlert(const std::string& target_file) {
  if (AlertHandler()) AlertHandler()(target_file);
}

std::string BitrateText(double kbits) {
  const long long hundredths = std::llround(std::fabs(kbits) * 100.0);
  std::string whole;
  const std::string digits = std::to_string(hundredths / 100);
  if (digits != "0") {
    for (size_t i = 0; i < digits.size(); ++i) {
      if (i > 0 && (digits.size() - i) % 3 == 0) whole += ',';
      whole += digits[i];
    }
  }
  const int cents = static_cast<int>(hundredths % 100);
  std::string fraction = fmt::format(".{}", cents / 10);
  if (cents % 10 != 0) fraction += static_cast<char>('0' + cents % 10);
  return (kbits < 0 && hundredths != 0 ? "-" : "") + whole + fraction;
}

std::string KilobyteText(int64_t bytes) {
  return fmt::format("{}KB", bytes / 1024);
}

std::string DateTimeText(TDateTime value) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(value);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  const bool midnight = tm.tm_hour == 0 && tm.tm_min == 0 && tm.tm_sec == 0 &&
                        value.time_since_epoch() % std::chrono::seconds(1) ==
                            std::chrono::system_clock::duration::zero();
  std::string text = fmt::format("{:04}-{:02}-{:02}", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  if (!midnight) text += fmt::format(" {:02}:{:02}:{:02}", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

}  // namespace veltrano
