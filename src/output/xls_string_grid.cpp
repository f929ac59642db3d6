#include "output/xls_string_grid.h"

#include <QApplication>
#include <QStyle>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "foundation/comma_text.h"
#include "foundation/message_sink.h"
#include "output/cp932_codec.h"
#include "output/grid_export.h"
#include "output/spreadsheet_export.h"

namespace {

// Widths of texts from the advances of their characters, each character's advance asked for
// once: no layout, so no kerning or shaping, which moves a width by a pixel or so; rounded up.
class TCharAdvances {
 public:
  explicit TCharAdvances(const QFont& font) : FMetrics(font), FBmp(0x10000, -1.0f) {}
  int Width(std::string_view text) {
    double w = 0;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) w += Advance(NextUtf8(p, end));
    return static_cast<int>(std::ceil(w));
  }

 private:
  double Advance(char32_t cp) {
    if (cp < 0x10000) {
      float& a = FBmp[cp];
      if (a < 0) a = static_cast<float>(FMetrics.horizontalAdvance(QChar(static_cast<char16_t>(cp))));
      return a;
    }
    auto it = FOther.find(cp);
    if (it == FOther.end())
      it = FOther.emplace(cp, FMetrics.horizontalAdvance(QString::fromUcs4(&cp, 1))).first;
    return it->second;
  }
  QFontMetricsF FMetrics;
  std::vector<float> FBmp;
  std::unordered_map<char32_t, double> FOther;
};

const char* kNoDataMessage = "グリッド内に、コピーするデータがありません。";
const char* kCsvNameMessage = "CSVファイル名が指定されていないか、指定されたファイルが存在しません。";

}  // namespace

TXlsStringGrid::TXlsStringGrid(QWidget* parent)
    : QTableView(parent), ClipboardLimit(kClipboardTextLimit), FModel(new TGridModel(this)),
      FDelegate(new TGridDelegate(this)) {
  setModel(FModel);
  setItemDelegate(FDelegate);
  setWordWrap(true);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->viewport()->installEventFilter(this);
  CellFont = font();

  connect(FModel, &QAbstractItemModel::modelReset, this, &TXlsStringGrid::SyncColumns);
  // New content has not been sorted yet.
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
    SortCol = -1;
    SortOrder = xlSortAsc;
  });
  connect(FModel, &QAbstractItemModel::columnsInserted, this, &TXlsStringGrid::SyncColumns);
  connect(FModel, &QAbstractItemModel::columnsRemoved, this, &TXlsStringGrid::SyncColumns);
  connect(FModel, &TGridModel::ColWidthChanged, this, [this](int col, int w) {
    if (FSyncing) return;
    FSyncing = true;
    setColumnHidden(col, w <= 0);
    if (w > 0) setColumnWidth(col, w);
    if (FFrozen) UpdateFrozen();
    FSyncing = false;
  });
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int size) {
    if (FSyncing) return;
    FSyncing = true;
    // A section hidden by the view reads as size 0: keep the model's width then.
    if (!isColumnHidden(col)) FModel->SetColWidth(col, size);
    if (FFrozen && col < FFixedCols) {
      FFrozen->setColumnWidth(col, size);
      UpdateFrozen();
    }
    FSyncing = false;
  });
}

TXlsStringGrid::~TXlsStringGrid() {
  // The model goes before the view. Every cell a screen reader has read holds a persistent
  // index into the model, and Qt files persistent indexes in a hash keyed by row * 16 +
  // column: the cells of a large grid fall into one long probe run, so dropping them one by
  // one, as the view's accessible objects do when the view goes, costs a walk along that run
  // per cell (minutes for a few thousand rows, after the window had closed).  A model that
  // ends drops all its persistent indexes at once; the accessible cells then go without a
  // look-up.  The header's signals to this grid go first; the view learns of the model's end
  // through the model's own destroyed signal and holds no dangling model meanwhile.
  horizontalHeader()->disconnect(this);
  delete FModel;
}

void TXlsStringGrid::SyncColumns() {
  FSyncing = true;
  horizontalHeader()->setVisible(FModel->FixedRows() > 0);
  for (int c = 0; c < FModel->ColCount(); ++c) {
    const int w = FModel->ColWidth(c);
    setColumnHidden(c, w <= 0);
    if (w > 0) setColumnWidth(c, w);
  }
  FSyncing = false;
  if (FFixedCols > FModel->ColCount()) SetFixedCols(FModel->ColCount());
  else UpdateFrozen();
}

