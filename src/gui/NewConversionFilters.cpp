// The wizard's filter page: the user's video filters, in list order.
#include <QListWidget>

#include "common/CFilters.h"
#include "gui/FilterDialogs.h"
#include "gui/FormNewConversion.h"

namespace veltrano::gui {

void TFormNewConversion::AddFilter(std::unique_ptr<TAVFilter> filter) {
  if (!ExecuteNew(*filter, this)) return;  // the filter is discarded
  lstFilters->addItem(QString::fromStdString(filter->GetDisplayName()));
  filters_.push_back(std::move(filter));
}

void TFormNewConversion::EditFilter() {
  const QListWidgetItem* item = lstFilters->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  ExecuteEdit(*filters_[lstFilters->row(item)], this);
}

void TFormNewConversion::DeleteFilter() {
  QListWidgetItem* item = lstFilters->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  const int row = lstFilters->row(item);
  delete item;
  filters_.erase(filters_.begin() + row);
}

std::string TFormNewConversion::FilterText() const {
  TStrings entries;
  for (const auto& filter : filters_) entries.push_back(filter->GetFilterString());
  return JoinFilterEntries(entries);
}

}  // namespace veltrano::gui
