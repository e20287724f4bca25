// Window placement: the eight stored values mapped onto Qt's window geometry. The normal
// rectangle is the window's normal (not maximised) geometry; the show state says whether it
// comes up maximised. A window that would open off every screen is moved onto one.
#pragma once

#include "window_placement.h"

#include <QList>
#include <QRect>

class QWidget;

namespace app {

// The placement of w now.
WindowPlacement PlacementOf(const QWidget& w);
// Moves, sizes and (un)maximises w as p says. A window that was minimised comes back normal
// (or maximised, when it was maximised before), never minimised. An empty or absurd rectangle
// keeps the window's current geometry.
void ApplyPlacement(QWidget& w, const WindowPlacement& p);
// r, or r moved (and shrunk where it is larger) onto the screen nearest to it when no screen of
// `screens` (available geometries) shows enough of it to grab it.
QRect KeepVisible(const QRect& r, const QList<QRect>& screens);

} // namespace app
