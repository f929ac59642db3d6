#include "frontend/crop/fra_sakumotsu_base.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "database/acis_db.h"
#include "database/sakumotsu_keys.h"
#include "database/sakumotsu_list.h"
#include "database/sakumotsu_tree.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/plain_hint.h"

// ---- change batches ---------------------------------------------------------------------------

class TfraSakumotsuBase::TChangeBatch {
 public:
  explicit TChangeBatch(TfraSakumotsuBase& F) : FFrame(F) { ++FFrame.FChangeDepth; }
  ~TChangeBatch() {
    if (--FFrame.FChangeDepth == 0 && FFrame.FChanged) {
      FFrame.FChanged = false;
      FFrame.EndChange();
    }
  }
  TChangeBatch(const TChangeBatch&) = delete;
  TChangeBatch& operator=(const TChangeBatch&) = delete;

 private:
  TfraSakumotsuBase& FFrame;
};

namespace {

// The width a tool bar needs to show every button in place (not in its overflow menu).
int ToolBarNeed(const QToolBar* Bar) {
  const QStyle* st = Bar->style();
  const int margin = st->pixelMetric(QStyle::PM_ToolBarItemMargin, nullptr, Bar) +
                     st->pixelMetric(QStyle::PM_ToolBarFrameWidth, nullptr, Bar);
  const int spacing = st->pixelMetric(QStyle::PM_ToolBarItemSpacing, nullptr, Bar);
  int need = 2 * margin, n = 0;
  for (QAction* a : Bar->actions()) {
    QWidget* b = Bar->widgetForAction(a);
    if (!a->isVisible() || !b) continue;
    need += b->sizeHint().width();
    ++n;
  }
  return need + std::max(0, n - 1) * spacing;
}

}  // namespace

// ---- construction -----------------------------------------------------------------------------

TfraSakumotsuBase::TfraSakumotsuBase(QWidget* Parent) : QWidget(Parent) {
  setObjectName("fraSakumotsu");
  FTreeImages = CropTreeImages(16);
  BuildControls();
  ReadOptions();
  SetMode(true);
  // No main crops yet: the neighbour side is off.
  tbKinsetsu->setEnabled(false);
  eKinsetsuSakumotsu->setEnabled(false);
  FList = NewSakumotsuList();
  UpdateCommands();
}

TfraSakumotsuBase::~TfraSakumotsuBase() {
  // The window that took the log lines may be going too: nothing is said to it any more.
  LogMemo = nullptr;
  FEnding = true;
  if (!FSettingsSaved) SaveSettings();
  // The tree items point into the crop list and the result items into their records.
  {
    const QSignalBlocker b1(tvSakumotsu);
    tvSakumotsu->clear();
  }
  lvSakumotsu->ClearRecords();
  lvBeppyo1->clear();
  lvCVO->clear();
  HintNode = nullptr;
  FList.reset();
}

// ---- settings ---------------------------------------------------------------------------------

void TfraSakumotsuBase::ReadOptions() {
  bool forward = true, treeUpper = true, listUpper = true, treeAuto = true, listAuto = true;
  if (std::unique_ptr<TIniFile> ini = OpenSettingsFile()) {
    forward = ini->ReadBool(SECTION_OPTIONS, "SakumotsuForwardMatch", true);
    treeUpper = ini->ReadBool(SECTION_OPTIONS, "SakumotsuTreeUpperOn", true);
    listUpper = ini->ReadBool(SECTION_OPTIONS, "SakumotsuListUpperOn", true);
    treeAuto = ini->ReadBool(SECTION_OPTIONS, "SakumotsuTreeAutoTekiyoView", true);
    listAuto = ini->ReadBool(SECTION_OPTIONS, "SakumotsuListAutoTekiyoView", true);
  }
  ForwardMatch = forward;
  actCheckUpperTree->setChecked(treeUpper);
  actCheckUpperList->setChecked(listUpper);
  actAutoTekiyoView->setChecked(treeAuto);
  actListAutoTekiyoView->setChecked(listAuto);
  actForwardMatch->setChecked(forward);
  actBroadMatch->setChecked(!forward);
}

