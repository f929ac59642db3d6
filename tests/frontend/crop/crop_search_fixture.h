#pragma once
// Shared by the crop-search and picker tests: the main window on the sample register with
// the crop search installed, crop texts set by the test, and independent look-ups in the
// database the window opened.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "foundation/message_sink.h"
#include "frontend/crop/crop_search.h"
#include "frontend/frm_main.h"
#include "output/xls_string_grid.h"
#include "frontend/support_main_window.h"

struct TCropTab {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;
  TCropSearch* Cs = nullptr;
  QString Sel, Kin;

  bool Open() {
    if (!Fx.BuildSampleDb()) return false;
    // The plain views: registration number, crop and pest lead the columns.
    Fx.WriteIni("[OPTIONS]\nTushoMode=0\nSeibunViewMode=0\nKeitoViewMode=0\n");
    W = std::make_unique<TfrmMain>();
    W->show();
    Pump();
    if (!AcisDB) return false;
    Cs = InstallCropSearch(*W);
    Cs->SelectionText = [this] { return Sel; };
    Cs->KinsetsuText = [this] { return Kin; };
    return true;
  }
  ~TCropTab() { W.reset(); }

  // Runs the search the way the search action does.
  void Search(const QString& Main, const QString& Neighbour = {}) {
    Sel = Main;
    Kin = Neighbour;
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

  // Data rows of the crop grid as "col0|col1|col2" (bango, crop, pest in the plain views).
  std::multiset<std::string> GridRows() const {
    std::multiset<std::string> out;
    TXlsStringGrid* g = W->gdTekiyo;
    for (int r = 1; r < g->RowCount(); ++r) out.insert(g->Cells(0, r) + "|" + g->Cells(1, r) + "|" + g->Cells(2, r));
    return out;
  }
  int GridDataRows() const { return W->gdTekiyo->RowCount() - 1; }

  static TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
  static std::string LastMessage() {
    auto m = Sink().Messages();
    return m.empty() ? std::string() : m.back().text;
  }
};

#define OPEN_CROP_TAB(t) \
  TCropTab t;            \
  ASSERT_TRUE(t.Open())
