#include "frontend/pest/pest_search.h"

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <algorithm>
#include <memory>

#include <sqlite3.h>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/grid_fill_target.h"
#include "frontend/main_widgets.h"
#include "frontend/pest/dlg_byogai.h"
#include "frontend/pest/frm_tab_byochu_saku.h"
#include "frontend/pest/pest_search_sql.h"
#include "frontend/picker_placement.h"
#include "output/xls_string_grid.h"

namespace {

constexpr const char* kAll = "全て";
constexpr const char* kNoData = "検索条件に一致するデータはありません";

std::string Seconds(const char* Label, double S) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%5.3f秒", S);
  return std::string(Label) + buf;
}

// The tab's top row: the keyword box with its picker button on the left half, the crop
// filter with its picker button on the right half.
class TPestTabTop : public QWidget {
 public:
  TPestTabTop() {
    using namespace MainWidgets;
    setObjectName("pnlTabByochuTop");
    btnTabByochu = NewButton("病害虫", "btnTabByochu", this);
    edtByochu = NewEdit("edtByochu", this);
    btnTabByochuSaku = NewButton("作物名", "btnTabByochuSaku", this);
    cbTabByochuSakumotu = NewCombo("cbTabByochuSakumotu", true, this);
    cbTabByochuSakumotu->setMaxVisibleItems(15);
    cbTabByochuSakumotu->setInsertPolicy(QComboBox::NoInsert);
    cbTabByochuSakumotu->setCompleter(nullptr);
    for (QPushButton* b : {btnTabByochu, btnTabByochuSaku}) b->setAutoDefault(false);
    FitHeight();
  }
  QPushButton *btnTabByochu, *btnTabByochuSaku;
  QLineEdit* edtByochu;
  QComboBox* cbTabByochuSakumotu;

 protected:
  void resizeEvent(QResizeEvent* Event) override {
    QWidget::resizeEvent(Event);
    Relayout(Event->size().width());
  }
  void changeEvent(QEvent* Event) override {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::FontChange || Event->type() == QEvent::StyleChange) {
      FitHeight();
      Relayout(width());
    }
  }

 private:
  // One row as high as its tallest control.
  void FitHeight() {
    int h = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{btnTabByochu, edtByochu, btnTabByochuSaku, cbTabByochuSakumotu})
      h = std::max(h, w->sizeHint().height());
    rowHeight_ = h;
    setFixedHeight(h + 4);
    setMinimumWidth(btnTabByochu->sizeHint().width() + btnTabByochuSaku->sizeHint().width() + 80);
  }
  // Half the width for each side: the keyword box reaches to the middle, the crop side starts
  // just after it and reaches to 4 pixels before the right edge.
  void Relayout(int W) {
    const int half = W / 2;
    const int y = 2;
    btnTabByochu->setGeometry(2, y, btnTabByochu->sizeHint().width(), rowHeight_);
    const int editLeft = btnTabByochu->geometry().right() + 3;
    edtByochu->setGeometry(editLeft, y, std::max(10, half - editLeft - 2), rowHeight_);
    btnTabByochuSaku->setGeometry(half + 2, y, btnTabByochuSaku->sizeHint().width(), rowHeight_);
    const int comboLeft = btnTabByochuSaku->geometry().right() + 1 + 2;
    cbTabByochuSakumotu->setGeometry(comboLeft, y, std::max(10, W - 4 - comboLeft), rowHeight_);
  }

  int rowHeight_ = 24;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and bindings

TPestSearch::TPestSearch(TfrmMain& Main) : m_(Main) {
  for (QWidget* w : std::initializer_list<QWidget*>{m_.btnTabByochuSaku, m_.cbTabByochuSakumotu}) SetWanted(w, false);
  ConnectControls();
}

TPestSearch::~TPestSearch() = default;

