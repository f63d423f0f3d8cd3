// The parts of the new-conversion wizard that edit a conversion's settings,
// used by the wizard for the settings of all its files and by the dialog of
// a file's own settings (FormNewConversionFile.h):
// - TProfileChoice: the category and profile lists and the editor's button;
// - TSpanChoice: the preview with the time bar, the start and end points;
// - TFilterChoice: the list of video filters with new, edit and delete.
// And what a file of the wizard's list may have of its own (TOwnSettings).
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/CFilters.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace veltrano {
class TAVProfile;
class TAVProfileList;
}  // namespace veltrano

namespace veltrano::gui {

class TAVPreviewWidget;
class TTimeBar;

using TFilterList = std::vector<std::unique_ptr<TAVFilter>>;

// Copies of `filters`, in order.
TFilterList CopyFilters(const TFilterList& filters);
// The filter-graph text of `filters`, in order.
std::string FilterText(const TFilterList& filters);

// A time span in microseconds; `recording` is MaxInt64 when it runs to the end.
struct TTimeSpan {
  int64_t start = 0;
  int64_t recording = 0;

  bool operator==(const TTimeSpan&) const = default;
};

// The whole source: from the start to the end.
TTimeSpan WholeSource();
// Whether `span` lies within a source of `seconds` (unknown lengths fit).
bool SpanFits(const TTimeSpan& span, double seconds);
// "0:01:30 – 0:02:00", or "0:01:30 – 结尾" without an end.
QString SpanText(const TTimeSpan& span);
// Why `span` is refused for `file`.
QString SpanRefusal(const TTimeSpan& span, const QString& file);
// `target` with its extension (if any) replaced by `extension`.
QString WithExtension(const QString& target, const std::string& extension);

// What a file of the wizard's list has of its own; what it has not comes
// from the wizard's settings for all files.
struct TOwnSettings {
  std::optional<uint64_t> profile;  // the profile's handle
  std::optional<TTimeSpan> span;
  std::shared_ptr<const TFilterList> filters;  // null: the common filters

  bool Any() const { return profile.has_value() || span.has_value() || filters != nullptr; }
};

// "输出配置:" with the category and the profile lists and the profile
// editor's button.
class TProfileChoice : public QWidget {
  Q_OBJECT

 public:
  TProfileChoice(TAVProfileList& profiles, QWidget* parent);

  // The profile selected; null when none is (a category emptied in the
  // editor lists nothing). The lists keep handles: the editor may delete a
  // profile while it is listed.
  TAVProfile* Selected() const;
  // Shows `profile`'s category and selects it; null keeps the category.
  void Select(TAVProfile* profile);
  void UpdateStates();

 signals:
  // Another profile (or none) is selected.
  void Chosen();

 private:
  void CategoryChosen();
  void EditCurrent();

  TAVProfileList& profiles_;
  QComboBox* cbbCategory = nullptr;
  QComboBox* cbbProfile = nullptr;
  QAction* actEditProfile = nullptr;
};

// "时间设置:" with the preview of a source, the time bar and the points that
// start and end the span.
class TSpanChoice : public QWidget {
  Q_OBJECT

 public:
  // `captioned`: with the caption "时间设置:" at the left.
  TSpanChoice(QWidget* parent, bool captioned);

  TAVPreviewWidget* Preview() const { return AVPreview; }
  TTimeSpan Span() const;
  // Shows `span` as chosen (WholeSource: no span).
  void SetSpan(const TTimeSpan& span);
  // Back to the start, the length unknown, until the preview opens a source.
  void ClearSource();
  // The bar and its buttons work while the preview shows a source.
  void UpdateStates();

 signals:
  // The user set a start or an end point.
  void Changed();

 private:
  void PreviewOpened();
  void TimeBarMoved(int position_ms);
  void SetStartPoint();
  void SetEndPoint();

  TAVPreviewWidget* AVPreview = nullptr;
  TTimeBar* barTime = nullptr;
  QLabel* lblDuration = nullptr;
  QLabel* lblStart = nullptr;
  QLabel* lblEnd = nullptr;
  QPushButton* btnStart = nullptr;
  QPushButton* btnEnd = nullptr;
};

// The list of video filters with its tool bar ("新建", "编辑水印配置", "删除").
class TFilterChoice : public QWidget {
  Q_OBJECT

 public:
  explicit TFilterChoice(QWidget* parent);

  const TFilterList& Filters() const { return filters_; }
  void SetFilters(TFilterList filters);
  void UpdateStates();

 private:
  void AddFilter(std::unique_ptr<TAVFilter> filter);
  void EditFilter();
  void DeleteFilter();

  TFilterList filters_;  // in the order of lstFilters
  QListWidget* lstFilters = nullptr;
  QAction* actEditFilter = nullptr;
  QAction* actDeleteFilter = nullptr;
};

}  // namespace veltrano::gui
