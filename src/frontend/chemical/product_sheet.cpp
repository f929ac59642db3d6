#include "frontend/chemical/product_sheet.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <exception>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/chemical/yakuzai_sql.h"
#include "frontend/frm_main.h"
#include "frontend/grid_fill_target.h"
#include "frontend/main_widgets.h"
#include "output/grid_popup_rules.h"
#include "output/web_lookup.h"
#include "output/xls_string_grid.h"

using namespace MainWidgets;

namespace {

// The values of the current row of the database object's result.
std::vector<std::string> CurrentRow() {
  std::vector<std::string> row;
  if (!AcisDB || !AcisDB->FTbl || AcisDB->FTbl->Eof()) return row;
  for (int c = 0; c < AcisDB->FTbl->ColCount(); ++c) row.push_back(AcisDB->FTbl->Fields(c));
  return row;
}

}  // namespace

const std::vector<std::string>& SeizaiCaptions() {
  static const std::vector<std::string> captions = {"種類名", "製剤毒性", "登録日", "申請者", "剤型", "用途"};
  return captions;
}

bool LookupsOnline() { return !CmdOffline && !(OptionData && OptionData->OffLine); }

TProductSheet::TProductSheet(TfrmMain& Main) : QObject(&Main), m_(Main) {
  BuildProductRow();
  BuildSeibunPopup();
  TXlsStringGrid* s = m_.gdSeizai;
  s->SetFixedRows(0);
  s->SetRowCount(static_cast<int>(SeizaiCaptions().size()));
  s->SetColCount(2);
  s->SetFixedCols(1);
  s->SetRowSelect(true);
  s->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  s->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  for (int r = 0; r < static_cast<int>(SeizaiCaptions().size()); ++r) s->SetCells(0, r, SeizaiCaptions()[r]);
  seizai_ = s;
  s->installEventFilter(this);
  // Both grids show their selection only while they have the focus.
  for (TXlsStringGrid* g : {m_.gdSeibun, m_.gdSeizai}) {
    QPalette p = g->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Inactive, QPalette::Base));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Inactive, QPalette::Text));
    g->setPalette(p);
  }
  m_.mSuisan->hide();
}

TProductSheet::~TProductSheet() = default;

void TProductSheet::BuildProductRow() {
  pnlYakuzaiSelect = NewPanel("pnlYakuzaiSelect");
  auto* col = new QVBoxLayout(pnlYakuzaiSelect);
  col->setContentsMargins(0, 0, 0, 0);
  // The product combo with its count, the look-up of the product name under them.
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  lblGoogle = Named(new QLabel("G"), "lblGoogle");
  lblGoogle->setCursor(Qt::PointingHandCursor);
  lblGoogle->installEventFilter(this);
  cbYakuzai = NewCombo("cbYakuzai", false);
  cbYakuzai->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cbYakuzai->setMinimumContentsLength(4);
  LabelCount = Named(new QLabel, "LabelCount");
  row->addWidget(cbYakuzai, 1);
  row->addWidget(LabelCount);
  col->addLayout(row);
  col->addWidget(lblGoogle);
  col->addStretch(1);
  UpdateGoogleLabel(false);
  // A product chosen in the combo (by the mouse, or by the keys when Enter is released).
  connect(cbYakuzai, &QComboBox::activated, this, [this] {
    const std::string n = BangoOfItem(cbYakuzai->currentText().toStdString());
    if (!n.empty()) YakuzaiSelect(std::stoll(n));
  });
  m_.cbYakuzai = cbYakuzai;
  if (QWidget* old = m_.pnlYakuzaiSelect) m_.pnlYakuzaiSelect = m_.ReplaceControl(old, pnlYakuzaiSelect);
}