void TfraSakumotsuBase::SettingsNotWritten(const std::string& Why) const {
  if (FEnding)
    MessageSink().Log("設定を保存できません: " + Why);
  else
    ReportSettingsNotWritten(Why);
}

void TfraSakumotsuBase::SaveSettings() {
  WriteOptions();
  SaveColumnWidths();
  FSettingsSaved = true;
}

void TfraSakumotsuBase::WriteOptions() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuForwardMatch", ForwardMatch);
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuTreeUpperOn", actCheckUpperTree->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuListUpperOn", actCheckUpperList->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuTreeAutoTekiyoView", actAutoTekiyoView->isChecked());
  ini->WriteBool(SECTION_OPTIONS, "SakumotsuListAutoTekiyoView", actListAutoTekiyoView->isChecked());
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    SettingsNotWritten(e.what());
  }
}

void TfraSakumotsuBase::LoadColumnWidths() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ::LoadColumnWidths(*ini, lvSakumotsu, "LvSakumotsuColumns", {80, 80, 100}, lvSakumotsu->MaxColumnWidth());
  ::LoadColumnWidths(*ini, lvBeppyo1, "LvBeppyo1Columns", {50, 50, 50, 100, 100, 50, 50});
  ::LoadColumnWidths(*ini, lvCVO, "LvCVOColumns", {50});
}

void TfraSakumotsuBase::SaveColumnWidths() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ::SaveColumnWidths(*ini, lvSakumotsu, "LvSakumotsuColumns");
  ::SaveColumnWidths(*ini, lvBeppyo1, "LvBeppyo1Columns");
  ::SaveColumnWidths(*ini, lvCVO, "LvCVOColumns");
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    SettingsNotWritten(e.what());
  }
}

void TfraSakumotsuBase::SetImageSize(int Size) {
  if (Size < 16) Size = 16;
  const QSize s(Size, Size);
  for (QToolBar* t : {tbSakumotsuTree, tbSakumotsuSearch, tbSakuMode, pgBeppyo->tbBeppyo}) t->setIconSize(s);
  tbUpperB->setIconSize(s);
  // Larger images need more room: the bars choose their captions again.
  for (QToolBar* t : {tbSakumotsuTree, tbSakumotsuSearch, tbSakuMode})
    if (t->width() > 0) FitToolBar(t, t->width());
}

// ---- database ---------------------------------------------------------------------------------

void TfraSakumotsuBase::SetDatabase(TDatabaseFn Fn) {
  FDatabase = std::move(Fn);
  UpdateCommands();
}

void TfraSakumotsuBase::UpdateCommands() {
  const bool db = Database() != nullptr;
  for (QAction* a : {actTreeExpand, actTreeCollapse, actTreeCheckOff, actAutoTekiyoView, actCheckUpperTree,
                     actSakumotsuListCheckALL, actSakumotsuListCheckOff, actForwardMatch, actBroadMatch,
                     actListAutoTekiyoView, actCheckUpperList})
    a->setEnabled(db);
  for (QWidget* w : std::initializer_list<QWidget*>{tvSakumotsu, edtInput, bSearch, lvSakumotsu, tbUpperB, cbLg, cbMg,
                                                    lvBeppyo1, cbFamily, lvCVO})
    w->setEnabled(db);
  tbTekiyo->setEnabled(db && !Selection.empty());
}

TAcisDB* TfraSakumotsuBase::Database() const { return FDatabase ? FDatabase() : nullptr; }

TUpperGroupFn TfraSakumotsuBase::UpperGroupFn() const {
  return [this](const std::string& Name) {
    TAcisDB* db = Database();
    return db ? db->UpperGroup(Name) : std::string();
  };
}