void TPestSearch::ConnectControls() {
  connect(m_.edtByochu, &QLineEdit::textChanged, this, [this] { edtByochuChange(); });
  connect(m_.edtByochu, &QLineEdit::returnPressed, this, [this] {
    if (m_.edtByochu->text().isEmpty()) return;  // an empty box: Enter does nothing
    m_.actSearchTekiyouExecute();
    edtByochuChange();
  });
  connect(m_.btnTabByochu, &QPushButton::clicked, this, [this] { btnTabByochuClick(); });
  connect(m_.btnTabByochuSaku, &QPushButton::clicked, this, [this] { btnTabByochuSakuClick(); });
  connect(m_.cbTabByochuSakumotu, &QComboBox::activated, this, [this] { QueueCropFilter(); });
  connect(m_.cbTabByochuSakumotu->lineEdit(), &QLineEdit::returnPressed, this, [this] { QueueCropFilter(); });
  // The search action follows the keyword box whenever the pest tab comes to the front.
  connect(m_.pgSearch, &QTabWidget::currentChanged, this, [this](int Tab) {
    if (Tab == tiByochu) edtByochuChange();
  });
}

void TPestSearch::QueueCropFilter() {
  // Enter in the editable combo may also count as choosing the item it names: one run only.
  if (filterQueued_) return;
  filterQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        filterQueued_ = false;
        cbTabByochuSakumotuSelect();
      },
      Qt::QueuedConnection);
}

void TPestSearch::SetWanted(QWidget* W, bool Enabled) {
  wanted_[W] = Enabled;
  W->setEnabled(Enabled);
}

void TPestSearch::EnableInputs(bool Enabled) {
  // The shell switches the whole row; the row's own rules decide what comes back.
  if (!Enabled) return;
  for (const auto& [w, on] : wanted_) w->setEnabled(on);
}

void TPestSearch::ClearConditions() {
  const QSignalBlocker block(m_.cbTabByochuSakumotu);
  m_.cbTabByochuSakumotu->setEditText(QString());
}

void TPestSearch::edtByochuChange() { m_.UpdateSearchAction(); }

bool TPestSearch::CanSearch() const { return !m_.edtByochu->text().isEmpty(); }

std::string TPestSearch::ViewName() {
  std::string& v = m_.ResultViewName;
  // The name is shared with the crop tab: the pest views end in "Byochu" and a digit.
  if (v.find("Byochu") == std::string::npos) v = m_.ViewNameFor(tiByochu);
  return v;
}

// ---------------------------------------------------------------------------------------------
// The search

void TPestSearch::Search() {
  SearchByochu();
  // The shell switches the action on after every search: the keyword box decides again.
  QMetaObject::invokeMethod(this, [this] { edtByochuChange(); }, Qt::QueuedConnection);
}

bool TPestSearch::RunScript(const TPestCondition& Condition) {
  // One transaction: a script that fails half-way leaves the working tables as they were.
  // The keywords are bound, never written into the script.
  TSQLiteDb& db = *AcisDB->FDb;
  const bool own = sqlite3_get_autocommit(db.Handle()) != 0;
  try {
    TAcisBusy busy;
    if (own) db.ExecSQL("BEGIN TRANSACTION;");
    db.ExecSQL("DROP TABLE IF EXISTS tByochu;");
    std::vector<TSQLiteParam> params(Condition.Params.begin(), Condition.Params.end());
    db.ExecBound(TByochuCreateSql(Condition.Bound), TSQLiteParams(params));
    db.ExecSQL(TekiyoByochuScript());
    if (own) db.ExecSQL("COMMIT;");
    return true;
  } catch (const ESQLiteException& e) {
    if (own && sqlite3_get_autocommit(db.Handle()) == 0) {
      try {
        db.ExecSQL("ROLLBACK;");
      } catch (const ESQLiteException&) {
      }
    }
    TAcisDB::ShowSqlError(e, "");
    return false;
  }
}

