// The main window's pages: the five search tabs with their designed controls (the pages
// built in their own files replace the placeholders later), the log pane and the pane sizes.
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>
#include <tuple>

#include "foundation/dlg_memo.h"
#include "frontend/crop/filter_bar_layout.h"
#include "frontend/frm_main.h"
#include "frontend/main_widgets.h"
#include "output/xls_string_grid.h"

using namespace MainWidgets;

void TfrmMain::BuildCropTab() {
  auto* lay = new QVBoxLayout(tabDefault);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterFraSakumotsu = NewSplitter(Qt::Horizontal, "SplitterFraSakumotsu");
  lay->addWidget(SplitterFraSakumotsu);

  // The crop-selection frame: its page control and the two selection boxes.
  fraSakumotsu = NewPanel("fraSakumotsu");
  auto* fl = new QVBoxLayout(fraSakumotsu);
  fl->setContentsMargins(0, 0, 0, 0);
  pgSakumotsu = Named(new QTabWidget(fraSakumotsu), "pgSakumotsu");
  NewPage(pgSakumotsu, "tabSakumotsuTree", "分類");
  NewPage(pgSakumotsu, "tabSakumotsuList", "作物名");
  NewPage(pgSakumotsu, "tabSakumotsuSearch", "検索");
  NewPage(pgSakumotsu, "tabSakumotsuBeppyo", "別表");
  fl->addWidget(pgSakumotsu, 1);
  fl->addWidget(new QLabel("作物"));
  eSakumotsu = NewEdit("eSakumotsu", fraSakumotsu);
  fl->addWidget(eSakumotsu);
  fl->addWidget(new QLabel("近接作物"));
  eKinsetsuSakumotsu = NewEdit("eKinsetsuSakumotsu", fraSakumotsu);
  fl->addWidget(eKinsetsuSakumotsu);
  SplitterFraSakumotsu->addWidget(fraSakumotsu);

  // Right side: the filter bar above the result grid. The bar's halves: pest and use
  // (pnlSakuLeft), purpose and formulation (pnlSakuRight); the option panel holds the
  // ingredient-count and class filters, which are not offered (hidden).
  pnlSakuGrid = NewPanel("pnlSakuGrid");
  auto* rl = new QVBoxLayout(pnlSakuGrid);
  rl->setContentsMargins(0, 0, 0, 0);
  rl->setSpacing(2);
  pnlSearchParam = NewPanel("pnlSearchParam");
  pnlSakuLeft = NewPanel("pnlSakuLeft");
  pnlSakuRight = NewPanel("pnlSakuRight");
  pnlSakuOpt = NewPanel("pnlSakuOpt");
  new TSakuBarLayout(pnlSearchParam, pnlSakuLeft, pnlSakuRight, pnlSakuOpt);
  pnlByochuSel = NewPanel("pnlByochuSel", pnlSakuLeft);
  pnlYotoSel = NewPanel("pnlYotoSel", pnlSakuLeft);
  pnlKeitoSel = NewPanel("pnlKeitoSel", pnlSakuOpt);
  pnlSeibunSel = NewPanel("pnlSeibunSel", pnlSakuOpt);
  btnByochu = NewButton("病害虫雑草", "btnByochu");
  cbByochu = NewCombo("cbByochu", true);
  btnMokuteki = NewButton("使用目的", "btnMokuteki");
  cbMokuteki = NewCombo("cbMokuteki", true);
  btnYoto = NewButton("用途", "btnYoto");
  edtYoto = NewEdit("edtYoto");
  btnZaikei = NewButton("剤型", "btnZaikei");
  cbZaikei = NewCombo("cbZaikei", true);
  btnKeito = NewButton("系統", "btnKeito");
  cbKeito = NewCombo("cbKeito", true);
  btnSeibun = NewButton("成分", "btnSeibun");
  cbKaisuSeibun = NewCombo("cbKaisuSeibun", true);
  // The left half: the pest row pnlByochuSel above the use row pnlYotoSel. The right half:
  // buttons in the first column, the boxes in the second, so that cbZaikei is always as wide
  // as cbMokuteki. The halves may be narrowed below their contents.
  auto* ll = new QVBoxLayout(pnlSakuLeft);
  ll->setSizeConstraint(QLayout::SetNoConstraint);
  ll->setContentsMargins(2, 2, 0, 2);
  ll->setSpacing(2);
  for (auto [row, button, box] : {std::tuple<QWidget*, QWidget*, QWidget*>{pnlByochuSel, btnByochu, cbByochu},
                                  std::tuple<QWidget*, QWidget*, QWidget*>{pnlYotoSel, btnYoto, edtYoto}}) {
    auto* hl = new QHBoxLayout(row);
    hl->setSizeConstraint(QLayout::SetNoConstraint);
    hl->setContentsMargins(0, 0, 0, 0);
    hl->setSpacing(2);
    hl->addWidget(button);
    hl->addWidget(box, 1);
    ll->addWidget(row);
  }
  const int leftButtons = std::max(btnByochu->sizeHint().width(), btnYoto->sizeHint().width());
  btnByochu->setMinimumWidth(leftButtons);
  btnYoto->setMinimumWidth(leftButtons);
  auto* rg = new QGridLayout(pnlSakuRight);
  rg->setSizeConstraint(QLayout::SetNoConstraint);
  rg->setContentsMargins(2, 2, 2, 2);
  rg->setHorizontalSpacing(2);
  rg->setVerticalSpacing(2);
  rg->addWidget(btnMokuteki, 0, 0);
  rg->addWidget(cbMokuteki, 0, 1);
  rg->addWidget(btnZaikei, 1, 0);
  rg->addWidget(cbZaikei, 1, 1);
  rg->setColumnStretch(1, 1);
  auto* ol = new QHBoxLayout(pnlSakuOpt);
  ol->setContentsMargins(0, 0, 0, 0);
  for (auto [panel, button, box] : {std::tuple<QWidget*, QWidget*, QWidget*>{pnlSeibunSel, btnSeibun, cbKaisuSeibun},
                                    std::tuple<QWidget*, QWidget*, QWidget*>{pnlKeitoSel, btnKeito, cbKeito}}) {
    auto* pl = new QHBoxLayout(panel);
    pl->setContentsMargins(0, 0, 0, 0);
    pl->addWidget(box);
    pl->addWidget(button);
    ol->addWidget(panel);
  }
  // Never shown.
  pnlKeitoSel->hide();
  pnlSeibunSel->hide();
  pnlSakuOpt->hide();
  // The bar keeps the height of its rows; while the grid waits for its first result the
  // room below stays empty.
  pnlSearchParam->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  rl->addWidget(pnlSearchParam);
  gdTekiyo = CreateResultGrid(pnlSakuGrid, "gdTekiyo");
  rl->addWidget(gdTekiyo, 1);
  rl->addStretch(0);
  SplitterFraSakumotsu->addWidget(pnlSakuGrid);
  SplitterFraSakumotsu->setStretchFactor(1, 1);
}

