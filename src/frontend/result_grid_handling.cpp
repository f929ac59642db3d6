// The main window's handling of its result grids: creation and look, column fitting, title
// sorting, mouse and keys, copying, fixed columns, removal, lines per cell and the use card.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <Qsci/qsciscintilla.h>

#include "foundation/font_rec.h"
#include "foundation/global.h"
#include "foundation/plain_hint.h"
#include "foundation/win_spin_edit.h"
#include "frontend/frm_main.h"
#include "output/grid_row_removal.h"
#include "output/xls_string_grid.h"

TXlsStringGrid* TfrmMain::CreateResultGrid(QWidget* Parent, const char* Name) {
  auto* g = new TXlsStringGrid(Parent);
  g->setObjectName(QString::fromLatin1(Name));
  SetupResultGrid(g);
  return g;
}

void TfrmMain::SetupResultGrid(TXlsStringGrid* Grid) {
  Grid->ShowErrDlg = true;
  // Title clicks are sorted here (hourglass and the tab's sort text).
  Grid->SortOnTitleClick = false;
  connect(Grid, &TXlsStringGrid::TitlePressed, this, [this, Grid](int col, Qt::MouseButton button) {
    if (button == Qt::RightButton) return;
    SortByTitle(Grid, col);
  });
  Grid->setMouseTracking(true);
  Grid->viewport()->setMouseTracking(true);
  Grid->installEventFilter(this);
  Grid->viewport()->installEventFilter(this);
  connect(Grid, &TXlsStringGrid::MenuRequested, this,
          [this, Grid](int col, int row, const QPoint& at) { ShowGridMenu(Grid, col, row, at); });
  connect(Grid, &QAbstractItemView::doubleClicked, this, [this, Grid] { gdTekiyoDblClick(Grid); });
  TGridDelegate& d = Grid->Delegate();
  d.EveryOtherLine = OptionData->TekiyouGridEveryOtherLine;
  d.OddRowColor = ColorToQColor(OptionData->TekiyouColor);
  d.EvenRowColor = ColorToQColor(OptionData->TekiyouColor2);
  d.LineSpace = OptionData->GridLineSpace;
}

int TfrmMain::GridStateIndex(const TXlsStringGrid* Grid) const {
  for (int i = 0; i < kSearchTabs; ++i)
    if (Grid && GridStates[i].Grid == Grid) return i;
  return -1;
}

bool TfrmMain::GridVisible(const TXlsStringGrid* Grid) const { return Grid && !Grid->isHidden(); }

// ---------------------------------------------------------------------------------------------
// Fitting and lines per cell

int TfrmMain::TextWidthPerLine(int Width, int Lines, int Addend) {
  return TXlsStringGrid::TextWidthPerLine(Width, Lines, Addend);
}

void TfrmMain::AdjustGridColumnWidths(TXlsStringGrid* Grid) {
  if (!Grid) return;
  TGridFitOptions opt;
  const int state = GridStateIndex(Grid);
  opt.Lines = state >= 0 ? ClampCellLines(GridStates[state].CellLines)
                         : ClampCellLines(GridStates[std::max(0, pgSearch->currentIndex())].CellLines);
  opt.MaxWidth = OptionData->GridMaxWidth;
  opt.LineSpace = OptionData->GridLineSpace;
  opt.LineAddSpace = OptionData->GridLineAddSpace;
  opt.IsSeibun = Grid == gdSeibun;
  opt.IsSeizai = Grid == gdSeizai;
  // The even rows' font and the colours may have changed in the options since the last fit.
  TGridDelegate& d = Grid->Delegate();
  d.EveryOtherLine = OptionData->TekiyouGridEveryOtherLine;
  d.OddRowColor = ColorToQColor(OptionData->TekiyouColor);
  d.EvenRowColor = ColorToQColor(OptionData->TekiyouColor2);
  d.EvenRowFont = EvenRowFont;
  d.LineSpace = OptionData->GridLineSpace;
  if (Grid == gdTekiyo) Grid->SetHighlightWords(KinsetsuSelection.toStdString());
  Grid->AdjustColumnWidths(opt);
}

