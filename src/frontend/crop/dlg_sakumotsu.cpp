#include "frontend/crop/dlg_sakumotsu.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "database/acis_db.h"
#include "database/sakumotsu_list.h"
#include "database/sakumotsu_tree.h"
#include "foundation/check_tree_view.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/options.h"
#include "foundation/plain_hint.h"
#include "frontend/crop/crop_chooser.h"
#include "frontend/frm_main.h"
#include "frontend/picker_placement.h"

namespace {

constexpr int kTreePage = 0;

bool SameName(const std::string& A, const std::string& B) {
  return A == B || QString::fromStdString(A).compare(QString::fromStdString(B), Qt::CaseInsensitive) == 0;
}

bool HasName(const std::vector<std::string>& List, const std::string& Name) {
  return std::any_of(List.begin(), List.end(), [&](const std::string& s) { return SameName(s, Name); });
}

// The same crops, in whatever order.
bool SameNames(std::vector<std::string> A, std::vector<std::string> B) {
  if (A.size() != B.size()) return false;
  for (const std::string& a : A)
    if (!HasName(B, a)) return false;
  for (const std::string& b : B)
    if (!HasName(A, b)) return false;
  return true;
}

std::string Trimmed(const std::string& S) { return QString::fromStdString(S).trimmed().toStdString(); }

// The tree image size of the tool-bar option (0: 20, 1: 24, 2: 32, 3: 48, else 16 pixels).
int TreeImageSize() {
  if (!OptionData) return 16;
  switch (OptionData->BtnImageSize) {
    case 0: return 20;
    case 1: return 24;
    case 2: return 32;
    case 3: return 48;
    default: return 16;
  }
}

const char* UpperKey(int Mode) { return Mode == 3 ? "DlgSakumotsuSelTemplateUpper" : "DlgSakumotsuSelUpper"; }

}  // namespace

// ---- what "追加" and "置換" write ---------------------------------------------------------------

std::string QuoteIfTemplate(const std::vector<std::string>& Names, int Mode) {
  const std::string c = ListToCommaText(Names);
  if (Mode != 3) return c;
  std::string q = "'";
  for (char ch : c) {
    if (ch == '\'') q += '\'';
    q += ch;
  }
  return q + "'";
}

std::string AddCropChoice(const std::string& Target, const std::vector<std::string>& Names, int Mode) {
  if (Names.empty()) return Target;
  const std::string value = QuoteIfTemplate(Names, Mode);
  const std::string t = Trimmed(Target);
  if (t.empty()) return value;
  if (Mode == 3) {
    // The template reads the argument as items: "'" encloses an item, and a text without any
    // quote is one item as a whole.
    const bool quoted = t.find('\'') != std::string::npos;
    const std::vector<std::string> items =
        quoted ? SplitDelimitedText(t, ',', '\'', true) : std::vector<std::string>{t};
    for (const std::string& item : items)
      if (SameNames(SplitCropNames(item), Names)) return Target;
    return (quoted ? Target : QuoteIfTemplate(SplitCropNames(t), 3)) + "," + value;
  }
  const std::vector<std::string> present = CommaTextToList(t);
  std::vector<std::string> fresh;
  for (const std::string& n : Names)
    if (!HasName(present, n) && !HasName(fresh, n)) fresh.push_back(n);
  if (fresh.empty()) return Target;
  return Target + "," + ListToCommaText(fresh);
}

// ---- construction -------------------------------------------------------------------------------

TDlgSakumotsu::TDlgSakumotsu(QWidget* Owner, TDatabaseFn Database) : QDialog(Owner), FDatabase(std::move(Database)) {
  setObjectName("DlgSakumotsu");
  setWindowTitle("作物種類選択");
  setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  setMinimumSize(270, 100);
  setMaximumWidth(1880);
  if (Owner) setFont(Owner->window()->font());
  BuildControls();
  ReadSettings();
  rbPrefix->setChecked(true);
  SetChoice({});

  // The tree, the crop-group table and the CVO families, as in the crop-selection frame.
  // The crop list the crop frame shows, unless the database was replaced since it was loaded:
  // reloading it here would free the records the frame's tree still points at.
  FList = SakumotsuList();
  if (FList->IsStale()) FList = std::make_shared<TSakumotsuList>();
  if (TAcisDB* db = FDatabase ? FDatabase() : nullptr) {
    BuildCropTree(tvSakumotsu, *db, FList, CropTreeImages(TreeImageSize()), false, 3);
    pgBeppyo->LoadSpecTables();
    pgCvo->LoadCvoFamilies();
  }
  PageChange();
}