void TProductSheet::BuildSeibunPopup() {
  pmnGridSeibun = new QMenu(m_.gdSeibun);
  pmnGridSeibun->setObjectName("pmnGridSeibun");
  auto item = [this](const char* name, const QString& caption) {
    QAction* a = pmnGridSeibun->addAction(caption);
    a->setObjectName(name);
    return a;
  };
  pmnGoogleGridSeibun = item("pmnGoogleGridSeibun", "Googleで検索");
  pmnWeblioGridSeibun = item("pmnWeblioGridSeibun", "Weblioで検索");
  pmnPrdbGridSeibun = item("pmnPrdbGridSeibun", "日本食品衛生学会残留農薬基準値データベースで検索");
  pmnFcgrGridSeibun = item("pmnFcgrGridSeibun", "Google(フジテレビ商品研究所サイト内)で検索");
  pmnNihsGridSeibun = item("pmnNihsGridSeibun", "国立医薬品食品衛生研究所で検索");
  pmnGoogleFfcrGridSeibun = item("pmnGoogleFfcrGridSeibun", "Google(日本食品化学研究振興財団サイト内)で検索");
  pmnNihsGridSeibun->setVisible(false);
  pmnGoogleFfcrGridSeibun->setVisible(false);
  pmnGridSeibun->addSeparator();
  actGridSeibunCopyALL = item("actGridSeibunCopyALL", "全てコピー");
  pmnSeibunFixedClm = item("pmnSeibunFixedClm", "列固定");
  NpmnSeibunFixedClmOff = item("NpmnSeibunFixedClmOff", "列固定解除");
  connect(pmnGoogleGridSeibun, &QAction::triggered, this, [this] { WebSearch(&m_, cellText_); });
  connect(pmnWeblioGridSeibun, &QAction::triggered, this, [this] { SearchWeblio(&m_, cellText_); });
  connect(pmnPrdbGridSeibun, &QAction::triggered, this, [this] { SearchPrdb(&m_, cellText_); });
  connect(pmnFcgrGridSeibun, &QAction::triggered, this, [this] { SearchFcgrSite(&m_, cellText_); });
  connect(pmnNihsGridSeibun, &QAction::triggered, this, [this] { SearchNihs(&m_, cellText_); });
  connect(pmnGoogleFfcrGridSeibun, &QAction::triggered, this, [this] { SearchFfcrSite(&m_, cellText_); });
  connect(actGridSeibunCopyALL, &QAction::triggered, this, [this] { m_.gdSeibun->CopyClipboard(); });
  connect(pmnSeibunFixedClm, &QAction::triggered, this, [this] {
    TXlsStringGrid* g = m_.gdSeibun;
    if (g->Col() >= 0) g->SetFixedCols(g->Col() + 1);
  });
  connect(NpmnSeibunFixedClmOff, &QAction::triggered, this, [this] { m_.gdSeibun->SetFixedCols(0); });
  connect(m_.gdSeibun, &TXlsStringGrid::MenuRequested, this, [this](int col, int row, const QPoint& at) {
    pmnGridSeibunPopup(col, row);
    pmnGridSeibun->popup(at);
  });
}

void TProductSheet::UpdateGoogleLabel(bool HaveProduct) {
  if (HaveProduct) {
    const std::string name = NameOfItem(cbYakuzai->currentText().toStdString());
    lblGoogle->setText(QString::fromStdString(name) + " をGoogleで検索");
  }
  const bool on = LookupsOnline() && HaveProduct;
  lblGoogle->setEnabled(on);
  QFont f = lblGoogle->font();
  f.setUnderline(on);
  lblGoogle->setFont(f);
  QPalette p = lblGoogle->palette();
  p.setColor(QPalette::WindowText, on ? QColor(Qt::blue) : QColor(Qt::black));
  lblGoogle->setPalette(p);
}

// ---------------------------------------------------------------------------------------------
// The product combo

int TProductSheet::ShowProducts(const std::string& SQL, bool PickShortest) {
  m_.WriteLog("SQL>" + SQL);
  if (!AcisDB) return 0;
  std::vector<std::string> items;
  if (AcisDB->Query(SQL, true) && AcisDB->FTbl) {
    TAcisCursorHold t(*AcisDB);
    for (; !t->Eof(); t->Next()) items.push_back(BangoItem(t->FieldAsInteger(0), t->Fields(1)));
  }
  {
    const QSignalBlocker block(cbYakuzai);
    cbYakuzai->clear();
    for (const std::string& i : items) cbYakuzai->addItem(QString::fromStdString(i));
  }
  LabelCount->setText(QString::number(items.size()) + "剤");
  SetDropDownWidth();
  if (items.empty()) return 0;
  int pick = 0;
  if (PickShortest) {
    for (int i = 1; i < cbYakuzai->count(); ++i)
      if (cbYakuzai->itemText(i).size() <= cbYakuzai->itemText(pick).size()) pick = i;
  }
  cbYakuzai->setCurrentIndex(pick);
  const std::string n = BangoOfItem(cbYakuzai->currentText().toStdString());
  if (!n.empty()) YakuzaiSelect(std::stoll(n));
  return static_cast<int>(items.size());
}

void TProductSheet::ShowSingleProduct(const std::string& Item) {
  const std::string n = BangoOfItem(Item);
  if (n.empty()) return;
  {
    const QSignalBlocker block(cbYakuzai);
    cbYakuzai->clear();
    cbYakuzai->addItem(QString::fromStdString(Item));
    cbYakuzai->setCurrentIndex(0);
  }
  LabelCount->setText("1剤");
  SetDropDownWidth();
  YakuzaiSelect(std::stoll(n));
}

