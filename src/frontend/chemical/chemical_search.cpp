#include "frontend/chemical/chemical_search.h"

#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <exception>

#include "database/acis_crop_queries.h"
#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "database/sakumotsu_keys.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/chemical/dlg_yakuzai_sel.h"
#include "frontend/chemical/product_sheet.h"
#include "frontend/chemical/yakuzai_sql.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/frm_main.h"
#include "frontend/picker_placement.h"

namespace {

// The hourglass while a product opens.
struct TWaitCursorGuard {
  TWaitCursorGuard() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursorGuard() { QApplication::restoreOverrideCursor(); }
};

std::string ItemText(const QListWidget* List) {
  const QListWidgetItem* i = List ? List->currentItem() : nullptr;
  return i ? i->text().toStdString() : std::string();
}

std::string Trimmed(const QLineEdit* Edit) { return Edit->text().trimmed().toStdString(); }

// The first column of a query's rows (empty values left out), each once, in query order.
std::vector<std::string> Values(const std::string& SQL, bool Warn) {
  std::vector<std::string> v = QueryColumnUnique(SQL, Warn);
  v.erase(std::remove(v.begin(), v.end(), std::string()), v.end());
  return v;
}

QStringList ToQStrings(const std::vector<std::string>& v) {
  QStringList out;
  out.reserve(static_cast<int>(v.size()));
  for (const std::string& s : v) out << QString::fromStdString(s);
  return out;
}

}  // namespace

TChemicalSearch::TChemicalSearch(TfrmMain& Main) : m_(Main) {
  BuildRelatedPages();
  Sheet = new TProductSheet(Main);
  Sheet->setParent(this);  // goes with the search, before the window's widgets
  BuildListPopup();
  ConnectControls();
  RunYakuzaiPicker = [](TDlgYakuzaiSel& Dlg) { return ExecPicker(Dlg); };
}

TChemicalSearch::~TChemicalSearch() = default;

bool TChemicalSearch::IsBangoInput(const std::string& Text) { return ::IsBangoInput(Text); }

std::string TChemicalSearch::MakeYakuzaiWhere(const std::string& Text) const { return ::MakeYakuzaiWhere(Text); }

std::string TChemicalSearch::YotoCondition() const {
  return ::YotoCondition(m_.cbYotoTabYakuzai->currentIndex() < 0 ? std::string()
                                                                  : m_.cbYotoTabYakuzai->currentText().toStdString());
}

bool TChemicalSearch::RunScript(const std::string& Script) {
  if (!AcisDB) return false;
  AcisDB->SetMultiStatement(true);
  const bool ok = AcisDB->ExecSQL(Script);
  // Whatever failed, no transaction of the script stays open.
  if (!ok && sqlite3_get_autocommit(AcisDB->FDb->Handle()) == 0) AcisDB->FDb->Rollback();
  return ok;
}

void TChemicalSearch::SetRestriction(bool On, const std::vector<std::string>& Crops) {
  restricted_ = On;
  Sheet->Restricted = On;
  Sheet->CandidateCrops = On ? Crops : std::vector<std::string>();
  CandidateCropNames = On ? ListToCommaText(Crops) : std::string();
}

bool TChemicalSearch::MakeBangoTable(const std::string& Regexp, const std::vector<std::string>& CropNames) {
  if (!Regexp.empty() && DebugMode) {
    m_.WriteLog("idSaku -> " + Regexp);
    m_.WriteLog("RegSaku -> " + ListToCommaText(CropNames));
  }
  const std::string script = BangoTableScript(Regexp);
  m_.WriteLog("SQL>" + script);
  const bool ok = RunScript(script);
  SetRestriction(!Regexp.empty(), CropNames);
  return ok;
}

