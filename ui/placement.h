#pragma once
// Centring a window on the screen the way the load steps do it.

#include <QPointF>
#include <QSizeF>

class QWidget;

namespace mergon::ui {

// Where a window's top-left corner goes, in twips: half the screen less half the window's
// outer size, in single precision, not clamped (a window larger than the screen gets a
// negative corner).
QPointF centredTopLeftTwips(QSizeF screenTwips, QSizeF windowTwips);

// Places a control at a position and size given in twips from the top-left corner of its
// parent's client area.
void placeInTwips(QWidget *widget, int left, int top, int width, int height);

// Creates the platform window (so that the frame counts in the outer size) and moves the
// window to the centre of its screen.
void centreOnScreen(QWidget *window);

} // namespace mergon::ui
