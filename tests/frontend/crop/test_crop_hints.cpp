// Hover hints of the crop frame and the crop picker show crop texts as they are, also when
// they look like markup ("<sakumotsu>", "a<b and c>d"), with every line of the hint.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

#include "database/sakumotsu_list.h"
#include "database/sample_acis_db.h"
#include "foundation/check_tree_view.h"
#include "frontend/crop/crop_chooser_views.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/crop/fra_sakumotsu_base.h"

namespace {

const QString kTag = QStringLiteral("<sakumotsu>");
const QString kLessGreater = QStringLiteral("a<b and c>d");

// A crop search result whose name and other names look like markup, and its hint.
const std::string kOddCrop =
    "SELECT 1 AS class,'9999999999999999' AS idsaku,1 AS toroku,'果実' AS shukakubui,'<sakumotsu>' AS sakumotsu,"
    "'a<b and c>d' AS betsumei,'' AS gunmei;";
const QString kOddCropHint = kTag + QStringLiteral("\n【上位分類】 \n【収穫部位】 果実\n【別名】 ") + kLessGreater +
                             QStringLiteral("\n作物名登録あり");

// What the user reads in a hint.
QString Rendered(const QString& hint) {
  QTextDocument doc;
  doc.setHtml(hint);
  return doc.toPlainText();
}

QString Hover(QTreeWidget* view, QTreeWidgetItem* item) {
  const QRect r = view->visualItemRect(item);
  QHelpEvent e(QEvent::ToolTip, r.center(), view->viewport()->mapToGlobal(r.center()));
  QCoreApplication::sendEvent(view->viewport(), &e);
  return QToolTip::text();
}

}  // namespace

TEST(CropHints, TreeTablesAndBoxesOfTheFrameShowTheirTextsAsTheyAre) {
  sample_db::TSampleDb sample;
  ASSERT_TRUE(sample.Open()) << sample_db::Error();
  TAcisDB* db = sample.Db.get();
  TfraSakumotsuBase fr;
  fr.SetDatabase([db] { return db; });
  fr.BuildTree();
  fr.resize(400, 600);
  fr.show();

  // The tree: the crop's hint of several lines, each line kept.
  QTreeWidgetItem* tomato = nullptr;
  ForEachTreeNode(fr.tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!tomato && n->text(0) == QStringLiteral("トマト")) tomato = n;
  });
  ASSERT_NE(tomato, nullptr);
  for (QTreeWidgetItem* p = tomato->parent(); p; p = p->parent()) p->setExpanded(true);
  const QString treeHint = Rendered(Hover(fr.tvSakumotsu, tomato));
  EXPECT_TRUE(treeHint.startsWith(QStringLiteral("トマト\n【上位分類】 "))) << treeHint.toStdString();
  EXPECT_EQ(treeHint.count('\n'), 4);

  // The result table, with a crop whose texts look like markup.
  fr.pgSakumotsu->setCurrentIndex(1);
  fr.ShowSearchResult(kOddCrop);
  ASSERT_EQ(fr.lvSakumotsu->topLevelItemCount(), 1);
  EXPECT_EQ(Rendered(Hover(fr.lvSakumotsu, fr.lvSakumotsu->topLevelItem(0))), kOddCropHint);

  // The boxes of the chosen crops.
  const QString chosen = kTag + "," + kLessGreater;
  fr.eSakumotsu->setText(chosen);
  EXPECT_EQ(Rendered(fr.eSakumotsu->toolTip()), chosen);
  fr.eKinsetsuSakumotsu->setText(kLessGreater);
  EXPECT_EQ(Rendered(fr.eKinsetsuSakumotsu->toolTip()), kLessGreater);
  // No crops, no hint.
  fr.eKinsetsuSakumotsu->clear();
  EXPECT_TRUE(fr.eKinsetsuSakumotsu->toolTip().isEmpty());
  QToolTip::hideText();
}

TEST(CropHints, TablesAndTheChoiceBoxOfThePickerShowTheirTextsAsTheyAre) {
  // Any crop table: a hint of several lines that looks like markup.
  QTreeWidget table;
  table.resize(200, 100);
  auto* row = new QTreeWidgetItem(&table, {QStringLiteral("row")});
  const QString detail = kTag + "\n" + kLessGreater + "\n\n  <b>最後</b>";
  InstallItemHints(&table, [&](QTreeWidgetItem* it) { return it == row ? detail : QString(); });
  table.show();
  EXPECT_EQ(Rendered(Hover(&table, row)), detail);
  QToolTip::hideText();

  // The picker's result table and its choice box, with a crop whose texts look like markup.
  sample_db::TSampleDb sample;
  ASSERT_TRUE(sample.Open()) << sample_db::Error();
  TAcisDB* db = sample.Db.get();
  TDlgSakumotsu picker(nullptr, [db] { return db; });
  picker.resize(400, 500);
  picker.show();
  picker.PageControl->setCurrentIndex(1);
  picker.btnUpper->setChecked(false);
  ASSERT_EQ(picker.lvSakumotsu->ShowSearchResult(*db, kOddCrop), 1);
  QTreeWidgetItem* odd = picker.lvSakumotsu->topLevelItem(0);
  EXPECT_EQ(Rendered(Hover(picker.lvSakumotsu, odd)), kOddCropHint);
  QToolTip::hideText();
  odd->setCheckState(0, Qt::Checked);
  picker.lvSakumotsuCheck();
  const QString choice = QString::fromStdString(picker.ChoiceText());
  ASSERT_EQ(choice, kTag);
  // The choice box is a label: its text and its hint both as they are.
  EXPECT_EQ(picker.eSakumotsu->textFormat(), Qt::PlainText);
  EXPECT_EQ(picker.eSakumotsu->text(), choice);
  EXPECT_EQ(Rendered(picker.eSakumotsu->toolTip()), choice);
}
