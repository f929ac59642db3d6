#pragma once
// Where the main window opens: the stored rectangle, brought back from a monitor that is no
// longer there and kept inside a screen's work area.
#include <QRect>
#include <vector>

// Work areas of all screens (the primary screen first).
std::vector<QRect> ScreenWorkAreas();
// Width of all screens together.
int VirtualScreenWidth();

// A stored left beyond the virtual screen width comes back by that width; then the rectangle
// is made to fit the work area it overlaps most (the nearest one when it overlaps none): no
// larger than the area, and moved inside it. Without work areas the rectangle is returned
// after the first step.
QRect PlaceWindowRect(QRect Rect, const std::vector<QRect>& WorkAreas, int VirtualWidth);
