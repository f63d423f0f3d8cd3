// The rows of a task view as a tree, for the views that keep their own rows
// (TMemoryTaskView, the window's item models): each row carries one object
// pointer, ids are never reused, and an unknown id is answered as no row.
#pragma once

#include <map>
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

}  // namespace veltrano