TDlgSakumotsu::~TDlgSakumotsu() {
  WriteSettings();
  HintNode = nullptr;
  {
    const QSignalBlocker block(tvSakumotsu);
    tvSakumotsu->clear();
  }
  lvSakumotsu->ClearRecords();
}

void TDlgSakumotsu::BuildControls() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);

  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setIconSize(QSize(16, 16));
  auto tool = [this](const char* Name, const QString& Caption, const QString& Hint, const char* Icon) {
    auto* b = new QToolButton(ToolBar);
    b->setObjectName(Name);
    b->setText(Caption);
    if (!Hint.isEmpty()) b->setToolTip(Hint);
    if (Icon) {
      b->setIcon(CropCommandIcon(Icon, 16));
      b->setToolButtonStyle(Caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    } else {
      b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    b->setAutoRaise(true);
    ToolBar->addWidget(b);
    return b;
  };
  bExpand = tool("bExpand", QString(), "ツリーを全て展開", "expand");
  bCollapse = tool("bCollapse", QString(), "ツリーを全て縮小", "collapse");
  btnUpper = tool("btnUpper", QString(), "上位作物群を含む", "upper");
  btnUpper->setCheckable(true);
  ToolBar->addSeparator();
  btnAdd = tool("btnAdd", "追加", QString(), nullptr);
  btnReplace = tool("btnReplace", "置換", QString(), nullptr);
  ToolBar->addSeparator();
  bCancel = tool("bCancel", "閉じる", QString(), nullptr);
  lay->addWidget(ToolBar);
  connect(bExpand, &QToolButton::clicked, this, [this] { bExpandClick(); });
  connect(bCollapse, &QToolButton::clicked, this, [this] { bCollapseClick(); });
  connect(btnAdd, &QToolButton::clicked, this, [this] { btnAddClick(); });
  connect(btnReplace, &QToolButton::clicked, this, [this] { btnReplaceClick(); });
  connect(bCancel, &QToolButton::clicked, this, [this] { bCancelClick(); });

  // The current choice: a sunken line in the colour of the search box.
  eSakumotsu = new QLabel(this);
  eSakumotsu->setObjectName("eSakumotsu");
  eSakumotsu->setTextFormat(Qt::PlainText);  // crop names as they are
  eSakumotsu->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  eSakumotsu->setAutoFillBackground(true);
  eSakumotsu->setBackgroundRole(QPalette::Base);
  eSakumotsu->setTextInteractionFlags(Qt::TextSelectableByMouse);
  eSakumotsu->setFixedHeight(eSakumotsu->fontMetrics().height() + 10);
  eSakumotsu->setMinimumWidth(10);
  eSakumotsu->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  lay->addWidget(eSakumotsu);

  PageControl = new QTabWidget(this);
  PageControl->setObjectName("PageControl");
  lay->addWidget(PageControl, 1);

  // 分類: the tree without check boxes; a node is chosen by selecting it.
  tvSakumotsu = new TCheckTreeView(PageControl);
  tvSakumotsu->setObjectName("tvSakumotsu");
  tvSakumotsu->SetCheckboxes(false);
  tvSakumotsu->setSelectionMode(QAbstractItemView::SingleSelection);
  tvSakumotsu->setDragDropMode(QAbstractItemView::NoDragDrop);
  tvSakumotsu->setIndentation(OptionData && OptionData->SakumotsuTreeIndent > 0 ? OptionData->SakumotsuTreeIndent : 19);
  tvSakumotsu->setItemDelegate(new TCropItemDelegate(tvSakumotsu));
  tvSakumotsu->setContextMenuPolicy(Qt::CustomContextMenu);
  PageControl->addTab(tvSakumotsu, "分類");
  connect(tvSakumotsu, &QTreeWidget::currentItemChanged, this, [this] { tvSakumotsuClick(); });
  connect(tvSakumotsu, &QTreeWidget::itemClicked, this, [this] { tvSakumotsuClick(); });
  InstallItemHints(tvSakumotsu, [this](QTreeWidgetItem* Item) {
    HintNode = Item;
    const TSakumotsu* r = SakumotsuOfItem(Item);
    if (!r) return QString("Error:EAccessViolation");
    return ItemHint(r, QGuiApplication::mouseButtons() & Qt::RightButton);
  });

  PageControl->addTab(BuildSearchPage(), "検索");

  pgBeppyo = new TCropGroupPage(PageControl);
  pgBeppyo->setObjectName("tabBeppyo");
  pgBeppyo->Database = [this] { return FDatabase ? FDatabase() : nullptr; };
  cbLg = pgBeppyo->cbLg;
  cbMg = pgBeppyo->cbMg;
  cbLg->setToolTip("大グループを選択");
  cbMg->setToolTip("中グループを選択");
  lvBeppyo1 = pgBeppyo->lvBeppyo1;
  PageControl->addTab(pgBeppyo, "作物群表");
  connect(lvBeppyo1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* Current) {
    if (Current) lvBeppyo1SelectItem();
  });

  pgCvo = new TCvoPage(PageControl, "cvo2");
  pgCvo->setObjectName("tabCVO");
  pgCvo->Database = [this] { return FDatabase ? FDatabase() : nullptr; };
  cbFamily = pgCvo->cbFamily;
  lvCVO = pgCvo->lvCVO;
  PageControl->addTab(pgCvo, "CVO");
  connect(lvCVO, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* Current) {
    if (Current) lvCVOSelectItem();
  });
  connect(PageControl, &QTabWidget::currentChanged, this, [this] { PageChange(); });

  // The popup of the tree and the result list: the two writing commands.
  pmnTree = new QMenu(this);
  pmnTree->setObjectName("pmnTree");
  pmnAdd = pmnTree->addAction("追加(&A)");
  pmnAdd->setObjectName("pmnAdd");
  pmnReplace = pmnTree->addAction("置換(&R)");
  pmnReplace->setObjectName("pmnReplace");
  connect(pmnAdd, &QAction::triggered, this, [this] { btnAddClick(); });
  connect(pmnReplace, &QAction::triggered, this, [this] { btnReplaceClick(); });
  connect(pmnTree, &QMenu::aboutToShow, this, [this] {
    pmnAdd->setEnabled(btnAdd->isEnabled());
    pmnReplace->setEnabled(btnReplace->isEnabled());
  });
  for (QTreeWidget* v : {static_cast<QTreeWidget*>(tvSakumotsu), static_cast<QTreeWidget*>(lvSakumotsu)}) {
    v->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(v, &QWidget::customContextMenuRequested, this,
            [this, v](const QPoint& Pos) { pmnTree->popup(v->viewport()->mapToGlobal(Pos)); });
  }
  resize(375, 370);
}

