#pragma once
// Shared by the crop-search and picker tests: the main window on the sample register with
// the crop search installed, crop texts set by the test, and independent look-ups in the
// database the window opened.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "frontend/crop/crop_search.h"
#include "frontend/support_search_tab.h"
#include "output/xls_string_grid.h"

struct TCropTab : TSearchTab {
  TCropSearch* Cs = nullptr;
  QString Sel, Kin;

  bool Open() {
    // The plain views: registration number, crop and pest lead the columns.
    if (!OpenWindow("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n")) return false;
    Cs = InstallCropSearch(*W);
    Cs->SelectionText = [this] { return Sel; };
    Cs->KinsetsuText = [this] { return Kin; };
    return true;
  }

  // Runs the search the way the search action does.
  void Search(const QString& Main, const QString& Neighbour = {}) {
    Sel = Main;
    Kin = Neighbour;
    W->actSearchTekiyouExecute();
  }

  // Data rows of the crop grid as "col0|col1|col2" (bango, crop, pest in the plain views).
  std::multiset<std::string> GridRows() const {
    std::multiset<std::string> out;
    TXlsStringGrid* g = W->gdTekiyo;
    for (int r = 1; r < g->RowCount(); ++r) out.insert(g->Cells(0, r) + "|" + g->Cells(1, r) + "|" + g->Cells(2, r));
    return out;
  }
  int GridDataRows() const { return W->gdTekiyo->RowCount() - 1; }
};

#define OPEN_CROP_TAB(t) \
  TCropTab t;            \
  ASSERT_TRUE(t.Open())
