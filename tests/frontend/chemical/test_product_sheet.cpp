// The product sheet on the sample register: summary, caution, ingredients and uses with
// their count headers, the crop narrowing, and the look-ups of the sheet taken by a URL
// handler installed in the test.
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QUrl>

#include "common/menu_probe.h"
#include "database/acis_fill.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/chemical/chemical_tab_fixture.h"
#include "frontend/chemical/yakuzai_sql.h"

class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
  Q_INVOKABLE void Open(const QUrl& url) { Urls.push_back(url); }
};

namespace {

struct TCapture {
  TUrlRecorder Rec;
  TCapture() { QDesktopServices::setUrlHandler("https", &Rec, "Open"); }
  ~TCapture() { QDesktopServices::unsetUrlHandler("https"); }
  std::string Last() const { return Rec.Urls.empty() ? "" : Rec.Urls.back().toString().toStdString(); }
};

std::string One(const std::string& Sql) {
  const auto v = TChemTab::Rows(Sql);
  return v.empty() ? std::string("<none>") : v.front().at(0);
}

// The column of a grid whose title is Title (-1 when none).
int ColumnOf(TXlsStringGrid* g, const std::string& Title) {
  for (int c = 0; c < g->ColCount(); ++c)
    if (g->Cells(c, 0) == Title) return c;
  return -1;
}

}  // namespace

TEST(ProductSheet, TwoIngredientProduct) {
  OPEN_CHEM_TAB(t);
  TProductSheet& s = *t.Cs->Sheet;
  s.YakuzaiSelect(2713);
  // Summary: captions in column 0, the product's values in column 1.
  TXlsStringGrid* sz = t.W->gdSeizai;
  EXPECT_FALSE(sz->isHidden());
  ASSERT_EQ(sz->RowCount(), 6);
  EXPECT_EQ(sz->Cells(0, 1), "製剤毒性");
  EXPECT_EQ(sz->Cells(1, 0), One("SELECT shurui FROM m_kihon WHERE bango = 2713"));
  EXPECT_EQ(sz->Cells(1, 3), One("SELECT ryakusho FROM m_kihon WHERE bango = 2713"));
  EXPECT_EQ(sz->Cells(1, 5), One("SELECT yoto FROM m_kihon WHERE bango = 2713"));
  // Ingredients: one row each.
  TXlsStringGrid* sb = t.W->gdSeibun;
  EXPECT_FALSE(sb->isHidden());
  ASSERT_EQ(sb->RowCount(), 3);
  std::set<std::string> names{sb->Cells(0, 1), sb->Cells(0, 2)};
  EXPECT_EQ(names, (std::set<std::string>{"MEP", "BPMC"}));
  // Uses: every use of the product, count headers for the two slots only.
  TXlsStringGrid* y = t.W->gdYakuzai;
  EXPECT_EQ(y->RowCount() - 1, std::stoi(One("SELECT count(*) FROM m_tekiyo WHERE bango = 2713")));
  // The count columns are titled by the product's ingredients (columns without data are not
  // shown).
  std::vector<std::string> counts;
  for (int c = 0; c < y->ColCount(); ++c)
    if (y->Cells(c, 0).find("を含む農薬の使用回数") != std::string::npos) counts.push_back(y->Cells(c, 0));
  EXPECT_EQ(counts, (std::vector<std::string>{
                        KaisuHeaderText(One("SELECT seibun1 FROM m_kihon WHERE bango = 2713")),
                        KaisuHeaderText(One("SELECT seibun2 FROM m_kihon WHERE bango = 2713"))}));
  // The headers of the empty slots are empty.
  EXPECT_EQ(s.KaisuHeaders(2713)[2], "");
  EXPECT_EQ(s.KaisuHeaders(2713)[4], "");
  EXPECT_EQ(t.W->GridStates[tiYakuzai].CountText, QString::number(y->RowCount() - 1) + "件");
  EXPECT_EQ(t.W->StatusText(3), t.W->GridStates[tiYakuzai].CountText);
  // The result actions are on (an export without its handler yet stays disabled).
  EXPECT_TRUE(t.W->actGridCopy->isEnabled());
  EXPECT_EQ(t.Sink().Count(), 0u);
}

