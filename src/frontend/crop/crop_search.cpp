#include "frontend/crop/crop_search.h"

#include "database/acis_session_views.h"

#include <sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <exception>
#include <memory>

#include "database/acis_crop_queries.h"
#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "database/clause_builders.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/global.h"
#include "foundation/win_spin_edit.h"
#include "foundation/message_sink.h"
#include "frontend/display_modes.h"
#include "frontend/frm_main.h"
#include "frontend/frm_sakubyochu.h"
#include "frontend/frm_yoto.h"
#include "frontend/frm_zaikei.h"
#include "frontend/grid_fill_target.h"
#include "frontend/picker_placement.h"
#include "frontend/crop/tekiyo_filter.h"
#include "output/xls_string_grid.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kAll = "全て";

enum TFilterKind : int { fkByochu = 0, fkMokuteki = 1, fkYoto = 2, fkZaikei = 3 };

std::string Seconds(const char* Label, double S) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%5.3f秒", S);
  return std::string(Label) + buf;
}

std::vector<std::string> ComboItemsWithoutAll(const QComboBox* Combo) {
  std::vector<std::string> items;
  for (int i = 0; i < Combo->count(); ++i) {
    const QString t = Combo->itemText(i);
    if (i == 0 && t == kAll) continue;
    items.push_back(t.toStdString());
  }
  return items;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// SQL texts

std::string TekiyoSakuSelect(const std::string& Regexp) {
  std::string s = TekiyoWorkSelect(kCrLf);
  s += kCrLf;
  // The crop names select the uses through the index on m_tekiyo(sakumotsu); the codes keep
  // the selection exact whatever the names.
  s += "WHERE sakumotsu IN (SELECT sakumotsu FROM m_sakumotsu WHERE idsaku REGEXP " + Regexp + ") AND ";
  s += "idsaku IN (SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP " + Regexp;
  return s;
}

std::string QuerySakumotsu2(const std::string& Regexp) {
  return std::string("DROP TABLE IF EXISTS ttTekiyoSaku;") + kCrLf + "CREATE TEMP TABLE ttTekiyoSaku AS " + kCrLf +
         TekiyoSakuSelect(Regexp) + kCrLf + ");";
}

std::string QuerySakumotsuKinsetsuScript(const std::string& MainRegexp, const std::string& KinsetsuRegexp) {
  std::string s;
  s += std::string("DROP TABLE IF EXISTS t_sub;") + kCrLf + "CREATE TEMP TABLE t_sub AS " + kCrLf +
       TekiyoSakuSelect(KinsetsuRegexp) + kCrLf + ")" + kCrLf + " ORDER BY bango;" + kCrLf + "--" + kCrLf;
  s += std::string("DROP TABLE IF EXISTS t_saku;") + kCrLf + "CREATE TEMP TABLE t_saku AS " + kCrLf +
       TekiyoSakuSelect(MainRegexp) + kCrLf + ")" + kCrLf + " ORDER BY bango;" + kCrLf + "--" + kCrLf;
  std::string cols;
  for (const std::string& c : TekiyoWorkColumnNames()) cols += (cols.empty() ? "" : ",") + c;
  // t_main holds the products of the selected crops only (taken before the neighbour rows are
  // appended). A neighbour use whose crop is also selected is in t_saku already.
  s += std::string("DROP TABLE IF EXISTS t_main;") + kCrLf +
       "CREATE TEMP TABLE t_main AS SELECT DISTINCT bango FROM t_saku ORDER BY bango;" + kCrLf + "INSERT INTO t_saku(" +
       cols + ")SELECT * from t_sub WHERE idsaku NOT IN (SELECT idsaku FROM m_sakumotsu WHERE idsaku REGEXP " +
       MainRegexp + ");" + kCrLf + "--" + kCrLf;
  s += std::string("DROP TABLE IF EXISTS ttTekiyoSaku;") + kCrLf +
       "CREATE TEMP TABLE ttTekiyoSaku AS SELECT * FROM t_saku WHERE bango IN  (SELECT DISTINCT bango FROM t_main "
       "WHERE bango IN (SELECT DISTINCT bango FROM t_sub))" +
       kCrLf + " ORDER BY bango;";
  return s;
}

// ---------------------------------------------------------------------------------------------
// Construction and bindings

TCropSearch::TCropSearch(TfrmMain& Main) : m_(Main) {
  SelectionText = [this] { return m_.eSakumotsu ? m_.eSakumotsu->text() : QString(); };
  KinsetsuText = [this] { return m_.eKinsetsuSakumotsu ? m_.eKinsetsuSakumotsu->text() : QString(); };
  for (QWidget* w : std::initializer_list<QWidget*>{m_.btnByochu, m_.cbByochu, m_.btnMokuteki, m_.cbMokuteki,
                                                    m_.btnYoto, m_.edtYoto, m_.btnZaikei, m_.cbZaikei})
    wanted_[w] = false;
  ConnectControls();
}

TCropSearch::~TCropSearch() = default;

void TCropSearch::ConnectControls() {
  for (QComboBox* c : {m_.cbByochu, m_.cbMokuteki, m_.cbZaikei}) {
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
  }
  for (QComboBox* c : {m_.cbByochu, m_.cbMokuteki}) c->setMaxVisibleItems(15);

  struct TBind {
    QComboBox* combo;
    int kind;
  };
  for (TBind b : {TBind{m_.cbByochu, fkByochu}, TBind{m_.cbMokuteki, fkMokuteki}, TBind{m_.cbZaikei, fkZaikei}}) {
    const int kind = b.kind;
    connect(b.combo, &QComboBox::activated, this, [this, kind] { QueueFilter(kind); });
    connect(b.combo->lineEdit(), &QLineEdit::returnPressed, this, [this, kind] { QueueFilter(kind); });
  }
  // The hidden ingredient-count box runs the formulation filter like cbZaikei.
  if (QComboBox* c = m_.cbKaisuSeibun) {
    connect(c, &QComboBox::activated, this, [this] { QueueFilter(fkZaikei); });
    if (c->lineEdit()) connect(c->lineEdit(), &QLineEdit::returnPressed, this, [this] { QueueFilter(fkZaikei); });
  }
  connect(m_.edtYoto, &QLineEdit::returnPressed, this, [this] { edtYotoEnter(); });
  connect(m_.btnByochu, &QPushButton::clicked, this, [this] { btnByochuClick(); });
  connect(m_.btnMokuteki, &QPushButton::clicked, this, [this] { btnMokutekiClick(); });
  connect(m_.btnYoto, &QPushButton::clicked, this, [this] { btnYotoClick(); });
  connect(m_.btnZaikei, &QPushButton::clicked, this, [this] { btnZaikeiClick(); });
}

void TCropSearch::QueueFilter(int Kind) {
  // Enter in an editable combo may also count as choosing the item it names: one run only.
  const bool queued = pendingFilter_ >= 0;
  pendingFilter_ = Kind;
  if (queued) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        const int kind = pendingFilter_;
        pendingFilter_ = -1;
        switch (kind) {
          case fkByochu: FilterTekiyoByByochu(); break;
          case fkMokuteki: FilterTekiyoByMokuteki(); break;
          case fkZaikei: FilterTekiyoByZaikei(); break;
          default: break;
        }
      },
      Qt::QueuedConnection);
}

