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

#include "database/acis_db.h"
#include "database/field_caption.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/pest/pest_search.h"
#include "frontend/support_main_window.h"
#include "output/xls_string_grid.h"

struct TPestTab {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;
  TPestSearch* Ps = nullptr;

  bool Open() {
    if (!Fx.BuildSampleDb()) return false;
    // The plain views: one row per use.
    Fx.WriteIni("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n");
    W = std::make_unique<TfrmMain>();
    InstallSearchPages(*W);
    W->show();
    Pump();
    if (!AcisDB) return false;
    Ps = dynamic_cast<TPestSearch*>(W->SearchHandler(tiByochu));
    W->pgSearch->setCurrentIndex(tiByochu);
    Pump(10);
    return Ps != nullptr;
  }
  ~TPestTab() { W.reset(); }

  // Types the keywords and runs the search action as the toolbar does.
  void Search(const QString& Keywords) {
    W->edtByochu->setText(Keywords);
    W->actSearchTekiyouExecute();
  }

  static std::vector<std::vector<std::string>> Rows(const std::string& Sql) {
    std::vector<std::vector<std::string>> out;
    auto t = AcisDB->FDb->GetTable(Sql);
    for (; !t->Eof(); t->Next()) {
      std::vector<std::string> r;
      for (int c = 0; c < t->ColCount(); ++c) r.push_back(t->Fields(c));
      out.push_back(std::move(r));
    }
    return out;
  }
  static std::vector<std::string> Column(const std::string& Sql) {
    std::vector<std::string> out;
    for (auto& r : Rows(Sql)) out.push_back(r.at(0));
    return out;
  }
  static int64_t Count(const std::string& Sql) { return std::stoll(Column(Sql).at(0)); }

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

  static TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
  static std::string LastMessage() {
    auto m = Sink().Messages();
    return m.empty() ? std::string() : m.back().text;
  }
};

#define OPEN_PEST_TAB(t) \
  TPestTab t;            \
  ASSERT_TRUE(t.Open())