void TChemicalSearch::ClearLists() {
  for (QListWidget* l : {m_.lstTsusho, m_.lstBango, lstTsushoSeibun, lstTsushoKeito, lstSayoten, lstRac,
                         lstTsushoSeibunPlural, lstRacKeito})
    l->clear();
  for (QComboBox* c : {cbSeibun, cbYakuzaiTabKeito, cbSayoten, cbRac, cbRacKeito}) c->clear();
  const QSignalBlocker block(lstSeibunPluralCk);
  lstSeibunPluralCk->clear();
  LastListItem.clear();
}

void TChemicalSearch::ClearConditions() {
  CropTextResolved = false;
  CandidateCropNames.clear();
}

// ---------------------------------------------------------------------------------------------
// The pickup

void TChemicalSearch::YakuzaiPickup() {
  if (!AcisDB || picking_) return;
  std::string E = Trimmed(m_.eYakuzai);
  const std::string S = Trimmed(m_.eYakuzaiTabSakumotsu);
  // Blanks and separators alone are no chemical text.
  if (!E.empty() && !::IsBangoInput(E) && YakuzaiKeywords(E).empty()) E.clear();
  if (E.empty() && S.empty()) return;
  picking_ = true;
  struct TDone {
    bool& flag;
    ~TDone() { flag = false; }
  } done{picking_};
  QElapsedTimer timer;
  timer.start();
  TBusyGuard busy(m_);

  // 1. A chemical text is never restricted by use.
  if (!E.empty()) {
    const QSignalBlocker block(m_.cbYotoTabYakuzai);
    m_.cbYotoTabYakuzai->setCurrentIndex(-1);
  }

  // 2.-3. The crops of the crop text.
  std::string regexp;
  std::vector<std::string> cropNames;
  if (!S.empty()) {
    if (DebugMode) m_.WriteLog("YakuzaiPickup Edit.Text -> " + S);
    std::string crops;
    bool resolved = CropTextResolved;
    if (resolved) {
      crops = S;
    } else if (AcisDB->CropNameExists(S)) {
      CropTextResolved = resolved = true;
      crops = AcisDB->CropNamesMatching(S);
    } else {
      crops = SakumotsuWordsToKeys(S);
    }
    regexp = AcisDB->IdSakuRegexpLine(crops, !resolved);
    if (DebugMode) m_.WriteLog("YakuzaiPickup  saku -> " + regexp);
    if (IsNoCropPattern(regexp)) {
      // No crop matches: nothing is listed.
      ClearLists();
      return;
    }
    const std::string sql = CropNamesOfRegexpSql(regexp);
    if (DebugMode) m_.WriteLog("YakuzaiPickup  CsvSaku sql ->" + sql);
    cropNames = Values(sql, false);
  }

  LastCropSeconds = timer.nsecsElapsed() / 1e9;
  // 4. The crop restriction (a failure was shown; nothing is listed without it).
  if (!MakeBangoTable(regexp, cropNames)) {
    ClearLists();
    return;
  }

  // 5. The products.
  ++PickupCount;
  const std::string script = YakuTableScript(E, restricted_, E.empty() ? YotoCondition() : std::string());
  m_.WriteLog("SQL>" + script);
  if (!RunScript(script)) {
    ClearLists();
    return;
  }
  LastScriptSeconds = timer.nsecsElapsed() / 1e9;

  // 6. The lists.
  const std::string tsusho = YakuTsushoSql();
  m_.WriteLog("SQL>" + tsusho);
  if (AcisDB->Query(tsusho, true)) {
    LastListItem.clear();
    {
      TQtListItems list(m_.lstTsusho);
      list.BeginUpdate();
      list.Clear();
      AcisDB->FillListValues(list, 0);
      list.EndUpdate();
    }
    const std::string bango = YakuBangoSql();
    m_.WriteLog("SQL>" + bango);
    if (AcisDB->Query(bango, false)) {
      TQtListItems list(m_.lstBango);
      AcisDB->FillListBango(list, true);
    }
    m_.pgYakuzaiSide->setCurrentWidget(::IsBangoInput(E) ? m_.tabBango : m_.tabTsusho);
  } else {
    ClearLists();
  }
  LastListSeconds = timer.nsecsElapsed() / 1e9;
  // 7. An exact trade name that is the only result opens at once.
  if (m_.pgYakuzaiSide->currentWidget() == m_.tabTsusho && m_.lstTsusho->count() == 1 &&
      m_.lstTsusho->item(0)->text().toStdString() == E) {
    m_.lstTsusho->setCurrentRow(0);
    picking_ = false;
    lstTsushoClick();
  }
}

