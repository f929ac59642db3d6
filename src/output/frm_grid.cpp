#include "output/frm_grid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "foundation/font_rec.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/screen_placement.h"
#include "foundation/window_action.h"
#include "output/dlg_tekiyou_card.h"
#include "output/grid_row_removal.h"
#include "output/html_view_route.h"
#include "output/spreadsheet_export.h"
#include "output/web_lookup.h"

namespace {

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

int ImagePixels(int index) {
  static const int px[] = {16, 24, 32, 48};
  return px[std::clamp(index, 0, 3)];
}

struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

TfrmGrid::TfrmGrid(QWidget* owner) : QMainWindow(owner, Qt::Window) {
  setObjectName("frmGrid");
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle("Quillmar");
  BuildActions();
  BuildControls();
  BuildMenus();
  HtmlView = [](TfrmGrid& owner, const TResultPage& page, const QString& caption, int route) {
    RunHtmlViewRoute(&owner, page, caption, route);
  };
  EnableHtmlActions();
  if (owner) eYakuzaiG = owner->window()->findChild<QLineEdit*>("eYakuzaiG");
  resize(owner ? owner->window()->size() : QSize(900, 600));
  if (owner) PlaceBeside(*owner->window());
}

void TfrmGrid::PlaceBeside(const QWidget& main) {
  // A step below and right of the main window, whole inside the work area: left to itself the
  // desktop may put a window of the main window's size partly below the screen's edge.
  const QRect area = WorkAreaAt(main.frameGeometry().center());
  if (!area.isValid()) return;
  const QSize frame(16, 48);  // the desktop's border and title bar, about; not known before showing
  resize(size().boundedTo(area.size() - frame));
  move(ClampToArea(main.frameGeometry().topLeft() + QPoint(32, 32), size() + frame, area));
}

TfrmGrid::~TfrmGrid() = default;

void TfrmGrid::BuildActions() {
  auto act = [this](const QString& caption, const char* name, const QKeySequence& key = {}) {
    return AddWindowAction(this, new QAction(caption, this), name, key);
  };
  QStyle* st = style();
  actCopy = act("コピー(&C)", "actCopy", QKeySequence("Ctrl+C"));
  actCopy->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
  actCopyAll = act("全てコピー", "actCopyAll");
  actCopyAll->setIcon(st->standardIcon(QStyle::SP_FileDialogListView));
  actExportExcel = act("Excel出力", "actExportExcel");
  actCopyExcelByHTML = act("Excel出力(HTML)", "actCopyExcelByHTML");
  actExportCalc = act("LibreOffice Calc出力", "actExportCalc");
  actExportHTML = act("HTML出力", "actExportHTML");
  actExportHTML->setIcon(st->standardIcon(QStyle::SP_FileIcon));
  actGoogle = act("Google で検索", "actGoogle");
  actWeblio = act("Weblioで検索", "actWeblio");
  actFcgr = act("フジテレビ商品研究所で検索", "actFcgr");
  actDeleteRow = act("行削除(&D)", "actDeleteRow", QKeySequence("Ctrl+X"));
  actDeleteCol = act("列削除", "actDeleteCol");
  actFixedCol = act("列固定", "actFixedCol");
  actFixedColOff = act("列固定解除", "actFixedColOff");
  actSendToTabYakuzai = act("薬剤タブで検索", "actSendToTabYakuzai");
  actExportWPS = act("WPS 出力", "actExportWPS");
  actGoogleFfcr = act("Googleで Ffcrサイト内検索", "actGoogleFfcr");
  actSearchNihs = act("Google でNihsサイト内検索", "actSearchNihs");
  actGridSeibunCopy = act("コピー", "actGridSeibunCopy");
  actGridSeibunCopyALL = act("全てコピー", "actGridSeibunCopyALL");
  actExportJustCalc = act("JustCalc出力", "actExportJustCalc");
  actCopyJustCalcByHTML = act("justCalc出力", "actCopyJustCalcByHTML");
  for (QAction* a : {actExportExcel, actCopyExcelByHTML, actExportCalc, actExportWPS, actExportJustCalc,
                     actCopyJustCalcByHTML})
    a->setIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView));

  connect(actCopy, &QAction::triggered, this, &TfrmGrid::actCopyExecute);
  connect(actCopyAll, &QAction::triggered, this, &TfrmGrid::actCopyAllExecute);
  connect(actDeleteRow, &QAction::triggered, this, &TfrmGrid::actDeleteRowExecute);
  connect(actDeleteCol, &QAction::triggered, this, &TfrmGrid::actDeleteColExecute);
  connect(actFixedCol, &QAction::triggered, this, &TfrmGrid::actFixedColExecute);
  connect(actFixedColOff, &QAction::triggered, this, &TfrmGrid::actFixedColOffExecute);
  connect(actGridSeibunCopy, &QAction::triggered, this, [this] {
    if (gdSeibun->RowCount() > gdSeibun->FixedRows()) gdSeibun->CopySelection();
  });
  connect(actGridSeibunCopyALL, &QAction::triggered, this, [this] { gdSeibun->CopyClipboard(); });
  connect(actExportExcel, &QAction::triggered, this, [this] { actExportSpreadsheet(actExportExcel, sskExcel); });
  connect(actExportJustCalc, &QAction::triggered, this,
          [this] { actExportSpreadsheet(actExportJustCalc, sskJustCalc); });
  connect(actExportHTML, &QAction::triggered, this, [this] { actHtmlRoute(nullptr, -1); });
  connect(actCopyExcelByHTML, &QAction::triggered, this, [this] { actHtmlRoute(actCopyExcelByHTML, sskExcel); });
  connect(actExportCalc, &QAction::triggered, this, [this] { actHtmlRoute(actExportCalc, sskCalc); });
  connect(actExportWPS, &QAction::triggered, this, [this] { actHtmlRoute(actExportWPS, sskKingsoft); });
  connect(actCopyJustCalcByHTML, &QAction::triggered, this,
          [this] { actHtmlRoute(actCopyJustCalcByHTML, sskJustCalc); });
  // The HTML view arrives with its creator's hook.
  for (QAction* a : {actExportHTML, actCopyExcelByHTML, actExportCalc, actExportWPS, actCopyJustCalcByHTML})
    a->setEnabled(false);
}

