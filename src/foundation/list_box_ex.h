#pragma once
// TListBoxEx: list box that shows the whole text of a clipped item as a hint at the item.
#include <QListWidget>
#include <QPoint>
#include <QString>

class TListBoxHintWindow;

// The hint of a list item under a viewport point: the item's full text when it is wider than
// the list's client width, shown at the item's top-left moved by `offset`.
struct TClippedHint {
  bool Show = false;
  QString Text;
  QPoint GlobalPos;  // where the hint window goes
  QRect ItemRect;    // viewport coordinates
  QSize HintSize;    // text width + 5, text height + extraHeight
};
TClippedHint ClippedItemHint(const QListWidget* list, const QPoint& viewportPos, const QPoint& offset,
                             int extraHeight);

class TListBoxEx : public QListWidget {
  Q_OBJECT

 public:
  explicit TListBoxEx(QWidget* parent = nullptr);
  TClippedHint HintAt(const QPoint& viewportPos) const;

 protected:
  bool viewportEvent(QEvent* ev) override;

 private:
  TListBoxHintWindow* FHint = nullptr;
};