// ---------------------------------------------------------------------------------------------
// Choosing a product

void TChemicalSearch::lstTsushoClick() {
  QListWidget* list = m_.lstTsusho;
  const std::string t = ItemText(list);
  if (IsKeyHeld(list) || t.empty() || t == LastListItem || !AcisDB) return;
  TWaitCursorGuard wait;
  Sheet->ShowProducts(ProductsOfTsushoSql(t), true);
  FillRelated(false, t, 0);
  LastListItem = t;
}

void TChemicalSearch::lstBangoClick() {
  QListWidget* list = m_.lstBango;
  const std::string item = ItemText(list);
  if (IsKeyHeld(list) || item.empty() || item == LastListItem || !AcisDB) return;
  const std::string n = BangoOfItem(item);
  if (n.empty()) return;
  TWaitCursorGuard wait;
  Sheet->ShowSingleProduct(item);
  FillRelated(true, std::string(), std::stoll(n));
}

void TChemicalSearch::RelatedListClick(QListWidget* List) {
  const std::string t = ItemText(List);
  if (IsKeyHeld(List) || t.empty() || t == LastListItem || !AcisDB) return;
  TWaitCursorGuard wait;
  Sheet->ShowProducts(ProductsOfTsushoSql(t, restricted_), false);
  LastListItem = t;
}

void TChemicalSearch::MakeSeibunTablesByTsusho(const std::string& Tsusho) {
  TProductKey key;
  key.Tsusho = Tsusho;
  for (const std::string& s : {SeibunTableScript(key), KihonTableScript(restricted_)}) {
    m_.WriteLog("SQL>" + s);
    if (!RunScript(s)) return;
  }
}

void TChemicalSearch::MakeSeibunTablesByBango(int64_t Bango) {
  TProductKey key;
  key.ByBango = true;
  key.Bango = Bango;
  for (const std::string& s : {SeibunTableScript(key), KihonTableScript(restricted_)}) {
    m_.WriteLog("SQL>" + s);
    if (!RunScript(s)) return;
  }
}

void TChemicalSearch::FillSelector(QComboBox* Combo, const std::string& SQL) {
  const QSignalBlocker block(Combo);
  Combo->clear();
  Combo->addItems(ToQStrings(Values(SQL, false)));
  if (Combo->count() > 0) Combo->setCurrentIndex(0);
}

void TChemicalSearch::FillRelated(bool ByBango, const std::string& Tsusho, int64_t Bango) {
  TProductKey key;
  key.ByBango = ByBango;
  key.Tsusho = Tsusho;
  key.Bango = Bango;
  const std::vector<std::string> seibun = Values(KihonValuesSql("ifnullstr(seibun,ippanmei)", key), false);
  {
    const QSignalBlocker block(lstSeibunPluralCk);
    lstSeibunPluralCk->clear();
    lstTsushoSeibunPlural->clear();
    const QSignalBlocker block2(cbSeibun);
    cbSeibun->clear();
    if (!seibun.empty()) {
      if (ByBango)
        MakeSeibunTablesByBango(Bango);
      else
        MakeSeibunTablesByTsusho(Tsusho);
      cbSeibun->addItems(ToQStrings(seibun));
      cbSeibun->setCurrentIndex(0);
      for (const std::string& s : seibun) lstSeibunPluralCk->AddItem(QString::fromStdString(s), true);
    }
  }
  cbSeibunChange();
  lstSeibunPluralCkClickCheck();
  FillSelector(cbYakuzaiTabKeito, KihonValuesSql("keito", key));
  cbYakuzaiTabKeitoChange();
  FillSelector(cbSayoten, KihonValuesSql("sayoten", key));
  cbSayotenChange();
  FillSelector(cbRac, KihonValuesSql("mid", key));
  cbRacChange();
  FillSelector(cbRacKeito, KihonValuesSql("RAC系統", key));
  cbRacKeitoChange();
}

