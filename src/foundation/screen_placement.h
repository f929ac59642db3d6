#pragma once
// Window placement inside a screen's work area (the screen less task bars and panels).
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Per axis: a window running past the area's end is pulled back to end; one starting before
// the area's start is pushed to start (so a window larger than the area sits at its start).
QPoint ClampToArea(QPoint pos, QSize size, const QRect& area);
// Work area of the screen that holds the point; the nearest screen's when none does, the
// primary screen's without screens at all (an empty rect when there is no screen).
QRect WorkAreaAt(const QPoint& globalPos);
// `pos` clamped into the work area of the screen that holds it.
QPoint ClampToWorkArea(QPoint pos, QSize size);
// Moves a top-level window to `pos` clamped into the work area (its frame counted when it
// has one); the size is not changed.
void MoveInsideWorkArea(QWidget* w, QPoint pos);