void TXlsStringGrid::Error(const std::string& text) const {
  if (ShowErrDlg) ShowMessageBox(TMsgKind::Error, "Quillmar", text);
}

// ---------------------------------------------------------------- shape and cells

void TXlsStringGrid::SetFixedRows(int n) {
  FModel->SetFixedRows(n);
  horizontalHeader()->setVisible(FModel->FixedRows() > 0);
}

void TXlsStringGrid::SetFixedCols(int n) {
  n = std::clamp(n, 0, FModel->ColCount());
  FFixedCols = n;
  if (n == 0) {
    if (FFrozen) FFrozen->hide();
    return;
  }
  if (!FFrozen) {
    // A second view over the same model and selection covers the left columns.
    FFrozen = new QTableView(this);
    FFrozen->setModel(FModel);
    FFrozen->setSelectionModel(selectionModel());
    FFrozen->setItemDelegate(FDelegate);
    FFrozen->setFocusPolicy(Qt::NoFocus);
    FFrozen->verticalHeader()->hide();
    FFrozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FFrozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FFrozen->horizontalHeader()->setHighlightSections(false);
    FFrozen->horizontalHeader()->viewport()->installEventFilter(this);
    FFrozen->viewport()->installEventFilter(this);
    FFrozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FFrozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FFrozen->setVerticalScrollMode(verticalScrollMode());
    FFrozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FFrozen->setStyleSheet("QTableView { border: none; }");
    viewport()->stackUnder(FFrozen);
    connect(FFrozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, FFrozen->verticalScrollBar(), &QAbstractSlider::setValue);
  }
  FFrozen->setSelectionBehavior(selectionBehavior());
  FFrozen->setSelectionMode(selectionMode());
  FFrozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  FFrozen->show();
  UpdateFrozen();
}

void TXlsStringGrid::UpdateFrozen() {
  if (!FFrozen || FFixedCols == 0) return;
  FFrozen->horizontalHeader()->setVisible(FModel->FixedRows() > 0);
  int width = 0;
  for (int c = 0; c < FModel->ColCount(); ++c) {
    const bool frozen = c < FFixedCols;
    FFrozen->setColumnHidden(c, !frozen || isColumnHidden(c));
    if (frozen && !isColumnHidden(c)) {
      FFrozen->setColumnWidth(c, columnWidth(c));
      width += columnWidth(c);
    }
  }
  FFrozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
  FFrozen->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), width,
                       viewport()->height() + horizontalHeader()->height());
  FFrozen->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void TXlsStringGrid::resizeEvent(QResizeEvent* ev) {
  QTableView::resizeEvent(ev);
  UpdateFrozen();
}

void TXlsStringGrid::updateGeometries() {
  QTableView::updateGeometries();
  UpdateFrozen();
}

QModelIndex TXlsStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  QModelIndex current = QTableView::moveCursor(action, modifiers);
  if (FFrozen && FFixedCols > 0 && action == MoveLeft && current.column() >= FFixedCols) {
    int frozenWidth = 0;
    for (int c = 0; c < FFixedCols; ++c) frozenWidth += isColumnHidden(c) ? 0 : columnWidth(c);
    if (visualRect(current).topLeft().x() < frozenWidth) {
      const int newValue = horizontalScrollBar()->value() + visualRect(current).topLeft().x() - frozenWidth;
      horizontalScrollBar()->setValue(newValue);
    }
  }
  return current;
}

void TXlsStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (index.column() >= FFixedCols || !FFrozen) QTableView::scrollTo(index, hint);
}

void TXlsStringGrid::SetDefaultRowHeight(int h) {
  h = std::max(h, 1);
  verticalHeader()->setMinimumSectionSize(std::min(h, verticalHeader()->minimumSectionSize()));
  verticalHeader()->setDefaultSectionSize(h);
  if (FFrozen) {
    FFrozen->verticalHeader()->setMinimumSectionSize(std::min(h, FFrozen->verticalHeader()->minimumSectionSize()));
    FFrozen->verticalHeader()->setDefaultSectionSize(h);
  }
}

int TXlsStringGrid::DefaultRowHeight() const { return verticalHeader()->defaultSectionSize(); }

