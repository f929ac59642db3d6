#include "foundation/check_list_box_ex.h"

#include <QHelpEvent>
#include <QToolTip>

TCheckListBoxEx::TCheckListBoxEx(QWidget* parent) : QListWidget(parent) {}

int TCheckListBoxEx::CheckCount() const {
  int n = 0;
  for (int i = 0; i < count(); ++i)
    if (item(i)->checkState() == Qt::Checked) ++n;
  return n;
}

QListWidgetItem* TCheckListBoxEx::AddItem(const QString& text, bool checked) {
  auto* it = new QListWidgetItem(text, this);
  it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
  it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  return it;
}

bool TCheckListBoxEx::Checked(int i) const {
  return i >= 0 && i < count() && item(i)->checkState() == Qt::Checked;
}

void TCheckListBoxEx::SetChecked(int i, bool on) {
  if (i >= 0 && i < count()) item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

TClippedHint TCheckListBoxEx::HintAt(const QPoint& viewportPos) const {
  return ClippedItemHint(this, viewportPos, QPoint(9, -3), 2);
}

bool TCheckListBoxEx::viewportEvent(QEvent* ev) {
  if (ev->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(ev);
    const TClippedHint h = HintAt(he->pos());
    if (h.Show) QToolTip::showText(h.GlobalPos, h.Text, viewport(), h.ItemRect);
    else QToolTip::hideText();
    return true;
  }
  return QListWidget::viewportEvent(ev);
}
