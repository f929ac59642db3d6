#include "frontend/pest/dlg_byogai.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "database/regex_utils.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "foundation/ini_file.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/crop/crop_chooser_views.h"
#include "frontend/frm_main.h"
#include "frontend/picker_placement.h"

namespace {

constexpr const char* kAll = "全て";

// A check list as the target of the database's list fills (items unchecked).
class TCheckListTarget : public TItemListTarget {
 public:
  explicit TCheckListTarget(TCheckListBoxEx* L) : FList(L) {}
  void BeginUpdate() override { FList->setUpdatesEnabled(false); }
  void EndUpdate() override { FList->setUpdatesEnabled(true); }
  void Clear() override { FList->clear(); }
  void Add(const std::string& Text) override { FList->AddItem(QString::fromStdString(Text)); }
  int Count() const override { return FList->count(); }
  std::string Item(int Index) const override { return FList->item(Index)->text().toStdString(); }

 private:
  TCheckListBoxEx* FList;
};

TCheckListBoxEx* NewList(QWidget* Parent, const char* Name) {
  auto* l = new TCheckListBoxEx(Parent);
  l->setObjectName(Name);
  return l;
}

int GroupCid(const TCheckListBoxEx* Groups, const TCheckListBoxEx* Gaichu) { return Groups == Gaichu ? 2 : 3; }

}  // namespace

std::string TDlgByogai::CategorySql(int Cid) {
  switch (Cid) {
    case 1: return "SELECT byochu FROM byochu WHERE cid IN (select cid from cbyochu where cname = '病害');";
    case 2: return "SELECT byochu FROM byochu WHERE cid IN (select cid from cbyochu where cname = '害虫');";
    case 3: return "SELECT byochu FROM byochu WHERE cid IN (select cid from cbyochu where cname = '雑草');";
    case 4: return "SELECT byochu FROM m_byochu WHERE cid IN (select cid from cbyochu where cname = '鳥獣');";
    default:
      return "select byochu from m_byochu where cid in (select cid from cbyochu where cname in ('その他', '使用目的'));";
  }
}

std::string TDlgByogai::GroupMembersSql(const std::vector<std::string>& Groups, int Cid) {
  return "SELECT byochu FROM byochu WHERE gid IN(SELECT gid FROM gbyochu WHERE gname IN(" + QuotedSqlList(Groups) +
         ")) and cid = " + std::to_string(Cid) + ";";
}

// ---- construction ---------------------------------------------------------------------------------

TDlgByogai::TDlgByogai(QWidget* Owner, std::function<TAcisDB*()> Database)
    : QDialog(Owner), FDatabase(Database ? std::move(Database) : std::function<TAcisDB*()>(ProgramDatabase)) {
  setObjectName("DlgByogai");
  setWindowTitle("病害虫種類選択");
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  setMinimumWidth(250);
  setMaximumWidth(1024);
  if (Owner) setFont(Owner->window()->font());
  BuildControls();
  // Never narrower than its tabs, whatever the font.
  setMinimumWidth(std::max(minimumWidth(), layout()->minimumSize().width()));
  resize(300, 400);
  ReadSettings();

  if (TAcisDB* db = Db()) {
    cboCID->clear();
    cboCID->addItem(QString());
    if (db->Query("select cname from cbyochu", false)) {
      for (TSQLiteTbl& t = *db->FTbl; !t.Eof(); t.Next()) cboCID->addItem(QString::fromStdString(t.Fields(0)));
    }
    FillList(lstByogai, CategorySql(1));
    lstGaichuGroup->AddItem(kAll);
    lstZassouGroup->AddItem(kAll);
    {
      ++FFilling;
      if (db->Query("SELECT gname FROM gbyochu WHERE cid = 2;", true)) {
        TCheckListTarget t(lstGaichuGroup);
        db->FillListValues(t, 0);
      }
      if (db->Query("SELECT gname FROM gbyochu WHERE cid = 3;", true)) {
        TCheckListTarget t(lstZassouGroup);
        db->FillListValues(t, 0);
      }
      --FFilling;
    }
    FillList(lstGaichu, CategorySql(2));
    FillList(lstZassou, CategorySql(3));
    FillList(lstChoju, CategorySql(4));
    FillList(lstMokuteki, CategorySql(6));
  }
  PageControl->setCurrentIndex(0);
  actAdd->setEnabled(false);
  actReplace->setEnabled(false);
  rbBubun->setChecked(true);
}