void TfrmGrid::BuildControls() {
  using W = QWidget;
  SplitterYakuzaiTekiyo = Named(new QSplitter(Qt::Vertical, this), "SplitterYakuzaiTekiyo");
  SplitterYakuzaiTekiyo->setChildrenCollapsible(false);
  setCentralWidget(SplitterYakuzaiTekiyo);

  // The product panel of the chemical tab (hidden for the other tabs).
  pnlYakuzai = Named(new W, "pnlYakuzai");
  auto* yl = new QVBoxLayout(pnlYakuzai);
  yl->setContentsMargins(0, 0, 0, 0);
  SplitterYakuzaiSeibun = Named(new QSplitter(Qt::Vertical, pnlYakuzai), "SplitterYakuzaiSeibun");
  SplitterYakuzaiSeibun->setChildrenCollapsible(false);
  yl->addWidget(SplitterYakuzaiSeibun);
  pnlYakuzaiUpper = Named(new W, "pnlYakuzaiUpper");
  auto* ul = new QVBoxLayout(pnlYakuzaiUpper);
  ul->setContentsMargins(0, 0, 0, 0);
  ul->setSpacing(2);
  pnlYakuzaiTop = Named(new W, "pnlYakuzaiTop");
  auto* tl = new QHBoxLayout(pnlYakuzaiTop);
  tl->setContentsMargins(2, 2, 2, 2);
  lblGoogle = Named(new QLabel("G", pnlYakuzaiTop), "lblGoogle");
  lblGoogle->setCursor(Qt::PointingHandCursor);
  lblGoogle->setToolTip("Google で検索");
  QFont lf = lblGoogle->font();
  lf.setUnderline(true);
  lblGoogle->setFont(lf);
  QPalette lp = lblGoogle->palette();
  lp.setColor(QPalette::WindowText, QColor(0, 0, 255));
  lblGoogle->setPalette(lp);
  lblGoogle->installEventFilter(this);
  edtYakuzai = Named(new QLineEdit(pnlYakuzaiTop), "edtYakuzai");
  edtYakuzai->setReadOnly(true);
  tl->addWidget(lblGoogle);
  tl->addWidget(edtYakuzai, 1);
  pnlSeizaiTop = Named(new W, "pnlSeizaiTop");
  auto* sl = new QHBoxLayout(pnlSeizaiTop);
  sl->setContentsMargins(0, 0, 0, 0);
  Splitter1 = Named(new QSplitter(Qt::Horizontal, pnlSeizaiTop), "Splitter1");
  Splitter1->setChildrenCollapsible(false);
  sl->addWidget(Splitter1);
  pnlSeizai = Named(new W, "pnlSeizai");
  auto* zl = new QVBoxLayout(pnlSeizai);
  zl->setContentsMargins(0, 0, 0, 0);
  gdSeizai = Named(new TXlsStringGrid(pnlSeizai), "gdSeizai");
  zl->addWidget(gdSeizai);
  pnlSeizai->installEventFilter(this);
  mSuisan = Named(new QPlainTextEdit, "mSuisan");
  mSuisan->setReadOnly(true);
  Splitter1->addWidget(pnlSeizai);
  Splitter1->addWidget(mSuisan);
  ul->addWidget(pnlYakuzaiTop);
  ul->addWidget(pnlSeizaiTop, 1);
  gdSeibun = Named(new TXlsStringGrid, "gdSeibun");
  SplitterYakuzaiSeibun->addWidget(pnlYakuzaiUpper);
  SplitterYakuzaiSeibun->addWidget(gdSeibun);
  pnlYakuzai->hide();

  gdResult = Named(new TXlsStringGrid, "gdResult");
  gdResult->ProportionalScrollBars = true;
  SplitterYakuzaiTekiyo->addWidget(pnlYakuzai);
  SplitterYakuzaiTekiyo->addWidget(gdResult);
  SplitterYakuzaiTekiyo->setStretchFactor(1, 1);
  for (TXlsStringGrid* g : {gdResult, gdSeibun, gdSeizai}) SetupGrid(g);
  gdSeizai->SortOnTitleClick = false;
  // The summary's value column takes the panel's width (pnlSeizaiResize): a horizontal bar
  // would only hide its last row.
  gdSeizai->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Title presses sort (any button but the right one), under the hourglass.
  gdResult->SortOnTitleClick = false;
  connect(gdResult, &TXlsStringGrid::TitlePressed, this, [this](int col, Qt::MouseButton button) {
    if (button == Qt::RightButton) return;
    TWaitCursor wait;
    gdResult->SortByTitleClick(col);
  });
  connect(gdResult, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    OpenCard(gdResult->Row() >= gdResult->FixedRows() ? gdResult->Row() : index.row() + gdResult->FixedRows());
  });

  ToolBar = Named(new QToolBar(this), "ToolBar");
  ToolBar->setMovable(false);
  addToolBar(ToolBar);
  ToolBar->addAction(actExportHTML);
  btnSpreadSheet = Named(new QToolButton(ToolBar), "btnSpreadSheet");
  dmCalc = Named(new QMenu(this), "dmCalc");
  for (QAction* a : {actExportExcel, actCopyExcelByHTML, actExportCalc, actExportWPS, actExportJustCalc})
    dmCalc->addAction(a);
  btnSpreadSheet->setMenu(dmCalc);
  btnSpreadSheet->setPopupMode(QToolButton::MenuButtonPopup);
  btnSpreadSheet->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ToolBar->addWidget(btnSpreadSheet);
  ToolBar->addAction(actCopy);
  btnCopyAll = Named(new QToolButton(ToolBar), "btnCopyAll");
  btnCopyAll->setDefaultAction(actCopyAll);
  ToolBar->addWidget(btnCopyAll);
}

