#pragma once
// TCheckListBoxEx: check list box with a read-only CheckCount and the clipped-item hint.
#include <QListWidget>

#include "foundation/list_box_ex.h"

class TCheckListBoxEx : public QListWidget {
  Q_OBJECT

 public:
  explicit TCheckListBoxEx(QWidget* parent = nullptr);

  // Items whose box is checked, counted at each read.
  int CheckCount() const;
  // Adds a checkable item (unchecked).
  QListWidgetItem* AddItem(const QString& text, bool checked = false);
  bool Checked(int i) const;
  void SetChecked(int i, bool on);
  TClippedHint HintAt(const QPoint& viewportPos) const;

 protected:
  bool viewportEvent(QEvent* ev) override;

 private:
  TListBoxHintWindow* FHint = nullptr;
};