TDlgByogai::~TDlgByogai() { WriteSettings(); }

void TDlgByogai::BuildControls() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);

  pnlTop = new QWidget(this);
  pnlTop->setObjectName("pnlTop");
  auto* top = new QVBoxLayout(pnlTop);
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(1);
  ToolBar = new QToolBar(pnlTop);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  actAdd = new QAction("追加", this);
  actAdd->setObjectName("actAdd");
  actReplace = new QAction("置換", this);
  actReplace->setObjectName("actReplace");
  auto tool = [this](const char* Name, QAction* Action, const QString& Caption) {
    auto* b = new QToolButton(ToolBar);
    b->setObjectName(Name);
    if (Action)
      b->setDefaultAction(Action);
    else
      b->setText(Caption);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setAutoRaise(true);
    ToolBar->addWidget(b);
    return b;
  };
  tbtnAdd = tool("tbtnAdd", actAdd, QString());
  tbtnReplace = tool("tbtnReplace", actReplace, QString());
  ToolBar->addSeparator();
  tbtnClose = tool("tbtnClose", nullptr, "閉じる");
  top->addWidget(ToolBar);
  pnlName = new QWidget(pnlTop);
  pnlName->setObjectName("pnlName");
  auto* nameRow = new QHBoxLayout(pnlName);
  nameRow->setContentsMargins(0, 0, 0, 0);
  eName = new QLineEdit(pnlName);
  eName->setObjectName("eName");
  eName->setReadOnly(true);  // typed keys are discarded
  nameRow->addWidget(eName);
  top->addWidget(pnlName);
  lay->addWidget(pnlTop);
  connect(actAdd, &QAction::triggered, this, [this] { actAddExecute(); });
  connect(actReplace, &QAction::triggered, this, [this] { actReplaceExecute(); });
  connect(tbtnClose, &QToolButton::clicked, this, [this] { close(); });

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  // Every category tab in sight (the name search is the last one): the dialog is never
  // narrower than its tabs.
  PageControl->tabBar()->setUsesScrollButtons(false);
  PageControl->tabBar()->setElideMode(Qt::ElideNone);
  lay->addWidget(PageControl, 1);
  lstByogai = NewList(PageControl, "lstByogai");
  PageControl->addTab(lstByogai, "病害");
  PageControl->addTab(BuildGroupPage(lstGaichuGroup, lstGaichu, Splitter1, "lstGaichuGroup", "lstGaichu",
                                     "Splitter1"),
                      "害虫");
  PageControl->addTab(BuildGroupPage(lstZassouGroup, lstZassou, Splitter2, "lstZassouGroup", "lstZassou",
                                     "Splitter2"),
                      "雑草");
  lstChoju = NewList(PageControl, "lstChoju");
  PageControl->addTab(lstChoju, "鳥獣");
  lstMokuteki = NewList(PageControl, "lstMokuteki");
  PageControl->addTab(lstMokuteki, "使用目的");
  PageControl->addTab(BuildSearchPage(), "検索");

  pmnTree = new QMenu(this);
  pmnTree->setObjectName("pmnTree");
  pmnTree->addAction(actAdd);
  pmnTree->addAction(actReplace);
  for (TCheckListBoxEx* l : {lstByogai, lstGaichu, lstZassou, lstChoju, lstMokuteki, lstByomei}) {
    connect(l, &QListWidget::itemChanged, this, [this, l] {
      if (!FFilling) ListCheck(l);
    });
    l->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(l, &QWidget::customContextMenuRequested, this,
            [this, l](const QPoint& Pos) { pmnTree->popup(l->viewport()->mapToGlobal(Pos)); });
  }
  for (TCheckListBoxEx* g : {lstGaichuGroup, lstZassouGroup})
    connect(g, &QListWidget::itemChanged, this, [this, g] {
      if (!FFilling) GroupCheck(g);
    });
}

QWidget* TDlgByogai::BuildGroupPage(TCheckListBoxEx*& Groups, TCheckListBoxEx*& Members,
                                    QSplitter*& Splitter, const char* GroupsName, const char* MembersName,
                                    const char* SplitterName) {
  Splitter = new QSplitter(Qt::Vertical, PageControl);
  Splitter->setObjectName(SplitterName);
  Splitter->setChildrenCollapsible(false);
  Splitter->installEventFilter(this);
  Groups = NewList(Splitter, GroupsName);
  Members = NewList(Splitter, MembersName);
  Splitter->addWidget(Groups);
  Splitter->addWidget(Members);
  Splitter->setStretchFactor(1, 1);
  return Splitter;
}