void TCropSearch::SetWanted(QWidget* W, bool Enabled) {
  wanted_[W] = Enabled;
  W->setEnabled(Enabled);
}

void TCropSearch::EnableInputs(bool Enabled) {
  if (UpdateFrameCommands) UpdateFrameCommands();
  // The shell switches the whole filter bar; the bar's own rules decide what comes back.
  if (!Enabled) return;
  for (const auto& [w, on] : wanted_) w->setEnabled(on);
}

void TCropSearch::ClearConditions() {
  if (ClearFrameSelection) ClearFrameSelection();
  for (auto& [w, on] : wanted_) {
    on = false;
    w->setEnabled(false);
  }
}

std::string TCropSearch::ViewName() {
  std::string& v = m_.ResultViewName;
  if (v.empty()) v = "tvTekiyoSaku1";
  // The name is shared with the pest tab: the crop views end in "Saku" and a digit.
  if (v.find("Saku") == std::string::npos) v = m_.ViewNameFor(tiSakumotsu);
  return v;
}

QString TCropSearch::FilterText(QComboBox* Combo) const {
  return QString::fromStdString(FilterValue(Combo->currentText().toStdString()));
}

bool TCropSearch::HasWords(QComboBox* Combo) const { return HasFilterWords(Combo->currentText().toStdString()); }

