#include "common/PersistentManager.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <fmt/format.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "converter/AVError.h"
#include "platform/AppFolders.h"
#include "platform/ProcessIdentity.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyTimeoutMs = 5000;

// The connection and the one query object every statement goes through.
struct TStore {
  std::unique_ptr<SQLite::Database> db;
  std::unique_ptr<SQLite::Statement> query;
  std::thread::id owner;
  int busy_timeout_ms = kBusyTimeoutMs;
};

TStore& Store() {
  static TStore store;
  return store;
}

SQLite::Database& Db() {
  TStore& store = Store();
  VEL_ASSERT(store.db != nullptr);
  VEL_ASSERT(store.owner == std::this_thread::get_id());  // the UI thread's store
  return *store.db;
}

// Closes the query and gives it the text `sql`; when `params` is not
// negative, the text must declare exactly that many "?" parameters.
SQLite::Statement& Prepare(const std::string& sql, int params) {
  SQLite::Database& db = Db();
  TStore& store = Store();
  store.query.reset();
  store.query = std::make_unique<SQLite::Statement>(db, sql);
  if (params >= 0) VEL_ASSERT(store.query->getBindParameterCount() == params);
  return *store.query;
}

// Closes the query, so that no statement holds a read snapshot or a lock
// between operations.
void CloseQuery() {
  Store().query.reset();
}

// Runs the prepared statement to its end (statements without rows).
void Execute(SQLite::Statement& query) {
  while (query.executeStep()) {
  }
  CloseQuery();
}

std::string Text(const SQLite::Statement& query, const char* column) {
  const SQLite::Column value = query.getColumn(column);
  return value.isNull() ? std::string() : value.getString();
}

// Dates as UTC text: "yyyy-mm-dd hh:mm:ss.zzz" sorts chronologically.
std::string DateToText(TDateTime value) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(value.time_since_epoch());
  const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}", tm.tm_year + 1900, tm.tm_mon + 1,
                     tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms.count() % 1000);
}

TDateTime TextToDate(const std::string& text) {
  std::tm tm{};
  int millis = 0;
  const int read = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d", &tm.tm_year, &tm.tm_mon,
                               &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &millis);
  if (read < 3) return TDateTime{};
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  const std::time_t seconds = timegm(&tm);
  return TDateTime{} + std::chrono::seconds(seconds) + std::chrono::milliseconds(millis);
}

bool HasTable(SQLite::Database& db, const char* name) {
  SQLite::Statement query(db, "select count(*) from sqlite_master where type='table' and name=?");
  query.bind(1, name);
  return query.executeStep() && query.getColumn(0).getInt() > 0;
}

void CreateTables(SQLite::Database& db, const std::string& root_name,
                  const std::string& root_folder) {
  SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
  db.exec(
      "create table if not exists conversions (ID integer primary key, Converting integer, "
      "ConvertSettings text, ConvertedDate text, CategoryId integer, Log text)");
  db.exec(
      "create table if not exists categories (ID integer primary key, Category text, Path text, "
      "Parent integer)");
  db.exec(
      "create index if not exists conversions_by_category on conversions(Converting, CategoryId, "
      "ConvertedDate)");
  SQLite::Statement root(db,
                         "insert or ignore into categories(ID, Category, Path, Parent) "
                         "values(1, ?, ?, -1)");
  root.bind(1, root_name);
  root.bind(2, root_folder);
  root.exec();
  transaction.commit();
}

bool HasColumn(SQLite::Database& db, const char* table, const char* column) {
  SQLite::Statement query(db, "select count(*) from pragma_table_info(?) where name=?");
  query.bind(1, table);
  query.bind(2, column);
  return query.executeStep() && query.getColumn(0).getInt() > 0;
}

// Added to files of any age when missing: programs that predate claims and
// task files never look at these tables (nor at the column Published), and
// the two tables they use stay as they are.
void CreateClaimTable(SQLite::Database& db) {
  db.exec(
      "create table if not exists task_claims (TaskId integer primary key, Pid integer, "
      "ProcessStart text, Boot text, Host text, ClaimedDate text)");
  db.exec(
      "create table if not exists task_outputs (TaskId integer primary key, Device integer, "
      "Inode integer, Size integer, ModifiedNs integer, Published integer)");
  if (!HasColumn(db, "task_outputs", "Published")) {
    db.exec("alter table task_outputs add column Published integer");
  }
  db.exec(
      "create table if not exists task_work_files (TaskId integer primary key, Path text, "
      "Device integer, Inode integer)");
  db.exec("create table if not exists task_failures (TaskId integer primary key)");
}