QWidget* TDlgByogai::BuildSearchPage() {
  auto* page = new QWidget(PageControl);
  page->setObjectName("tabSearch");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  auto* row = new QHBoxLayout;
  eSearchStr = new QLineEdit(page);
  eSearchStr->setObjectName("eSearchStr");
  bSearch = new QPushButton("検索", page);
  bSearch->setObjectName("bSearch");
  bSearch->setAutoDefault(false);
  row->addWidget(eSearchStr, 1);
  row->addWidget(bSearch);
  lay->addLayout(row);
  auto* opts = new QHBoxLayout;
  cboCID = new QComboBox(page);
  cboCID->setObjectName("cboCID");
  opts->addWidget(cboCID);
  rbPrefix = new QRadioButton("前方一致", page);
  rbPrefix->setObjectName("rbPrefix");
  rbBubun = new QRadioButton("含む", page);
  rbBubun->setObjectName("rbBubun");
  rbSuffix = new QRadioButton("後方一致", page);
  rbSuffix->setObjectName("rbSuffix");
  for (QRadioButton* r : {rbPrefix, rbBubun, rbSuffix}) {
    opts->addWidget(r);
    connect(r, &QRadioButton::clicked, this, [this] {
      if (!eSearchStr->text().isEmpty()) bSearchClick();
    });
  }
  opts->addStretch(1);
  lay->addLayout(opts);
  lstByomei = NewList(page, "lstByomei");
  lay->addWidget(lstByomei, 1);
  connect(bSearch, &QPushButton::clicked, this, [this] { bSearchClick(); });
  connect(eSearchStr, &QLineEdit::returnPressed, this, [this] { bSearchClick(); });
  connect(cboCID, &QComboBox::currentIndexChanged, this, [this] {
    if (!FFilling && !eSearchStr->text().isEmpty()) bSearchClick();
  });
  // A click on the search box searches again.
  eSearchStr->installEventFilter(this);
  return page;
}

// ---- settings -------------------------------------------------------------------------------------

void TDlgByogai::ReadSettings() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  resize(ini->ReadInteger(SECTION_WINDOW, "DlgByogaiWidth", width()),
         ini->ReadInteger(SECTION_WINDOW, "DlgByogaiHeight", height()));
  FGroupHeight[0] = std::max(20, ini->ReadInteger(SECTION_WINDOW, "DlgByogaiListGroupHeight", 100));
  FGroupHeight[1] = std::max(20, ini->ReadInteger(SECTION_WINDOW, "DlgByogaiListZassouGroupHeight", 100));
}

// A group list takes its stored height when its page first shows (a splitter that was never
// laid out would only scale the numbers it is given).
void TDlgByogai::ShowGroupSplitter(int I) {
  QSplitter* s = I == 0 ? Splitter1 : Splitter2;
  if (FGroupShown[I] || s->height() <= 0) return;
  FGroupShown[I] = true;
  s->setSizes({FGroupHeight[I], std::max(60, s->height() - FGroupHeight[I])});
}

void TDlgByogai::WriteSettings() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ini->WriteInteger(SECTION_WINDOW, "DlgByogaiWidth", width());
  ini->WriteInteger(SECTION_WINDOW, "DlgByogaiHeight", height());
  // A page the user did not open keeps the height it was given.
  const char* keys[2] = {"DlgByogaiListGroupHeight", "DlgByogaiListZassouGroupHeight"};
  for (int i = 0; i < 2; ++i) {
    const QList<int> sizes = (i == 0 ? Splitter1 : Splitter2)->sizes();
    const int h = FGroupShown[i] && !sizes.isEmpty() && sizes[0] > 0 ? sizes[0] : FGroupHeight[i];
    ini->WriteInteger(SECTION_WINDOW, keys[i], h);
  }
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    Log(std::string("TDlgByogai: ") + e.what());
  }
}

// ---- lists ----------------------------------------------------------------------------------------

TAcisDB* TDlgByogai::Db() const { return FDatabase ? FDatabase() : nullptr; }

void TDlgByogai::Log(const std::string& Line) const {
  if (LogMemo) LogMemo(Line);
}