std::string TCropSearch::PercentFilterText(QComboBox* Combo) {
  // Every full-width "％" counts as "%", and the combo shows it so.
  const QString typed = Combo->currentText();
  const QString p = QString::fromStdString(AsciiPercent(typed.toStdString()));
  if (p != typed) {
    const QSignalBlocker block(Combo);
    Combo->setEditText(p);
  }
  return p.toStdString();
}

// ---------------------------------------------------------------------------------------------
// The search

std::string TCropSearch::QuerySakumotsuKinsetsu() {
  if (!AcisDB) return {};
  const std::string sub = AcisDB->IdSakuRegexpLine(m_.KinsetsuSelection.toStdString(), false, kinsetsuAdded_);
  const std::string main = AcisDB->IdSakuRegexpLine(m_.SakumotsuSelection.toStdString(), false, selectionAdded_);
  return QuerySakumotsuKinsetsuScript(main, sub);
}

bool TCropSearch::RunScript(const std::string& Script) {
  // One transaction: a script that fails half-way leaves the working tables as they were.
  const bool own = sqlite3_get_autocommit(AcisDB->FDb->Handle()) != 0;
  return AcisDB->ExecSQL(own ? "BEGIN TRANSACTION;\r\n" + Script + "\r\nCOMMIT;" : Script);
}

void TCropSearch::SearchTekiyoBySakumotsu() {
  if (!AcisDB) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "データベースがありません");
    return;
  }
  m_.SakumotsuSelection = SelectionText ? SelectionText().trimmed() : QString();
  m_.KinsetsuSelection = KinsetsuText ? KinsetsuText().trimmed() : QString();
  selectionAdded_ = SelectionAdded ? SelectionAdded() : std::vector<std::string>();
  kinsetsuAdded_ = KinsetsuAdded ? KinsetsuAdded() : std::vector<std::string>();
  if (m_.SakumotsuSelection.isEmpty()) return;
  const std::string selection = m_.SakumotsuSelection.toStdString();
  const std::string re = AcisDB->IdSakuRegexpLine(selection, false, selectionAdded_);
  if (IsNoCropPattern(re)) {
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "選択した検索条件に矛盾があるためデータを取得できません。");
    return;
  }
  ++SearchCount;
  TBusyGuard busy(m_);
  const std::string view = ViewName();
  AcisDB->SetMultiStatement(true);

  std::string script;
  if (m_.KinsetsuSelection.isEmpty()) {
    if (DebugMode) {
      try {
        m_.WriteLog("IdSakuRegexpLine(" + selection + ")");
        m_.WriteLog(re);
        m_.WriteLog(std::string("-- end --"));
        m_.WriteLog(std::string("-- end --"));
        m_.WriteLog(std::string("QuerySakumotsu2 > ttTekiyoSaku"));
      } catch (const std::exception& e) {
        ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
      }
    }
    script = QuerySakumotsu2(re);
  } else {
    script = QuerySakumotsuKinsetsu();
  }
  m_.WriteLog("SQL>" + script);

  QElapsedTimer timer;
  timer.start();
  const bool ran = RunScript(script);
  LastSqlSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  m_.WriteLog(Seconds("作物検索SQL実行時間 ", LastSqlSeconds));

  if (!ran) {
    // The error was shown; nothing of the previous result may stand for this search.
    ClearResult(QString());
    m_.SakumotsuSelection.clear();
  } else if (!ShowResult()) {
    ClearResult(QString());
  }
  LastShowSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  m_.WriteLog(Seconds("作物検索表示完了時間 ", LastShowSeconds));
}