void TfraSakumotsuBase::Log(const std::string& Line) const {
  if (LogMemo) LogMemo(Line);
}

void TfraSakumotsuBase::BuildTree() {
  // Called whenever a database has been opened: the commands follow it.
  UpdateCommands();
  TAcisDB* db = Database();
  if (!db) return;
  ++FTreeUpdating;
  HintNode = nullptr;
  // A new database (after a data update) gets a new tree: the crops ticked and the branches
  // open before stay so, as the crop texts below the tree stay.
  std::set<std::string> ticked, open;
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (const TSakumotsu* r = SakumotsuOfItem(n)) {
      if (tvSakumotsu->GetChecked(n)) ticked.insert(r->idsaku);
      if (n->isExpanded()) open.insert(r->idsaku);
    }
  });
  BuildCropTree(tvSakumotsu, *db, FList, FTreeImages, true, 4);
  if (!ticked.empty() || !open.empty()) {
    ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
      const TSakumotsu* r = SakumotsuOfItem(n);
      if (!r) return;
      if (ticked.count(r->idsaku)) tvSakumotsu->SetNodeChecked(n, true);
      if (open.count(r->idsaku)) n->setExpanded(true);
    });
  }
  --FTreeUpdating;
}

void TfraSakumotsuBase::LoadSpecTables() { pgBeppyo->LoadSpecTables(); }
void TfraSakumotsuBase::LoadCvoFamilies() { pgCvo->LoadCvoFamilies(); }
void TfraSakumotsuBase::LoadCvoTable() { pgCvo->LoadCvoTable(); }

QString TfraSakumotsuBase::TreeHint(QTreeWidgetItem* Item) {
  HintNode = Item;
  try {
    const TSakumotsu* r = SakumotsuOfItem(Item);
    if (!r) return "Error:EAccessViolation";
    const bool debug = QGuiApplication::mouseButtons() & Qt::RightButton;
    TAcisDB* db = Database();
    if (!db) return QString::fromStdString(debug ? SakumotsuHintDebug(*r, "") : SakumotsuHint(*r, ""));
    THintQueryGuard keep(*db);
    return QString::fromStdString(FList->Hint(*r, *db, debug));
  } catch (...) {
    return "Hint Error..";
  }
}

// ---- the two texts ----------------------------------------------------------------------------

bool TfraSakumotsuBase::MainMode() const { return FMain; }

void TfraSakumotsuBase::WriteTarget(const std::string& Text, const std::vector<std::string>& Added) {
  TChangeBatch batch(*this);
  const bool main = MainMode();
  QLineEdit* target = main ? eSakumotsu : eKinsetsuSakumotsu;
  target->clear();
  target->setText(QString::fromStdString(Text));
  // The change handlers forgot the added names of the old text; these belong to the new one.
  if (Text.empty()) return;
  (main ? SelectionAdded : KinsetsuAdded) = Added;
}

void TfraSakumotsuBase::eSakumotsuChange() {
  TChangeBatch batch(*this);
  const QString text = eSakumotsu->text();
  if (text.isEmpty()) {
    eKinsetsuSakumotsu->clear();
    // Neighbour crops need main crops: with none left the choice goes to the main side again.
    if (!FMain) SetMode(true);
  }
  tbKinsetsu->setEnabled(!text.isEmpty());
  eKinsetsuSakumotsu->setEnabled(!text.isEmpty());
  Selection = text.toStdString();
  tbTekiyo->setEnabled(!Selection.empty() && Database());
  SelectionAdded.clear();
  eSakumotsu->setToolTip(PlainHint(text));
  FChanged = true;
}

void TfraSakumotsuBase::eKinsetsuSakumotsuChange() {
  TChangeBatch batch(*this);
  const QString text = eKinsetsuSakumotsu->text();
  eKinsetsuSakumotsu->setToolTip(PlainHint(text));
  Kinsetsu = text.toStdString();
  KinsetsuAdded.clear();
  FChanged = true;
}

