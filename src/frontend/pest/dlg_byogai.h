#pragma once
// TDlgByogai: the pest picker of the pest tab "病害虫種類選択".  It lists the pest master by
// category (病害, 害虫 and 雑草 with their groups, 鳥獣, 使用目的) and finds pests by name on
// its page 検索; the names ticked in the list last ticked make the choice eName, which "追加"
// appends to the pest tab's keyword box and "置換" puts in its place while the picker stays
// open.  However it closes, the opener then runs the pest search.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;
class TAcisDB;
class TCheckListBoxEx;

class TDlgByogai : public QDialog {
  Q_OBJECT

 public:
  // Fills the lists from the database Database returns (AcisDB by default).
  explicit TDlgByogai(QWidget* Owner, std::function<TAcisDB*()> Database = nullptr);
  ~TDlgByogai() override;

  // The keyword box the choice is written to (the pest tab's edtByochu).
  QLineEdit* Target = nullptr;
  // Receives the name search's SQL (the main window's log pane).
  std::function<void(const std::string&)> LogMemo;

  // ---- operations ----
  // A tick changed in one of the pest lists: that list's ticked names become the choice.
  void ListCheck(TCheckListBoxEx* List);
  // A tick changed in a group list: its member list is filled again.
  void GroupCheck(TCheckListBoxEx* Groups);
  void bSearchClick();
  void actAddExecute();
  void actReplaceExecute();

  // ---- controls ----
  QToolBar* ToolBar = nullptr;
  QToolButton *tbtnAdd = nullptr, *tbtnReplace = nullptr, *tbtnClose = nullptr;
  QAction *actAdd = nullptr, *actReplace = nullptr;
  QWidget *pnlTop = nullptr, *pnlName = nullptr;
  QLineEdit* eName = nullptr;
  QTabWidget* PageControl = nullptr;
  TCheckListBoxEx *lstByogai = nullptr, *lstGaichuGroup = nullptr, *lstGaichu = nullptr, *lstZassouGroup = nullptr,
                  *lstZassou = nullptr, *lstChoju = nullptr, *lstMokuteki = nullptr, *lstByomei = nullptr;
  QSplitter *Splitter1 = nullptr, *Splitter2 = nullptr;
  QLineEdit* eSearchStr = nullptr;
  QPushButton* bSearch = nullptr;
  QComboBox* cboCID = nullptr;
  QRadioButton *rbPrefix = nullptr, *rbBubun = nullptr, *rbSuffix = nullptr;
  QMenu* pmnTree = nullptr;

  // The queries of the category lists and of the group members (cid 2 pests, 3 weeds).
  static std::string CategorySql(int Cid);
  static std::string GroupMembersSql(const std::vector<std::string>& Groups, int Cid);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  QWidget* BuildGroupPage(TCheckListBoxEx*& Groups, TCheckListBoxEx*& Members,
                          QSplitter*& Splitter, const char* GroupsName, const char* MembersName,
                          const char* SplitterName);
  QWidget* BuildSearchPage();
  // Replaces the list's items by the first column of SQL's rows (no-data warning on).
  void FillList(TCheckListBoxEx* List, const std::string& SQL);
  void ReadSettings();
  void WriteSettings();
  void ShowGroupSplitter(int I);
  TAcisDB* Db() const;
  void Log(const std::string& Line) const;

  std::function<TAcisDB*()> FDatabase;
  int FFilling = 0;
  // The stored heights of the two group lists, and whether each page was laid out with it.
  int FGroupHeight[2] = {100, 100};
  bool FGroupShown[2] = {false, false};
};

class TfrmMain;
// The pest tab's use: the picker under btnTabByochu writing into edtByochu, sized from the
// settings and written back; returns when it closed (the caller then searches).  Nothing
// without a database.
bool ShowPestPicker(TfrmMain& Main);
