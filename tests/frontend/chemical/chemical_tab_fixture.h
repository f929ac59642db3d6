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

#include "frontend/chemical/chemical_search.h"
#include "frontend/chemical/product_sheet.h"
#include "frontend/grid_state.h"
#include "frontend/support_search_tab.h"
#include "output/xls_string_grid.h"

struct TChemTab : TSearchTab {
  TChemicalSearch* Cs = nullptr;

  bool Open() {
    if (!OpenWindow({}, [this](TfrmMain& w) { Cs = InstallChemicalSearch(w); })) return false;
    W->pgSearch->setCurrentIndex(tiYakuzai);
    Sink().Clear();
    return true;
  }

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

  // The first column's values, each once.
  static std::set<std::string> Column(const std::string& Sql) {
    auto v = TSearchTab::Column(Sql);
    return {v.begin(), v.end()};
  }
};

#define OPEN_CHEM_TAB(t) \
  TChemTab t;            \
  ASSERT_TRUE(t.Open())
