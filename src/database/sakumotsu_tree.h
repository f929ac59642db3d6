#pragma once
// The six-level crop tree built from a crop list in list order.
//
// BuildSakumotsuTreeNodes computes the nodes (parent, record, images) without any widget;
// BuildSakumotsuTree puts them into a QTreeWidget in one pass (items are linked before the
// widget sees them, no message pump per row).
#include <memory>
#include <vector>

#include <QIcon>

#include "database/sakumotsu_list.h"

class QTreeWidget;
class QTreeWidgetItem;
class TAcisDB;

struct TSakuTreeNode {
  int Parent = -1;                      // index of the parent node, -1 for a root
  const TSakumotsu* Record = nullptr;   // the record the node carries (and shows)
  int Level = 0;                        // 0..5
  bool Filler = false;                  // stands in for a level that the data skip
  int ImageIndex = -1;                  // -1: not set
  int SelectedIndex = -1;
};

// Nodes in creation order (a parent always before its children).  A level that the data skip
// gets one filler node showing the record before, which then serves as that level's node for
// the records that follow.
std::vector<TSakuTreeNode> BuildSakumotsuTreeNodes(const TSakumotsuList& List);

// Image and selected-image index of a node by its level, filler flag and registration state.
void SakuTreeNodeImages(int Level, bool Filler, int Toroku, int& ImageIndex, int& SelectedIndex);

// Item data roles of the tree items.
constexpr int kSakuRecordRole = Qt::UserRole;          // const TSakumotsu* as quintptr
constexpr int kSakuImageRole = Qt::UserRole + 1;       // image index (int, -1 not set)
constexpr int kSakuSelectedImageRole = Qt::UserRole + 2;

// Fills the tree: loads the list first when it is empty or its database was replaced, clears
// the tree and adds the nodes.  Icons (when given) are taken from Images by image index.  The
// caller keeps List alive as long as the tree shows it (the items point into it).  False when
// the list could not be loaded.
bool BuildSakumotsuTree(QTreeWidget* Tree, TAcisDB& Db, const std::shared_ptr<TSakumotsuList>& List,
                        const std::vector<QIcon>* Images = nullptr);
// The record an item carries (null for items of other trees).
const TSakumotsu* SakumotsuOfItem(const QTreeWidgetItem* Item);