void TfrmGrid::SetupGrid(TXlsStringGrid* g) {
  g->ShowErrDlg = true;
  g->setMouseTracking(true);
  g->viewport()->setMouseTracking(true);
  g->installEventFilter(this);
  g->viewport()->installEventFilter(this);
}

void TfrmGrid::ApplyOptions() {
  if (OptionData) {
    QFont f;
    FontRecToFont(OptionData->MainFormFont, f);
    setFont(f);
    QFont tf;
    FontRecToFont(OptionData->TekiyouFont, tf);
    gdResult->setFont(tf);
    QFont sf;
    FontRecToFont(OptionData->SeibunGridFont, sf);
    gdSeibun->setFont(sf);
    gdSeizai->setFont(sf);
    FontRecToFont(OptionData->Tekiyou2Font, EvenRowFont);
    TGridDelegate& d = gdResult->Delegate();
    d.EveryOtherLine = OptionData->TekiyouGridEveryOtherLine;
    d.OddRowColor = ColorToQColor(OptionData->TekiyouColor);
    d.EvenRowColor = ColorToQColor(OptionData->TekiyouColor2);
    d.EvenRowFont = EvenRowFont;
    d.LineSpace = OptionData->GridLineSpace;
    // The product panel's grids leave the same room above and below their text as in the
    // main window.
    gdSeibun->Delegate().LineSpace = OptionData->GridLineSpace;
    gdSeizai->Delegate().LineSpace = OptionData->GridLineSpace;
    const int menuPx = ImagePixels(OptionData->MenuImageSize);
    const int btnPx = ImagePixels(OptionData->BtnImageSize);
    ToolBar->setIconSize(QSize(btnPx, btnPx));
    for (QMenu* m : {dmCalc, pmnGrid, pmnGridSeibun})
      if (m) m->setStyleSheet(QString("QMenu::icon { width: %1px; height: %1px; }").arg(menuPx));
  }
  switch (OptionData ? OptionData->SpreadSheet : 0) {
    case 1:
      SetSpreadsheetButton(actExportCalc);
      if (actExportCalc->isEnabled()) btnSpreadSheet->setText("Calc出力");
      break;
    case 2: SetSpreadsheetButton(actExportWPS); break;
    case 3: SetSpreadsheetButton(actExportJustCalc); break;
    default: SetSpreadsheetButton(actCopyExcelByHTML); break;
  }
}