void TfraSakumotsuBase::EndChange() {
  emit SelectionChanged(!Selection.empty());
  const int page = pgSakumotsu->currentIndex();
  const bool autoSearch = (page == 0 && actAutoTekiyoView->isChecked()) || (page == 1 && actListAutoTekiyoView->isChecked());
  if (autoSearch && !Selection.empty()) emit SearchRequested();
}

// ---- tree ------------------------------------------------------------------------------------

void TfraSakumotsuBase::CollectTreeSelection() {
  TChangeBatch batch(*this);
  std::vector<const TSakumotsu*> checked;
  ++FTreeUpdating;
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (!tvSakumotsu->GetChecked(n)) return;
    const TSakumotsu* r = SakumotsuOfItem(n);
    if (r && r->toroku == 0) {
      // A crop without any registration cannot stay chosen.
      tvSakumotsu->SetNodeChecked(n, false);
      return;
    }
    if (r) checked.push_back(r);
  });
  --FTreeUpdating;
  TTraceFn trace;
  if (DebugMode) trace = [this](const std::string& l) { Log(l); };
  std::vector<std::string> added;
  const std::vector<std::string> names =
      TreeSelectionNames(checked, actCheckUpperTree->isChecked(), UpperGroupFn(), trace, &added);
  WriteTarget(ListToCommaText(names), added);
}

void TfraSakumotsuBase::UncheckTree() {
  ++FTreeUpdating;
  tvSakumotsu->setUpdatesEnabled(false);
  ForEachTreeNode(tvSakumotsu, [&](QTreeWidgetItem* n) {
    if (tvSakumotsu->GetChecked(n)) tvSakumotsu->SetNodeChecked(n, false);
  });
  tvSakumotsu->setUpdatesEnabled(true);
  --FTreeUpdating;
}

void TfraSakumotsuBase::actTreeCheckOffExecute() {
  TChangeBatch batch(*this);
  UncheckTree();
  (MainMode() ? eSakumotsu : eKinsetsuSakumotsu)->clear();
}

void TfraSakumotsuBase::actTreeExpandExecute() {
  QTreeWidgetItem* n = tvSakumotsu->currentItem();
  if (!n) return;
  tvSakumotsu->setUpdatesEnabled(false);
  std::vector<QTreeWidgetItem*> stack{n};
  while (!stack.empty()) {
    QTreeWidgetItem* i = stack.back();
    stack.pop_back();
    i->setExpanded(true);
    for (int c = 0; c < i->childCount(); ++c) stack.push_back(i->child(c));
  }
  tvSakumotsu->setUpdatesEnabled(true);
}

void TfraSakumotsuBase::actTreeCollapseExecute() {
  tvSakumotsu->setUpdatesEnabled(false);
  tvSakumotsu->collapseAll();
  tvSakumotsu->setUpdatesEnabled(true);
}

void TfraSakumotsuBase::actCheckUpperTreeExecute() { CollectTreeSelection(); }

// ---- name search and result list -------------------------------------------------------------

void TfraSakumotsuBase::lvSakumotsuCheck() {
  TChangeBatch batch(*this);
  TTraceFn trace;
  if (DebugMode) {
    Log("上位グループ検索開始-----");
    trace = [this](const std::string& l) { Log(l); };
  }
  std::vector<std::string> added;
  const std::vector<std::string> names = ListSelectionNames(
      lvSakumotsu->CheckedRecords(), actCheckUpperList->isChecked(), UpperGroupFn(), nullptr, trace, &added);
  WriteTarget(ListToCommaText(names), added);
}

