// The task model's views as Qt item models: the explorer tree, the task list
// and the task information list are each a TTaskViewModel under a QTreeView.
//
// A row keeps the id and the TNodeObject* the model gave it; data() asks the
// object for its caption and image when Qt paints, so InvalidateRow is a
// dataChanged of that row. Running tasks ask for their rows many times a
// second; a row asked for while another was just announced waits for the
// next announcement, a moment later, together with every other row asked
// for meanwhile: the view paints a few times a second, not once per
// progress report. The texts the core writes itself (column and node
// captions) are shown in the interface language. The model owns the selection model that its view
// must use (the focus is its current index), so the core reads the focused
// and selected rows from here. Rows are never owned: the objects belong to
// the core.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QItemSelectionModel>
#include <QTimer>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/RowTree.h"
#include "common/TaskView.h"

class QTreeView;

namespace veltrano::gui {

class TTaskViewModel final : public QAbstractItemModel, public TRowTreeView {
  Q_OBJECT

 public:
  static constexpr int kRepaintMs = 250;

  // The icon of an image index (-1: none); only the first column shows one.
  using TImageProvider = std::function<QIcon(int image_index)>;

  explicit TTaskViewModel(QObject* parent = nullptr);

  void SetImageProvider(TImageProvider provider) { images_ = std::move(provider); }
  QItemSelectionModel& Selection() { return selection_; }
  // Shows this model in `view` with its selection model, and keeps the
  // view's column widths following AddColumn (widened where a caption
  // would not fit).
  void Attach(QTreeView& view);

  // True while SelectRow runs: selection signals then come from the core,
  // which fills the lists itself.
  bool InSelectRow() const { return in_select_row_; }

  TRowId RowOf(const QModelIndex& index) const;
  QModelIndex IndexOf(TRowId row, int column = 0) const;

  // ITaskView (rows and columns: TRowTreeView)
  void InvalidateRow(TRowId row) override;
  TRowId FocusedRow() const override;
  std::vector<TRowId> SelectedRows() const override;
  bool IsSelected(TRowId row) const override;
  void SelectRow(TRowId row) override;

  // QAbstractItemModel
  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 signals:
  // The columns were replaced or added to; an attached view takes their widths.
  void ColumnsChanged();

 private:
  // TRowTreeView: every change announced to Qt.
  void InsertingRow(TRowId parent, int position) override;
  void RowInserted() override { endInsertRows(); }
  void RemovingRow(TRowId row, int position) override;
  void RowsRemoved(const std::vector<TRowId>& /*removed*/) override { endRemoveRows(); }
  void Resetting() override {
    waiting_rows_.clear();
    beginResetModel();
  }
  void Reset() override { endResetModel(); }
  void ColumnsReplaced() override { emit ColumnsChanged(); }

  void ApplyColumns(QTreeView& view) const;
  // Announces the rows asked for since the last announcement, neighbours
  // as one range.
  void AnnounceWaitingRows();

  QItemSelectionModel selection_;
  TImageProvider images_;
  bool in_select_row_ = false;
  std::set<TRowId> waiting_rows_;
  QTimer repaint_pause_;  // runs while announcements wait
};

}  // namespace veltrano::gui