// Nothing of the previous product stays, and no message box is raised for a product without
// a caution or a summary row.
TEST(ProductSheet, MissingRowsShowNothingOfThePreviousProduct) {
  OPEN_CHEM_TAB(t);
  TProductSheet& s = *t.Cs->Sheet;
  const std::string withCaution = One("SELECT bango FROM suisan ORDER BY bango LIMIT 1");
  const std::string withoutCaution =
      One("SELECT bango FROM m_kihon WHERE bango NOT IN (SELECT bango FROM suisan) AND bango NOT IN (SELECT bango FROM "
          "seizai) ORDER BY bango LIMIT 1");
  ASSERT_NE(withoutCaution, "<none>");
  s.YakuzaiSelect(std::stoll(withCaution));
  EXPECT_FALSE(t.W->mSuisan->isHidden());
  EXPECT_FALSE(t.W->mSuisan->toPlainText().contains("#"));  // "#" separates lines
  const std::string dokusei = One("SELECT dokusei FROM seizai WHERE bango = " + withCaution);
  EXPECT_EQ(t.W->gdSeizai->Cells(1, 1), dokusei);

  s.YakuzaiSelect(std::stoll(withoutCaution));
  EXPECT_TRUE(t.W->mSuisan->isHidden());
  EXPECT_TRUE(t.W->mSuisan->toPlainText().isEmpty());
  EXPECT_EQ(t.W->gdSeizai->Cells(1, 1), "");  // no formulation row: no toxicity shown
  EXPECT_EQ(t.W->gdSeizai->Cells(1, 0), One("SELECT shurui FROM m_kihon WHERE bango = " + withoutCaution));

  // A number without a product: the summary is emptied, nothing else of the last one stays.
  s.YakuzaiSelect(99999);
  for (int r = 0; r < 6; ++r) EXPECT_EQ(t.W->gdSeizai->Cells(1, r), "") << r;
  EXPECT_EQ(t.W->gdSeibun->RowCount(), 1);
  EXPECT_TRUE(t.W->gdYakuzai->isHidden());
  EXPECT_EQ(t.W->GridStates[tiYakuzai].CountText, "0件");
  EXPECT_FALSE(t.Cs->Sheet->lblGoogle->isEnabled());
  EXPECT_EQ(t.Sink().Count(), 0u);
}

TEST(ProductSheet, CandidateCropsNarrowTheUses) {
  OPEN_CHEM_TAB(t);
  const std::string tomato =
      One("SELECT k.tsusho FROM m_kihon k JOIN m_tekiyo t USING(bango) WHERE t.sakumotsu = 'トマト' AND bango IN "
          "(SELECT bango FROM m_tekiyo WHERE sakumotsu NOT LIKE '%トマト%') ORDER BY bango LIMIT 1");
  ASSERT_NE(tomato, "<none>");
  t.Pickup(QString::fromStdString(tomato), "トマト");
  ASSERT_EQ(t.Cs->LastListItem, tomato);
  TXlsStringGrid* y = t.W->gdYakuzai;
  ASSERT_GT(y->RowCount(), 1);
  for (int r = 1; r < y->RowCount(); ++r) EXPECT_NE(y->Cells(0, r).find("トマト"), std::string::npos) << y->Cells(0, r);
  const int narrowed = y->RowCount();
  // Without the crop text the same product shows every use.
  t.Pickup(QString::fromStdString(tomato), "");
  EXPECT_GT(y->RowCount(), narrowed);
  EXPECT_EQ(y->RowCount() - 1,
            std::stoi(One("SELECT count(*) FROM m_tekiyo WHERE bango = " + std::to_string(t.Cs->Sheet->ShownBango()))));
}