void TfrmMain::BuildPestTab() {
  auto* lay = new QVBoxLayout(tabByochu);
  lay->setContentsMargins(2, 2, 2, 2);
  pnlTabByochuTop = NewPanel("pnlTabByochuTop");
  auto* top = new QHBoxLayout(pnlTabByochuTop);
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(new QLabel("病害虫名"));
  edtByochu = NewEdit("edtByochu");
  top->addWidget(edtByochu, 1);
  btnTabByochu = NewButton("病害虫選択", "btnTabByochu");
  top->addWidget(btnTabByochu);
  btnTabByochuSaku = NewButton("作物", "btnTabByochuSaku");
  top->addWidget(btnTabByochuSaku);
  cbTabByochuSakumotu = NewCombo("cbTabByochuSakumotu", false);
  cbTabByochuSakumotu->setMinimumWidth(160);
  top->addWidget(cbTabByochuSakumotu);
  lay->addWidget(pnlTabByochuTop);
  gdByochu = CreateResultGrid(tabByochu, "gdByochu");
  lay->addWidget(gdByochu, 1);
}

void TfrmMain::BuildChemicalTab() {
  auto* lay = new QVBoxLayout(tabYakuzai);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterYakuzaiSide = NewSplitter(Qt::Horizontal, "SplitterYakuzaiSide");
  lay->addWidget(SplitterYakuzaiSide);

  pnlYakuzaiSide = NewPanel("pnlYakuzaiSide");
  auto* side = new QVBoxLayout(pnlYakuzaiSide);
  side->setContentsMargins(0, 0, 0, 0);
  pnlYakuzaiSideUp = NewPanel("pnlYakuzaiSideUp");
  // Each candidate edit has a row of its own with its clear button and its picker button: a
  // hidden clear button leaves no gap between the edit and the picker button.
  auto* up = new QVBoxLayout(pnlYakuzaiSideUp);
  up->setContentsMargins(0, 0, 0, 0);
  auto editRow = [up](QLineEdit* edit, QToolButton* clear, QPushButton* picker) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(clear);
    row->addWidget(picker);
    up->addLayout(row);
  };
  up->addWidget(new QLabel("作物候補"));
  eYakuzaiTabSakumotsu = NewEdit("eYakuzaiTabSakumotsu");
  bYakuzaiTabSakumotsuClear = Named(new QToolButton, "bYakuzaiTabSakumotsuClear");
  bYakuzaiTabSakumotsuClear->setText("×");
  bYakuzaiTabSakuSel = NewButton("作", "bYakuzaiTabSakuSel");
  bYakuzaiTabSakuSel->setToolTip("作物名選択");
  editRow(eYakuzaiTabSakumotsu, bYakuzaiTabSakumotsuClear, bYakuzaiTabSakuSel);
  up->addWidget(new QLabel("薬剤候補"));
  eYakuzai = NewEdit("eYakuzai");
  bYakuzaiTabYakuzaiClear = Named(new QToolButton, "bYakuzaiTabYakuzaiClear");
  bYakuzaiTabYakuzaiClear->setText("×");
  btnYakuzaiSel = NewButton("薬", "btnYakuzaiSel");
  btnYakuzaiSel->setToolTip("薬剤名選択");
  editRow(eYakuzai, bYakuzaiTabYakuzaiClear, btnYakuzaiSel);
  cbYotoTabYakuzai = NewCombo("cbYotoTabYakuzai", false);
  up->addWidget(cbYotoTabYakuzai);
  for (QPushButton* b : {bYakuzaiTabSakuSel, btnYakuzaiSel}) b->setMaximumWidth(32);
  side->addWidget(pnlYakuzaiSideUp);

  SplitterYakuzaiList = NewSplitter(Qt::Vertical, "SplitterYakuzaiList");
  pgYakuzaiSide = Named(new QTabWidget, "pgYakuzaiSide");
  tabTsusho = NewPage(pgYakuzaiSide, "tabTsusho", "通称");
  tabBango = NewPage(pgYakuzaiSide, "tabBango", "登録番号");
  lstTsusho = Named(new QListWidget(tabTsusho), "lstTsusho");
  (new QVBoxLayout(tabTsusho))->addWidget(lstTsusho);
  lstBango = Named(new QListWidget(tabBango), "lstBango");
  (new QVBoxLayout(tabBango))->addWidget(lstBango);
  for (QWidget* p : {tabTsusho, tabBango}) p->layout()->setContentsMargins(0, 0, 0, 0);
  SplitterYakuzaiList->addWidget(pgYakuzaiSide);
  pgYakuzaiSideSeibun = Named(new QTabWidget, "pgYakuzaiSideSeibun");
  pgYakuzaiSideSeibun->setMovable(true);  // the related-product pages can be dragged
  // All six page tabs stay in sight: the tab bar has no scroll arrows, and its width (in the
  // panel's font) is the least width of the side panel.
  pgYakuzaiSideSeibun->setUsesScrollButtons(false);
  pgYakuzaiSideSeibun->tabBar()->setElideMode(Qt::ElideNone);
  tabSeibun = NewPage(pgYakuzaiSideSeibun, "tabSeibun", "成分", "同一有効成分を含む剤");
  tabKeito = NewPage(pgYakuzaiSideSeibun, "tabKeito", "系統", "同一系統の剤");
  tabSayoten = NewPage(pgYakuzaiSideSeibun, "tabSayoten", "作用点", "作用点が同一の剤");
  tabRac = NewPage(pgYakuzaiSideSeibun, "tabRac", "RAC", "RACコードが同一の剤");
  tabSeibunPlural = NewPage(pgYakuzaiSideSeibun, "tabSeibunPlural", "複数", "全ての有効成分を含む剤");
  tabRacKeito = NewPage(pgYakuzaiSideSeibun, "tabRacKeito", "RAC系統", "RAC系統が同一の剤");
  SplitterYakuzaiList->addWidget(pgYakuzaiSideSeibun);
  SplitterYakuzaiList->setStretchFactor(0, 1);
  side->addWidget(SplitterYakuzaiList, 1);
  SplitterYakuzaiSide->addWidget(pnlYakuzaiSide);

  // Right side: the product sheet above the registered uses.
  SplitterYakuzaiTekiyo = NewSplitter(Qt::Vertical, "SplitterYakuzaiTekiyo");
  pnlYakuzaiUpper = NewPanel("pnlYakuzaiUpper");
  auto* upper = new QHBoxLayout(pnlYakuzaiUpper);
  upper->setContentsMargins(0, 0, 0, 0);
  SplitterSeizai = NewSplitter(Qt::Horizontal, "SplitterSeizai");
  upper->addWidget(SplitterSeizai);
  // Product choice and product grid at the left, the ingredient grid in the middle, the
  // aquatic-toxicity notes at the right.
  pnlYakuzaiTop = NewPanel("pnlYakuzaiTop");
  auto* topl = new QVBoxLayout(pnlYakuzaiTop);
  topl->setContentsMargins(0, 0, 0, 0);
  SplitterYakuzaiSeibun = NewSplitter(Qt::Vertical, "SplitterYakuzaiSeibun");
  topl->addWidget(SplitterYakuzaiSeibun);
  pnlYakuzaiSelect = NewPanel("pnlYakuzaiSelect");
  auto* sel = new QVBoxLayout(pnlYakuzaiSelect);
  sel->setContentsMargins(0, 0, 0, 0);
  cbYakuzai = NewCombo("cbYakuzai", true);
  sel->addWidget(cbYakuzai);
  sel->addStretch(1);
  SplitterYakuzaiSeibun->addWidget(pnlYakuzaiSelect);
  gdSeizai = CreateResultGrid(nullptr, "gdSeizai");
  SplitterYakuzaiSeibun->addWidget(GridHolder(gdSeizai, "pnlSeizai"));
  SplitterYakuzaiSeibun->setStretchFactor(1, 1);
  SplitterSeizai->addWidget(pnlYakuzaiTop);
  gdSeibun = CreateResultGrid(nullptr, "gdSeibun");
  SplitterSeizai->addWidget(GridHolder(gdSeibun, "pnlSeibun"));
  mSuisan = Named(new QPlainTextEdit, "mSuisan");
  mSuisan->setReadOnly(true);
  SplitterSeizai->addWidget(mSuisan);
  SplitterSeizai->setStretchFactor(1, 1);
  SplitterYakuzaiTekiyo->addWidget(pnlYakuzaiUpper);
  gdYakuzai = CreateResultGrid(nullptr, "gdYakuzai");
  SplitterYakuzaiTekiyo->addWidget(GridHolder(gdYakuzai, "pnlYakuzai"));
  SplitterYakuzaiTekiyo->setStretchFactor(1, 1);
  SplitterYakuzaiSide->addWidget(SplitterYakuzaiTekiyo);
  SplitterYakuzaiSide->setStretchFactor(1, 1);
}

