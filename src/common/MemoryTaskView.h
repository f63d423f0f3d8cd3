// Views kept in memory: rows, selection and columns without a window. The
// command line shows tasks through them, and tests drive the model with them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/RowTree.h"
#include "common/TaskView.h"

namespace veltrano {

class TMemoryTaskView : public TRowTreeView {
 public:
  void Clear() override;
  void InvalidateRow(TRowId row) override;

  TRowId FocusedRow() const override { return FFocused; }
  std::vector<TRowId> SelectedRows() const override { return FSelected; }
  bool IsSelected(TRowId row) const override;
  void SelectRow(TRowId row) override;
  // Adds `row` to the selection (the focus stays).
  void AddToSelection(TRowId row);
  void ClearSelection();

  // The texts of `row` in every column, as a view paints them.
  std::vector<std::string> RowTexts(TRowId row) const;
  // The number of repaints asked for `row`.
  int Repaints(TRowId row) const;
  // Every row, depth first.
  std::vector<TRowId> AllRows() const;

 protected:
  // Called by InvalidateRow after counting.
  virtual void Paint(TRowId /*row*/) {}
  void RowsRemoved(const std::vector<TRowId>& removed) override;

 private:
  std::map<TRowId, int> FRepaints;
  TRowId FFocused = kNoRow;
  std::vector<TRowId> FSelected;
};

class TMemoryLogView : public ILogView {
 public:
  void ShowLog(const TNodeObject* owner, const TStrings& lines) override {
    FOwner = owner;
    FLines = lines;
  }
  void ForgetOwner(const TNodeObject* owner) override {
    if (owner != FOwner) return;
    FOwner = nullptr;
    FLines.clear();
  }
  const TNodeObject* Owner() const { return FOwner; }
  const TStrings& Lines() const { return FLines; }

 private:
  const TNodeObject* FOwner = nullptr;
  TStrings FLines;
};

}  // namespace veltrano
