#include "common/MemoryTaskView.h"

#include <algorithm>

#include "common/AVNodes.h"

namespace veltrano {

void TMemoryTaskView::RowsRemoved(const std::vector<TRowId>& removed) {
  for (TRowId row : removed) {
    std::erase(FSelected, row);
    if (FFocused == row) FFocused = kNoRow;
    FRepaints.erase(row);
  }
}

void TMemoryTaskView::Clear() {
  TRowTreeView::Clear();
  FRepaints.clear();
  FSelected.clear();
  FFocused = kNoRow;
}

void TMemoryTaskView::InvalidateRow(TRowId row) {
  if (!Rows().Contains(row)) return;
  ++FRepaints[row];
  Paint(row);
}

bool TMemoryTaskView::IsSelected(TRowId row) const {
  return row != kNoRow && std::find(FSelected.begin(), FSelected.end(), row) != FSelected.end();
}

void TMemoryTaskView::SelectRow(TRowId row) {
  FSelected.clear();
  FFocused = kNoRow;
  if (!Rows().Contains(row)) return;
  FSelected.push_back(row);
  FFocused = row;
}

void TMemoryTaskView::AddToSelection(TRowId row) {
  if (Rows().Contains(row) && !IsSelected(row)) FSelected.push_back(row);
}

void TMemoryTaskView::ClearSelection() {
  FSelected.clear();
  FFocused = kNoRow;
}

std::vector<std::string> TMemoryTaskView::RowTexts(TRowId row) const {
  std::vector<std::string> texts;
  for (size_t column = 0; column < Columns().size(); ++column) {
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
  const std::vector<TRowId>& top = Rows().Children(kNoRow);
  std::vector<TRowId> pending(top.rbegin(), top.rend());
  while (!pending.empty()) {
    const TRowId row = pending.back();
    pending.pop_back();
    rows.push_back(row);
    const std::vector<TRowId>& children = Rows().Children(row);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  return rows;
}

}  // namespace veltrano