QWidget* TDlgSakumotsu::BuildSearchPage() {
  auto* page = new QWidget(PageControl);
  page->setObjectName("tabSearch");
  auto* lay = new QVBoxLayout(page);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  auto* row = new QHBoxLayout;
  edtInput = new QLineEdit(page);
  edtInput->setObjectName("edtInput");
  bSearch = new QPushButton("検索", page);
  bSearch->setObjectName("bSearch");
  bSearch->setAutoDefault(false);
  row->addWidget(edtInput, 1);
  row->addWidget(bSearch);
  lay->addLayout(row);
  auto* radios = new QHBoxLayout;
  rbPrefix = new QRadioButton("前方一致", page);
  rbPrefix->setObjectName("rbPrefix");
  rbBroad = new QRadioButton("部分一致", page);
  rbBroad->setObjectName("rbBroad");
  rbExact = new QRadioButton("完全一致", page);
  rbExact->setObjectName("rbExact");
  for (QRadioButton* r : {rbPrefix, rbBroad, rbExact}) {
    radios->addWidget(r);
    connect(r, &QRadioButton::clicked, this, [this] { bSearchClick(); });
  }
  radios->addStretch(1);
  lay->addLayout(radios);
  lvSakumotsu = new TCropResultList(page, 500);
  lvSakumotsu->setSortingEnabled(true);
  lvSakumotsu->sortByColumn(0, Qt::AscendingOrder);
  lay->addWidget(lvSakumotsu, 1);

  connect(edtInput, &QLineEdit::returnPressed, this, [this] { edtInputEnter(); });
  connect(bSearch, &QPushButton::clicked, this, [this] { bSearchClick(); });
  edtInput->installEventFilter(this);  // entering the box searches again
  connect(lvSakumotsu, &TCropResultList::CheckChanged, this, [this] { lvSakumotsuCheck(); });
  InstallItemHints(lvSakumotsu, [this](QTreeWidgetItem* Item) {
    return ItemHint(TCropResultList::RecordOf(Item), false);
  });
  return page;
}