bool TCropSearch::ShowResult() {
  // An empty result is a result: the grid is emptied, not left with the previous rows.
  int64_t rows = 0;
  try {
    auto t = AcisDB->FDb->GetTable("SELECT count(*) FROM temp.ttTekiyoSaku");
    rows = t && t->Count() > 0 ? std::stoll(t->Fields(0)) : 0;
  } catch (const std::exception&) {
    rows = -1;
  }
  if (rows == 0) {
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "検索条件に一致するデータはありません");
    ClearResult("0件");
    return true;
  }
  const std::string sql = "SELECT * FROM " + ViewName();
  m_.WriteLog("SQL>" + sql);
  TXlsGridTarget target(*m_.gdTekiyo);
  if (!AcisDB->SetGrid(target, sql)) return false;
  const int count = AcisDB->FTbl ? AcisDB->FTbl->Count() : m_.gdTekiyo->RowCount() - 1;
  // Shown first: a grid hidden by an earlier empty result has no width of its own yet, and
  // the fit caps every column at the grid's width.
  m_.gdTekiyo->show();
  if (QWidget* p = m_.gdTekiyo->parentWidget(); p && p->layout()) p->layout()->activate();
  m_.AdjustGridColumnWidths(m_.gdTekiyo);
  TGridState& g = m_.GridStates[tiSakumotsu];
  g.CountText = QString::number(count) + "件";
  g.SortText.clear();
  if (m_.pgSearch->currentIndex() == tiSakumotsu) {
    m_.SetStatusText(3, g.CountText);
    m_.SetStatusText(2, QString());
  }
  m_.seGridCellLine->setEnabled(true);
  // The lists describe the fresh, unfiltered result: the use and formulation filters of the
  // previous result go first.
  m_.edtYoto->clear();
  {
    const QSignalBlocker block(m_.cbZaikei);
    m_.cbZaikei->setEditText(QString());
  }
  FillByochuCombo();
  FillMokutekiCombo();
  FillZaikeiCombo();
  SetWanted(m_.btnYoto, true);
  m_.edtYoto->clear();
  SetWanted(m_.edtYoto, true);
  SetWanted(m_.btnZaikei, true);
  SetWanted(m_.cbZaikei, true);
  shownFilter_ = CurrentFilterTexts();
  return true;
}

void TCropSearch::ClearResult(const QString& CountText) {
  try {
    if (AcisDB && AcisDB->TableExists("temp.ttTekiyoSaku")) AcisDB->FDb->ExecSQL("DELETE FROM temp.ttTekiyoSaku;");
  } catch (const std::exception&) {
  }
  m_.gdTekiyo->Fill({}, {});
  m_.gdTekiyo->hide();
  TGridState& g = m_.GridStates[tiSakumotsu];
  g.CountText = CountText;
  g.SortText.clear();
  if (m_.pgSearch->currentIndex() == tiSakumotsu) {
    m_.SetStatusText(3, g.CountText);
    m_.SetStatusText(2, QString());
  }
  for (QComboBox* c : {m_.cbByochu, m_.cbMokuteki, m_.cbZaikei}) {
    const QSignalBlocker block(c);
    c->clear();
    c->setEditText(QString());
  }
  m_.edtYoto->clear();
  shownFilter_ = {};
  for (auto& [w, on] : wanted_) {
    on = false;
    w->setEnabled(false);
  }
}

// ---------------------------------------------------------------------------------------------
// Filter lists

void TCropSearch::FillFilterCombo(QComboBox* Combo, QWidget* Button, const std::string& SQL) {
  m_.WriteLog("SQL>" + SQL);
  if (!AcisDB || !AcisDB->Query(SQL, true) || !AcisDB->FTbl) return;
  // The window breathes between rows: a handler that queries meanwhile must not free them.
  TAcisCursorHold t(*AcisDB);
  const QSignalBlocker block(Combo);
  Combo->clear();
  SetWanted(Combo, true);
  SetWanted(Button, true);
  QStringList items{kAll};
  for (; !t->Eof(); t->Next()) {
    const std::string v = t->Fields(0);
    if (!v.empty()) items << QString::fromStdString(v);
    AcisDB->Breathe();
  }
  Combo->addItems(items);
  Combo->setCurrentIndex(0);
  // Only "全て": nothing to choose, in the list or in its picker.
  if (Combo->count() == 1) {
    SetWanted(Combo, false);
    SetWanted(Button, false);
  }
}

void TCropSearch::FillByochuCombo() {
  FillFilterCombo(m_.cbByochu, m_.btnByochu,
                  ByochuListSql(m_.edtYoto->text().toStdString(), m_.cbZaikei->currentText().toStdString()));
}

