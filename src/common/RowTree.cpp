#include "common/RowTree.h"

#include <algorithm>

namespace veltrano {

TRowId TRowTree::Add(TRowId parent, TNodeObject* object) {
  if (!Contains(parent)) parent = kNoRow;
  const TRowId id = next_id_++;
  rows_[id] = TRow{object, parent, {}};
  if (parent == kNoRow) {
    top_.push_back(id);
  } else {
    rows_[parent].children.push_back(id);
  }
  return id;
}

void TRowTree::Forget(TRowId row, std::vector<TRowId>& removed) {
  auto it = rows_.find(row);
  if (it == rows_.end()) return;
  removed.push_back(row);
  for (TRowId child : std::vector<TRowId>(it->second.children)) Forget(child, removed);
  rows_.erase(row);
}

std::vector<TRowId> TRowTree::Remove(TRowId row) {
  std::vector<TRowId> removed;
  auto it = rows_.find(row);
  if (it == rows_.end()) return removed;
  const TRowId parent = it->second.parent;
  if (parent == kNoRow) {
    std::erase(top_, row);
  } else {
    std::erase(rows_[parent].children, row);
  }
  Forget(row, removed);
  return removed;
}

void TRowTree::Clear() {
  rows_.clear();
  top_.clear();
}

TNodeObject* TRowTree::Object(TRowId row) const {
  auto it = rows_.find(row);
  return it == rows_.end() ? nullptr : it->second.object;
}

TRowId TRowTree::Parent(TRowId row) const {
  auto it = rows_.find(row);
  return it == rows_.end() ? kNoRow : it->second.parent;
}

const std::vector<TRowId>& TRowTree::Children(TRowId row) const {
  static const std::vector<TRowId> none;
  if (row == kNoRow) return top_;
  auto it = rows_.find(row);
  return it == rows_.end() ? none : it->second.children;
}

int TRowTree::Position(TRowId row) const {
  if (!Contains(row)) return -1;
  const std::vector<TRowId>& siblings = Children(Parent(row));
  auto found = std::find(siblings.begin(), siblings.end(), row);
  return found == siblings.end() ? -1 : static_cast<int>(found - siblings.begin());
}

// TRowTreeView ----------------------------------------------------------------

TRowId TRowTreeView::AddChild(TRowId parent, TNodeObject* object) {
  if (!rows_.Contains(parent)) parent = kNoRow;
  InsertingRow(parent, static_cast<int>(rows_.Children(parent).size()));
  const TRowId id = rows_.Add(parent, object);
  RowInserted();
  return id;
}

void TRowTreeView::DeleteRow(TRowId row) {
  const int position = rows_.Position(row);
  if (position < 0) return;
  RemovingRow(row, position);
  RowsRemoved(rows_.Remove(row));
}

void TRowTreeView::Clear() {
  Resetting();
  rows_.Clear();
  Reset();
}

// Columns change only while a list is emptied and filled again: a reset is
// cheap then, and keeps a header and its column count consistent.
void TRowTreeView::ClearColumns() {
  if (columns_.empty()) return;
  Resetting();
  columns_.clear();
  Reset();
  ColumnsReplaced();
}

void TRowTreeView::AddColumn(const std::string& caption, int width) {
  Resetting();
  columns_.emplace_back(caption, width);
  Reset();
  ColumnsReplaced();
}

}  // namespace veltrano