void TfrmGrid::SetSpreadsheetButton(QAction* a) {
  // Until the HTML routes are there, the button offers the workbook route in their place.
  if (!a->isEnabled() && a != actExportJustCalc) a = actExportExcel;
  btnSpreadSheet->setDefaultAction(a);
}

void TfrmGrid::EnableHtmlActions() {
  const bool on = static_cast<bool>(HtmlView);
  for (QAction* a : {actExportHTML, actCopyExcelByHTML, actExportCalc, actExportWPS, actCopyJustCalcByHTML})
    a->setEnabled(on);
  ApplyOptions();
}

// ---------------------------------------------------------------------------------------------
// Grids

void TfrmGrid::SetHighlightWords(const std::string& words) {
  FHighlightWords = words;
  gdResult->SetHighlightWords(words);
}

void TfrmGrid::SetGrid(const TXlsStringGrid& src, int target) {
  TXlsStringGrid* g = target == 1 ? gdSeibun : target == 2 ? gdSeizai : gdResult;
  g->AssignGrid(src);
  g->SetRowSelect(src.RowSelect());
  if (target == 0) g->SetHighlightWords(FHighlightWords);
  g->show();
}

void TfrmGrid::FitProductPanel(int ingredientsHeight, int summaryWidth, int memoWidth) {
  auto gridHeight = [](const TXlsStringGrid* g) {
    int h = g->verticalHeader()->length() + 2 * g->frameWidth();
    if (!g->horizontalHeader()->isHidden()) h += g->horizontalHeader()->sizeHint().height();
    // Columns wider than the grid: room for the horizontal bar as well.
    if (g->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff &&
        g->horizontalHeader()->length() > g->viewport()->width())
      h += g->horizontalScrollBar()->sizeHint().height();
    return h;
  };
  constexpr int kMinIngredients = 60;
  const int upper = pnlYakuzaiTop->sizeHint().height() + 2 + gridHeight(gdSeizai) + 2;
  // The ingredients need no more than their rows; the uses below keep a third of the window.
  const int total = SplitterYakuzaiTekiyo->height() > 0 ? SplitterYakuzaiTekiyo->height() : height();
  const int handles = SplitterYakuzaiSeibun->handleWidth() + SplitterYakuzaiTekiyo->handleWidth();
  int ingredients = std::min(ingredientsHeight, gridHeight(gdSeibun));
  ingredients = std::min(ingredients, total * 2 / 3 - upper - handles);
  ingredients = std::max({ingredients, kMinIngredients, gdSeibun->minimumSizeHint().height()});
  SplitterYakuzaiSeibun->setSizes({upper, ingredients});
  const int panel = upper + SplitterYakuzaiSeibun->handleWidth() + ingredients;
  SplitterYakuzaiTekiyo->setSizes({panel, std::max(100, total - panel - SplitterYakuzaiTekiyo->handleWidth())});
  if (summaryWidth > 0 && memoWidth > 0) Splitter1->setSizes({summaryWidth, memoWidth});
}

TResultPage TfrmGrid::MakeHTML(const std::string& cssFile, TSpreadSheetKind kind) const {
  TResultPageSource src;
  src.Grid = &gdResult->Model();
  src.UpdateText = AcisDB ? AcisDB->FLastUpdate : std::string();
  src.GridWindow = true;
  src.MarkNeighbours = SourceTab == 0;
  TResultPageProduct product;
  if (SourceTab == 2) {
    product = ResultPageProduct(edtYakuzai->text().toStdString(), gdSeizai->Model(), &gdSeibun->Model(),
                                mSuisan->toPlainText().toStdString());
    src.Product = &product;
  }
  return BuildResultPage(src, cssFile, kind);
}

void TfrmGrid::pnlSeizaiResize() {
  if (gdSeizai->ColCount() < 2) return;
  gdSeizai->SetColWidths(1, std::max(10, pnlSeizai->width() - gdSeizai->ColWidths(0) - 4));
}