void TPestSearch::SearchByochu() {
  if (!AcisDB) return;
  const std::string text = m_.edtByochu->text().toStdString();
  if (text.empty()) return;
  const TPestCondition c = ByochuCondition(text);
  if (c.Params.empty()) return;  // separators only: no keyword to look for
  ++SearchCount;
  TBusyGuard busy(m_);
  const std::string view = ViewName();
  AcisDB->SetMultiStatement(true);
  m_.WriteLog("SQL>" + ByochuScript(c.Literal));

  QElapsedTimer timer;
  timer.start();
  const bool ran = RunScript(c);
  LastSqlSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  m_.WriteLog(Seconds("病害虫検索SQL実行時間 ", LastSqlSeconds));
  if (ran)
    ShowResult();
  else
    ClearResult(QString());  // the error was shown; nothing of the previous result may stand
  LastShowSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  m_.WriteLog(Seconds("病害虫検索表示完了時間 ", LastShowSeconds));
}

void TPestSearch::ShowResult() {
  const std::string cropSql = ByochuCropListSql();
  m_.WriteLog("SQL>" + cropSql);
  if (!AcisDB->Query(cropSql, true)) {
    // Nothing found (the warning was shown): the grid must not keep the previous rows beside
    // the replaced working tables.
    ClearResult("0件");
    return;
  }
  {
    TAcisCursorHold t(*AcisDB);
    QStringList items{kAll};
    for (; !t->Eof(); t->Next()) {
      const std::string v = t->Fields(0);
      if (!v.empty()) items << QString::fromStdString(v);
      AcisDB->Breathe();
    }
    const QSignalBlocker block(m_.cbTabByochuSakumotu);
    m_.cbTabByochuSakumotu->clear();
    m_.cbTabByochuSakumotu->setEditText(QString());
    SetWanted(m_.cbTabByochuSakumotu, true);
    m_.cbTabByochuSakumotu->addItems(items);
    m_.cbTabByochuSakumotu->setCurrentIndex(-1);
    m_.cbTabByochuSakumotu->setEditText(QString());
  }
  SetWanted(m_.btnTabByochuSaku, true);
  ShowInGrid(ByochuResultSql(ViewName()));
}

void TPestSearch::ClearResult(const QString& CountText) {
  m_.gdByochu->Fill({}, {});
  m_.gdByochu->hide();
  TGridState& g = m_.GridStates[tiByochu];
  g.CountText = CountText;
  g.SortText.clear();
  if (m_.pgSearch->currentIndex() == tiByochu) {
    m_.SetStatusText(3, g.CountText);
    m_.SetStatusText(2, QString());
  }
  {
    const QSignalBlocker block(m_.cbTabByochuSakumotu);
    m_.cbTabByochuSakumotu->clear();
    m_.cbTabByochuSakumotu->setEditText(QString());
  }
  SetWanted(m_.cbTabByochuSakumotu, false);
  SetWanted(m_.btnTabByochuSaku, false);
}

bool TPestSearch::ShowInGrid(const std::string& SQL) {
  m_.WriteLog("SQL>" + SQL);
  if (!AcisDB) return false;
  TBusyGuard busy(m_);
  std::unique_ptr<TSQLiteTbl> t;
  try {
    TAcisBusy wait;
    t = AcisDB->FDb->GetTable(SQL);
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "AcisDB.SetGrid ");
    return false;
  }
  TXlsStringGrid* grid = m_.gdByochu;
  TGridState& g = m_.GridStates[tiByochu];
  if (t->Count() == 0) {
    // The filter matches nothing: an empty result, never the previous rows under it.
    ShowMessageBox(TMsgKind::Warning, "Quillmar", kNoData);
    grid->Fill({}, {});
    grid->hide();
    g.CountText = "0件";
  } else {
    AcisDB->FTbl = std::move(t);
    TXlsGridTarget target(*grid);
    AcisDB->SetGridFromTable(target, *AcisDB->FTbl);
    // Shown first: the columns are fitted to the grid's real width.
    grid->show();
    if (QWidget* p = grid->parentWidget(); p && p->layout()) p->layout()->activate();
    m_.AdjustGridColumnWidths(grid);
    g.CountText = QString::number(grid->RowCount() - 1) + "件";
  }
  g.SortText.clear();
  if (m_.pgSearch->currentIndex() == tiByochu) {
    m_.SetStatusText(3, g.CountText);
    m_.SetStatusText(2, QString());
  }
  return !grid->isHidden();
}

