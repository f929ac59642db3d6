// The result pages of a neighbour-crop search on the sample register: the rows the grid tints
// as neighbouring crops open with the class "neighbors" on every route that builds a page
// from the crop grid (HTML view and save, the spreadsheet pages, the result grid window's).
#include <gtest/gtest.h>

#include <QAction>
#include <QPointer>

#include <algorithm>

#include <string>
#include <vector>

#include "frontend/crop/crop_search_fixture.h"
#include "frontend/main_output_actions.h"
#include "output/frm_grid.h"
#include "output/result_page.h"

namespace {

// The class of every data row of the page's result table (its last table), in order.
std::vector<std::string> RowClasses(const std::string& page) {
  std::vector<std::string> out;
  const size_t table = page.rfind("<table");
  for (size_t at = page.find("<tr class=\"", table); at != std::string::npos; at = page.find("<tr class=\"", at + 1)) {
    const size_t start = at + 11;
    out.push_back(page.substr(start, page.find('"', start) - start));
  }
  if (!out.empty()) out.erase(out.begin());  // the title row
  return out;
}

// What the grid tints: the rows of the grid that the result pages must mark.
std::vector<bool> TintedRows(const TXlsStringGrid& g) {
  std::vector<bool> out;
  for (int r = g.FixedRows(); r < g.RowCount(); ++r) out.push_back(g.Model().RowHighlighted(r));
  return out;
}

std::vector<bool> MarkedRows(const std::string& page) {
  std::vector<bool> out;
  for (const std::string& c : RowClasses(page)) out.push_back(c == "neighbors");
  return out;
}

}  // namespace

TEST(CropResultPages, NeighbourRowsAreMarkedOnEveryPageRoute) {
  OPEN_CROP_TAB(t);
  TMainOutputActions* out = InstallOutputActions(*t.W);
  std::vector<std::pair<int, std::string>> pages;
  out->HtmlView = [&](QWidget*, const TResultPage& page, const QString&, int route) {
    pages.emplace_back(route, page.Page);
  };
  t.Search("トマト", "なす");
  ASSERT_GT(t.GridDataRows(), 0);
  t.W->CurrentGrid = t.W->gdTekiyo;
  t.W->EnableResultActions(true);
  const std::vector<bool> tinted = TintedRows(*t.W->gdTekiyo);
  // Some rows are uses on the neighbour crop, some on the selected one.
  ASSERT_NE(std::count(tinted.begin(), tinted.end(), true), 0);
  ASSERT_NE(std::count(tinted.begin(), tinted.end(), false), 0);

  // The HTML view and save, and the spreadsheet pages of every kind.
  for (QAction* a : {t.W->actHtmlSave, t.W->actCopyExcelByHTML, t.W->actCopyOOoCalc, t.W->actCopyWPS,
                     t.W->actCopyJustCalcByHTML})
    a->trigger();
  ASSERT_EQ(pages.size(), 5u);
  for (const auto& [route, page] : pages) EXPECT_EQ(MarkedRows(page), tinted) << "route " << route;

  // The result grid window's pages, also after a sort has moved the rows.
  QPointer<TfrmGrid> g = out->actExportGridExecute();
  ASSERT_TRUE(g);
  EXPECT_EQ(MarkedRows(g->MakeHTML("", sskExcel).Page), tinted);
  g->gdResult->Model().SortRows(1, gskText, xlSortDesc);
  const std::vector<bool> sorted = TintedRows(*g->gdResult);
  EXPECT_NE(sorted, tinted);
  EXPECT_EQ(MarkedRows(g->MakeHTML("", sskCalc).Page), sorted);
  delete g.data();

  // A search without neighbour crops marks nothing.
  pages.clear();
  t.Search("トマト");
  t.W->actHtmlSave->trigger();
  ASSERT_EQ(pages.size(), 1u);
  const std::vector<bool> marked = MarkedRows(pages[0].second);
  EXPECT_EQ(std::count(marked.begin(), marked.end(), true), 0);
  EXPECT_EQ(marked.size(), static_cast<size_t>(t.GridDataRows()));
}
