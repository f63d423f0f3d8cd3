#include "common/MemoryTaskView.h"

#include <algorithm>

#include "common/AVNodes.h"

namespace veltrano {

TRowId TMemoryTaskView::AddChild(TRowId parent, TNodeObject* object) {
  return FRows.Add(parent, object);
}

void TMemoryTaskView::DeleteRow(TRowId row) {
  for (TRowId removed : FRows.Remove(row)) {
    std::erase(FSelected, removed);
    if (FFocused == removed) FFocused = kNoRow;
    FRepaints.erase(removed);
  }
}

void TMemoryTaskView::Clear() {
  FRows.Clear();
  FRepaints.clear();
  FSelected.clear();
  FFocused = kNoRow;
}

void TMemoryTaskView::InvalidateRow(TRowId row) {
  if (!FRows.Contains(row)) return;
  ++FRepaints[row];
  Paint(row);
}

TNodeObject* TMemoryTaskView::RowObject(TRowId row) const {
  return FRows.Object(row);
}

TRowId TMemoryTaskView::ParentRow(TRowId row) const {
  return FRows.Parent(row);
}

std::vector<TRowId> TMemoryTaskView::ChildRows(TRowId row) const {
  return FRows.Children(row);
}

bool TMemoryTaskView::IsSelected(TRowId row) const {
  return row != kNoRow && std::find(FSelected.begin(), FSelected.end(), row) != FSelected.end();
}

void TMemoryTaskView::SelectRow(TRowId row) {
  FSelected.clear();
  FFocused = kNoRow;
  if (!FRows.Contains(row)) return;
  FSelected.push_back(row);
  FFocused = row;
}

void TMemoryTaskView::AddToSelection(TRowId row) {
  if (FRows.Contains(row) && !IsSelected(row)) FSelected.push_back(row);
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
  auto it = FRepaints.find(row);
  return it == FRepaints.end() ? 0 : it->second;
}

std::vector<TRowId> TMemoryTaskView::AllRows() const {
  std::vector<TRowId> rows;
  const std::vector<TRowId>& top = FRows.Children(kNoRow);
  std::vector<TRowId> pending(top.rbegin(), top.rend());
  while (!pending.empty()) {
    const TRowId row = pending.back();
    pending.pop_back();
    rows.push_back(row);
    const std::vector<TRowId>& children = FRows.Children(row);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return rows;
}

}  // namespace veltrano