void TfrmMain::seGridCellLineChange() {
  // Only a text that is a number of at least 1 counts (a box being typed in may hold none).
  bool number = false;
  const qlonglong v = seGridCellLine->Text().trimmed().toLongLong(&number);
  if (!number || v < 1) return;
  const int tab = pgSearch->currentIndex();
  if (tab < 0 || tab >= kSearchTabs) return;
  GridStates[tab].CellLines = ClampCellLines(static_cast<int>(std::min<qlonglong>(v, 9)));
  TXlsStringGrid* g = GridStates[tab].Grid;
  if (g && g->RowCount() > g->FixedRows()) AdjustGridColumnWidths(g);
}

// ---------------------------------------------------------------------------------------------
// Sorting

int TfrmMain::ToggleSortOrder(int Order) {
  return TXlsStringGrid::ToggleSortOrder(static_cast<TXlSortOrder>(Order));
}

QString TfrmMain::SortArrowText(int Order) { return TXlsStringGrid::SortArrowText(static_cast<TXlSortOrder>(Order)); }

void TfrmMain::SortByTitle(TXlsStringGrid* Grid, int Col) {
  if (!Grid || Col < 0 || Col >= Grid->ColCount()) return;
  QString text;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
      ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    text = Grid->SortByTitleClick(Col);
  }
  if (text.isEmpty()) return;
  const int state = GridStateIndex(Grid);
  if (state >= 0) GridStates[state].SortText = text;
  if (Grid == CurrentGrid) SetStatusText(2, text);
}

// ---------------------------------------------------------------------------------------------
// Copying

void TfrmMain::CopyGridSelection(TXlsStringGrid* Grid) {
  if (!Grid || Grid->RowCount() <= Grid->FixedRows()) return;
  Grid->CopySelection();
}

namespace {

// The window-wide Ctrl+C, Ctrl+A and Ctrl+X belong to the text box that has the focus (the
// log pane, the SQL editor, an edit box): true when one took the key.
enum class TEditKey { Copy, SelectAll, Cut };
bool ForwardToTextBox(TEditKey key) {
  QWidget* f = QApplication::focusWidget();
  if (!f) return false;
  if (auto* c = qobject_cast<QComboBox*>(f); c && c->isEditable()) f = c->lineEdit();
  if (auto* e = qobject_cast<QLineEdit*>(f)) {
    if (key == TEditKey::Copy) e->copy();
    else if (key == TEditKey::SelectAll) e->selectAll();
    else if (!e->isReadOnly()) e->cut();
    return true;
  }
  if (auto* e = qobject_cast<QPlainTextEdit*>(f)) {
    if (key == TEditKey::Copy) e->copy();
    else if (key == TEditKey::SelectAll) e->selectAll();
    else if (!e->isReadOnly()) e->cut();
    return true;
  }
  if (auto* e = qobject_cast<QsciScintilla*>(f)) {
    if (key == TEditKey::Copy) e->copy();
    else if (key == TEditKey::SelectAll) e->selectAll();
    else if (!e->isReadOnly()) e->cut();
    return true;
  }
  return false;
}

}  // namespace

// The ingredient grid of the chemical tab has the focus: the copy keys are its own.
bool TfrmMain::SeibunHasFocus() const {
  QWidget* f = QApplication::focusWidget();
  return gdSeibun && f && (f == gdSeibun || gdSeibun->isAncestorOf(f));
}

void TfrmMain::actGridCopyExecute() {
  if (ForwardToTextBox(TEditKey::Copy)) return;
  if (SeibunHasFocus()) return actGridSeibunCopy->trigger();
  CopyGridSelection(CurrentGrid);
}

void TfrmMain::actGridAllCopyExecute() {
  if (ForwardToTextBox(TEditKey::SelectAll)) return;
  if (SeibunHasFocus()) return actGridSeibunAllCopy->trigger();
  if (CurrentGrid) CurrentGrid->CopyClipboard();
}

