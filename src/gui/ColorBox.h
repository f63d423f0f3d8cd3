// A drop-down list of colours with a swatch before each name, for the filter
// dialogs. The full list holds the 16 standard colours, four extended ones
// and the colours of the desktop's palette (resolved when the list is
// built); the standard list only the 16 standard colours. A colour that is
// not in the list is added as an entry of its own when it is set, so that
// editing a filter never loses its colour.
#pragma once

#include <QComboBox>

#include "common/CFilters.h"

namespace veltrano::gui {

class TColorBox : public QComboBox {
  Q_OBJECT

 public:
  enum class TColors { Standard, All };

  explicit TColorBox(TColors colors = TColors::All, QWidget* parent = nullptr);

  // The selected colour (red in the low byte); 0 when nothing is selected.
  TColor Color() const;
  // Selects the first entry of `color`, adding one when there is none.
  void SetColor(TColor color);
  // The display name of the selected entry ("Red"); empty when none.
  QString ColorName() const;
  // Selects the entry named `name`, adding one (black swatch) when there is none.
  void SetColorName(const QString& name);

 private:
  void AddColor(const QString& name, TColor color);
};

// The standard colours' values: yellow, blue.
inline constexpr TColor kYellow = 0x00FFFF;
inline constexpr TColor kBlue = 0xFF0000;

}  // namespace veltrano::gui