int TXlsStringGrid::Row() const {
  QModelIndex i = currentIndex();
  return i.isValid() ? i.row() + FModel->FixedRows() : -1;
}

int TXlsStringGrid::Col() const {
  QModelIndex i = currentIndex();
  return i.isValid() ? i.column() : -1;
}

void TXlsStringGrid::SetCurrentCell(int col, int row) {
  QModelIndex i = FModel->index(row - FModel->FixedRows(), col);
  if (i.isValid()) setCurrentIndex(i);
}

void TXlsStringGrid::SetRowSelect(bool on) {
  setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
  if (FFrozen) FFrozen->setSelectionBehavior(selectionBehavior());
}

bool TXlsStringGrid::SelectionRect(int& left, int& top, int& right, int& bottom) const {
  const QItemSelection sel = selectionModel()->selection();
  if (sel.isEmpty()) {
    QModelIndex i = currentIndex();
    if (!i.isValid()) return false;
    left = right = i.column();
    top = bottom = i.row() + FModel->FixedRows();
    return true;
  }
  left = top = INT32_MAX;
  right = bottom = -1;
  for (const QItemSelectionRange& r : sel) {
    left = std::min(left, r.left());
    right = std::max(right, r.right());
    top = std::min(top, r.top());
    bottom = std::max(bottom, r.bottom());
  }
  top += FModel->FixedRows();
  bottom += FModel->FixedRows();
  return true;
}

// ---------------------------------------------------------------- filling

void TXlsStringGrid::FillFromTable(TSQLiteTbl& tbl, const std::vector<std::string>* titles,
                                   const std::function<void()>& breathe) {
  FModel->FillFromTable(tbl, titles, breathe);
}

void TXlsStringGrid::BeginUpdate() {
  if (FUpdateCount++ == 0) setUpdatesEnabled(false);
}

void TXlsStringGrid::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) {
    setUpdatesEnabled(true);
    viewport()->update();
  }
}

void TXlsStringGrid::Fill(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows) {
  FModel->Fill(titles, rows);
}

void TXlsStringGrid::AssignGrid(const TXlsStringGrid& src) {
  FModel->AssignFrom(src.Model());
  SetFixedRows(src.FixedRows());
  SetDefaultRowHeight(src.DefaultRowHeight());
  SetFixedCols(src.FixedCols());
  SortCol = src.SortCol;
  SortOrder = src.SortOrder;
}

// ---------------------------------------------------------------- properties

bool TXlsStringGrid::SetStartRow(int v) {
  if (v < 1) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "1以上の整数を入力してください。");
    return false;
  }
  FStartRow = v;
  return true;
}

bool TXlsStringGrid::SetStartCol(int v) {
  if (v < 1) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "1以上の整数を入力してください。");
    return false;
  }
  FStartCol = v;
  return true;
}

// ---------------------------------------------------------------- exports

int TXlsStringGrid::CopyClipboard() {
  std::string text;
  const int rc = BuildClipboardText(*FModel, ColumnName, StartData, text, ClipboardLimit);
  if (rc == 2) {
    Error(kNoDataMessage);
    return 2;
  }
  if (rc == -3) Error("コピーする領域がシステムの許容範囲を越えたので、\r\nコピーを中断します。");
  QApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  return rc;
}

int TXlsStringGrid::SetCommaText() {
  if (CSVFileName.empty()) {
    Error(kCsvNameMessage);
    return -1;
  }
  TCsvWriteResult r = WriteCsvFile(*FModel, CSVFileName, CSVEndComma, CSVUtf8);
  if (r.Code != 0) Error(r.Message);
  return r.Code;
}

