#pragma once
// Shared by the pest-tab tests: the main window on the sample register with the search pages
// installed (the pest tab's row in the place of the placeholder), the pest tab in front, and
// independent look-ups in the database the window opened.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTabWidget>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database/field_caption.h"
#include "frontend/main_pages.h"
#include "frontend/pest/pest_search.h"
#include "frontend/support_search_tab.h"
#include "output/xls_string_grid.h"

struct TPestTab : TSearchTab {
  TPestSearch* Ps = nullptr;

  bool Open() {
    // The plain views: one row per use.
    if (!OpenWindow("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n",
                    [](TfrmMain& w) { InstallSearchPages(w); }))
      return false;
    Ps = dynamic_cast<TPestSearch*>(W->SearchHandler(tiByochu));
    W->pgSearch->setCurrentIndex(tiByochu);
    Pump(10);
    return Ps != nullptr;
  }

  // Types the keywords and runs the search action as the toolbar does.
  void Search(const QString& Keywords) {
    W->edtByochu->setText(Keywords);
    W->actSearchTekiyouExecute();
  }

  int GridDataRows() const { return W->gdByochu->isHidden() ? 0 : W->gdByochu->RowCount() - 1; }
  // The column of a field in the grid (by its caption), -1 when not shown.
  int GridColumn(const std::string& Field) const {
    const std::string caption = FieldCaption(Field);
    for (int c = 0; c < W->gdByochu->ColCount(); ++c)
      if (W->gdByochu->Cells(c, 0) == caption) return c;
    return -1;
  }
  // The values of a field over the grid's data rows.
  std::multiset<std::string> GridValues(const std::string& Field) const {
    std::multiset<std::string> out;
    const int c = GridColumn(Field);
    if (c < 0) return out;
    for (int r = 1; r < W->gdByochu->RowCount(); ++r) out.insert(W->gdByochu->Cells(c, r));
    return out;
  }
};

#define OPEN_PEST_TAB(t) \
  TPestTab t;            \
  ASSERT_TRUE(t.Open())
