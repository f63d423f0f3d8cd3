// The rows of a task view as a tree, for the views that keep their own rows
// (TMemoryTaskView, the window's item models): each row carries one object
// pointer, ids are never reused, and an unknown id is answered as no row.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/TaskView.h"

namespace veltrano {

class TRowTree {
 public:
  // Adds a row carrying `object` as the last child of `parent` (kNoRow or an
  // unknown row: the top level) and returns its id.
  TRowId Add(TRowId parent, TNodeObject* object);
  // Removes `row` and every row below it; returns the ids removed.
  std::vector<TRowId> Remove(TRowId row);
  void Clear();

  bool Contains(TRowId row) const { return rows_.count(row) != 0; }
  TNodeObject* Object(TRowId row) const;
  TRowId Parent(TRowId row) const;
  // The children of `row` in order; kNoRow gives the top-level rows.
  const std::vector<TRowId>& Children(TRowId row) const;
  // The place of `row` among its siblings; -1 for no row.
  int Position(TRowId row) const;

 private:
  struct TRow {
    TNodeObject* object = nullptr;
    TRowId parent = kNoRow;
    std::vector<TRowId> children;
  };
  void Forget(TRowId row, std::vector<TRowId>& removed);

  TRowId next_id_ = 1;
  std::map<TRowId, TRow> rows_;
  std::vector<TRowId> top_;
};

// The rows and columns half of a task view, kept in a TRowTree: the one
// implementation behind the memory views (common/MemoryTaskView.h) and the
// window's item models. A view that must announce its changes (Qt's models)
// overrides the hooks, which run around every change of the rows or columns;
// focus and selection are each view's own.
class TRowTreeView : public ITaskView {
 public:
  using TColumnList = std::vector<std::pair<std::string, int>>;

  TRowId AddChild(TRowId parent, TNodeObject* object) override;
  void DeleteRow(TRowId row) override;
  void Clear() override;
  TNodeObject* RowObject(TRowId row) const override { return rows_.Object(row); }
  TRowId ParentRow(TRowId row) const override { return rows_.Parent(row); }
  std::vector<TRowId> ChildRows(TRowId row) const override { return rows_.Children(row); }
  void ClearColumns() override;
  void AddColumn(const std::string& caption, int width) override;

  // The columns as the model wrote them: caption and width.
  const TColumnList& Columns() const { return columns_; }

 protected:
  const TRowTree& Rows() const { return rows_; }

  // A row is about to become child number `position` of `parent`.
  virtual void InsertingRow(TRowId /*parent*/, int /*position*/) {}
  virtual void RowInserted() {}
  // `row`, child number `position` of its parent, is about to go with the
  // rows below it; then `removed` are gone.
  virtual void RemovingRow(TRowId /*row*/, int /*position*/) {}
  virtual void RowsRemoved(const std::vector<TRowId>& /*removed*/) {}
  // Every row, or the columns, are about to change; then they have.
  virtual void Resetting() {}
  virtual void Reset() {}
  // The columns were replaced or added to (after Reset).
  virtual void ColumnsReplaced() {}

 private:
  TRowTree rows_;
  TColumnList columns_;
};

}  // namespace veltrano