void TCropSearch::FillMokutekiCombo() {
  FillFilterCombo(m_.cbMokuteki, m_.btnMokuteki,
                  MokutekiListSql(m_.edtYoto->text().toStdString(), m_.cbZaikei->currentText().toStdString()));
}

void TCropSearch::FillZaikeiCombo() {
  FillFilterCombo(m_.cbZaikei, m_.btnZaikei, ZaikeiListSql(m_.edtYoto->text().toStdString()));
}

// ---------------------------------------------------------------------------------------------
// Filters

void TCropSearch::WordFilter(QComboBox* Combo, const char* Field, QComboBox* Other) {
  if (!AcisDB || m_.SakumotsuSelection.isEmpty()) return;
  const std::string sql = WordFilterSql(ViewName(), Field, PercentFilterText(Combo), m_.edtYoto->text().toStdString(),
                                        m_.cbZaikei->currentText().toStdString());
  {
    // The pest and the purpose filter exclude each other.
    const QSignalBlocker block(Other);
    Other->setEditText(QString());
  }
  ShowFiltered(sql);
}

TCropSearch::TFilterTexts TCropSearch::CurrentFilterTexts() const {
  return {m_.cbByochu->currentText(), m_.cbMokuteki->currentText(), m_.edtYoto->text(), m_.cbZaikei->currentText()};
}

void TCropSearch::ShowFiltered(const std::string& SQL) {
  if (m_.ShowQueryInGrid(m_.gdTekiyo, SQL)) {
    shownFilter_ = CurrentFilterTexts();
    return;
  }
  // Nothing matched (or the query failed): the grid keeps the rows it shows, so the filter
  // bar goes back to the texts that gave them; a filter text never stands over other rows.
  for (auto [combo, text] : {std::pair{m_.cbByochu, shownFilter_.Byochu}, std::pair{m_.cbMokuteki, shownFilter_.Mokuteki},
                             std::pair{m_.cbZaikei, shownFilter_.Zaikei}}) {
    const QSignalBlocker block(combo);
    combo->setEditText(text);
  }
  const QSignalBlocker block(m_.edtYoto);
  m_.edtYoto->setText(shownFilter_.Yoto);
}

void TCropSearch::FilterTekiyoByByochu() { WordFilter(m_.cbByochu, "byochu", m_.cbMokuteki); }

void TCropSearch::FilterTekiyoByMokuteki() { WordFilter(m_.cbMokuteki, "mokuteki", m_.cbByochu); }

void TCropSearch::FilterTekiyoByYoto() {
  if (!AcisDB || m_.SakumotsuSelection.isEmpty()) return;
  if (HasWords(m_.cbByochu)) return FilterTekiyoByByochu();
  if (HasWords(m_.cbMokuteki)) return FilterTekiyoByMokuteki();
  ShowFiltered(UseFilterSql(ViewName(), m_.edtYoto->text().toStdString(),
                                               m_.cbZaikei->currentText().toStdString()));
}

void TCropSearch::FilterTekiyoByZaikei() {
  if (!AcisDB || m_.SakumotsuSelection.isEmpty()) return;
  if (HasWords(m_.cbByochu)) return FilterTekiyoByByochu();
  if (HasWords(m_.cbMokuteki)) return FilterTekiyoByMokuteki();
  ShowFiltered(ZaikeiFilterSql(ViewName(), m_.edtYoto->text().toStdString(),
                                                  m_.cbZaikei->currentText().toStdString()));
}

void TCropSearch::RefreshTekiyoFilter() {
  if (HasWords(m_.cbByochu))
    FilterTekiyoByByochu();
  else if (HasWords(m_.cbMokuteki))
    FilterTekiyoByMokuteki();
  else
    FilterTekiyoByZaikei();
}

void TCropSearch::edtYotoEnter() {
  if (!AcisDB || m_.SakumotsuSelection.isEmpty()) return;
  FillByochuCombo();
  FillMokutekiCombo();
  FillZaikeiCombo();
  FilterTekiyoByYoto();
}

// ---------------------------------------------------------------------------------------------
// Pickers