void TfrmMain::BuildTemplateTab() {
  auto* lay = new QVBoxLayout(tshTemplate);
  lay->setContentsMargins(0, 0, 0, 0);
  // The template page docks here; until it does, the panel holds the page's result grid.
  fplTemplate = NewPanel("fplTemplate");
  auto* fl = new QVBoxLayout(fplTemplate);
  fl->setContentsMargins(2, 2, 2, 2);
  TemplateGrid = CreateResultGrid(fplTemplate, "gdTemplate");
  fl->addWidget(TemplateGrid, 1);
  lay->addWidget(fplTemplate);
}

void TfrmMain::BuildSqlTab() {
  auto* lay = new QVBoxLayout(tabSQL);
  lay->setContentsMargins(2, 2, 2, 2);
  SplitterSqlSide = NewSplitter(Qt::Horizontal, "SplitterSqlSide");
  lay->addWidget(SplitterSqlSide);
  pnlSqlSide = NewPanel("pnlSqlSide");
  auto* side = new QVBoxLayout(pnlSqlSide);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(new QLabel("テーブル"));
  cbTableName = NewCombo("cbTableName", false);
  cbTableName->addItems({"テーブル", "ビュー", "一時テーブル"});
  side->addWidget(cbTableName);
  side->addWidget(Named(new QListWidget, "lstTableName"), 1);
  SplitterSqlSide->addWidget(pnlSqlSide);

  SplitterSQL = NewSplitter(Qt::Vertical, "SplitterSQL");
  pnlSQL = NewPanel("pnlSQL");
  auto* sl = new QVBoxLayout(pnlSQL);
  sl->setContentsMargins(0, 0, 0, 0);
  SQLEditor = Named(new QsciScintilla(pnlSQL), "SQLEditor");
  SQLEditor->setUtf8(true);
  SQLHighlighter = new QsciLexerSQL(SQLEditor);
  SQLHighlighter->setObjectName("SQLHighlighter");
  SQLEditor->setLexer(SQLHighlighter);
  sl->addWidget(SQLEditor, 1);
  auto* buttons = new QHBoxLayout;
  btnQueryExec = NewButton("実行", "btnQueryExec");
  btnQuerySave = NewButton("保存", "btnQuerySave");
  btnQueryLoad = NewButton("読込", "btnQueryLoad");
  btnTest = NewButton("TEST", "btnTest", pnlSQL);
  btnTest->hide();
  btnTest->setEnabled(false);
  buttons->addWidget(btnQueryExec);
  buttons->addWidget(btnQuerySave);
  buttons->addWidget(btnQueryLoad);
  buttons->addStretch(1);
  sl->addLayout(buttons);
  SplitterSQL->addWidget(pnlSQL);
  gdSQL = CreateResultGrid(nullptr, "gdSQL");
  SplitterSQL->addWidget(GridHolder(gdSQL, "pnlSqlGrid"));
  SplitterSQL->setStretchFactor(1, 1);
  SplitterSqlSide->addWidget(SplitterSQL);
  SplitterSqlSide->setStretchFactor(1, 1);
  connect(btnQueryExec, &QPushButton::clicked, actSearchTekiyou, &QAction::trigger);
  connect(btnTest, &QPushButton::clicked, this, [this] { TDlgMemo::ShowModal(this, QString(), QString(), QString()); });
}