int TXlsStringGrid::GetCommaText() {
  QFile f(QString::fromStdString(CSVFileName));
  if (CSVFileName.empty() || !f.exists() || !f.open(QIODevice::ReadOnly)) {
    Error(kCsvNameMessage);
    return -1;
  }
  QByteArray raw = f.readAll();
  std::string text(raw.constData(), static_cast<size_t>(raw.size()));
  // Our own files are Shift-JIS unless written as UTF-8; take UTF-8 when the bytes are valid.
  if (!QString::fromUtf8(raw).contains(QChar::ReplacementCharacter) || raw.startsWith("\xEF\xBB\xBF")) {
    if (raw.startsWith("\xEF\xBB\xBF")) text.erase(0, 3);
  } else {
    // Shift-JIS to UTF-8 through iconv's CP932 (Qt's codec maps some characters differently).
    text = Cp932ToUtf8(text);
  }
  std::vector<std::string> fields = ReadCommaFields(text);
  const int cols = FModel->ColCount();
  const int fixedCols = 0;
  if (cols < 1) return 0;
  const int per = cols + fixedCols;
  std::vector<std::string> kept;
  size_t counted = 0;
  for (size_t k = 0; k < fields.size(); ++k) {
    ++counted;
    if (CSVEndComma && (k + 1) % static_cast<size_t>(per + 1) == 0) continue;
    kept.push_back(std::move(fields[k]));
  }
  if (ExtendRows) SetRowCount(static_cast<int>(counted / cols) + FModel->FixedRows());
  for (size_t k = 0; k < kept.size(); ++k) {
    const int row = static_cast<int>(k / cols) + FModel->FixedRows();
    const int col = static_cast<int>(k % cols) + fixedCols;
    FModel->SetCell(col, row, TrimCell(kept[k]));
  }
  return 0;
}

int TXlsStringGrid::SetHTML() {
  if (HTMLFileName.empty()) {
    Error("HTMLファイル名が指定されていないか、指定されたファイルが存在しません。");
    return -1;
  }
  std::string err;
  if (WriteTextFile(HTMLFileName, BuildHtmlTable(*FModel), &err) != 0) {
    Error("HTMLファイルを保存できませんでした。\r\n" + HTMLFileName + "\r\n" + err);
    return -3;
  }
  return 0;
}

int TXlsStringGrid::ExportToSpreadsheet(TSpreadSheetKind kind) {
  if (DataRows() < 1) {
    Error(kNoDataMessage);
    return 2;
  }
  return DefaultSpreadsheetAutomation().Export(*this, kind);
}

int TXlsStringGrid::CopyExcel() { return ExportToSpreadsheet(sskExcel); }
int TXlsStringGrid::CopyJustCalc() { return ExportToSpreadsheet(sskJustCalc); }
int TXlsStringGrid::CopyKingsoft() { return ExportToSpreadsheet(sskKingsoft); }

std::string TXlsStringGrid::SelectionText() const {
  int l, t, r, b;
  if (!SelectionRect(l, t, r, b)) return {};
  return RangeText(*FModel, l, t, r, b);
}