// ---------------------------------------------------------------------------------------------
// Related lists

void TChemicalSearch::FillTsushoList(QListWidget* List, const std::string& SQL, bool Warn) {
  const std::vector<std::string> names = Values(SQL, Warn);
  List->clear();
  List->addItems(ToQStrings(names));
}

void TChemicalSearch::SelectorChange(QComboBox* Combo, QListWidget* List, TRelatedKind Kind) {
  LastListItem.clear();
  const std::string v = Combo->currentText().toStdString();
  // An empty selector leaves no list of another product behind.
  if (v.empty() || !AcisDB) {
    List->clear();
    return;
  }
  const std::string sql = RelatedTsushoSql(Kind, v, restricted_);
  m_.WriteLog("SQL>" + sql);
  FillTsushoList(List, sql, false);
}

void TChemicalSearch::cbSeibunChange() { SelectorChange(cbSeibun, lstTsushoSeibun, rkSeibun); }

void TChemicalSearch::cbYakuzaiTabKeitoChange() {
  if (cbYakuzaiTabKeito->currentText() == "その他") {
    LastListItem.clear();
    lstTsushoKeito->clear();
    return;
  }
  SelectorChange(cbYakuzaiTabKeito, lstTsushoKeito, rkKeito);
}

void TChemicalSearch::cbSayotenChange() { SelectorChange(cbSayoten, lstSayoten, rkSayoten); }
void TChemicalSearch::cbRacChange() { SelectorChange(cbRac, lstRac, rkRac); }
void TChemicalSearch::cbRacKeitoChange() { SelectorChange(cbRacKeito, lstRacKeito, rkRacKeito); }

void TChemicalSearch::lstSeibunPluralCkClickCheck() {
  const std::vector<std::string> ticked = CheckedTexts(lstSeibunPluralCk);
  lstTsushoSeibunPlural->clear();
  if (ticked.empty() || !AcisDB) return;
  const std::string script = SeibunPluralScript(ticked);
  m_.WriteLog("SQL>" + script);
  if (!RunScript(script)) return;
  const std::string sql = SeibunPluralSql();
  m_.WriteLog("SQL>" + sql);
  FillTsushoList(lstTsushoSeibunPlural, sql, false);
  if (lstTsushoSeibunPlural->count() == 0) m_.WriteLog(std::string("検索結果なし"));
}

// ---------------------------------------------------------------------------------------------
// Use combo, pickers, keyword from a result grid

void TChemicalSearch::cbYotoTabYakuzaiChange() {
  const std::string use = m_.cbYotoTabYakuzai->currentText().toStdString();
  if (!AcisDB || use.empty()) return;
  {
    const QSignalBlocker block(m_.eYakuzai);
    m_.eYakuzai->clear();
  }
  EditChanged(m_.eYakuzai);
  if (!m_.eYakuzaiTabSakumotsu->text().trimmed().isEmpty()) {
    YakuzaiPickup();
    return;
  }
  TBusyGuard busy(m_);
  MakeBangoTable(std::string(), {});
  const std::string where = YotoWhereClause(use);
  const std::string tsusho = TsushoByYotoSql(where);
  m_.WriteLog("SQL>" + tsusho);
  LastListItem.clear();
  FillTsushoList(m_.lstTsusho, tsusho, true);
  const std::string bango = BangoByYotoSql(where);
  m_.WriteLog("SQL>" + bango);
  TQtListItems list(m_.lstBango);
  list.Clear();
  if (AcisDB->Query(bango, false)) AcisDB->FillListBango(list, true);
}

