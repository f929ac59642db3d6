#include "foundation/check_list_box_ex.h"

#include <QHelpEvent>
#include <QMouseEvent>

#include "foundation/list_hint_window.h"

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
    if (!FHint) FHint = new TListBoxHintWindow(this);
    FHint->ShowHint(h.Show ? h.Text : QString(), font(), h.GlobalPos, 2);
    return true;
  }
  if (FHint && (ev->type() == QEvent::Leave || ev->type() == QEvent::MouseButtonPress ||
                (ev->type() == QEvent::MouseMove && !HintAt(static_cast<QMouseEvent*>(ev)->position().toPoint()).Show)))
    FHint->hide();
  return QListWidget::viewportEvent(ev);
}