// ---- settings ------------------------------------------------------------------------------------

void TDlgSakumotsu::ReadSettings() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  resize(ini->ReadInteger(SECTION_WINDOW, "DlgSakumotuWidth", 375), ini->ReadInteger(SECTION_WINDOW, "DlgSakumotuHeight", 370));
  LoadColumnWidths(*ini, lvSakumotsu, "DlgSakuLvSakumotsuColumns", {80, 80, 100}, lvSakumotsu->MaxColumnWidth());
  LoadColumnWidths(*ini, lvBeppyo1, "DlgSakuLvBeppyo1Columns", {70, 70, 70, 100, 100, 50, 50});
  LoadColumnWidths(*ini, lvCVO, "DlgSakuLvCVOColumns", {50});
  const int page = ini->ReadInteger(SECTION_WINDOW, "DlgSakuActivePageIndex", 0);
  PageControl->setCurrentIndex(page >= 0 && page < PageControl->count() ? page : 0);
}

void TDlgSakumotsu::WriteSettings() {
  std::unique_ptr<TIniFile> ini = OpenSettingsFile();
  if (!ini) return;
  ini->WriteInteger(SECTION_WINDOW, "DlgSakumotuWidth", width());
  ini->WriteInteger(SECTION_WINDOW, "DlgSakumotuHeight", height());
  SaveColumnWidths(*ini, lvSakumotsu, "DlgSakuLvSakumotsuColumns");
  SaveColumnWidths(*ini, lvBeppyo1, "DlgSakuLvBeppyo1Columns");
  SaveColumnWidths(*ini, lvCVO, "DlgSakuLvCVOColumns");
  ini->WriteInteger(SECTION_WINDOW, "DlgSakuActivePageIndex", PageControl->currentIndex());
  ini->WriteBool(SECTION_WINDOW, UpperKey(Mode), btnUpper->isChecked());
  try {
    ini->UpdateFile();
  } catch (const std::exception& e) {
    Log(std::string("TDlgSakumotsu: ") + e.what());
  }
}

void TDlgSakumotsu::FormShow() {
  if (FShown) return;
  FShown = true;
  if (std::unique_ptr<TIniFile> ini = OpenSettingsFile()) btnUpper->setChecked(ini->ReadBool(SECTION_WINDOW, UpperKey(Mode), false));
  if (DebugMode) {
    Log("abs(eSakumotsu.Font.Height) > " + std::to_string(eSakumotsu->fontInfo().pixelSize()));
    Log("self.Canvas.TextHeight('あ')  > " + std::to_string(fontMetrics().boundingRect(QString("あ")).height()));
  }
}

void TDlgSakumotsu::showEvent(QShowEvent* Event) {
  FormShow();
  QDialog::showEvent(Event);
}

// ---- helpers -------------------------------------------------------------------------------------

void TDlgSakumotsu::Log(const std::string& Line) const {
  if (LogMemo) LogMemo(Line);
}