void TfraSakumotsuBase::SearchSakumotsu() {
  TAcisDB* db = Database();
  const std::string input = edtInput->text().toStdString();
  if (!db || input.empty()) return;
  if (DebugMode) {
    Log("TfraSakumotsuBase.SearchSakumotsu");
    Log("edtInput.Text -> " + input);
    Log("SearchStrSakumotsu -> " + SakumotsuWordsToKeys(input));
  }
  const std::string sql = SakumotsuSearchSql(input, ForwardMatch ? TCropMatch::Prefix : TCropMatch::Broad);
  if (sql.empty()) {
    // Only separators typed: nothing can match.
    lvSakumotsu->ClearRecords();
    return;
  }
  Log(sql);
  ShowSearchResult(sql);
}

void TfraSakumotsuBase::ShowSearchResult(const std::string& SQL) {
  TAcisDB* db = Database();
  if (!db) return;
  lvSakumotsu->ShowSearchResult(*db, SQL);
}

void TfraSakumotsuBase::edtInputEnter() {
  const std::string input = edtInput->text().toStdString();
  if (input.empty()) return;
  SearchSakumotsu();
  if (lvSakumotsu->topLevelItemCount() == 0) return;  // the crop text stays as it was
  QTreeWidgetItem* last = lvSakumotsu->CheckSameName(input);
  lvSakumotsuCheck();
  if (last) lvSakumotsu->setFocus();
}

void TfraSakumotsuBase::actSakumotsuListCheckALLExecute() {
  if (lvSakumotsu->topLevelItemCount() == 0) return;
  lvSakumotsu->SetAllChecked(true);
  lvSakumotsuCheck();
}

void TfraSakumotsuBase::actSakumotsuListCheckOffExecute() {
  if (lvSakumotsu->topLevelItemCount() == 0) return;
  lvSakumotsu->SetAllChecked(false);
  lvSakumotsuCheck();
}

void TfraSakumotsuBase::actForwardMatchExecute() {
  // The action has flipped its own check already.
  ForwardMatch = actForwardMatch->isChecked();
  actBroadMatch->setChecked(!ForwardMatch);
  SearchSakumotsu();
}

void TfraSakumotsuBase::actBroadMatchExecute() {
  ForwardMatch = !actBroadMatch->isChecked();
  actForwardMatch->setChecked(ForwardMatch);
  SearchSakumotsu();
}

void TfraSakumotsuBase::actCheckUpperListExecute() { edtInputEnter(); }

// ---- crop-group and CVO tables ---------------------------------------------------------------

void TfraSakumotsuBase::cbLgChange() { pgBeppyo->cbLgChange(); }
void TfraSakumotsuBase::cbMgChange() { pgBeppyo->cbMgChange(); }
void TfraSakumotsuBase::cbFamilyChange() { pgCvo->cbFamilyChange(); }

void TfraSakumotsuBase::lvBeppyo1Click() { WriteTarget(pgBeppyo->CurrentCropName()); }

void TfraSakumotsuBase::lvBeppyo1DblClick() {
  {
    TChangeBatch batch(*this);
    const std::string name = pgBeppyo->CurrentCropName();
    std::string text = name;
    std::vector<std::string> added;
    if (!name.empty() && tbUpperB->isChecked()) {
      const std::vector<std::string> names = SplitCropNames(UpperGroupFn()(name));
      text = ListToCommaText(names);
      added = AddedNames(names, {name});
    }
    WriteTarget(text, added);
  }
  if (!Selection.empty()) emit SearchRequested();
}

void TfraSakumotsuBase::lvCVOClick() { WriteTarget(pgCvo->CurrentCropNames()); }

void TfraSakumotsuBase::lvCVODblClick() {
  lvCVOClick();
  if (!Selection.empty()) emit SearchRequested();
}

// ---- mode --------------------------------------------------------------------------------------