// ---------------------------------------------------------------------------------------------
// Copies, rows and columns

void TfrmGrid::actCopyExecute() {
  if (QApplication::focusWidget() == gdSeibun) {
    if (gdSeibun->RowCount() > gdSeibun->FixedRows()) gdSeibun->CopySelection();
    return;
  }
  if (gdResult->RowCount() > gdResult->FixedRows()) gdResult->CopySelection();
}

void TfrmGrid::actCopyAllExecute() { gdResult->CopyClipboard(); }

void TfrmGrid::actDeleteRowExecute() { RemoveSelectedRows(gdResult); }

void TfrmGrid::actDeleteColExecute() { gdResult->RemoveColumn(MouseCol); }

void TfrmGrid::actFixedColExecute() {
  gdResult->SetFixedCols(std::min(gdResult->FixedCols() + 1, std::max(0, gdResult->ColCount() - 1)));
}

void TfrmGrid::actFixedColOffExecute() { gdResult->SetFixedCols(0); }

// ---------------------------------------------------------------------------------------------
// Exports

void TfrmGrid::actExportSpreadsheet(QAction* action, TSpreadSheetKind kind) {
  SetSpreadsheetButton(action);
  CopyGridToSpreadsheet(*gdResult, kind);
}

void TfrmGrid::actHtmlRoute(QAction* action, int route) {
  if (!HtmlView) return;
  if (action) {
    SetSpreadsheetButton(action);
    if (action == actExportCalc) btnSpreadSheet->setText("Calc出力");
    if (OptionData) OptionData->SpreadSheet = static_cast<std::uint8_t>(route);
    if (action == actExportCalc && gdResult->isHidden()) return;
  }
  const std::string css = route < 0 || !OptionData ? (OptionData ? OptionData->CssFile : std::string())
                                                    : OptionData->CssDir + "/" + OptionData->ExportssCssFile;
  TResultPage page;
  {
    TWaitCursor wait;
    page = MakeHTML(css, route < 0 ? sskExcel : static_cast<TSpreadSheetKind>(route));
  }
  if (!page.Ok) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", page.Error);
    return;
  }
  HtmlView(*this, page, windowTitle() + "(HTML)", route);
}

// ---------------------------------------------------------------------------------------------
// Card, label, events

void TfrmGrid::OpenCard(int row) {
  if (row < gdResult->FixedRows() || row >= gdResult->RowCount()) return;
  OpenUseCard(this, gdResult, row);
}

void TfrmGrid::lblGoogleClick() {
  const std::string name = NameOfItem(edtYakuzai->text().toStdString());
  if (!name.empty() && WebLookupsOnline()) WebSearch(this, name);
}

bool TfrmGrid::eventFilter(QObject* obj, QEvent* e) {
  if (obj == lblGoogle && e->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) lblGoogleClick();
    return true;
  }
  if (obj == pnlSeizai && e->type() == QEvent::Resize) {
    pnlSeizaiResize();
    return false;
  }
  TXlsStringGrid* g = qobject_cast<TXlsStringGrid*>(obj);
  const bool viewport = !g && obj->parent() && (g = qobject_cast<TXlsStringGrid*>(obj->parent()));
  if (!g || (g != gdResult && g != gdSeibun)) return QMainWindow::eventFilter(obj, e);
  switch (e->type()) {
    case QEvent::KeyPress:
      if (!viewport && g == gdResult) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) &&
            (k->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
          OpenCard(g->Row());
          return true;
        }
      }
      break;
    case QEvent::MouseMove:
      if (viewport && g == gdResult) {
        int col = -1, row = -1;
        if (g->CellAt(static_cast<QMouseEvent*>(e)->position().toPoint(), col, row)) {
          MouseCol = col;
          MouseRow = row;
        }
      }
      break;
    case QEvent::MouseButtonPress:
      if (viewport) {
        auto* m = static_cast<QMouseEvent*>(e);
        int col = -1, row = -1;
        const bool inCell = g->CellAt(m->position().toPoint(), col, row);
        if (g == gdSeibun) {
          SeibunMouseCol = inCell ? col : -1;
          SeibunMouseRow = inCell ? row : -1;
          break;
        }
        if (inCell) {
          MouseCol = col;
          MouseRow = row;
        }
      }
      break;
    case QEvent::Leave:
      if (g == gdSeibun && !viewport) gdSeibun->clearSelection();
      break;
    default: break;
  }
  return QMainWindow::eventFilter(obj, e);
}
