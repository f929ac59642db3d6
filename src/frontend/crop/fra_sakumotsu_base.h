#pragma once
// TfraSakumotsuBase: the crop-selection pane at the left of the crop tab.
//
// Four ways of choosing crops (pages of pgSakumotsu, by index: 0 分類 the classification tree
// with check boxes, 1 作物名検索 the crop-name search, 2 a hidden page, 3 作物群表 the crop-group
// table, 4 CVO the CVO crop table) write their choice into one of two read-only edits: the
// main crops (eSakumotsu) while tbMain is down, else the neighbour crops
// (eKinsetsuSakumotsu).  The edits' change handlers copy the texts into Selection and
// Kinsetsu, which the crop search reads.
//
// For the window that hosts the frame:
//  - after the database is opened call BuildTree, LoadSpecTables and LoadCvoFamilies; at its
//    creation LoadColumnWidths; set LogMemo to the log pane; UpdateCommands whenever the
//    database may have come or gone (the frame's commands follow it);
//  - ClearSelection for "条件消去" of the tab;
//  - SelectionChanged(CanSearch) follows every completed change of the two texts: the search
//    action is enabled exactly when CanSearch (main crops chosen; the neighbour crops do not
//    decide it);
//  - SearchRequested() asks for the crop search (Selection is never empty then): once per
//    completed change while the automatic search of the active page is on (tree page with
//    "即時検索" of the tree, name-search page with that of the list), on tbTekiyo, on a double
//    click in the crop-group or CVO table, and on Enter in the tree.  A change writes its edit
//    in two steps (cleared, then set); the steps are reported as one change, so one check
//    gives exactly one request.
//  - Each side also lists the names of its text that came in on a chosen crop's behalf (the
//    higher groups the upper-group rules add: SelectionAdded, KinsetsuAdded); the search lets
//    them stand for their own registrations only.  A text written from outside the frame has
//    none.  The neighbour text is kept as the rules build it, also where it repeats names of
//    the main text (the search lists a use once).
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/crop/crop_chooser.h"
#include "frontend/crop/crop_chooser_views.h"

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class TAcisDB;
class TCheckTreeView;
class TSakumotsuList;

class TfraSakumotsuBase : public QWidget {
  Q_OBJECT

 public:
  explicit TfraSakumotsuBase(QWidget* Parent = nullptr);
  ~TfraSakumotsuBase() override;

  // ---- fields in declared order ----
  std::string Selection;  // main crops, comma text (eSakumotsu's text after its change)
  std::string Kinsetsu;   // neighbour crops, comma text (eKinsetsuSakumotsu's text)
  // Names of the two texts that came in on a chosen crop's behalf (not chosen themselves).
  std::vector<std::string> SelectionAdded, KinsetsuAdded;
  bool ForwardMatch = true;  // name search: keywords start with the words (else anywhere)
  QTreeWidgetItem* HintNode = nullptr;
  std::function<void(const std::string&)> LogMemo;  // trace lines and the name-search SQL

  // The database the frame queries (the running program's AcisDB unless set).
  void SetDatabase(TDatabaseFn Fn);
  TAcisDB* Database() const;
  // The commands that work on the register (the tree, the name search and its list, the two
  // tables and their filters) are enabled exactly while there is a database; 適用検索 also
  // needs main crops.  The host calls it whenever the database may have changed (BuildTree
  // does it as well).
  void UpdateCommands();
  // The crop list the tree shows (a new one per frame).
  const std::shared_ptr<TSakumotsuList>& CropList() const { return FList; }

  // ---- operations called from outside ----
  void BuildTree();
  void LoadSpecTables();
  void LoadCvoFamilies();
  void LoadCvoTable();
  void LoadColumnWidths();
  void SaveColumnWidths();
  // The frame's own settings (search options and list columns), written when the window
  // closes; a frame whose settings were not saved writes them when it goes.
  void SaveSettings();
  // Toolbar images of Size pixels (16, 20, 24, 32 or 48).
  void SetImageSize(int Size);

  // ---- the ways of choosing ----
  // Tree: rebuilds the selection from the checked nodes (after every check change).
  void CollectTreeSelection();
  // Result list: rebuilds the selection from the checked items.
  void lvSakumotsuCheck();
  // Name search of edtInput into lvSakumotsu (nothing without a database or input).
  void SearchSakumotsu();
  void ShowSearchResult(const std::string& SQL);
  // Enter in edtInput (and bSearch): search, check the items named as typed, rebuild.
  void edtInputEnter();
  void cbLgChange();
  void cbMgChange();
  void lvBeppyo1Click();
  void lvBeppyo1DblClick();
  void cbFamilyChange();
  void lvCVOClick();
  void lvCVODblClick();