void TCropSearch::btnByochuClick() {
  if (!AcisDB || m_.cbByochu->count() < 2) return;
  TfrmSakuByochu dlg(&m_);
  dlg.resize(ReadPickerSize("DlgByochuWidth", "DlgByochuHeight", dlg.size()));
  const std::vector<std::string> items = ComboItemsWithoutAll(m_.cbByochu);
  dlg.SetSourceList(items);
  dlg.HideCropSearch();
  {
    const std::vector<std::string> classes = QueryColumnUnique(
        "select cname from cbyochu where cid in ( select cid from byochu where byochu in(" + QuotedSqlList(items) +
            ")) order by cid;",
        false);
    dlg.cboCID->clear();
    dlg.cboCID->addItem(kAll);
    for (const std::string& c : classes) dlg.cboCID->addItem(QString::fromStdString(c));
    dlg.cboCID->setCurrentIndex(0);
  }
  if (PickWords(dlg, m_.cbByochu, m_.btnByochu, "DlgByochuWidth", "DlgByochuHeight")) FilterTekiyoByByochu();
}

bool TCropSearch::PickWords(TfrmSakuByochu& Dlg, QComboBox* Combo, QWidget* Button, const char* WidthKey,
                            const char* HeightKey) {
  // The names of the combo are ticked (every entry when it names none).
  const std::string text = FilterText(Combo).toStdString();
  if (!HasFilterWords(text))
    Dlg.CheckAll(true);
  else
    Dlg.CheckNames(text);
  Dlg.ckAll->setChecked(Dlg.lstByochu->CheckCount() == Dlg.lstByochu->count());
  PlacePickerAtButton(&Dlg, Button);
  const int r = ExecPicker(Dlg);
  WritePickerSize(WidthKey, HeightKey, Dlg.size());
  if (r != QDialog::Accepted) return false;
  Combo->setEditText(QString::fromStdString(Dlg.GetCheckedByochu()));
  return true;
}

void TCropSearch::btnMokutekiClick() {
  if (!AcisDB || m_.cbMokuteki->count() < 2) return;
  TfrmSakuByochu dlg(&m_);
  dlg.setWindowTitle("使用目的選択");
  dlg.resize(ReadPickerSize("DlgMokutekiWidth", "DlgMokutekiHeight", dlg.size()));
  dlg.SetSourceList(ComboItemsWithoutAll(m_.cbMokuteki));
  dlg.HideCropSearch();
  dlg.pnlFilter->hide();
  if (PickWords(dlg, m_.cbMokuteki, m_.btnMokuteki, "DlgMokutekiWidth", "DlgMokutekiHeight")) FilterTekiyoByMokuteki();
}

void TCropSearch::btnYotoClick() {
  if (!AcisDB || m_.SakumotsuSelection.isEmpty()) return;
  const std::vector<std::string> uses = QueryColumnUnique("SELECT DISTINCT yoto FROM ttTekiyoSaku ORDER BY yoto", true);
  if (uses.empty()) return;
  TfrmYoto dlg(&m_);
  dlg.SetItems(uses);
  dlg.CheckCommaText(m_.edtYoto->text().toStdString());
  dlg.FitHeightToItems();
  PlacePickerAtButton(&dlg, m_.btnYoto);
  if (ExecPicker(dlg) != QDialog::Accepted) return;
  m_.edtYoto->setText(QString::fromStdString(dlg.GetSelected()));
  FillByochuCombo();
  FillMokutekiCombo();
  FillZaikeiCombo();
  FilterTekiyoByYoto();
}

void TCropSearch::btnZaikeiClick() {
  if (m_.SakumotsuSelection.isEmpty()) return;
  TfrmZaikei dlg(&m_);
  dlg.SetItems(ComboItemsWithoutAll(m_.cbZaikei));
  dlg.CheckCommaText(m_.cbZaikei->currentText().toStdString());
  dlg.FitHeightToItems();
  PlacePickerAtButton(&dlg, m_.btnZaikei);
  if (ExecPicker(dlg) != QDialog::Accepted) return;
  {
    const QSignalBlocker block(m_.cbZaikei);
    m_.cbZaikei->setEditText(QString::fromStdString(dlg.GetSelected()));
  }
  FilterTekiyoByZaikei();
}

// ---------------------------------------------------------------------------------------------

TCropSearch* InstallCropSearch(TfrmMain& Main) {
  auto search = std::make_unique<TCropSearch>(Main);
  TCropSearch* raw = search.get();
  Main.SetSearchHandler(tiSakumotsu, std::move(search));
  return raw;
}