std::vector<std::string> TDlgSakumotsu::UpperGroup(const std::string& Name) const {
  TAcisDB* db = FDatabase ? FDatabase() : nullptr;
  return db ? SplitCropNames(db->UpperGroup(Name)) : std::vector<std::string>();
}

std::vector<std::string> TDlgSakumotsu::SameLevel(const std::string& Name) const {
  TAcisDB* db = FDatabase ? FDatabase() : nullptr;
  return db ? SplitCropNames(db->SameLevelSakumotsu(Name)) : std::vector<std::string>();
}

std::vector<std::string> TDlgSakumotsu::OwnNames(const std::string& Name) const {
  if (Mode == 3) return SameLevel(Name);
  return {Name};
}

QString TDlgSakumotsu::ItemHint(const TSakumotsu* Rec, bool Debug) {
  if (!Rec) return QString();
  TAcisDB* db = FDatabase ? FDatabase() : nullptr;
  if (!db || !FList) return QString::fromStdString(Debug ? SakumotsuHintDebug(*Rec, "") : SakumotsuHint(*Rec, ""));
  THintQueryGuard keep(*db);
  return QString::fromStdString(FList->Hint(*Rec, *db, Debug));
}

std::string TDlgSakumotsu::ChoiceText() const { return ListToCommaText(FChoice); }

void TDlgSakumotsu::SetChoice(std::vector<std::string> Names) {
  FChoice.clear();
  eSakumotsu->clear();
  FChoice = RemoveDuplicateNames(Names);
  const QString text = QString::fromStdString(ChoiceText());
  eSakumotsu->setText(text);
  eSakumotsu->setToolTip(PlainHint(text));
  btnAdd->setEnabled(!FChoice.empty());
  btnReplace->setEnabled(!FChoice.empty());
}

std::string TDlgSakumotsu::TargetText() const {
  if (auto* e = qobject_cast<QLineEdit*>(TargetEdit)) return e->text().toStdString();
  if (auto* m = qobject_cast<QPlainTextEdit*>(TargetEdit)) return m->toPlainText().toStdString();
  if (auto* t = qobject_cast<QTextEdit*>(TargetEdit)) return t->toPlainText().toStdString();
  return std::string();
}

void TDlgSakumotsu::WriteTarget(const std::string& Text) {
  const QString t = QString::fromStdString(Text);
  if (auto* e = qobject_cast<QLineEdit*>(TargetEdit))
    e->setText(t);
  else if (auto* m = qobject_cast<QPlainTextEdit*>(TargetEdit))
    m->setPlainText(t);
  else if (auto* x = qobject_cast<QTextEdit*>(TargetEdit))
    x->setPlainText(t);
}

void TDlgSakumotsu::PageChange() {
  const bool tree = PageControl->currentIndex() == kTreePage;
  bExpand->setEnabled(tree);
  bCollapse->setEnabled(tree);
}

// ---- ways of choosing ----------------------------------------------------------------------------

void TDlgSakumotsu::tvSakumotsuClick() {
  const TSakumotsu* r = SakumotsuOfItem(tvSakumotsu->currentItem());
  if (!r) return;
  const std::string& n = r->sakumotsu;
  std::vector<std::string> c;
  if (r->toroku == 1 || r->toroku == 3 || (r->Class == 3 && r->toroku >= 1))
    c = OwnNames(n);
  else if (Mode == 3)
    c = SameLevel(n);
  if (btnUpper->isChecked() || r->toroku == 2) {
    std::vector<std::string> u = UpperGroup(n);
    c = u.empty() ? std::vector<std::string>{n} : u;
  }
  SetChoice(c);
}

void TDlgSakumotsu::bSearchClick() {
  TAcisDB* db = FDatabase ? FDatabase() : nullptr;
  const std::string input = edtInput->text().toStdString();
  if (!db || input.empty() || FSearching) return;
  FSearching = true;
  if (rbExact->isChecked()) {
    // The words are bound, never written into the statement; the log shows them as literals.
    const TBoundSql q = SakumotsuExactSearch(input);
    if (q.SQL.empty()) {
      lvSakumotsu->ClearRecords();
    } else {
      Log(SakumotsuSearchSql(input, TCropMatch::Exact));
      lvSakumotsu->ShowSearchResult(*db, q.SQL, q.Params);
    }
  } else {
    const std::string sql = SakumotsuSearchSql(input, rbBroad->isChecked() ? TCropMatch::Broad : TCropMatch::Prefix);
    if (sql.empty()) {
      lvSakumotsu->ClearRecords();  // separators only: nothing can match
    } else {
      Log(sql);
      lvSakumotsu->ShowSearchResult(*db, sql);
    }
  }
  FSearching = false;
}