void TfrmMain::BuildPages() {
  SplitterGrid = NewSplitter(Qt::Vertical, "SplitterGrid");
  pgSearch = Named(new QTabWidget, "pgSearch");
  tabDefault = NewPage(pgSearch, "tabDefault", "作物");
  tabByochu = NewPage(pgSearch, "tabByochu", "病害虫");
  tabYakuzai = NewPage(pgSearch, "tabYakuzai", "薬剤");
  tshTemplate = NewPage(pgSearch, "tshTemplate", "定型処理");
  tabSQL = NewPage(pgSearch, "tabSQL", "SQL");
  BuildCropTab();
  BuildPestTab();
  BuildChemicalTab();
  BuildTemplateTab();
  BuildSqlTab();
  SplitterGrid->addWidget(pgSearch);
  mLog = Named(new QPlainTextEdit, "mLog");
  mLog->setReadOnly(true);
  mLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  mLog->setContextMenuPolicy(Qt::CustomContextMenu);
  // The position comes in the coordinates of the text area inside the pane's frame.
  connect(mLog, &QPlainTextEdit::customContextMenuRequested, this,
          [this](const QPoint& p) { ShowLogPopup(mLog->viewport()->mapToGlobal(p)); });
  // Ctrl+S saves the pane while it has the focus (its copy and select-all keys are its own).
  pmnLogSave->setShortcutContext(Qt::WidgetShortcut);
  mLog->addAction(pmnLogSave);
  SplitterGrid->addWidget(mLog);
  // The log pane may be made as small as one line, or pushed out of sight.
  mLog->setMinimumHeight(16);
  SplitterGrid->setCollapsible(1, true);
  SplitterGrid->setStretchFactor(0, 1);
  SplitterGrid->setStretchFactor(1, 0);
  setCentralWidget(SplitterGrid);
  connect(pgSearch, &QTabWidget::currentChanged, this, [this] { pgSearchChange(); });

  // Designed sizes of the panes (the settings file may give others).
  SetPaneSize(fraSakumotsu, 240);
  SetPaneSize(mLog, 80);
  SetPaneSize(pnlYakuzaiSide, 150);
  SetPaneSize(pgYakuzaiSideSeibun, 120);
  SetPaneSize(pnlYakuzaiUpper, 180);
  SetPaneSize(pnlYakuzaiTop, 260);
  SetPaneSize(pnlYakuzaiSelect, 60);
  SetPaneSize(mSuisan, 160);
  SetPaneSize(pnlSqlSide, 105);
  SetPaneSize(pnlSQL, 120);
  for (QSplitter* s : findChildren<QSplitter*>()) {
    s->installEventFilter(this);
    // A size the user drags is the pane's size from then on.
    connect(s, &QSplitter::splitterMoved, this, [this, s] {
      if (applyingSizes_) return;
      for (int i = 0; i < s->count(); ++i) pendingSizes_.erase(s->widget(i));
    });
    // Panes may be made small; their sizes are the user's.
    for (int i = 0; i < s->count(); ++i) {
      QWidget* pane = s->widget(i);
      if (pane == pnlYakuzaiSide) continue;  // as narrow as its tab bar lets it
      if (s->orientation() == Qt::Horizontal)
        pane->setMinimumWidth(std::max(pane->minimumWidth(), 16));
      else
        pane->setMinimumHeight(std::max(pane->minimumHeight(), 16));
    }
  }
  // The layouts around measured the splitters before these least sizes, and a page not in
  // front measures nothing anew by itself: measured again, or the window could not be made as
  // narrow as its pages let it.
  for (QSplitter* s : findChildren<QSplitter*>()) s->updateGeometry();
}
