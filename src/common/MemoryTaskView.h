// Views kept in memory: rows, selection and columns without a window. The
// command line shows tasks through them, and tests drive the model with them.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/RowTree.h"
#include "common/TaskView.h"

namespace veltrano {

class TMemoryTaskView : public ITaskView {
 public:
  TRowId AddChild(TRowId parent, TNodeObject* object) override;
  void DeleteRow(TRowId row) override;
  void Clear() override;
  void InvalidateRow(TRowId row) override;

  TNodeObject* RowObject(TRowId row) const override;
  TRowId ParentRow(TRowId row) const override;
  std::vector<TRowId> ChildRows(TRowId row) const override;

  TRowId FocusedRow() const override { return FFocused; }
  std::vector<TRowId> SelectedRows() const override { return FSelected; }
  bool IsSelected(TRowId row) const override;
  void SelectRow(TRowId row) override;
  // Adds `row` to the selection (the focus stays).
  void AddToSelection(TRowId row);
  void ClearSelection();

  void ClearColumns() override { FColumns.clear(); }
  void AddColumn(const std::string& caption, int width) override;
  const std::vector<std::pair<std::string, int>>& Columns() const { return FColumns; }

  // The texts of `row` in every column, as a view paints them.
  std::vector<std::string> RowTexts(TRowId row) const;
  // The number of repaints asked for `row`.
  int Repaints(TRowId row) const;
  // Every row, depth first.
  std::vector<TRowId> AllRows() const;

 protected:
  // Called by InvalidateRow after counting.
  virtual void Paint(TRowId /*row*/) {}

 private:
  TRowTree FRows;
  std::map<TRowId, int> FRepaints;
  TRowId FFocused = kNoRow;
  std::vector<TRowId> FSelected;
  std::vector<std::pair<std::string, int>> FColumns;
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
