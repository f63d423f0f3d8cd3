#include "common/MemoryTaskView.h"

#include <algorithm>

#include "common/AVNodes.h"

namespace veltrano {

TRowId TMemoryTaskView::AddChild(TRowId parent, TNodeObject* object) {
  if (parent != kNoRow && FRows.find(parent) == FRows.end()) parent = kNoRow;
  const TRowId id = FNextId++;
  FRows[id] = TRow{object, parent, {}, 0};
  if (parent == kNoRow) {
    FTop.push_back(id);
  } else {
    FRows[parent].children.push_back(id);
  }
  return id;
}

void TMemoryTaskView::Forget(TRowId row) {
  auto it = FRows.find(row);
  if (it == FRows.end()) return;
  for (TRowId child : std::vector<TRowId>(it->second.children)) Forget(child);
  std::erase(FSelected, row);
  if (FFocused == row) FFocused = kNoRow;
  FRows.erase(row);
}

void TMemoryTaskView::DeleteRow(TRowId row) {
  auto it = FRows.find(row);
  if (it == FRows.end()) return;
  const TRowId parent = it->second.parent;
  if (parent == kNoRow) {
    std::erase(FTop, row);
  } else {
    std::erase(FRows[parent].children, row);
  }
  Forget(row);
}

void TMemoryTaskView::Clear() {
  FRows.clear();
  FTop.clear();
  FSelected.clear();
  FFocused = kNoRow;
}

void TMemoryTaskView::InvalidateRow(TRowId row) {
  auto it = FRows.find(row);
  if (it == FRows.end()) return;
  ++it->second.repaints;
  Paint(row);
}

TNodeObject* TMemoryTaskView::RowObject(TRowId row) const {
  auto it = FRows.find(row);
  return it == FRows.end() ? nullptr : it->second.object;
}

TRowId TMemoryTaskView::ParentRow(TRowId row) const {
  auto it = FRows.find(row);
  return it == FRows.end() ? kNoRow : it->second.parent;
}

std::vector<TRowId> TMemoryTaskView::ChildRows(TRowId row) const {
  if (row == kNoRow) return FTop;
  auto it = FRows.find(row);
  return it == FRows.end() ? std::vector<TRowId>{} : it->second.children;
}

bool TMemoryTaskView::IsSelected(TRowId row) const {
  return row != kNoRow && std::find(FSelected.begin(), FSelected.end(), row) != FSelected.end();
}

void TMemoryTaskView::SelectRow(TRowId row) {
  FSelected.clear();
  FFocused = kNoRow;
  if (FRows.find(row) == FRows.end()) return;
  FSelected.push_back(row);
  FFocused = row;
}

void TMemoryTaskView::AddToSelection(TRowId row) {
  if (FRows.find(row) != FRows.end() && !IsSelected(row)) FSelected.push_back(row);
}

void TMemoryTaskView::ClearSelection() {
  FSelected.clear();
  FFocused = kNoRow;
}

void TMemoryTaskView::AddColumn(const std::string& caption, int width) {
  FColumns.emplace_back(caption, width);
}

std::vector<std::string> TMemoryTaskView::RowTexts(TRowId row) const {
  std::vector<std::string> texts;
  for (size_t column = 0; column < FColumns.size(); ++column) {
    texts.push_back(GetCaption(*this, row, static_cast<int>(column)));
  }
  return texts;
}

int TMemoryTaskView::Repaints(TRowId row) const {
  auto it = FRows.find(row);
  return it == FRows.end() ? 0 : it->second.repaints;
}

std::vector<TRowId> TMemoryTaskView::AllRows() const {
  std::vector<TRowId> rows;
  std::vector<TRowId> pending(FTop.rbegin(), FTop.rend());
  while (!pending.empty()) {
    const TRowId row = pending.back();
    pending.pop_back();
    rows.push_back(row);
    const std::vector<TRowId>& children = FRows.at(row).children;
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return rows;
}

}  // namespace veltrano
