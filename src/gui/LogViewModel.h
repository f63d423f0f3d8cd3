// The log list box as a Qt list model: the log lines of the task that the
// log frame shows.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include "common/TaskView.h"

namespace veltrano::gui {

class TLogViewModel final : public QAbstractListModel, public ILogView {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  // The task whose log the frame shows; lines of any other owner are not
  // shown (several selected tasks would otherwise take turns).
  void SetShownOwner(const TNodeObject* owner) { shown_ = owner; }
  // The task set by SetShownOwner; nullptr once it has been destroyed.
  const TNodeObject* ShownOwner() const { return shown_; }
  // The owner of the lines on show; nullptr once it has been destroyed.
  const TNodeObject* Owner() const { return owner_; }
  int LineCount() const { return static_cast<int>(lines_.size()); }
  const QStringList& Lines() const { return lines_; }

  // ILogView
  void ShowLog(const TNodeObject* owner, const TStrings& lines) override;
  void ForgetOwner(const TNodeObject* owner) override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 signals:
  // The lines were replaced.
  void LinesChanged();

 private:
  void Replace(QStringList lines);

  const TNodeObject* shown_ = nullptr;
  const TNodeObject* owner_ = nullptr;
  QStringList lines_;
};

}  // namespace veltrano::gui
