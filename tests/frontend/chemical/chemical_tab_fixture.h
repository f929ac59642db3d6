#pragma once
// Shared by the chemical-tab tests: the main window on the sample register with the chemical
// search installed, the chemical tab shown, and independent look-ups in the database the
// window opened.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "foundation/message_sink.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/chemical/product_sheet.h"
#include "frontend/frm_main.h"
#include "frontend/grid_state.h"
#include "frontend/support_main_window.h"
#include "output/xls_string_grid.h"

struct TChemTab {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;
  TChemicalSearch* Cs = nullptr;

  bool Open() {
    if (!Fx.BuildSampleDb()) return false;
    W = std::make_unique<TfrmMain>();
    Cs = InstallChemicalSearch(*W);
    W->show();
    Pump();
    if (!AcisDB) return false;
    W->pgSearch->setCurrentIndex(tiYakuzai);
    Sink().Clear();
    return true;
  }
  ~TChemTab() { W.reset(); }

  // The pickup as Enter in the chemical edit runs it.
  void Pickup(const QString& Yakuzai, const QString& Sakumotsu = {}) {
    W->eYakuzaiTabSakumotsu->setText(Sakumotsu);
    W->eYakuzai->setText(Yakuzai);
    Cs->YakuzaiPickup();
  }

  static std::vector<std::string> Items(const QListWidget* l) {
    std::vector<std::string> out;
    for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
    return out;
  }
  static std::set<std::string> ItemSet(const QListWidget* l) {
    auto v = Items(l);
    return {v.begin(), v.end()};
  }
  // Clicks an item of a list the way the mouse does.
  void Click(QListWidget* l, const std::string& text) {
    for (int i = 0; i < l->count(); ++i)
      if (l->item(i)->text().toStdString() == text) {
        l->setCurrentRow(i);
        emit l->itemClicked(l->item(i));
        return;
      }
    ADD_FAILURE() << "no item " << text;
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
  static std::set<std::string> Column(const std::string& Sql) {
    std::set<std::string> out;
    for (auto& r : Rows(Sql)) out.insert(r.at(0));
    return out;
  }

  static TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
};

#define OPEN_CHEM_TAB(t) \
  TChemTab t;            \
  ASSERT_TRUE(t.Open())