  // ---- mode and commands ----
  bool MainMode() const;
  void tbMainClick();
  void tbKinsetsuClick();
  void actTreeCheckOffExecute();
  void actTreeExpandExecute();
  void actTreeCollapseExecute();
  void actCheckUpperTreeExecute();
  void actSakumotsuListCheckALLExecute();
  void actSakumotsuListCheckOffExecute();
  void actForwardMatchExecute();
  void actBroadMatchExecute();
  void actCheckUpperListExecute();
  void tbTekiyoClick();
  // "条件消去": both texts emptied and the ticks of the tree and of the result list taken away,
  // so that the next tick starts a new selection.
  void ClearSelection();
  // The captions of the mode toolbar for its width.
  void tbSakuModeResize(int Width);
  // A tool bar of the frame resized to Width: the mode bar's captions by the rule above (and
  // shorter ones while they would not fit); the tree and list bars show their captioned
  // commands as images only while the captions would not fit.
  void FitToolBar(QToolBar* Bar, int Width);

  // ---- controls ----
  QTabWidget* pgSakumotsu = nullptr;
  QWidget *tabTree = nullptr, *tabSearch = nullptr, *tabHidden = nullptr;
  TCheckTreeView* tvSakumotsu = nullptr;
  QToolBar* tbSakumotsuTree = nullptr;
  QToolButton *bExpand = nullptr, *bCollapse = nullptr, *tbCheckClearTree = nullptr, *tbAutoTekiyoView = nullptr,
              *tbUpperTree = nullptr;
  QLineEdit* edtInput = nullptr;
  QPushButton* bSearch = nullptr;
  TCropResultList* lvSakumotsu = nullptr;
  QToolBar* tbSakumotsuSearch = nullptr;
  QToolButton *bCheckALL = nullptr, *bCheckClearList = nullptr, *bForward = nullptr, *bBroad = nullptr,
              *bAutoTekiyoView = nullptr, *bUpperList = nullptr;
  TCropGroupPage* pgBeppyo = nullptr;
  QToolButton* tbUpperB = nullptr;
  QComboBox *cbLg = nullptr, *cbMg = nullptr;
  QTreeWidget* lvBeppyo1 = nullptr;
  TCvoPage* pgCvo = nullptr;
  QComboBox* cbFamily = nullptr;
  QTreeWidget* lvCVO = nullptr;
  QToolBar* tbSakuMode = nullptr;
  QToolButton *tbMain = nullptr, *tbKinsetsu = nullptr, *tbTekiyo = nullptr;
  QLineEdit *eSakumotsu = nullptr, *eKinsetsuSakumotsu = nullptr;
  QLabel *imgSakumotsu = nullptr, *imgKinsetsuSakumotsu = nullptr;  // the marks of the two sides

  QAction *actTreeExpand = nullptr, *actTreeCollapse = nullptr, *actTreeCheckOff = nullptr,
          *actAutoTekiyoView = nullptr, *actCheckUpperTree = nullptr;
  QAction *actSakumotsuListCheckALL = nullptr, *actSakumotsuListCheckOff = nullptr, *actForwardMatch = nullptr,
          *actBroadMatch = nullptr, *actListAutoTekiyoView = nullptr, *actCheckUpperList = nullptr;

 signals:
  void SelectionChanged(bool CanSearch);
  void SearchRequested();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  // A change of the two texts in progress: nested changes are reported once, at the end.
  class TChangeBatch;
  friend class TChangeBatch;

  void BuildControls();
  QWidget* BuildTreePage();
  QWidget* BuildSearchPage();
  void ReadOptions();
  void WriteOptions();
  void SetMode(bool Main);
  // Writes Text into the edit of the active mode (cleared first, then set); Added: its names
  // that came in on a chosen crop's behalf.
  void WriteTarget(const std::string& Text, const std::vector<std::string>& Added = {});
  void UncheckTree();
  void eSakumotsuChange();
  void eKinsetsuSakumotsuChange();
  void EndChange();
  void Log(const std::string& Line) const;
  TUpperGroupFn UpperGroupFn() const;
  QString TreeHint(QTreeWidgetItem* Item);

  TDatabaseFn FDatabase = ProgramDatabase;
  std::shared_ptr<TSakumotsuList> FList;
  std::vector<QIcon> FTreeImages;
  int FChangeDepth = 0;
  bool FChanged = false;
  int FTreeUpdating = 0;
  bool FMain = true;  // main crops are the target (the buttons follow)
  bool FSettingsSaved = false;
  bool FEnding = false;  // the frame is being destroyed: a failed save is logged, never a dialog
  void SettingsNotWritten(const std::string& Why) const;
};