void TProductSheet::SetDropDownWidth() {
  // The drop-down list is as wide as its widest item (and a scroll bar when it scrolls).
  const QFontMetrics fm(cbYakuzai->font());
  int w = 0;
  for (int i = 0; i < cbYakuzai->count(); ++i) w = std::max(w, fm.horizontalAdvance(cbYakuzai->itemText(i)));
  w += 6;
  if (cbYakuzai->count() > cbYakuzai->maxVisibleItems())
    w += cbYakuzai->view()->verticalScrollBar()->sizeHint().width();
  cbYakuzai->view()->setMinimumWidth(w);
}

// ---------------------------------------------------------------------------------------------
// The sheet

void TProductSheet::YakuzaiSelect(int64_t Bango) {
  if (!AcisDB || Bango <= 0) return;
  shown_ = Bango;
  // 1. Summary.
  const std::string sql = SeizaiSql(Bango);
  m_.WriteLog("SQL>" + sql);
  std::vector<std::string> row;
  if (AcisDB->Query(sql, false)) row = CurrentRow();
  SetSummary(row);
  UpdateGoogleLabel(!row.empty());
  // 2. Aquatic caution.
  ShowCaution(Bango);
  // 3. Ingredients.
  ShowSeibun(Bango);
  // 4.-5. Registered uses with the count headers.
  ShowUses(Bango);
}

void TProductSheet::SetSummary(const std::vector<std::string>& Values) {
  TXlsStringGrid* g = m_.gdSeizai;
  g->setFont(m_.gdSeibun->font());
  const int rows = static_cast<int>(SeizaiCaptions().size());
  // Values: bango, shurui, dokusei, torokubi, ryakusho, zaikei, yoto. Without a row the
  // values are emptied: nothing of the previous product stays.
  for (int r = 0; r < rows; ++r)
    g->SetCells(1, r, static_cast<size_t>(r + 1) < Values.size() ? Values[static_cast<size_t>(r + 1)] : std::string());
  if (QWidget* holder = g->parentWidget()) holder->show();
  g->show();
  g->SetDefaultRowHeight(QFontMetrics(g->font()).height() + (OptionData ? OptionData->GridLineSpace : 0));
  FitSeizaiColumns();
}

void TProductSheet::FitSeizaiColumns() {
  TXlsStringGrid* g = m_.gdSeizai;
  const int first = QFontMetrics(g->font()).horizontalAdvance("製剤毒性") + 5;
  g->SetColWidths(0, first);
  g->SetColWidths(1, std::max(20, g->viewport()->width() - first));
}

void TProductSheet::ShowCaution(int64_t Bango) {
  QPlainTextEdit* memo = m_.mSuisan;
  std::string text;
  if (AcisDB->TableExists("suisan")) {
    // No warning: many products have no caution.
    if (AcisDB->Query(SuisanSql(Bango), false)) {
      const std::vector<std::string> row = CurrentRow();
      if (!row.empty()) text = row[0];
    }
  }
  for (char& c : text)
    if (c == '#') c = '\n';
  memo->setPlainText(QString::fromStdString(text));
  memo->setVisible(!text.empty());
}

void TProductSheet::ShowSeibun(int64_t Bango) {
  TXlsStringGrid* g = m_.gdSeibun;
  const std::string sql = SeibunGridSql(Bango);
  m_.WriteLog("SQL>" + sql);
  TXlsGridTarget target(*g);
  if (AcisDB->Query(sql, false) && AcisDB->FTbl) {
    AcisDB->SetGridFromTable(target, *AcisDB->FTbl);
  } else {
    g->Fill({}, {});
  }
  g->show();
  // Fitted to the grid's real width.
  if (QWidget* p = g->parentWidget(); p && p->layout()) p->layout()->activate();
  m_.AdjustGridColumnWidths(g);
  g->clearSelection();
}

std::vector<std::string> TProductSheet::KaisuHeaders(int64_t Bango) {
  std::vector<std::string> names(5);
  if (!AcisDB || !AcisDB->Query(SeibunSlotsSql(Bango), false)) return names;
  const std::vector<std::string> slotNames = CurrentRow();
  for (size_t i = 0; i < names.size() && i < slotNames.size(); ++i) {
    std::string name = slotNames[i];
    if (name.empty()) continue;
    // The ingredient as the product's own registration names it.
    try {
      auto t = AcisDB->FDb->GetTableBound(SeibunOfIppanmeiSql(), {Bango, name});
      if (t->Count() > 0 && !t->Fields(0).empty()) name = t->Fields(0);
    } catch (const ESQLiteException& e) {
      TAcisDB::ShowSqlError(e, "");
    }
    names[i] = KaisuHeaderText(name);
  }
  return names;
}