void TfrmMain::actGridSeibunCopyExecute() { CopyGridSelection(gdSeibun); }

void TfrmMain::actGridSeibunAllCopyExecute() { gdSeibun->CopyClipboard(); }

// ---------------------------------------------------------------------------------------------
// Fixed columns and removal

void TfrmMain::pmnFixedClmClick() {
  if (!CurrentGrid) return;
  const int n = std::min(CurrentGrid->FixedCols() + 1, std::max(0, CurrentGrid->ColCount() - 1));
  CurrentGrid->SetFixedCols(n);
  if (CurrentGrid == gdTekiyo) OptionData->GridFixedCol = CurrentGrid->FixedCols();
}

void TfrmMain::pmnFixedClmOffClick() {
  if (!CurrentGrid) return;
  CurrentGrid->SetFixedCols(0);
  if (CurrentGrid == gdTekiyo) OptionData->GridFixedCol = 0;
}

void TfrmMain::pmnRemoveClmClick() {
  if (CurrentGrid) CurrentGrid->RemoveColumn(MouseCol);
}

void TfrmMain::pmnRemoveRowClick() {
  if (ForwardToTextBox(TEditKey::Cut)) return;
  TXlsStringGrid* g = CurrentGrid;
  if (!g) return;
  // Ctrl+X in another grid of the tab (the ingredient or product grid) removes nothing.
  for (QWidget* f = QApplication::focusWidget(); f; f = f->parentWidget())
    if (auto* other = qobject_cast<TXlsStringGrid*>(f); other && other != g) return;
  if (!RemoveSelectedRows(g)) return;
  const int state = GridStateIndex(g);
  if (state >= 0) {
    GridStates[state].CountText = QString::number(g->RowCount() - g->FixedRows()) + "件";
    SetStatusText(3, GridStates[state].CountText);
  }
}

// ---------------------------------------------------------------------------------------------
// Use card

void TfrmMain::gdTekiyoDblClick(TXlsStringGrid* Grid) {
  if (!Grid || Grid->RowCount() <= Grid->FixedRows() || Grid->Row() < Grid->FixedRows()) return;
  if (OnOpenUseCard) OnOpenUseCard(Grid, Grid->Row());
}

// ---------------------------------------------------------------------------------------------
// Context menu

void TfrmMain::ShowGridMenu(TXlsStringGrid* Grid, int Col, int Row, const QPoint& Global) {
  // The ingredient grid's menu belongs to the product sheet; the product summary has none.
  if (Grid == gdSeibun || Grid == gdSeizai) return;
  MenuGrid = Grid;
  MouseCol = Col;
  MouseRow = Row;
  const bool cell = Row >= 0 && Col >= 0;
  PopupCellText = cell ? QString::fromStdString(Grid->Cells(Col, Row)) : QString();
  PopupHeader = cell ? QString::fromStdString(Grid->Cells(Col, 0)) : QString();
  PopupKeyword = PopupCellText;
  mnTekiyouGrid->exec(Global);
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

void TfrmMain::GridMousePress(TXlsStringGrid* Grid, QMouseEvent* Mouse) {
  int col = -1, row = -1;
  if (!Grid->CellAt(Mouse->position().toPoint(), col, row)) return;
  if (Grid == gdSeibun) {
    SeibunMouseCol = col;
    SeibunMouseRow = row;
  } else {
    MouseCol = col;
    MouseRow = row;
  }
}

bool TfrmMain::HandleGridKey(TXlsStringGrid* Grid, QKeyEvent* Key) {
  const int key = Key->key();
  const Qt::KeyboardModifiers mods = Key->modifiers() & ~Qt::KeypadModifier;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
    gdTekiyoDblClick(Grid);
    return true;
  }
  if (Grid == gdSeibun) return false;
  if (key >= Qt::Key_1 && key <= Qt::Key_9 && mods == Qt::NoModifier) {
    const int lines = key - Qt::Key_0;
    const int state = GridStateIndex(Grid);
    if (state >= 0) GridStates[state].CellLines = lines;
    seGridCellLine->SetValue(lines);  // fits the columns again
    return true;
  }
  if (key == Qt::Key_Menu) {
    MouseRow = Grid->Row();
    MouseCol = Grid->Col();
    return false;
  }
  if (key == Qt::Key_X && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
    if (Grid == CurrentGrid && !Grid->RowSelect()) Grid->RemoveColumn(Grid->Col());
    return true;
  }
  if ((key == Qt::Key_Insert || key == Qt::Key_Delete) && mods == Qt::ShiftModifier) {
    const int c = Grid->Col();
    if (c >= 0 && c < Grid->ColCount()) {
      const int w = Grid->ColWidths(c) + (key == Qt::Key_Insert ? 5 : -5);
      Grid->SetColWidths(c, std::max(5, w));
    }
    return true;
  }
  return false;
}