TEST(ProductSheet, LookupsAndOfflineMode) {
  OPEN_CHEM_TAB(t);
  TCapture cap;
  TProductSheet& s = *t.Cs->Sheet;
  t.Pickup("MEP・BPMC粉剤");
  ASSERT_TRUE(s.lblGoogle->isEnabled());
  const std::string name = NameOfItem(t.W->cbYakuzai->currentText().toStdString());
  EXPECT_EQ(s.lblGoogle->text().toStdString(), name + " をGoogleで検索");
  // A click on the label searches the product name, fully encoded.
  s.lblGoogle->show();
  QTest::mouseClick(s.lblGoogle, Qt::LeftButton);
  ASSERT_EQ(cap.Rec.Urls.size(), 1u);
  EXPECT_EQ(QUrl::fromPercentEncoding(cap.Rec.Urls.back().query(QUrl::FullyEncoded).toUtf8()).toStdString(),
            "q=" + name);

  // The popup of an ingredient cell offers the ingredient look-ups.
  TXlsStringGrid* g = t.W->gdSeibun;
  const int col = ColumnOf(g, "有効成分");
  ASSERT_GE(col, 0);
  s.pmnGridSeibunPopup(col, 1);
  EXPECT_TRUE(s.pmnGoogleGridSeibun->isVisible());
  EXPECT_TRUE(s.pmnWeblioGridSeibun->isVisible() && s.pmnPrdbGridSeibun->isVisible());
  EXPECT_FALSE(s.pmnNihsGridSeibun->isVisible());
  EXPECT_EQ(s.pmnWeblioGridSeibun->text().toStdString(), "「" + g->Cells(col, 1) + "」を Weblio で検索");
  s.pmnWeblioGridSeibun->trigger();
  ASSERT_EQ(cap.Rec.Urls.size(), 2u);
  EXPECT_NE(cap.Last().find("/content/"), std::string::npos);
  // Another column offers none.
  const int other = ColumnOf(g, "濃度");
  ASSERT_GE(other, 0);
  s.pmnGridSeibunPopup(other, 1);
  EXPECT_FALSE(s.pmnGoogleGridSeibun->isVisible());
  // A group column offers the web search only.
  const int group = ColumnOf(g, "系統");
  ASSERT_GE(group, 0);
  s.pmnGridSeibunPopup(group, 1);
  EXPECT_TRUE(s.pmnGoogleGridSeibun->isVisible());
  EXPECT_FALSE(s.pmnWeblioGridSeibun->isVisible());

  // Offline: the label and the look-up items are off.
  CmdOffline = true;
  s.YakuzaiSelect(2713);
  EXPECT_FALSE(s.lblGoogle->isEnabled());
  s.pmnGridSeibunPopup(col, 1);
  EXPECT_TRUE(s.pmnGoogleGridSeibun->isVisible());
  EXPECT_FALSE(s.pmnGoogleGridSeibun->isEnabled());
  EXPECT_FALSE(s.pmnWeblioGridSeibun->isEnabled());
  QTest::mouseClick(s.lblGoogle, Qt::LeftButton);
  CmdOffline = false;
  EXPECT_EQ(cap.Rec.Urls.size(), 2u);
}

// The ingredient menu as the user opens it: at the pointer, for the clicked cell (which becomes
// current), its captions showing the cell's "&".
TEST(ProductSheet, IngredientMenuOpensAtThePointerOnTheClickedCell) {
  OPEN_CHEM_TAB(t);
  TProductSheet& s = *t.Cs->Sheet;
  s.YakuzaiSelect(2713);
  Pump();
  TXlsStringGrid* g = t.W->gdSeibun;
  const int col = ColumnOf(g, "有効成分");
  ASSERT_GE(col, 0);
  ASSERT_GE(g->RowCount(), 3);
  g->SetCells(col, 2, "A&B");
  g->SetCurrentCell(0, 1);
  const QPoint at = g->visualRect(g->model()->index(1, col)).center();  // row 2
  QString google;
  TMenuSeen seen = OpenMenu([&] { RightClick(g->viewport(), at); },
                            [&](QMenu*) { google = s.pmnGoogleGridSeibun->text(); });
  ASSERT_EQ(seen.Menu, s.pmnGridSeibun);
  // Its top at the pointer (a menu wider than the room to the right moves left).
  const QPoint pointer = g->viewport()->mapToGlobal(at);
  EXPECT_EQ(seen.Pos.y(), pointer.y());
  EXPECT_TRUE(seen.Geometry.contains(pointer));
  EXPECT_EQ(google, "「A&&B」を Google で検索");
  EXPECT_EQ(g->Row(), 2);
  EXPECT_EQ(g->Col(), col);
  EXPECT_EQ(t.W->PopupCellText, "A&B");
}

#include "test_product_sheet.moc"

// A sheet built in a small window is fitted again when the window grows: the ingredient
// columns cut down to the small grid's width take their full fitted widths.
TEST(ProductSheet, IngredientColumnsAreFittedAgainWhenTheWindowGrows) {
  OPEN_CHEM_TAB(t);
  TfrmMain& w = *t.W;
  const QSize small = w.minimumSizeHint();
  w.resize(small);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.size() == small; }, 2000));
  t.Cs->Sheet->YakuzaiSelect(2713);
  TXlsStringGrid* sb = w.gdSeibun;
  ASSERT_GT(sb->RowCount(), 1);
  auto widths = [sb] {
    std::vector<int> v;
    for (int c = 0; c < sb->ColCount(); ++c) v.push_back(sb->columnWidth(c));
    return v;
  };
  const int smallGrid = sb->width();
  const std::vector<int> before = widths();
  w.resize(1400, 900);
  ASSERT_TRUE(QTest::qWaitFor([&] { return sb->width() > smallGrid + 400; }, 2000));
  // The refit follows once the resizing has settled.
  (void)QTest::qWaitFor([&] { return widths() != before; }, 2000);  // checked below
  const std::vector<int> grown = widths();
  // A fit at the new size gives the same widths.
  w.AdjustGridColumnWidths(sb);
  EXPECT_EQ(grown, widths());
  EXPECT_NE(grown, before);
}
