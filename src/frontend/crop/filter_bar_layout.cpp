#include "frontend/crop/filter_bar_layout.h"

#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

TSakuBarLayout::TSakuBarLayout(QWidget* Bar, QWidget* Left, QWidget* Right, QWidget* Opt) : QLayout(Bar) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
  // addWidget makes each panel a child of the bar and an item of this layout, in this order.
  for (QWidget* w : {Left, Right, Opt}) addWidget(w);
}

TSakuBarLayout::~TSakuBarLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

int TSakuBarLayout::LeftWidth(int BarWidth, int OptWidth) { return (BarWidth - OptWidth) / 2; }

void TSakuBarLayout::addItem(QLayoutItem* Item) { FItems.append(Item); }

QLayoutItem* TSakuBarLayout::itemAt(int Index) const { return FItems.value(Index); }

QLayoutItem* TSakuBarLayout::takeAt(int Index) {
  return Index >= 0 && Index < FItems.size() ? FItems.takeAt(Index) : nullptr;
}

int TSakuBarLayout::count() const { return static_cast<int>(FItems.size()); }

int TSakuBarLayout::OptWidth() const {
  QLayoutItem* opt = FItems.value(2);
  if (!opt || !opt->widget() || opt->widget()->isHidden()) return 0;
  return opt->sizeHint().width();
}

int TSakuBarLayout::RowHeight() const {
  int h = 0;
  for (QLayoutItem* item : FItems)
    if (item->widget() && !item->widget()->isHidden()) h = std::max(h, item->sizeHint().height());
  return h;
}

QSize TSakuBarLayout::sizeHint() const {
  int w = OptWidth();
  for (int i = 0; i < 2 && i < FItems.size(); ++i) w += FItems[i]->sizeHint().width();
  return QSize(w, RowHeight());
}

QSize TSakuBarLayout::minimumSize() const { return QSize(0, RowHeight()); }

void TSakuBarLayout::setGeometry(const QRect& Rect) {
  QLayout::setGeometry(Rect);
  if (FItems.size() < 3) return;
  const int opt = OptWidth();
  const int left = std::max(0, LeftWidth(Rect.width(), opt));
  const int right = std::max(0, Rect.width() - left - opt);
  FItems[0]->widget()->setGeometry(Rect.x(), Rect.y(), left, Rect.height());
  FItems[1]->widget()->setGeometry(Rect.x() + left, Rect.y(), right, Rect.height());
  if (!FItems[2]->widget()->isHidden())
    FItems[2]->widget()->setGeometry(Rect.x() + left + right, Rect.y(), opt, Rect.height());
}
