// The main window's context menus as the user opens them: the log pane's menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

#include "common/menu_probe.h"
#include "foundation/global.h"
#include "frontend/frm_main.h"
#include "frontend/main_output_actions.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

struct TWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> w;
  TXlsStringGrid* g = nullptr;
  TWindow() {
    w = std::make_unique<TfrmMain>();
    InstallOutputActions(*w);
    w->resize(700, 450);
    w->show();
    Pump();
    g = w->gdTekiyo;
    g->Fill({"番号", "農薬の名称", "作物名"}, {{"10", "アセタミプリド水溶剤", "トマト"},
                                              {"9", "イミダクロプリド粒剤", "なす"},
                                              {"100", "マンゼブ水和剤", "きゅうり"},
                                              {"8", "ボルドー", "ミニトマト"}});
    g->show();
    w->pgSearch->setCurrentIndex(tiSakumotsu);
    w->pgSearchChange();
    w->EnableResultActions(true);
    Pump();
    g->setFocus();
  }
  ~TWindow() { w.reset(); }
  QPoint CellCentre(int col, int row) const { return g->visualRect(g->model()->index(row - 1, col)).center(); }
  // The menu's cell while it is open: column, row and the text it works on.
  struct TCell {
    int Col = -2, Row = -2;
    QString Text;
  };
  TMenuSeen Open(const std::function<void()>& how, TCell* cell = nullptr,
                 const std::function<void()>& whileOpen = nullptr) {
    return OpenMenu(how, [this, cell, whileOpen](QMenu*) {
      if (cell) *cell = {w->MouseCol, w->MouseRow, w->PopupCellText};
      if (whileOpen) whileOpen();
    });
  }
};

}  // namespace

TEST(ContextMenus, LogPaneMenuOpensAtThePointer) {
  TWindow t;
  TfrmMain& w = *t.w;
  if (!w.mnLogPaneOn->isChecked()) w.mnLogPaneOn->trigger();
  Pump();
  w.WriteLog(QStringLiteral("一行目"));
  ASSERT_TRUE(w.mLog->isVisible());
  ASSERT_GT(w.mLog->frameWidth(), 0);
  const QPoint at(20, 5);
  TMenuSeen seen = OpenMenu([&] { RightClick(w.mLog->viewport(), at); });
  ASSERT_EQ(seen.Menu, w.pmnLog);
  EXPECT_EQ(seen.Pos, w.mLog->viewport()->mapToGlobal(at));
}
