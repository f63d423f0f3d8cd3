#include "gui/TaskViewModel.h"

#include <QHeaderView>
#include <QTreeView>

#include <algorithm>
#include <map>
#include <utility>

#include "common/AVNodes.h"
#include "gui/Language.h"

namespace veltrano::gui {

TTaskViewModel::TTaskViewModel(QObject* parent) : QAbstractItemModel(parent), selection_(this) {
  repaint_pause_.setInterval(kRepaintMs);
  connect(&repaint_pause_, &QTimer::timeout, this, &TTaskViewModel::AnnounceWaitingRows);
}

void TTaskViewModel::Attach(QTreeView& view) {
  view.setModel(this);
  QItemSelectionModel* created = view.selectionModel();
  view.setSelectionModel(&selection_);
  if (created != &selection_) delete created;
  ApplyColumns(view);
  connect(this, &TTaskViewModel::ColumnsChanged, &view, [this, &view] { ApplyColumns(view); });
}

void TTaskViewModel::ApplyColumns(QTreeView& view) const {
  QHeaderView& header = *view.header();
  for (int column = 0; column < static_cast<int>(Columns().size()); ++column) {
    // The core's widths fit its Chinese captions; translations may be longer.
    int fitting = header.isHidden() ? 0 : header.sectionSizeHint(column);
    // A converted task's date and time must show whole in the system's font.
    if (Columns()[column].first == kDateColumnCaption) {
      constexpr int kCellMargins = 16;
      fitting = std::max(
          fitting, view.fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88 88:88:88")) +
                       kCellMargins);
    }
    header.resizeSection(column, std::max(Columns()[column].second, fitting));
  }
}

// Rows ------------------------------------------------------------------------

TRowId TTaskViewModel::RowOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return kNoRow;
  const TRowId row = index.internalId();
  return Rows().Contains(row) ? row : kNoRow;
}

QModelIndex TTaskViewModel::IndexOf(TRowId row, int column) const {
  const int position = Rows().Position(row);
  if (position < 0) return QModelIndex();
  return createIndex(position, column, static_cast<quintptr>(row));
}

void TTaskViewModel::InsertingRow(TRowId parent, int position) {
  beginInsertRows(IndexOf(parent), position, position);
}

void TTaskViewModel::RemovingRow(TRowId row, int position) {
  beginRemoveRows(IndexOf(Rows().Parent(row)), position, position);
}

void TTaskViewModel::InvalidateRow(TRowId row) {
  if (repaint_pause_.isActive()) {
    waiting_rows_.insert(row);
    return;
  }
  const QModelIndex first = IndexOf(row, 0);
  if (!first.isValid()) return;
  emit dataChanged(first, IndexOf(row, std::max(0, columnCount() - 1)),
                   {Qt::DisplayRole, Qt::DecorationRole});
  repaint_pause_.start();
}

void TTaskViewModel::AnnounceWaitingRows() {
  if (waiting_rows_.empty()) {
    repaint_pause_.stop();  // the next row is announced at once
    return;
  }
  // Rows by parent and position; consecutive ones go as one range.
  std::map<TRowId, std::vector<int>> positions;
  for (const TRowId row : std::exchange(waiting_rows_, {})) {
    const int position = Rows().Position(row);
    if (position >= 0) positions[Rows().Parent(row)].push_back(position);
  }
  const int last_column = std::max(0, columnCount() - 1);
  for (auto& [parent, list] : positions) {
    std::sort(list.begin(), list.end());
    const QModelIndex parent_index = IndexOf(parent);
    for (size_t start = 0; start < list.size();) {
      size_t end = start;
      while (end + 1 < list.size() && list[end + 1] == list[end] + 1) ++end;
      emit dataChanged(index(list[start], 0, parent_index),
                       index(list[end], last_column, parent_index),
                       {Qt::DisplayRole, Qt::DecorationRole});
      start = end + 1;
    }
  }
}

// Focus and selection ---------------------------------------------------------

TRowId TTaskViewModel::FocusedRow() const {
  return RowOf(selection_.currentIndex());
}

std::vector<TRowId> TTaskViewModel::SelectedRows() const {
  std::vector<TRowId> rows;
  for (const QModelIndex& index : selection_.selectedRows()) {
    const TRowId row = RowOf(index);
    if (row != kNoRow) rows.push_back(row);
  }
  return rows;
}

bool TTaskViewModel::IsSelected(TRowId row) const {
  const QModelIndex index = IndexOf(row);
  return index.isValid() && selection_.isRowSelected(index.row(), index.parent());
}

void TTaskViewModel::SelectRow(TRowId row) {
  in_select_row_ = true;
  const QModelIndex index = IndexOf(row);
  if (index.isValid()) {
    selection_.setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    selection_.clear();
  }
  in_select_row_ = false;
}

// Qt's side -------------------------------------------------------------------

QModelIndex TTaskViewModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column >= std::max(1, columnCount())) return QModelIndex();
  const TRowId parent_row = RowOf(parent);
  if (parent.isValid() && parent_row == kNoRow) return QModelIndex();
  const std::vector<TRowId>& children = Rows().Children(parent_row);
  if (row < 0 || row >= static_cast<int>(children.size())) return QModelIndex();
  return createIndex(row, column, static_cast<quintptr>(children[row]));
}

QModelIndex TTaskViewModel::parent(const QModelIndex& child) const {
  return IndexOf(ParentRow(RowOf(child)));
}

int TTaskViewModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  const TRowId row = RowOf(parent);
  if (parent.isValid() && row == kNoRow) return 0;
  return static_cast<int>(Rows().Children(row).size());
}

int TTaskViewModel::columnCount(const QModelIndex&) const {
  return std::max<int>(1, static_cast<int>(Columns().size()));
}

QVariant TTaskViewModel::data(const QModelIndex& index, int role) const {
  const TRowId row = RowOf(index);
  if (row == kNoRow) return QVariant();
  if (role == Qt::DisplayRole) {
    return NodeCaption(RowObject(row), GetCaption(*this, row, index.column()), index.column());
  }
  if (role == Qt::DecorationRole && index.column() == 0 && images_) {
    const int image = GetImageIndex(*this, row);
    if (image >= 0) return images_(image);
  }
  return QVariant();
}

QVariant TTaskViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  if (section < 0 || section >= static_cast<int>(Columns().size())) return QVariant();
  return CoreText(Columns()[section].first);
}

}  // namespace veltrano::gui
