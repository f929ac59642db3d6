#pragma once
// TCheckTreeView: tree with a check box per node that keeps the checks when nodes move (by
// MoveTo or by drag and drop).  A node's data value (Qt::UserRole, an integer) identifies it
// across a move; nodes without one are identified by themselves.
#include <QTreeWidget>

enum TNodeAttachMode { naAdd, naAddFirst, naAddChild, naAddChildFirst, naInsert };

class TCheckTreeView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TCheckTreeView(QWidget* parent = nullptr);

  bool Checkboxes() const { return FCheckboxes; }
  // Off removes every box (and its state); on gives every node an unchecked box.
  void SetCheckboxes(bool on);
  bool GetChecked(const QTreeWidgetItem* node) const;
  void SetNodeChecked(QTreeWidgetItem* node, bool checked);
  // Adds a node with a data value (a box when Checkboxes is on).
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, qint64 data);
  // Moves `node` (with its children) relative to `target`, keeping every node's check state;
  // the selected node then takes the expanded state the moved node had.  Refused (false) for
  // a move into the node itself or one of its descendants.
  bool MoveTo(QTreeWidgetItem* node, QTreeWidgetItem* target, TNodeAttachMode mode);

 protected:
  void dropEvent(QDropEvent* ev) override;

 private:
  QHash<QString, Qt::CheckState> RememberChecks() const;
  void RestoreChecks(const QHash<QString, Qt::CheckState>& states);
  static QString KeyOf(const QTreeWidgetItem* node);
  void ForEach(const std::function<void(QTreeWidgetItem*)>& fn) const;
  bool FCheckboxes = true;
};