void TProductSheet::ShowUses(int64_t Bango) {
  const std::vector<std::string> headers = KaisuHeaders(Bango);
  TXlsStringGrid* g = m_.gdYakuzai;
  const std::string sql = TekiyoGridSql(Bango, Restricted, CandidateCrops);
  if (DebugMode && !CandidateCrops.empty()) {
    m_.WriteLog(std::string("TfrmMain.YakuzaiSelect function IsSakumotsuStr ---"));
    m_.WriteLog("Result -> " + IsSakumotsuStr(CandidateCrops));
  }
  m_.WriteLog("gdYakuzai --> SQL> " + sql);
  TXlsGridTarget target(*g);
  int rows = 0;
  if (AcisDB->Query(sql, false) && AcisDB->FTbl) {
    rows = AcisDB->FTbl->Count();
    AcisDB->SetGridFromTable(target, *AcisDB->FTbl);
    for (int i = 0; i < 5 && kKaisuFirstCol + i < g->ColCount(); ++i)
      g->SetCells(kKaisuFirstCol + i, 0, headers[static_cast<size_t>(i)]);
    g->show();
    if (QWidget* p = g->parentWidget(); p && p->layout()) p->layout()->activate();
    m_.AdjustGridColumnWidths(g);
  } else {
    // No use of this product on the candidate crops: nothing of the previous one stays.
    g->Fill({}, {});
    g->hide();
  }
  TGridState& state = m_.GridStates[tiYakuzai];
  state.CountText = QString::number(rows) + "件";
  state.SortText.clear();
  if (m_.pgSearch->currentIndex() == tiYakuzai) {
    m_.SetStatusText(3, state.CountText);
    m_.SetStatusText(2, QString());
  }
  m_.EnableResultActions(rows > 0);
}

// ---------------------------------------------------------------------------------------------
// Look-ups, popup, focus

void TProductSheet::txtGoogleClick() {
  if (!LookupsOnline()) return;
  const std::string name = NameOfItem(cbYakuzai->currentText().toStdString());
  if (!name.empty()) WebSearch(&m_, name);
}

void TProductSheet::pmnGridSeibunPopup(int col, int row) {
  TXlsStringGrid* g = m_.gdSeibun;
  const bool onCell = row >= g->FixedRows() && row < g->RowCount() && col >= 0 && col < g->ColCount();
  for (QAction* a : {pmnGoogleGridSeibun, pmnWeblioGridSeibun, pmnPrdbGridSeibun, pmnFcgrGridSeibun,
                     pmnNihsGridSeibun, pmnGoogleFfcrGridSeibun})
    a->setVisible(false);
  if (!onCell) return;
  m_.SeibunMouseCol = col;
  m_.SeibunMouseRow = row;
  const std::string text = g->Cells(col, row);
  if (text.empty()) return;
  cellText_ = text;
  m_.PopupCellText = QString::fromStdString(text);
  const std::string header = g->Cells(col, 0);
  const QString t = QString::fromStdString(text);
  const bool online = LookupsOnline();
  auto offer = [online](QAction* a, const QString& caption) {
    a->setText(QString::fromStdString(MenuCaptionText(caption.toStdString())));
    a->setVisible(true);
    a->setEnabled(online);
  };
  if (header == "有効成分" || header == "総使用回数における有効成分" || header == "ISO物質名") {
    const QString d = QString::fromStdString(IsoDisplayName(text));
    offer(pmnGoogleGridSeibun, "「" + t + "」を Google で検索");
    offer(pmnWeblioGridSeibun, "「" + t + "」を Weblio で検索");
    offer(pmnPrdbGridSeibun, "「" + d + "」を 日本食品衛生学会残留農薬基準値データベースで検索");
    offer(pmnFcgrGridSeibun, "「" + d + "」を Google(フジテレビ商品研究所サイト内)で検索");
  } else if (header == "系統" || header == "RAC系統" || header == "作用点" || header == "作用機構" ||
             header == "FRACグループ") {
    offer(pmnGoogleGridSeibun, "「" + t + "」を Google で検索");
  }
}

bool TProductSheet::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == seizai_ && Event->type() == QEvent::Resize) {
    FitSeizaiColumns();
  } else if (Watched == lblGoogle && Event->type() == QEvent::MouseButtonRelease) {
    if (lblGoogle->isEnabled()) txtGoogleClick();
  }
  return QObject::eventFilter(Watched, Event);
}
