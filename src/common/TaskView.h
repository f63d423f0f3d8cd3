// The views the task and node model talks to: the explorer tree, the task
// list, the task information list and the log list of the main window.
//
// The model never draws. It adds and deletes rows, asks for repaints, reads
// the focused and selected rows and sets up columns; the view asks the object
// of a row for its caption and image when it paints (GetCaption and
// GetImageIndex in common/AVNodes.h). The Qt program implements these
// interfaces with its widgets, the command line and the tests with
// TMemoryTaskView (common/MemoryTaskView.h).
//
// Rules every implementation keeps:
//   - Every row carries exactly one object pointer; views never own it and
//     never destroy it.
//   - A row id is never reused. An id that names no row (deleted, or the view
//     was cleared) is answered as "no row": RowObject gives nullptr,
//     IsSelected false, ParentRow kNoRow.
//   - The model calls the views on the user-interface thread only, and the
//     views do not call back into the model from these functions (selecting a
//     row through SelectRow does not fill any list).
//   - Views outlive the model objects that were shown in them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/Persistent.h"

namespace veltrano {

class TNodeObject;

// Identifies one row of one view; kNoRow is no row.
using TRowId = std::uint64_t;
inline constexpr TRowId kNoRow = 0;

// A tree or list of rows with columns: the explorer, the task list and the
// task information list.
class ITaskView {
 public:
  virtual ~ITaskView() = default;

  // Adds a row carrying `object` as the last child of `parent` (kNoRow: the
  // top level) and returns its id.
  virtual TRowId AddChild(TRowId parent, TNodeObject* object) = 0;
  // Removes `row` with every row below it; unknown rows are ignored.
  virtual void DeleteRow(TRowId row) = 0;
  // Removes every row.
  virtual void Clear() = 0;
  // Asks for `row` to be painted again (its texts are read anew).
  virtual void InvalidateRow(TRowId row) = 0;

  virtual TNodeObject* RowObject(TRowId row) const = 0;
  virtual TRowId ParentRow(TRowId row) const = 0;
  // The children of `row` in order; kNoRow gives the top-level rows.
  virtual std::vector<TRowId> ChildRows(TRowId row) const = 0;

  // The focused row, or kNoRow.
  virtual TRowId FocusedRow() const = 0;
  // The selected rows in the view's selection order.
  virtual std::vector<TRowId> SelectedRows() const = 0;
  virtual bool IsSelected(TRowId row) const = 0;
  // Makes `row` the only selected row and the focused one.
  virtual void SelectRow(TRowId row) = 0;

  // Header columns.
  virtual void ClearColumns() = 0;
  virtual void AddColumn(const std::string& caption, int width) = 0;
};

// The log list box: the lines of one task.
class ILogView {
 public:
  virtual ~ILogView() = default;

  // Replaces the shown lines with `lines`, the log of `owner`.
  virtual void ShowLog(const TNodeObject* owner, const TStrings& lines) = 0;
  // `owner` is being destroyed: a view that shows its log empties itself and
  // must not use the pointer again.
  virtual void ForgetOwner(const TNodeObject* owner) = 0;
};

}  // namespace veltrano
