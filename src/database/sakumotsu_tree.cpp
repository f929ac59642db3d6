#include "database/sakumotsu_tree.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

#include "database/acis_db.h"

void SakuTreeNodeImages(int Level, bool Filler, int Toroku, int& ImageIndex, int& SelectedIndex) {
  ImageIndex = SelectedIndex = -1;
  auto set = [&](int a, int b) {
    ImageIndex = a;
    SelectedIndex = b;
  };
  if (Toroku < 0 || Toroku > 3) return;
  if (Level == 0) {
    static const int k[4][2] = {{39, 40}, {0, 1}, {-1, -1}, {0, 1}};
    set(k[Toroku][0], k[Toroku][1]);
  } else if (Level <= 3) {
    static const int k[4][2] = {{39, 40}, {0, 1}, {39, 40}, {0, 1}};
    set(k[Toroku][0], k[Toroku][1]);
  } else if (Level == 4) {
    static const int own[4][2] = {{13, 13}, {4, 5}, {37, 38}, {41, 41}};
    static const int filler[4][2] = {{13, 13}, {2, 3}, {37, 38}, {41, 41}};
    const auto& k = Filler ? filler : own;
    set(k[Toroku][0], k[Toroku][1]);
  } else if (Toroku == 1) {
    set(6, 7);
  }
}

std::vector<TSakuTreeNode> BuildSakumotsuTreeNodes(const TSakumotsuList& List) {
  std::vector<TSakuTreeNode> nodes;
  nodes.reserve(static_cast<size_t>(List.Count()) + 16);
  int current[5] = {-1, -1, -1, -1, -1};
  const TSakumotsu* prev = nullptr;
  int prevLevel = 0;
  auto add = [&](int parent, const TSakumotsu* rec, int level, bool filler) {
    TSakuTreeNode n;
    n.Parent = parent;
    n.Record = rec;
    n.Level = level;
    n.Filler = filler;
    SakuTreeNodeImages(level, filler, rec ? rec->toroku : -1, n.ImageIndex, n.SelectedIndex);
    nodes.push_back(n);
    return static_cast<int>(nodes.size()) - 1;
  };
  for (int i = 0; i < List.Count(); ++i) {
    const TSakumotsu& rec = List.Get(i);
    const int L = rec.Class < 0 ? 0 : (rec.Class > 5 ? 5 : rec.Class);
    if (L < prevLevel && L <= 3)
      for (int k = L + 1; k <= 4; ++k) current[k] = -1;
    if (L == 0) {
      current[0] = add(-1, &rec, 0, false);
      for (int k = 1; k <= 4; ++k) current[k] = -1;
    } else {
      for (int lvl = 1; lvl < L; ++lvl) {
        if (current[lvl] != -1) continue;
        // The skipped level shows the record before; it is that level's node from now on.
        current[lvl] = add(current[lvl - 1], prev ? prev : &rec, lvl, true);
      }
      const int node = add(current[L - 1], &rec, L, false);
      if (L <= 4) current[L] = node;
    }
    prev = &rec;
    prevLevel = L;
  }
  return nodes;
}

bool BuildSakumotsuTree(QTreeWidget* Tree, TAcisDB& Db, const std::shared_ptr<TSakumotsuList>& List,
                        const std::vector<QIcon>* Images) {
  if (!List || !List->EnsureLoaded(Db)) return false;
  const std::vector<TSakuTreeNode> nodes = BuildSakumotsuTreeNodes(*List);
  Tree->setUpdatesEnabled(false);
  Tree->clear();
  std::vector<QTreeWidgetItem*> items(nodes.size(), nullptr);
  QList<QTreeWidgetItem*> roots;
  auto icon = [&](int index) {
    if (!Images || index < 0 || static_cast<size_t>(index) >= Images->size()) return QIcon();
    return (*Images)[static_cast<size_t>(index)];
  };
  for (size_t i = 0; i < nodes.size(); ++i) {
    const TSakuTreeNode& n = nodes[i];
    auto* item = n.Parent < 0 ? new QTreeWidgetItem() : new QTreeWidgetItem(items[static_cast<size_t>(n.Parent)]);
    item->setText(0, QString::fromStdString(n.Record ? n.Record->sakumotsu : std::string()));
    item->setData(0, kSakuRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(n.Record)));
    item->setData(0, kSakuImageRole, n.ImageIndex);
    item->setData(0, kSakuSelectedImageRole, n.SelectedIndex);
    if (n.ImageIndex >= 0) item->setIcon(0, icon(n.ImageIndex));
    items[i] = item;
    if (n.Parent < 0) roots.append(item);
  }
  Tree->addTopLevelItems(roots);
  Tree->setUpdatesEnabled(true);
  return true;
}

const TSakumotsu* SakumotsuOfItem(const QTreeWidgetItem* Item) {
  if (!Item) return nullptr;
  return reinterpret_cast<const TSakumotsu*>(Item->data(0, kSakuRecordRole).value<quintptr>());
}