// ---------------------------------------------------------------------------------------------
// Crop filter and pickers

void TPestSearch::cbTabByochuSakumotuSelect() {
  // Only over a result of this tab's search: the crop list is filled exactly then.
  if (!AcisDB || m_.cbTabByochuSakumotu->count() == 0) return;
  const std::string crops = m_.cbTabByochuSakumotu->currentText().toStdString();
  TAcisDB* db = AcisDB.get();
  const std::string sql =
      ByochuCropFilterSql(ViewName(), crops, [db](const std::string& Name) { return db->DeployCrops(Name, '~'); });
  ShowInGrid(sql);
}

void TPestSearch::btnTabByochuClick() {
  if (!ShowPestPicker(m_)) return;
  // However the picker closed, the keywords are searched.
  m_.actSearchTekiyouExecute();
  edtByochuChange();
}

void TPestSearch::btnTabByochuSakuClick() {
  if (!AcisDB || m_.cbTabByochuSakumotu->count() < 1) return;
  TfrmTabByochuSaku dlg(&m_);
  dlg.setWindowTitle("作物名選択");
  dlg.lstSakumotsu->clear();
  dlg.ShowAllLevels();
  // As wide as the button and the combo together; as high as the list needs, at most the
  // grid's height.
  const int rows = std::max(1, dlg.lstSakumotsu->count());
  const int rowHeight = std::max(dlg.lstSakumotsu->sizeHintForRow(0), dlg.fontMetrics().height());
  const int buttons = dlg.btnOk->sizeHint().height() + 8;
  const int others = dlg.cbLevel0->sizeHint().height() * 2 + 8;
  int height = rows * rowHeight + buttons + others + 4;
  if (m_.gdByochu->height() > 100) height = std::min(height, m_.gdByochu->height());
  dlg.resize(m_.btnTabByochuSaku->width() + m_.cbTabByochuSakumotu->width(), height);
  PlacePickerAtButton(&dlg, m_.btnTabByochuSaku);
  if (ExecPicker(dlg) != QDialog::Accepted) return;
  {
    const QSignalBlocker block(m_.cbTabByochuSakumotu);
    m_.cbTabByochuSakumotu->setEditText(QString::fromStdString(dlg.GetCheckedSakumotsu()));
  }
  cbTabByochuSakumotuSelect();
}

// ---------------------------------------------------------------------------------------------

TPestSearch* InstallPestSearch(TfrmMain& Main) {
  auto* top = new TPestTabTop;
  top->setFont(Main.font());
  Main.pnlTabByochuTop = Main.ReplaceControl(Main.pnlTabByochuTop, top);
  // The row stays at the top of the tab also while the grid is hidden (before a result).
  if (QLayout* lay = Main.tabByochu->layout()) lay->setAlignment(top, Qt::AlignTop);
  Main.edtByochu = top->edtByochu;
  Main.btnTabByochu = top->btnTabByochu;
  Main.btnTabByochuSaku = top->btnTabByochuSaku;
  Main.cbTabByochuSakumotu = top->cbTabByochuSakumotu;
  auto search = std::make_unique<TPestSearch>(Main);
  TPestSearch* raw = search.get();
  Main.SetSearchHandler(tiByochu, std::move(search));
  // A result on show came from the database just replaced (a data update): its working tables
  // went with the old connection, so the crop filter would find nothing.  The search runs again
  // on the new data; the handler is asked for now, as it may have been replaced since.
  auto previousLoad = Main.OnLoadMasterLists;
  TfrmMain* m = &Main;
  Main.OnLoadMasterLists = [m, previousLoad] {
    if (previousLoad) previousLoad();
    auto* pest = dynamic_cast<TPestSearch*>(m->SearchHandler(tiByochu));
    if (pest && !m->gdByochu->isHidden()) pest->SearchByochu();
  };
  return raw;
}