void TDlgByogai::FillList(TCheckListBoxEx* List, const std::string& SQL) {
  ++FFilling;
  List->clear();
  if (TAcisDB* db = Db(); db && db->Query(SQL, true)) {
    TCheckListTarget t(List);
    db->FillListValues(t, 0);
  }
  --FFilling;
}

void TDlgByogai::ListCheck(TCheckListBoxEx* List) {
  eName->clear();
  std::vector<std::string> names = CheckedTexts(List);
  eName->setText(QString::fromStdString(ListToCommaText(names)));
  actAdd->setEnabled(!names.empty());
  actReplace->setEnabled(!names.empty());
}

void TDlgByogai::GroupCheck(TCheckListBoxEx* Groups) {
  const int cid = GroupCid(Groups, lstGaichuGroup);
  TCheckListBoxEx* members = cid == 2 ? lstGaichu : lstZassou;
  ++FFilling;
  members->clear();
  --FFilling;
  const std::vector<std::string> ticked = CheckedTexts(Groups);
  if (ticked.empty()) return;
  // "全て" (the first item) stands for the whole category, whatever else is ticked.
  if (Groups->count() > 0 && Groups->Checked(0)) return FillList(members, CategorySql(cid));
  FillList(members, GroupMembersSql(ticked, cid));
}

void TDlgByogai::bSearchClick() {
  const std::string s = eSearchStr->text().toStdString();
  TAcisDB* db = Db();
  if (s.empty() || !db) return;
  TWaitCursor wait;
  ++FFilling;
  lstByomei->clear();
  --FFilling;
  const std::string pattern = rbPrefix->isChecked() ? s + "%" : rbSuffix->isChecked() ? "%" + s : "%" + s + "%";
  const std::string cname = cboCID->currentText().toStdString();
  // The typed word and the category are bound; the log shows them as literals.
  std::string bound = "SELECT byochu FROM m_byochu WHERE ";
  std::string literal = bound;
  std::vector<TSQLiteParam> params{pattern};
  if (!cname.empty()) {
    bound += " cid IN (select cid from cbyochu where cname = ?2) AND ";
    literal += " cid IN (select cid from cbyochu where cname = " + SqlQuote(cname) + ") AND ";
    params.emplace_back(cname);
  }
  bound += " concat('、',byochu,betsumei) MATCH ?1";
  literal += " concat('、',byochu,betsumei) MATCH " + SqlQuote(pattern);
  Log(literal);
  try {
    TAcisBusy busy;
    db->FTbl = db->FDb->GetTableBound(bound, TSQLiteParams(params));
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "");
    return;
  }
  if (!db->FTbl || db->FTbl->Count() == 0) {
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "検索条件に一致するデータはありません");
    return;
  }
  ++FFilling;
  TCheckListTarget t(lstByomei);
  db->FillListValues(t, 0);
  --FFilling;
}

void TDlgByogai::actAddExecute() {
  const QString name = eName->text();
  if (name.isEmpty() || !Target) return;
  // Added as it stands, also when the box names it already.
  Target->setText(Target->text().isEmpty() ? name : Target->text() + "," + name);
}

void TDlgByogai::actReplaceExecute() {
  const QString name = eName->text();
  if (name.isEmpty() || !Target) return;
  Target->setText(name);
}

bool TDlgByogai::eventFilter(QObject* Watched, QEvent* Event) {
  if ((Watched == Splitter1 || Watched == Splitter2) &&
      (Event->type() == QEvent::Show || Event->type() == QEvent::Resize))
    ShowGroupSplitter(Watched == Splitter1 ? 0 : 1);
  if (Watched == eSearchStr) {
    if (Event->type() == QEvent::MouseButtonRelease && !eSearchStr->text().isEmpty()) bSearchClick();
  }
  return QDialog::eventFilter(Watched, Event);
}

// ---- the pest tab's use ---------------------------------------------------------------------------

bool ShowPestPicker(TfrmMain& Main) {
  if (!AcisDB) return false;
  TDlgByogai dlg(&Main);
  dlg.Target = Main.edtByochu;
  TfrmMain* m = &Main;
  dlg.LogMemo = [m](const std::string& l) { m->WriteLog(l); };
  PlacePickerAtButton(&dlg, Main.btnTabByochu);
  ExecPicker(dlg);
  return true;
}