bool TfrmMain::GridEventFilter(QObject* Watched, QEvent* Event) {
  TXlsStringGrid* grid = qobject_cast<TXlsStringGrid*>(Watched);
  const bool onViewport = !grid && Watched->parent() && (grid = qobject_cast<TXlsStringGrid*>(Watched->parent()));
  if (!grid) return false;
  switch (Event->type()) {
    case QEvent::KeyPress:
      if (!onViewport) return HandleGridKey(grid, static_cast<QKeyEvent*>(Event));
      break;
    case QEvent::Resize:
      // Columns cut down to a narrow grid are fitted again once it has grown and the resizing
      // has rested a moment (a window dragged wider refits once, not at every step).
      if (!onViewport && grid->FitCutToWidth() && grid->RowCount() > grid->FixedRows() &&
          static_cast<QResizeEvent*>(Event)->size().width() > static_cast<QResizeEvent*>(Event)->oldSize().width()) {
        auto* refit = grid->findChild<QTimer*>("qmRefitTimer", Qt::FindDirectChildrenOnly);
        if (!refit) {
          refit = new QTimer(grid);
          refit->setObjectName("qmRefitTimer");
          refit->setSingleShot(true);
          refit->setInterval(100);
          connect(refit, &QTimer::timeout, this, [this, grid] {
            if (grid->FitCutToWidth() && grid->RowCount() > grid->FixedRows()) AdjustGridColumnWidths(grid);
          });
        }
        refit->start();
      }
      break;
    case QEvent::MouseMove:
      if (onViewport) {
        int col = -1, row = -1;
        if (grid != gdSeibun && grid->CellAt(static_cast<QMouseEvent*>(Event)->position().toPoint(), col, row)) {
          MouseCol = col;
          MouseRow = row;
        }
      }
      break;
    case QEvent::MouseButtonPress:
      if (onViewport) {
        auto* m = static_cast<QMouseEvent*>(Event);
        GridMousePress(grid, m);  // the grid itself applies the right button's rule
      }
      break;
    case QEvent::ToolTip:
      if (onViewport) {
        // The whole text of a cell that does not fit its column.
        auto* h = static_cast<QHelpEvent*>(Event);
        int col = -1, row = -1;
        if (!grid->CellAt(h->pos(), col, row) || row < grid->FixedRows()) {
          QToolTip::hideText();
          return true;
        }
        const QString text = QString::fromStdString(grid->Cells(col, row));
        const int state = GridStateIndex(grid);
        const int lines = grid == CurrentGrid && state >= 0 ? ClampCellLines(GridStates[state].CellLines) : 1;
        const int width = grid->fontMetrics().horizontalAdvance(text) / lines;
        if (!text.isEmpty() && width > grid->ColWidths(col)) {
          const QModelIndex idx = grid->indexAt(h->pos());
          QToolTip::showText(h->globalPos(), PlainHint(text), grid->viewport(), grid->visualRect(idx), 1000);
        } else {
          QToolTip::hideText();
        }
        return true;
      }
      break;
    default: break;
  }
  return false;
}
