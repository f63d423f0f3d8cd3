#include "gui/LogViewModel.h"

#include "gui/EngineTexts.h"

namespace veltrano::gui {

void TLogViewModel::ShowLog(const TNodeObject* owner, const TStrings& lines) {
  if (owner != shown_) return;
  owner_ = owner;
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(lines.size()));
  for (const std::string& line : lines) texts.push_back(EngineText(line));
  Replace(std::move(texts));
}

void TLogViewModel::ForgetOwner(const TNodeObject* owner) {
  if (owner == shown_) shown_ = nullptr;
  if (owner != owner_) return;
  owner_ = nullptr;
  Replace({});
}

void TLogViewModel::Replace(QStringList lines) {
  beginResetModel();
  lines_ = std::move(lines);
  endResetModel();
  emit LinesChanged();
}

int TLogViewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant TLogViewModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= lines_.size()) return {};
  return lines_[index.row()];
}

}  // namespace veltrano::gui