void TChemicalSearch::btnYakuzaiSelClick() {
  if (!AcisDB) return;
  TDlgYakuzaiSel dlg(&m_);
  dlg.LogMemo = [this](const std::string& line) { m_.WriteLog(line); };
  dlg.Target = m_.eYakuzai;
  PlacePickerAtButton(&dlg, m_.eYakuzai);
  const int r = RunYakuzaiPicker ? RunYakuzaiPicker(dlg) : ExecPicker(dlg);
  dlg.LogMemo = nullptr;
  if (r == QDialog::Accepted) YakuzaiPickup();
}

void TChemicalSearch::bYakuzaiTabSakuSelClick() {
  if (!AcisDB) return;
  m_.SakuSelCancelEmpty = false;
  ShowCropPicker(&m_, m_.eYakuzaiTabSakumotsu, 2, m_.eYakuzaiTabSakumotsu,
                 [this](const std::string& line) { m_.WriteLog(line); });
  // Names chosen in the picker need no look-up.
  if (m_.SakuSelCancelEmpty) return;
  CropTextResolved = true;
  YakuzaiPickup();
}

void TChemicalSearch::pmnSendToTabYakuzaiClick() {
  if (!AcisDB) return;
  {
    const QSignalBlocker block(m_.eYakuzaiTabSakumotsu);
    m_.eYakuzaiTabSakumotsu->clear();
  }
  EditChanged(m_.eYakuzaiTabSakumotsu);
  CropTextResolved = false;
  m_.eYakuzai->setText(m_.PopupKeyword);
  YakuzaiPickup();
  QListWidget* list = m_.SendToListPage == m_.tabBango ? m_.lstBango : m_.lstTsusho;
  QWidget* page = list == m_.lstBango ? m_.tabBango : m_.tabTsusho;
  if (list->count() > 0) {
    list->setCurrentRow(0);
    RunClick(list);
  }
  m_.pgSearch->setCurrentIndex(tiYakuzai);
  m_.pgYakuzaiSide->setCurrentWidget(page);
}

void TChemicalSearch::DatabaseReplaced() {
  // The related lists and the ingredient check list rest on t_seibun and t_kihon, which went
  // with the old connection (a tick in 複数 failed with an SQL error); the found products on
  // t_yaku.  lstBango keeps the full list the main window has just filled.
  for (QListWidget* l : {lstTsushoSeibun, lstTsushoKeito, lstSayoten, lstRac, lstTsushoSeibunPlural, lstRacKeito})
    l->clear();
  for (QComboBox* c : {cbSeibun, cbYakuzaiTabKeito, cbSayoten, cbRac, cbRacKeito}) {
    const QSignalBlocker block(c);
    c->clear();
  }
  {
    const QSignalBlocker block(lstSeibunPluralCk);
    lstSeibunPluralCk->clear();
  }
  LastListItem.clear();
  if (Trimmed(m_.eYakuzai).empty() && Trimmed(m_.eYakuzaiTabSakumotsu).empty()) {
    m_.lstTsusho->clear();
    return;
  }
  YakuzaiPickup();
}

TChemicalSearch* InstallChemicalSearch(TfrmMain& Main) {
  auto owned = std::make_unique<TChemicalSearch>(Main);
  TChemicalSearch* s = owned.get();
  Main.SetSearchHandler(tiYakuzai, std::move(owned));
  auto previousLoad = Main.OnLoadMasterLists;
  // The tab's handler is asked for at each load: one installed in its place later must not be
  // reached through a pointer to this one.
  Main.OnLoadMasterLists = [&Main, previousLoad] {
    if (previousLoad) previousLoad();
    if (auto* h = dynamic_cast<TChemicalSearch*>(Main.SearchHandler(tiYakuzai))) h->DatabaseReplaced();
  };
  return s;
}
