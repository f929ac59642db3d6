#include "frontend/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>

std::vector<QRect> ScreenWorkAreas() {
  std::vector<QRect> areas;
  if (QScreen* p = QGuiApplication::primaryScreen()) areas.push_back(p->availableGeometry());
  for (QScreen* s : QGuiApplication::screens())
    if (s != QGuiApplication::primaryScreen()) areas.push_back(s->availableGeometry());
  return areas;
}

int VirtualScreenWidth() {
  QScreen* p = QGuiApplication::primaryScreen();
  return p ? p->virtualGeometry().width() : 0;
}

QRect PlaceWindowRect(QRect Rect, const std::vector<QRect>& WorkAreas, int VirtualWidth) {
  if (VirtualWidth > 0 && Rect.left() > VirtualWidth) Rect.translate(-VirtualWidth, 0);
  if (WorkAreas.empty()) return Rect;
  if (Rect.width() < 1) Rect.setWidth(1);
  if (Rect.height() < 1) Rect.setHeight(1);
  // The area the window overlaps most; the nearest one when it overlaps none.
  const QRect* best = nullptr;
  long long bestOverlap = 0;
  for (const QRect& a : WorkAreas) {
    const QRect i = a.intersected(Rect);
    const long long overlap = i.isEmpty() ? 0 : 1LL * i.width() * i.height();
    if (overlap > bestOverlap) {
      bestOverlap = overlap;
      best = &a;
    }
  }
  if (!best) {
    long long bestDist = LLONG_MAX;
    for (const QRect& a : WorkAreas) {
      const QPoint d = a.center() - Rect.center();
      const long long dist = 1LL * d.x() * d.x() + 1LL * d.y() * d.y();
      if (dist < bestDist) {
        bestDist = dist;
        best = &a;
      }
    }
  }
  const QRect& area = *best;
  const int w = std::min(Rect.width(), area.width());
  const int h = std::min(Rect.height(), area.height());
  const int x = std::clamp(Rect.left(), area.left(), area.left() + area.width() - w);
  const int y = std::clamp(Rect.top(), area.top(), area.top() + area.height() - h);
  return QRect(x, y, w, h);
}
