#include "gui/TaskViewModel.h"

#include <QHeaderView>
#include <QTreeView>

#include <algorithm>

#include "common/AVNodes.h"
#include "gui/Language.h"

namespace veltrano::gui {

TTaskViewModel::TTaskViewModel(QObject* parent) : QAbstractItemModel(parent), selection_(this) {}

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
  for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
    // The core's widths fit its Chinese captions; translations may be longer.
    int fitting = header.isHidden() ? 0 : header.sectionSizeHint(column);
    // A converted task's date and time must show whole in the system's font.
    if (columns_[column].first == kDateColumnCaption) {
      constexpr int kCellMargins = 16;
      fitting = std::max(
          fitting, view.fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88 88:88:88")) +
                       kCellMargins);
    }
    header.resizeSection(column, std::max(columns_[column].second, fitting));
  }
}

// Rows ------------------------------------------------------------------------

TRowId TTaskViewModel::RowOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return kNoRow;
  const TRowId row = index.internalId();
  return rows_.Contains(row) ? row : kNoRow;
}

QModelIndex TTaskViewModel::IndexOf(TRowId row, int column) const {
  const int position = rows_.Position(row);
  if (position < 0) return QModelIndex();
  return createIndex(position, column, static_cast<quintptr>(row));
}

TRowId TTaskViewModel::AddChild(TRowId parent, TNodeObject* object) {
  if (!rows_.Contains(parent)) parent = kNoRow;
  const int position = static_cast<int>(rows_.Children(parent).size());
  beginInsertRows(IndexOf(parent), position, position);
  const TRowId id = rows_.Add(parent, object);
  endInsertRows();
  return id;
}

void TTaskViewModel::DeleteRow(TRowId row) {
  const int position = rows_.Position(row);
  if (position < 0) return;
  beginRemoveRows(IndexOf(rows_.Parent(row)), position, position);
  rows_.Remove(row);
  endRemoveRows();
}

void TTaskViewModel::Clear() {
  beginResetModel();
  rows_.Clear();
  endResetModel();
}

void TTaskViewModel::InvalidateRow(TRowId row) {
  const QModelIndex first = IndexOf(row, 0);
  if (!first.isValid()) return;
  const int last = std::max(0, columnCount() - 1);
  emit dataChanged(first, IndexOf(row, last), {Qt::DisplayRole, Qt::DecorationRole});
}

TNodeObject* TTaskViewModel::RowObject(TRowId row) const { return rows_.Object(row); }

TRowId TTaskViewModel::ParentRow(TRowId row) const { return rows_.Parent(row); }

std::vector<TRowId> TTaskViewModel::ChildRows(TRowId row) const { return rows_.Children(row); }

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

// Columns ---------------------------------------------------------------------

// Columns change only while a list is emptied and filled again: a reset is
// cheap then, and keeps the header and the column count consistent (a view
// without columns still has the one column that shows the captions).
void TTaskViewModel::ClearColumns() {
  if (columns_.empty()) return;
  beginResetModel();
  columns_.clear();
  endResetModel();
  emit ColumnsChanged();
}

void TTaskViewModel::AddColumn(const std::string& caption, int width) {
  beginResetModel();
  columns_.emplace_back(caption, width);
  endResetModel();
  emit ColumnsChanged();
}

// Qt's side -------------------------------------------------------------------

QModelIndex TTaskViewModel::index(int row, int column, const QModelIndex& parent) const {
  if (column < 0 || column >= std::max(1, columnCount())) return QModelIndex();
  const TRowId parent_row = RowOf(parent);
  if (parent.isValid() && parent_row == kNoRow) return QModelIndex();
  const std::vector<TRowId>& children = rows_.Children(parent_row);
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
  return static_cast<int>(rows_.Children(row).size());
}

int TTaskViewModel::columnCount(const QModelIndex&) const {
  return std::max<int>(1, static_cast<int>(columns_.size()));
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
  if (section < 0 || section >= static_cast<int>(columns_.size())) return QVariant();
  return CoreText(columns_[section].first);
}

}  // namespace veltrano::gui