void TDlgSakumotsu::edtInputEnter() {
  bSearchClick();
  if (lvSakumotsu->topLevelItemCount() > 0) lvSakumotsu->setFocus();
}

void TDlgSakumotsu::lvSakumotsuCheck() {
  TTraceFn trace;
  if (DebugMode) trace = [this](const std::string& l) { Log("UsakumotsuSel.lvSakumotsuCheck : " + l); };
  TUpperGroupFn upper = [this](const std::string& Name) { return ListToCommaText(UpperGroup(Name)); };
  TNameOfFn own = [this](const TSakumotsu& Crop) { return OwnNames(Crop.sakumotsu); };
  SetChoice(ListSelectionNames(lvSakumotsu->CheckedRecords(), btnUpper->isChecked(), upper, own, trace));
}

void TDlgSakumotsu::lvBeppyo1SelectItem() {
  const std::string name = pgBeppyo->CurrentCropName();
  if (name.empty()) return SetChoice({});
  if (btnUpper->isChecked()) return SetChoice(UpperGroup(name));
  SetChoice(OwnNames(name));
}

void TDlgSakumotsu::lvCVOSelectItem() {
  // A cell may name several crops ("|" between them): each stands for itself, or for its
  // higher groups with the upper option.
  const std::vector<std::string> names = SplitCropNames(pgCvo->CurrentCropNames());
  if (!btnUpper->isChecked()) return SetChoice(names);
  std::vector<std::string> c;
  for (const std::string& n : names) {
    const std::vector<std::string> u = UpperGroup(n);
    c.insert(c.end(), u.begin(), u.end());
  }
  SetChoice(c);
}

// ---- commands ------------------------------------------------------------------------------------

void TDlgSakumotsu::btnAddClick() {
  if (FChoice.empty() || !TargetEdit) return;
  const std::string before = TargetText();
  const std::string after = AddCropChoice(before, FChoice, Mode);
  if (after != before) WriteTarget(after);
}

void TDlgSakumotsu::btnReplaceClick() {
  if (FChoice.empty() || !TargetEdit) return;
  WriteTarget(QuoteIfTemplate(FChoice, Mode));
}

void TDlgSakumotsu::bCancelClick() { reject(); }

void TDlgSakumotsu::done(int Result) {
  // The close button, Escape and the window's own close all end here, not only "閉じる".
  if (frmMain) frmMain->SakuSelCancelEmpty = FChoice.empty();
  QDialog::done(Result);
}

void TDlgSakumotsu::bExpandClick() {
  if (PageControl->currentIndex() != kTreePage) return;
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

void TDlgSakumotsu::bCollapseClick() {
  if (PageControl->currentIndex() != kTreePage) return;
  tvSakumotsu->setUpdatesEnabled(false);
  tvSakumotsu->collapseAll();
  tvSakumotsu->setUpdatesEnabled(true);
}

bool TDlgSakumotsu::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == edtInput && Event->type() == QEvent::FocusIn && !edtInput->text().isEmpty()) bSearchClick();
  return QDialog::eventFilter(Watched, Event);
}

// ---- the caller routine --------------------------------------------------------------------------

int ShowCropPicker(QWidget* Owner, const QWidget* Button, int Mode, QWidget* Target,
                   std::function<void(const std::string&)> Log) {
  TDlgSakumotsu dlg(Owner);
  dlg.LogMemo = std::move(Log);
  dlg.TargetEdit = Target;
  dlg.Mode = Mode;
  dlg.FormShow();
  if (Button) PlacePickerAtButton(&dlg, Button);
  return ExecPicker(dlg);
}