// Forgets the claims and files of the tasks that `where` selects.
void DeleteTaskRows(const std::string& where) {
  Execute(Prepare("delete from task_claims where TaskId" + where, -1));
  Execute(Prepare("delete from task_outputs where TaskId" + where, -1));
  Execute(Prepare("delete from task_work_files where TaskId" + where, -1));
  Execute(Prepare("delete from task_failures where TaskId" + where, -1));
}

std::string NowText() {
  return DateToText(
      std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now()));
}

// The process that holds the claim of task `id`; none when it is released
// or was never made.
std::optional<TProcessIdentity> ClaimHolder(const std::string& id) {
  SQLite::Statement& query = Prepare(
      "select Pid, ProcessStart, Boot, Host from task_claims where Pid is not null and TaskId=" +
          id,
      -1);
  std::optional<TProcessIdentity> holder;
  if (query.executeStep()) {
    holder.emplace();
    holder->pid = query.getColumn("Pid").getInt64();
    holder->start = Text(query, "ProcessStart");
    holder->boot = Text(query, "Boot");
    holder->host = Text(query, "Host");
  }
  CloseQuery();
  return holder;
}

// Makes this process the holder of task `id`'s claim.
void WriteClaim(const std::string& id) {
  const TProcessIdentity& self = CurrentProcessIdentity();
  SQLite::Statement& query = Prepare(
      "insert or replace into task_claims(TaskId, Pid, ProcessStart, Boot, Host, ClaimedDate) "
      "values(" +
          id + ", ?, ?, ?, ?, ?)",
      5);
  query.bind(1, self.pid);
  query.bind(2, self.start);
  query.bind(3, self.boot);
  query.bind(4, self.host);
  query.bind(5, NowText());
  Execute(query);
}

std::unique_ptr<TConversionSettings> ReadSettings(const SQLite::Statement& query) {
  auto settings = std::make_unique<TConversionSettings>();
  SettingsFromXml(*settings, Text(query, "ConvertSettings"));
  return settings;
}

}  // namespace