void TfraSakumotsuBase::SetMode(bool Main) {
  FMain = Main;
  tbMain->setChecked(Main);
  tbKinsetsu->setChecked(!Main);
  const QColor window = palette().color(QPalette::Base), face = palette().color(QPalette::Button);
  auto colour = [](QLineEdit* e, QColor c) {
    QPalette p = e->palette();
    p.setColor(QPalette::Base, c);
    e->setPalette(p);
  };
  colour(eSakumotsu, Main ? window : face);
  colour(eKinsetsuSakumotsu, Main ? face : window);
}

void TfraSakumotsuBase::tbMainClick() {
  if (MainMode()) {
    SetMode(true);  // a second click leaves the mode as it is
    return;
  }
  TChangeBatch batch(*this);
  UncheckTree();
  eKinsetsuSakumotsu->clear();
  SetMode(true);
}

void TfraSakumotsuBase::tbKinsetsuClick() {
  if (!MainMode()) {
    SetMode(false);
    return;
  }
  TChangeBatch batch(*this);
  SetMode(false);
  UncheckTree();
  eKinsetsuSakumotsu->clear();
}

void TfraSakumotsuBase::ClearSelection() {
  TChangeBatch batch(*this);
  UncheckTree();
  lvSakumotsu->SetAllChecked(false);
  eSakumotsu->clear();
  eKinsetsuSakumotsu->clear();
}

void TfraSakumotsuBase::tbTekiyoClick() {
  if (!Selection.empty()) emit SearchRequested();
}

void TfraSakumotsuBase::tbSakuModeResize(int Width) {
  if (Width < 180) {
    tbMain->setText("作.");
    tbKinsetsu->setText("近.");
    tbTekiyo->setText("適用");
  } else if (Width < 235) {
    tbMain->setText("作物.");
    tbKinsetsu->setText("近接.");
    tbTekiyo->setText("適用");
  } else {
    tbMain->setText("主作物");
    tbKinsetsu->setText("近接作物");
    tbTekiyo->setText("適用検索");
  }
}

// ---- events ------------------------------------------------------------------------------------

void TfraSakumotsuBase::FitToolBar(QToolBar* Bar, int Width) {
  if (Bar == tbSakuMode) {
    tbSakuModeResize(Width);
    // Our captions may need more room than the width rule allows for: a shorter set rather
    // than a button hidden in the overflow menu.
    for (int shorter : {234, 179})
      if (ToolBarNeed(Bar) > Width && Width > shorter) tbSakuModeResize(shorter);
    // Still too wide (a narrow frame or large images): the buttons drop their images, then the
    // two mode buttons their captions (their hints stay); the search button keeps "適用" in sight.
    for (QToolButton* b : {tbMain, tbKinsetsu, tbTekiyo}) b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (ToolBarNeed(Bar) > Width)
      for (QToolButton* b : {tbMain, tbKinsetsu, tbTekiyo}) b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (ToolBarNeed(Bar) > Width)
      for (QToolButton* b : {tbMain, tbKinsetsu}) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return;
  }
  // The captioned commands show their image only when the captions do not fit (the caption
  // stays the button's hint).
  std::vector<QToolButton*> captioned;
  if (Bar == tbSakumotsuTree) captioned = {tbCheckClearTree, tbAutoTekiyoView};
  if (Bar == tbSakumotsuSearch) captioned = {bAutoTekiyoView};
  for (QToolButton* b : captioned) b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  if (ToolBarNeed(Bar) > Width)
    for (QToolButton* b : captioned) b->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

bool TfraSakumotsuBase::eventFilter(QObject* Watched, QEvent* Event) {
  if ((Watched == tbSakuMode || Watched == tbSakumotsuTree || Watched == tbSakumotsuSearch) &&
      Event->type() == QEvent::Resize) {
    FitToolBar(static_cast<QToolBar*>(Watched), static_cast<QResizeEvent*>(Event)->size().width());
  } else if (Watched == tvSakumotsu && Event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(Event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (!Selection.empty()) emit SearchRequested();
      tvSakumotsu->setFocus();
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
