// Placing top-level windows.
#pragma once

class QWidget;

namespace veltrano::gui {

// Moves `window` to the centre of the screen it is on (or the primary one).
void CentreOnDesktop(QWidget* window);

}  // namespace veltrano::gui
