#include "foundation/screen_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <climits>

QPoint ClampToArea(QPoint pos, QSize size, const QRect& area) {
  auto axis = [](int p, int s, int start, int len) {
    const int end = start + len;
    if (p + s > end) p = end - s;
    if (p < start) p = start;
    return p;
  };
  if (area.isEmpty()) return pos;
  return QPoint(axis(pos.x(), size.width(), area.x(), area.width()),
                axis(pos.y(), size.height(), area.y(), area.height()));
}

QRect WorkAreaAt(const QPoint& globalPos) {
  if (QScreen* s = QGuiApplication::screenAt(globalPos)) return s->availableGeometry();
  const auto screens = QGuiApplication::screens();
  QScreen* best = nullptr;
  long long bestDist = LLONG_MAX;
  for (QScreen* s : screens) {
    const QRect g = s->geometry();
    const long long dx = std::max({0, g.left() - globalPos.x(), globalPos.x() - g.right()});
    const long long dy = std::max({0, g.top() - globalPos.y(), globalPos.y() - g.bottom()});
    const long long d = dx * dx + dy * dy;
    if (d < bestDist) bestDist = d, best = s;
  }
  if (best) return best->availableGeometry();
  if (QScreen* p = QGuiApplication::primaryScreen()) return p->availableGeometry();
  return {};
}

QPoint ClampToWorkArea(QPoint pos, QSize size) { return ClampToArea(pos, size, WorkAreaAt(pos)); }

void MoveInsideWorkArea(QWidget* w, QPoint pos) {
  if (!w) return;
  const QRect frame = w->frameGeometry();
  const QSize outer = frame.isValid() && frame.size().width() >= w->width() ? frame.size() : w->size();
  w->move(ClampToWorkArea(pos, outer));
}
