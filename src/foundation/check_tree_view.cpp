#include "foundation/check_tree_view.h"

#include <QDropEvent>
#include <functional>

TCheckTreeView::TCheckTreeView(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
}

void TCheckTreeView::ForEach(const std::function<void(QTreeWidgetItem*)>& fn) const {
  std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* n) {
    fn(n);
    for (int i = 0; i < n->childCount(); ++i) walk(n->child(i));
  };
  for (int i = 0; i < topLevelItemCount(); ++i) walk(topLevelItem(i));
}

void TCheckTreeView::SetCheckboxes(bool on) {
  FCheckboxes = on;
  ForEach([on](QTreeWidgetItem* n) {
    if (on) {
      n->setFlags(n->flags() | Qt::ItemIsUserCheckable);
      n->setCheckState(0, Qt::Unchecked);
    } else {
      n->setFlags(n->flags() & ~Qt::ItemIsUserCheckable);
      n->setData(0, Qt::CheckStateRole, QVariant());
    }
  });
}

bool TCheckTreeView::GetChecked(const QTreeWidgetItem* node) const {
  return node && node->data(0, Qt::CheckStateRole).isValid() && node->checkState(0) == Qt::Checked;
}

void TCheckTreeView::SetNodeChecked(QTreeWidgetItem* node, bool checked) {
  if (node) node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

QTreeWidgetItem* TCheckTreeView::AddNode(QTreeWidgetItem* parent, const QString& text, qint64 data) {
  auto* n = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  n->setText(0, text);
  n->setData(0, Qt::UserRole, data);
  n->setFlags(n->flags() | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
  if (FCheckboxes) {
    n->setFlags(n->flags() | Qt::ItemIsUserCheckable);
    n->setCheckState(0, Qt::Unchecked);
  }
  return n;
}

QString TCheckTreeView::KeyOf(const QTreeWidgetItem* node) {
  const QVariant d = node->data(0, Qt::UserRole);
  if (d.isValid()) return QString::number(d.toLongLong());
  return QStringLiteral("@%1").arg(reinterpret_cast<quintptr>(node));
}

QHash<QString, Qt::CheckState> TCheckTreeView::RememberChecks() const {
  QHash<QString, Qt::CheckState> states;
  ForEach([&](QTreeWidgetItem* n) {
    const QString k = KeyOf(n);
    if (!states.contains(k)) states.insert(k, GetChecked(n) ? Qt::Checked : Qt::Unchecked);
  });
  return states;
}

void TCheckTreeView::RestoreChecks(const QHash<QString, Qt::CheckState>& states) {
  if (!FCheckboxes) return;
  ForEach([&](QTreeWidgetItem* n) {
    auto it = states.find(KeyOf(n));
    n->setFlags(n->flags() | Qt::ItemIsUserCheckable);
    n->setCheckState(0, it != states.end() ? *it : Qt::Unchecked);
  });
}

bool TCheckTreeView::MoveTo(QTreeWidgetItem* node, QTreeWidgetItem* target, TNodeAttachMode mode) {
  if (!node || node == target) return false;
  for (QTreeWidgetItem* p = target; p; p = p->parent())
    if (p == node) return false;
  const auto states = RememberChecks();
  const bool expanded = node->isExpanded();
  QTreeWidgetItem* oldParent = node->parent();
  if (oldParent) oldParent->removeChild(node);
  else takeTopLevelItem(indexOfTopLevelItem(node));
  auto insertAt = [&](QTreeWidgetItem* parent, int index) {
    if (parent) parent->insertChild(index, node);
    else insertTopLevelItem(index, node);
  };
  if (!target) {
    insertAt(nullptr, mode == naAddFirst || mode == naAddChildFirst ? 0 : topLevelItemCount());
  } else {
    QTreeWidgetItem* tp = target->parent();
    const int ti = tp ? tp->indexOfChild(target) : indexOfTopLevelItem(target);
    switch (mode) {
      case naAdd: insertAt(tp, tp ? tp->childCount() : topLevelItemCount()); break;
      case naAddFirst: insertAt(tp, 0); break;
      case naAddChild: insertAt(target, target->childCount()); break;
      case naAddChildFirst: insertAt(target, 0); break;
      case naInsert: insertAt(tp, ti); break;
    }
  }
  RestoreChecks(states);
  if (QTreeWidgetItem* sel = currentItem()) sel->setExpanded(expanded);
  node->setExpanded(expanded);
  return true;
}

void TCheckTreeView::dropEvent(QDropEvent* ev) {
  const auto states = RememberChecks();
  QTreeWidget::dropEvent(ev);
  RestoreChecks(states);
}