void TXlsStringGrid::CopySelection() {
  const std::string text = SelectionText();
  QApplication::clipboard()->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

// ---------------------------------------------------------------- sorting

TGridSortResult TXlsStringGrid::SortByColumn(int col, TGridSortKind kind, TXlSortOrder order) {
  if (FModel->FixedRows() < 1) return {};
  QApplication::setOverrideCursor(Qt::WaitCursor);
  TGridSortResult r = FModel->SortRows(col, kind, order);
  QApplication::restoreOverrideCursor();
  if (!r.Sorted) return r;
  if (r.FailedConversions > 0) Error("ソートタイプの指定が不正です。");
  SortCol = col;
  SortOrder = order;
  return r;
}

void TXlsStringGrid::SortGrid(Qt::MouseButton, Qt::KeyboardModifiers, int kind, TXlSortOrder order, int x, int y) {
  int col, row;
  if (FModel->FixedRows() < 1 || !CellAtWidget(QPoint(x, y), col, row)) return;
  if (row >= FModel->FixedRows()) return;
  SortByColumn(col, kind == 1 ? gskNumeric : gskText, order);
}

QString TXlsStringGrid::SortByTitleClick(int col) {
  if (col < 0 || col >= FModel->ColCount() || FModel->FixedRows() < 1) return {};
  const std::string title(FModel->Cell(col, 0));
  const TXlSortOrder order = col != SortCol ? xlSortAsc : ToggleSortOrder(SortOrder);
  const TGridSortResult r = SortByColumn(col, TGridModel::IsNumberTitle(title) ? gskNumeric : gskText, order);
  if (!r.Sorted) return {};
  return QStringLiteral("ｿｰﾄ:") + QString::fromStdString(title) + SortArrowText(order);
}

bool TXlsStringGrid::eventFilter(QObject* obj, QEvent* ev) {
  const bool frozenCells = FFrozen && obj == FFrozen->viewport();
  const bool titles =
      obj == horizontalHeader()->viewport() || (FFrozen && obj == FFrozen->horizontalHeader()->viewport());
  if ((frozenCells || titles) && ev->type() == QEvent::ContextMenu &&
      HandleContextMenu(static_cast<QWidget*>(obj), static_cast<QContextMenuEvent*>(ev)))
    return true;
  if (frozenCells && ev->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(ev);
    const QPoint at = static_cast<QWidget*>(obj)->mapTo(this, me->position().toPoint());
    int col = -1, row = -1;
    if (CellAtWidget(at, col, row)) {
      MouseCol = col;
      MouseRow = row;
    }
    if (me->button() == Qt::RightButton) {
      RightPressAt(at);
      return true;
    }
  }
  if (titles && ev->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(ev);
    auto* header = obj == horizontalHeader()->viewport() ? horizontalHeader() : FFrozen->horizontalHeader();
    const int col = header->logicalIndexAt(me->position().toPoint());
    MouseCol = col;
    MouseRow = 0;
    // Presses near a section border resize the column; let the header have them.
    const int x = me->position().toPoint().x();
    const int left = header->sectionViewportPosition(col);
    const int right = left + header->sectionSize(col);
    if (col >= 0 && x > left + 4 && x < right - 4) {
      emit TitlePressed(col, me->button());
      if (me->button() != Qt::RightButton && SortOnTitleClick) {
        const QString text = SortByTitleClick(col);
        if (!text.isEmpty()) emit Sorted(text);
      }
      return me->button() != Qt::RightButton;
    }
  }
  return QTableView::eventFilter(obj, ev);
}

void TXlsStringGrid::mousePressEvent(QMouseEvent* ev) {
  QModelIndex i = indexAt(ev->position().toPoint());
  if (i.isValid()) {
    MouseCol = i.column();
    MouseRow = i.row() + FModel->FixedRows();
  } else {
    MouseRow = FModel->RowCount() - 1;
  }
  if (ev->button() == Qt::RightButton) {
    RightPressAt(viewport()->mapTo(this, ev->position().toPoint()));
    return;
  }
  QTableView::mousePressEvent(ev);
}

void TXlsStringGrid::wheelEvent(QWheelEvent* ev) {
  if (!ProportionalScrollBars || verticalScrollMode() != ScrollPerItem) {
    QTableView::wheelEvent(ev);
    return;
  }
  FWheelRest += ev->angleDelta().y();
  const int notches = FWheelRest / 120;
  FWheelRest %= 120;
  if (notches != 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - notches);
  ev->accept();
}

void TXlsStringGrid::SetEditing(bool on) {
  FModel->Editable = on;
  setEditTriggers(on ? (QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed)
                     : QAbstractItemView::NoEditTriggers);
}

void TXlsStringGrid::mouseReleaseEvent(QMouseEvent* ev) {
  MouseRow = -1;
  QTableView::mouseReleaseEvent(ev);
}

// ---------------------------------------------------------------- removal and moves

bool TXlsStringGrid::RemoveColumn(int col) {
  if (col < 0 || col >= FModel->ColCount()) return false;
  const int selCol = Col(), selRow = Row();
  const int h = horizontalScrollBar()->value();
  BeginUpdate();
  FModel->RemoveColumn(col);
  if (SortCol == col) SortCol = -1;
  else if (SortCol > col) --SortCol;
  if (selRow >= 0 && FModel->ColCount() > 0) SetCurrentCell(std::min(selCol, FModel->ColCount() - 1), selRow);
  horizontalScrollBar()->setValue(h);
  if (FFixedCols > FModel->ColCount()) SetFixedCols(FModel->ColCount());
  EndUpdate();
  return true;
}

bool TXlsStringGrid::RemoveRow(int row) {
  if (row < FModel->FixedRows() || row >= FModel->RowCount()) return false;
  const int selCol = Col(), selRow = Row();
  const int v = verticalScrollBar()->value();
  BeginUpdate();
  FModel->RemoveRow(row);
  if (selRow >= 0 && DataRows() > 0)
    SetCurrentCell(std::max(selCol, 0), std::clamp(selRow, FModel->FixedRows(), FModel->RowCount() - 1));
  verticalScrollBar()->setValue(v);
  EndUpdate();
  return true;
}

int TXlsStringGrid::MoveUp() {
  const int row = Row();
  if (row <= FModel->FixedRows()) {
    Error("先頭行なので上に移動できません。");
    return -1;
  }
  FModel->SwapRows(row, row - 1);
  SetCurrentCell(Col(), row - 1);
  return 0;
}

int TXlsStringGrid::MoveDown() {
  const int row = Row();
  if (row < FModel->FixedRows() || row >= FModel->RowCount() - 1) {
    Error("最下位行なので下に移動できません。");
    return -1;
  }
  FModel->SwapRows(row, row + 1);
  SetCurrentCell(Col(), row + 1);
  return 0;
}

bool TXlsStringGrid::ResizingCol(int x, int y) const {
  const QHeaderView* h = horizontalHeader();
  if (!h->isVisible() || !h->geometry().contains(QPoint(x, y))) return false;
  const int hx = x - h->x();
  const int col = h->logicalIndexAt(hx);
  if (col < 0) return false;
  const int left = h->sectionViewportPosition(col), right = left + h->sectionSize(col);
  return std::abs(hx - left) <= 5 || std::abs(hx - right) <= 5;
}

// ---------------------------------------------------------------- fitting and tint

int TXlsStringGrid::CellLineHeight(const QFont& f) {
  // A line holding Latin descenders, kana and kanji, laid out as drawText lays out a cell.
  QTextLayout layout(QStringLiteral("Agjpqy|\u3042\u6f22\u5b57\u30fc\u3000"), f);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  line.setLineWidth(1e6);
  layout.endLayout();
  const QFontMetrics fm(f);
  return std::max(fm.height(), static_cast<int>(std::ceil(line.height()))) + std::max(0, fm.leading());
}

int TXlsStringGrid::TextWidthPerLine(int width, int lines, int addend) {
  if (width == 0) return 0;
  if (lines < 1) lines = 1;
  return static_cast<int>(std::lround(static_cast<double>(width) / lines)) + addend;
}

void TXlsStringGrid::AdjustColumnWidths(const TGridFitOptions& opt) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const int lines = opt.IsSeibun ? 1 : std::max(opt.Lines, 1);
  const QFontMetrics fm(font());
  auto tw = [&](const QString& s) { return fm.horizontalAdvance(s); };
  const int aw = tw(QStringLiteral("あ"));
  // A caption as the title row draws it: its text in the header's font between the margins.
  const QFontMetrics hfm(horizontalHeader()->font());
  const int headerMargin = std::max(2, style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()));
  auto captionWidth = [&](const std::string& title) {
    return title.empty() ? 0 : hfm.horizontalAdvance(QString::fromStdString(title)) + 2 * headerMargin + 1;
  };
  const bool hasData = DataRows() > 0;
  const TStringPool& pool = FModel->Pool();
  // The widest text of every column, each distinct text laid out once: every text of the
  // sample rows, and below them a text that gauges wider than any of its column so far.
  const int first = FModel->FixedRows(), end = FModel->RowCount();
  const int laidOutEnd = WidthSampleRows > 0 ? std::min(end, first + WidthSampleRows) : end;
  std::vector<int> widthOfId(pool.Count(), -1);
  auto layoutWidth = [&](uint32_t id) {
    int& w = widthOfId[id];
    if (w < 0) {
      std::string_view t = pool.Get(id);
      w = t.empty() ? 0 : tw(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())));
    }
    return w;
  };
  std::vector<int> widest(FModel->ColCount(), 0);
  FModel->ForEachCell(first, laidOutEnd, [&](int c, uint32_t id) { widest[c] = std::max(widest[c], layoutWidth(id)); });
  if (laidOutEnd < end) {
    TCharAdvances advances(font());
    std::vector<int> gaugeOfId(pool.Count(), -1);
    auto gauge = [&](uint32_t id) {
      int& g = gaugeOfId[id];
      if (g < 0) g = advances.Width(pool.Get(id));
      return g;
    };
    std::vector<int> widestGauge(widest.size(), 0);
    FModel->ForEachCell(first, laidOutEnd, [&](int c, uint32_t id) { widestGauge[c] = std::max(widestGauge[c], gauge(id)); });
    FModel->ForEachCell(laidOutEnd, end, [&](int c, uint32_t id) {
      const int g = gauge(id);
      if (g <= widestGauge[c]) return;
      widestGauge[c] = g;
      widest[c] = std::max(widest[c], layoutWidth(id));
    });
  }
  std::vector<int> remove;
  FFitCut = false;
  FSyncing = true;
  for (int c = 0; c < FModel->ColCount(); ++c) {
    const std::string title = FModel->FixedRows() > 0 ? std::string(FModel->Cell(c, 0)) : std::string();
    int w = 0;
    if (hasData) {
      if (title == "番号" || title == "混合数" || title == "製剤毒性") {
        w = 10;
      } else {
        // The per-line width grows with the text's width: the widest text gives the largest.
        w = TextWidthPerLine(widest[c], lines, aw);
      }
      if (opt.MaxWidth > 0 && !opt.IsSeizai) w = std::min(w, opt.MaxWidth);
    }
    int width;
    if (w != 0) {
      if (w < 5 * aw) w = 5 * aw;
      width = w + 5;
      if (title == "魚毒性") width = tw(QStringLiteral("魚毒性")) + 5;
      else if (title == "毒性") width = tw(QStringLiteral("0000")) + 5;
      else if (title == "濃度") width = tw(QStringLiteral("00000")) + 5;
      if (title == "番号") width = tw(QStringLiteral("00000")) + 5;
      else if (title == "混合数") width = tw(QStringLiteral("00")) + 5;
      else if (title == "製剤毒性") width = tw(QStringLiteral("普")) + 5;
      // Never narrower than the caption, within the width cap (which the narrowest fitted
      // column, five "あ", may pass).
      int caption = captionWidth(title);
      if (opt.MaxWidth > 0 && !opt.IsSeizai) caption = std::min(caption, std::max(opt.MaxWidth, 5 * aw) + 5);
      width = std::max(width, caption);
      const int gridWidth = this->width();
      if (width >= gridWidth && gridWidth > 0) {
        width = std::max(5, gridWidth - verticalScrollBar()->sizeHint().width() - 4);
        FFitCut = true;
      }
    } else if (hasData) {
      remove.push_back(c);
      continue;
    } else {
      // No data: the columns stay so that the titles still show.
      width = std::max(tw(QString::fromStdString(title)) + 10, 5 * aw + 5);
    }
    FModel->SetColWidth(c, width);
    setColumnHidden(c, false);
    setColumnWidth(c, width);
  }
  FSyncing = false;
  // One text line as the cells draw it: Japanese text comes from a fallback font whose ascent
  // and descent pass the grid font's own, and the even rows may have a font of their own.  The
  // grid line at the foot of each row takes one pixel of the row.
  int lineHeight = CellLineHeight(font());
  if (FDelegate->EvenRowFont) lineHeight = std::max(lineHeight, CellLineHeight(*FDelegate->EvenRowFont));
  const int gridLine = showGrid() ? 1 : 0;
  if (opt.IsSeibun)
    SetDefaultRowHeight(lineHeight + opt.LineSpace + gridLine);
  else
    SetDefaultRowHeight((lineHeight + opt.LineAddSpace) * lines + opt.LineSpace + gridLine);
  const int titleHeight = CellLineHeight(horizontalHeader()->font());
  horizontalHeader()->setFixedHeight(titleHeight + 4 + 2 * horizontalHeader()->frameWidth() + 4);
  FDelegate->LineSpace = opt.LineSpace;
  for (auto it = remove.rbegin(); it != remove.rend(); ++it) RemoveColumn(*it);
  UpdateFrozen();
  QApplication::restoreOverrideCursor();
}

void TXlsStringGrid::SetHighlightWords(const std::string& commaOrLines) {
  // The neighbour-crop text is comma text (several crops) or one word per line; "%" removed.
  std::vector<std::string> words;
  size_t start = 0;
  while (start <= commaOrLines.size()) {
    size_t end = commaOrLines.find_first_of("\r\n", start);
    if (end == std::string::npos) end = commaOrLines.size();
    for (std::string w : SplitNameList(std::string_view(commaOrLines).substr(start, end - start))) {
      w.erase(std::remove(w.begin(), w.end(), '%'), w.end());
      if (!w.empty()) words.push_back(std::move(w));
    }
    start = end + 1;
  }
  FModel->SetHighlightWords(std::move(words));
  viewport()->update();
}
