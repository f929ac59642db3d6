// The crop list model and the crop tree: loading from the sample database, the tree shape for
// skipped and returning levels, the image matrix, the widget fill, hints and sharing.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include "database/acis_session_views.h"
#include "database/sakumotsu_tree.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace {

TSakumotsu Rec(int cls, const std::string& name, int toroku = 1) {
  TSakumotsu r;
  r.Class = cls;
  r.sakumotsu = name;
  r.toroku = toroku;
  r.idsaku = "99" + std::to_string(cls);
  return r;
}

// Each node as "parent name > name" with "*" for a filler, in creation order.
std::vector<std::string> Shape(const TSakumotsuList& list) {
  std::vector<std::string> out;
  const auto nodes = BuildSakumotsuTreeNodes(list);
  for (const TSakuTreeNode& n : nodes) {
    std::string parent = n.Parent < 0 ? "-" : nodes[static_cast<size_t>(n.Parent)].Record->sakumotsu;
    if (n.Parent >= 0 && nodes[static_cast<size_t>(n.Parent)].Filler) parent += "*";
    out.push_back(parent + " > " + n.Record->sakumotsu + (n.Filler ? "*" : "") + " L" + std::to_string(n.Level));
  }
  return out;
}

TSakumotsuList ListOf(std::initializer_list<TSakumotsu> recs) {
  TSakumotsuList l;
  for (const TSakumotsu& r : recs) l.Append(r);
  return l;
}

}  // namespace

TEST(SakumotsuTree, ShapeOfSkippedAndReturningLevels) {
  using V = std::vector<std::string>;
  // A skipped level gets a filler showing the record before it.
  EXPECT_EQ(Shape(ListOf({Rec(0, "A"), Rec(2, "B")})), (V{"- > A L0", "A > A* L1", "A* > B L2"}));
  // Back to a higher level: the deeper nodes are forgotten.
  EXPECT_EQ(Shape(ListOf({Rec(1, "C"), Rec(2, "D"), Rec(1, "E"), Rec(2, "F")})),
            (V{"- > C L1", "C > D L2", "- > E L1", "E > F L2"}));
  // The filler serves the following records of the skipped level's children too.
  EXPECT_EQ(Shape(ListOf({Rec(0, "A"), Rec(2, "B"), Rec(2, "C")})),
            (V{"- > A L0", "A > A* L1", "A* > B L2", "A* > C L2"}));
  // Level 5 below a level 4 crop; a level-5 node is never a parent; two fillers in a row.
  EXPECT_EQ(Shape(ListOf({Rec(0, "R"), Rec(4, "T"), Rec(5, "M"), Rec(5, "N"), Rec(1, "S"), Rec(3, "U")})),
            (V{"- > R L0", "R > R* L1", "R* > R* L2", "R* > R* L3", "R* > T L4", "T > M L5", "T > N L5",
               "R > S L1", "S > S* L2", "S* > U L3"}));
  // A list that starts below level 0 hangs its fillers at the top.
  EXPECT_EQ(Shape(ListOf({Rec(2, "X")})), (V{"- > X* L1", "X* > X L2"}));
}

TEST(SakumotsuTree, ImageMatrix) {
  struct Case {
    int level;
    bool filler;
    int img[4][2];  // states 0..3: image / selected
  };
  const Case cases[] = {
      {0, false, {{39, 40}, {0, 1}, {-1, -1}, {0, 1}}},
      {1, false, {{39, 40}, {0, 1}, {39, 40}, {0, 1}}},
      {3, true, {{39, 40}, {0, 1}, {39, 40}, {0, 1}}},
      {4, false, {{13, 13}, {4, 5}, {37, 38}, {41, 41}}},
      {4, true, {{13, 13}, {2, 3}, {37, 38}, {41, 41}}},
      {5, false, {{-1, -1}, {6, 7}, {-1, -1}, {-1, -1}}},
  };
  for (const Case& c : cases)
    for (int st = 0; st < 4; ++st) {
      int a, b;
      SakuTreeNodeImages(c.level, c.filler, st, a, b);
      EXPECT_EQ(a, c.img[st][0]) << c.level << c.filler << st;
      EXPECT_EQ(b, c.img[st][1]) << c.level << c.filler << st;
    }
  int a, b;
  SakuTreeNodeImages(2, false, 7, a, b);
  EXPECT_EQ(a, -1);
  // A filler of level 4 takes the state of the record it carries (the one before).
  auto nodes = BuildSakumotsuTreeNodes(ListOf({Rec(3, "P", 1), Rec(5, "Q", 1)}));
  ASSERT_EQ(nodes.size(), 5u);
  EXPECT_TRUE(nodes[3].Filler);
  EXPECT_EQ(nodes[3].Level, 4);
  EXPECT_EQ(nodes[3].ImageIndex, 2);
}