std::string JoinLogLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitLogText(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

std::string TPersistentManager::DatabaseFile(const std::string& folder) {
  return folder + "av.cfg";
}

void TPersistentManager::Connect(const std::string& folder, const std::string& root_name,
                                 const std::string& root_folder) {
  Disconnect();
  const std::string dir = folder.empty() ? GetAppDataFolder() : folder;
  fs::create_directories(fs::path(dir));
  auto db = std::make_unique<SQLite::Database>(DatabaseFile(dir),
                                               SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
  db->setBusyTimeout(Store().busy_timeout_ms);
  db->exec("PRAGMA journal_mode=WAL");
  if (!HasTable(*db, "conversions") && !HasTable(*db, "categories")) {
    CreateTables(*db, root_name,
                 root_folder.empty() ? AVConfiguration().OutputFolder() : root_folder);
  }
  CreateClaimTable(*db);
  TStore& store = Store();
  store.db = std::move(db);
  store.owner = std::this_thread::get_id();
}

void TPersistentManager::Disconnect() {
  TStore& store = Store();
  if (store.db) VEL_ASSERT(store.owner == std::this_thread::get_id());
  store.query.reset();
  store.db.reset();
}

bool TPersistentManager::Connected() {
  return Store().db != nullptr;
}

void TPersistentManager::SetBusyTimeout(int milliseconds) {
  TStore& store = Store();
  store.busy_timeout_ms = milliseconds;
  if (store.db) store.db->setBusyTimeout(milliseconds);
}

std::string TPersistentManager::GetConvertSettings(const TAVTask& ATask) {
  return SettingsToXml(ATask.Settings());
}

void TPersistentManager::NewDbTask(TAVTask& ATask, bool claim) {
  SQLite::Transaction transaction(Db(), SQLite::TransactionBehavior::IMMEDIATE);
  SQLite::Statement& query =
      Prepare("insert into Conversions(Converting, ConvertSettings) values(?, ?)", 2);
  query.bind(1, 1);
  query.bind(2, GetConvertSettings(ATask));
  Execute(query);
  const auto id = static_cast<int32_t>(Db().getLastInsertRowid());
  // A program without claims may have deleted an earlier task of this
  // number: its claim row is not this task's.
  DeleteTaskRows("=" + std::to_string(id));
  if (claim) WriteClaim(std::to_string(id));
  transaction.commit();
  ATask.SetID(id);
}

void TPersistentManager::FinishDbTask(TAVTask& ATask) {
  ATask.Settings().SetDuration(ATask.Converter().Duration());
  SQLite::Statement& query = Prepare(
      "update conversions set Converting=0, ConvertSettings=?, ConvertedDate=?, CategoryId=?, "
      "Log=? where ID=" +
          std::to_string(ATask.ID()),
      4);
  query.bind(1, GetConvertSettings(ATask));
  const auto now =
      std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
  query.bind(2, DateToText(now));
  std::string found;
  {
    SQLite::Statement category(
        Db(), "select ID from Categories where ID=" + std::to_string(ATask.CategoryId()));
    if (category.executeStep()) found = category.getColumn(0).getString();
  }
  query.bind(3, found.empty() ? 1 : ATask.CategoryId());
  query.bind(4, JoinLogLines(ATask.Log()));
  Execute(query);
  ATask.SetDate(now);
}

void TPersistentManager::DeleteTask(const TAVTask& ATask) {
  const std::string id = std::to_string(ATask.ID());
  SQLite::Transaction transaction(Db());
  Execute(Prepare("delete from conversions where ID=" + id, -1));
  DeleteTaskRows("=" + id);
  transaction.commit();
}

void TPersistentManager::ClearLog(const TAVTask& ATask) {
  Execute(Prepare("update conversions set Log=NULL where ID=" + std::to_string(ATask.ID()), 0));
}

void TPersistentManager::LoadConvertingTask(TConvertingNode& ConvertingNode) {
  SQLite::Statement& query = Prepare("select * from Conversions where Converting=1", -1);
  TTaskList tasks;
  while (query.executeStep()) {
    auto task = std::make_unique<TConvertingTask>(ReadSettings(query), ConvertingNode.ListView(),
                                                  &ConvertingNode.Dispatcher());
    task->SetID(query.getColumn("ID").getInt());
    task->SetLog(SplitLogText(Text(query, "Log")));
    task->SetStatus(stError);
    task->SetCategory(&ConvertingNode);
    tasks.push_back(std::move(task));
  }
  CloseQuery();
  for (auto& task : tasks) {
    SQLite::Statement& failed = Prepare(
        "select count(*) from task_failures where TaskId=" + std::to_string(task->ID()), -1);
    task->SetFailed(failed.executeStep() && failed.getColumn(0).getInt() > 0);
    CloseQuery();
    ConvertingNode.AddTask(std::move(task));
  }
}

void TPersistentManager::SaveFailure(const TAVTask& ATask) {
  const std::string id = std::to_string(ATask.ID());
  SQLite::Transaction transaction(Db());
  SQLite::Statement& query = Prepare("update conversions set Log=? where ID=" + id, 1);
  query.bind(1, JoinLogLines(ATask.Log()));
  Execute(query);
  Execute(Prepare("insert or ignore into task_failures(TaskId) values(" + id + ")", 0));
  transaction.commit();
}

void TPersistentManager::ClearFailure(const TAVTask& ATask) {
  const std::string id = std::to_string(ATask.ID());
  SQLite::Transaction transaction(Db());
  SQLite::Statement& failed = Prepare("select count(*) from task_failures where TaskId=" + id, -1);
  const bool marked = failed.executeStep() && failed.getColumn(0).getInt() > 0;
  CloseQuery();
  if (marked) {
    Execute(Prepare("update conversions set Log=NULL where ID=" + id, 0));
    Execute(Prepare("delete from task_failures where TaskId=" + id, 0));
  }
  transaction.commit();
}

void TPersistentManager::LoadConvertedNodes(int32_t ID,
                                            std::vector<std::unique_ptr<TConvertedNode>>& AList,
                                            IDispatcher* dispatcher) {
  SQLite::Statement& query =
      Prepare("select * from Categories where Parent=" + std::to_string(ID), -1);
  while (query.executeStep()) {
    auto node = std::make_unique<TConvertedNode>(dispatcher);
    node->SetCategoryId(query.getColumn("ID").getInt());
    node->SetCategory(Text(query, "Category"));
    node->SetFolder(Text(query, "Path"));
    AList.push_back(std::move(node));
  }
  CloseQuery();
}

void TPersistentManager::LoadConvertedTask(TConvertedNode& ConvertedNode) {
  ConvertedNode.ClearTasks();
  SQLite::Statement& query =
      Prepare(fmt::format("select * from Conversions where Converting=0 and CategoryId={} order by "
                          "ConvertedDate desc",
                          ConvertedNode.CategoryId()),
              -1);
  TTaskList tasks;
  while (query.executeStep()) {
    auto task = std::make_unique<TConvertingTask>(ReadSettings(query), ConvertedNode.ListView(),
                                                  &ConvertedNode.Dispatcher());
    task->SetID(query.getColumn("ID").getInt());
    task->SetDate(TextToDate(Text(query, "ConvertedDate")));
    task->SetLog(SplitLogText(Text(query, "Log")));
    task->SetCategoryId(ConvertedNode.CategoryId());
    task->SetStatus(stFinished);
    task->SetCategory(&ConvertedNode);
    task->SetIsConverted(true);
    tasks.push_back(std::move(task));
  }
  CloseQuery();
  for (auto& task : tasks) ConvertedNode.AddTask(std::move(task));
}

void TPersistentManager::NewCategory(TConvertedNode& ANode) {
  auto* parent = dynamic_cast<TConvertedNode*>(ANode.Parent());
  VEL_ASSERT(parent != nullptr);
  SQLite::Statement& query =
      Prepare("insert into categories(Category, Path, Parent) values(?, ?, ?)", 3);
  query.bind(1, ANode.Category());
  query.bind(2, ANode.Folder());
  query.bind(3, parent->CategoryId());
  Execute(query);
  ANode.SetCategoryId(static_cast<int32_t>(Db().getLastInsertRowid()));
}

void TPersistentManager::UpdateCategory(const TConvertedNode& ANode) {
  SQLite::Statement& query = Prepare(
      "update categories set category=?, path=? where ID=" + std::to_string(ANode.CategoryId()), 2);
  query.bind(1, ANode.Category());
  query.bind(2, ANode.Folder());
  Execute(query);
}

void TPersistentManager::DeleteCategory(const TConvertedNode& ANode) {
  VEL_ASSERT(!ANode.IsRoot());
  const std::string id = std::to_string(ANode.CategoryId());
  // Both statements or neither: a category never leaves tasks without it.
  SQLite::Transaction transaction(Db());
  Execute(Prepare("delete from categories where ID=" + id, -1));
  Execute(Prepare("delete from conversions where CategoryID=" + id, -1));
  DeleteTaskRows(" not in (select ID from conversions)");
  transaction.commit();
}

// Claims ----------------------------------------------------------------------

TTaskClaim TPersistentManager::ClaimTask(const TAVTask& ATask) {
  const std::string id = std::to_string(ATask.ID());
  // Immediate: the check and the claim happen under the write lock, so a
  // second program waits for this one and then sees its claim.
  SQLite::Transaction transaction(Db(), SQLite::TransactionBehavior::IMMEDIATE);
  SQLite::Statement& query = Prepare("select Converting from conversions where ID=" + id, -1);
  const bool unfinished = query.executeStep() && query.getColumn(0).getInt() != 0;
  CloseQuery();
  if (!unfinished) return TTaskClaim::NotUnfinished;
  const std::optional<TProcessIdentity> holder = ClaimHolder(id);
  if (holder && *holder != CurrentProcessIdentity() && ProcessIsAlive(*holder)) {
    return TTaskClaim::HeldElsewhere;
  }
  WriteClaim(id);
  transaction.commit();
  return TTaskClaim::Claimed;
}

void TPersistentManager::ReleaseTask(const TAVTask& ATask) {
  const TProcessIdentity& self = CurrentProcessIdentity();
  SQLite::Statement& query =
      Prepare("update task_claims set Pid=NULL where TaskId=" + std::to_string(ATask.ID()) +
                  " and Pid=? and ProcessStart=? and Boot=?",
              3);
  query.bind(1, self.pid);
  query.bind(2, self.start);
  query.bind(3, self.boot);
  Execute(query);
}

TTaskClaimState TPersistentManager::ClaimState(int32_t task_id) {
  const std::string id = std::to_string(task_id);
  SQLite::Statement& query = Prepare("select count(*) from task_claims where TaskId=" + id, -1);
  const bool recorded = query.executeStep() && query.getColumn(0).getInt() > 0;
  CloseQuery();
  if (!recorded) return TTaskClaimState::NeverClaimed;
  const std::optional<TProcessIdentity> holder = ClaimHolder(id);
  if (!holder) return TTaskClaimState::Released;
  if (*holder == CurrentProcessIdentity()) return TTaskClaimState::Ours;
  return ProcessIsAlive(*holder) ? TTaskClaimState::Elsewhere : TTaskClaimState::Released;
}

// Files of a task ----------------------------------------------------------------

void TPersistentManager::SaveOwnOutput(int32_t task_id, const TFileIdentity& output,
                                       bool published) {
  SQLite::Statement& query = Prepare(
      "insert or replace into task_outputs(TaskId, Device, Inode, Size, ModifiedNs, "
      "Published) values(" +
          std::to_string(task_id) + ", ?, ?, ?, ?, ?)",
      5);
  query.bind(1, static_cast<int64_t>(output.device));
  query.bind(2, static_cast<int64_t>(output.inode));
  query.bind(3, output.size);
  query.bind(4, output.modified_ns);
  query.bind(5, published ? 1 : 0);
  Execute(query);
}

std::optional<TFileIdentity> TPersistentManager::OwnOutput(int32_t task_id) {
  SQLite::Statement& query =
      Prepare("select Device, Inode, Size, ModifiedNs from task_outputs where TaskId=" +
                  std::to_string(task_id),
              -1);
  std::optional<TFileIdentity> output;
  if (query.executeStep()) {
    output = TFileIdentity{static_cast<uint64_t>(query.getColumn(0).getInt64()),
                           static_cast<uint64_t>(query.getColumn(1).getInt64()),
                           query.getColumn(2).getInt64(), query.getColumn(3).getInt64()};
  }
  CloseQuery();
  return output;
}

void TPersistentManager::ConfirmOwnOutput(int32_t task_id) {
  const std::string id = std::to_string(task_id);
  SQLite::Transaction transaction(Db());
  Execute(Prepare("update task_outputs set Published=1 where TaskId=" + id, 0));
  Execute(Prepare("delete from task_work_files where TaskId=" + id, 0));
  transaction.commit();
}

void TPersistentManager::SaveWorkFile(int32_t task_id, const TWorkFile& work) {
  SQLite::Statement& query =
      Prepare("insert or replace into task_work_files(TaskId, Path, Device, Inode) values(" +
                  std::to_string(task_id) + ", ?, ?, ?)",
              3);
  query.bind(1, work.path);
  if (work.created) {
    query.bind(2, static_cast<int64_t>(work.created->device));
    query.bind(3, static_cast<int64_t>(work.created->inode));
  }
  Execute(query);
}

std::optional<TWorkFile> TPersistentManager::WorkFile(int32_t task_id) {
  SQLite::Statement& query = Prepare(
      "select Path, Device, Inode from task_work_files where TaskId=" + std::to_string(task_id),
      -1);
  std::optional<TWorkFile> work;
  if (query.executeStep()) {
    work = TWorkFile{Text(query, "Path"), std::nullopt};
    if (!query.getColumn(1).isNull()) {
      work->created = TFileIdentity{static_cast<uint64_t>(query.getColumn(1).getInt64()),
                                    static_cast<uint64_t>(query.getColumn(2).getInt64())};
    }
  }
  CloseQuery();
  return work;
}

void TPersistentManager::ForgetWorkFile(int32_t task_id) {
  Execute(Prepare("delete from task_work_files where TaskId=" + std::to_string(task_id), 0));
}

std::vector<std::pair<int32_t, std::string>> TPersistentManager::TaskTargets() {
  SQLite::Statement& query = Prepare("select ID, ConvertSettings from conversions", -1);
  std::vector<std::pair<int32_t, std::string>> targets;
  while (query.executeStep()) {
    TConversionSettings settings;
    try {
      SettingsFromXml(settings, Text(query, "ConvertSettings"));
    } catch (const std::exception&) {
      // A malformed value after the target: what was read stays read.
    }
    targets.emplace_back(query.getColumn("ID").getInt(), settings.TargetFile());
  }
  CloseQuery();
  return targets;
}

}  // namespace veltrano