TEST(SakumotsuList, LoadTreeHintsAndSharing) {
  OPEN_SAMPLE_DB(s);
  db.CreateSessionViews();
  auto list = NewSakumotsuList();
  EXPECT_EQ(SakumotsuList(), list);
  ASSERT_TRUE(list->Load(db));
  const auto rows = Rows(*db.FDb, "SELECT idsaku FROM vg_sakumotsu2");
  ASSERT_GT(rows.size(), 10u);
  // The code zero gives no record; the rest in the view's order.
  EXPECT_EQ(rows[0][0], "0000000000000000");
  ASSERT_EQ(static_cast<size_t>(list->Count()), rows.size() - 1);
  for (int i = 0; i < list->Count(); ++i) ASSERT_EQ(list->Get(i).idsaku, rows[static_cast<size_t>(i) + 1][0]);

  // The widget holds every node; each item carries its record.
  QTreeWidget tree;
  std::vector<QIcon> icons(42);
  ASSERT_TRUE(BuildSakumotsuTree(&tree, db, list, &icons));
  const auto nodes = BuildSakumotsuTreeNodes(*list);
  int items = 0, roots = tree.topLevelItemCount();
  std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* it) {
    ++items;
    const TSakumotsu* r = SakumotsuOfItem(it);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(it->text(0).toStdString(), r->sakumotsu);
    for (int i = 0; i < it->childCount(); ++i) walk(it->child(i));
  };
  for (int i = 0; i < roots; ++i) walk(tree.topLevelItem(i));
  EXPECT_EQ(static_cast<size_t>(items), nodes.size());
  int wantRoots = 0;
  for (const auto& n : nodes) wantRoots += n.Parent < 0;
  EXPECT_EQ(roots, wantRoots);

  // Hints: computed once per record and kept.
  const TSakumotsu* tomato = nullptr;
  for (int i = 0; i < list->Count(); ++i)
    if (list->Get(i).sakumotsu == "ミニトマト") tomato = &list->Get(i);
  ASSERT_NE(tomato, nullptr);
  const std::string hint = list->Hint(*tomato, db);
  EXPECT_EQ(hint.rfind("ミニトマト\r\n【上位分類】 ", 0), 0u) << hint;
  EXPECT_NE(hint.find("トマト"), std::string::npos);
  EXPECT_NE(hint.find("\r\n【収穫部位】 "), std::string::npos);
  EXPECT_NE(hint.find("\r\n【別名】 "), std::string::npos);
  db.FDb->ExecSQL("UPDATE m_sakumotsu SET sakumotsu = 'X' WHERE sakumotsu = 'トマト'");
  EXPECT_EQ(list->Hint(*tomato, db), hint);
  EXPECT_EQ(list->Hint(*tomato, db, true).rfind("class: " + std::to_string(tomato->Class) + " id: " + tomato->idsaku + "\r\n", 0), 0u);

  // A new frame takes a new list; the old one lives on while held.
  std::weak_ptr<TSakumotsuList> old = list;
  auto second = NewSakumotsuList();
  EXPECT_NE(second, list);
  EXPECT_EQ(SakumotsuList(), second);
  EXPECT_FALSE(old.expired());
  EXPECT_EQ(list->Get(0).idsaku, rows[1][0]);
  list.reset();
  EXPECT_TRUE(old.expired());

  // Not reloaded while its database stays; reloaded after the database was replaced.
  ASSERT_TRUE(second->EnsureLoaded(db));
  const int n = second->Count();
  db.FDb->ExecSQL("DELETE FROM m_sakumotsu WHERE class = 5");
  ASSERT_TRUE(second->EnsureLoaded(db));
  EXPECT_EQ(second->Count(), n);
  EXPECT_FALSE(second->IsStale());
  db.CreateSessionViews();  // what the main window runs after each new database object
  EXPECT_TRUE(second->IsStale());
  ASSERT_TRUE(BuildSakumotsuTree(&tree, db, second));
  EXPECT_LT(second->Count(), n);
  EXPECT_FALSE(second->IsStale());
  // A failed reload keeps the records.
  db.CreateSessionViews();
  db.FDb->ExecSQL("DROP VIEW vg_sakumotsu2");
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  const int kept = second->Count();
  EXPECT_FALSE(second->EnsureLoaded(db));
  EXPECT_EQ(second->Count(), kept);
  second->Delete(0);
  EXPECT_EQ(second->Count(), kept - 1);
  second->Clear();
  EXPECT_TRUE(second->Empty());
}

TEST(SakumotsuList, Texts) {
  EXPECT_EQ(StripTreeText("> トマト|3"), "トマト");
  EXPECT_EQ(StripTreeText(">> ミニ トマト | 12"), "ミニトマト");
  EXPECT_EQ(StripTreeText("トマト"), "");
  EXPECT_EQ(TorokuText(0), "作物名登録なし");
  EXPECT_EQ(TorokuText(3), "下位作物での登録あり");
  EXPECT_EQ(TorokuText(4), "");
  TSakumotsu r = Rec(4, "落葉果樹");
  EXPECT_FALSE(IsRakuyokaju(r));
  r.gunmei = "落葉果樹";
  EXPECT_TRUE(IsRakuyokaju(r));
  r.shukakubui = "果実";
  r.betsumei = "別";
  EXPECT_EQ(SakumotsuHint(r, "A,B"), "落葉果樹\r\n【上位分類】 A,B\r\n【収穫部位】 果実\r\n【別名】 別\r\n作物名登録あり");

  const std::string cvo = CvoDetailText("上", {"a", "b"});
  EXPECT_EQ(std::count(cvo.begin(), cvo.end(), '\n'), 20);
  EXPECT_EQ(cvo.rfind("[上位作物] 上\r\n[農作物名] a\r\n[科名] b\r\n[別名] \r\n", 0), 0u);
  EXPECT_NE(cvo.find("\r\n[AGROVOC ID] "), std::string::npos);
  QTreeWidgetItem item(QStringList{"大", "中", "小", "作", "別", "部", "よみ"});
  EXPECT_EQ(Beppyo1DetailText(item),
            "[大作物群] 大\r\n[中作物群] 中\r\n[小作物群] 小\r\n[作 物 名] 作\r\n[別    名] 別\r\n[収穫部位] 部\r\n[よ    み] よみ");
}
