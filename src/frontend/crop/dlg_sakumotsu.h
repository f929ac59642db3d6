#pragma once
// TDlgSakumotsu: the modal crop picker "作物種類選択".  It serves the chemical tab (mode 2: crop
// candidates into its edit eYakuzaiTabSakumotsu) and the template page (mode 3: the crop
// argument edtTplSakumotsu, where every choice is written in single quotes as one argument
// item).  It offers the crop chooser's four ways of choosing: the classification tree, the
// crop-name search, the crop-group table and the CVO table.  The current choice shows in the
// line eSakumotsu; "追加" and "置換" write it into the caller's TargetEdit while the picker stays
// open, "閉じる" closes it.
//
// Callers use ShowCropPicker (below), or do the same steps themselves: create the picker with
// themselves as owner, set LogMemo, TargetEdit and Mode, place it under the calling button
// (PlacePickerAtButton), run it with ExecPicker and free it.  However the picker closed,
// TfrmMain::SakuSelCancelEmpty then says whether its choice was empty.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/crop/crop_chooser_views.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidgetItem;
class TCheckTreeView;
class TSakumotsuList;

// ---- what "追加" and "置換" write ---------------------------------------------------------------

// The value written for a choice: the comma text of its names, in mode 3 enclosed in single
// quotes (inner single quotes doubled).
std::string QuoteIfTemplate(const std::vector<std::string>& Names, int Mode);
// The target's text after "追加".  Mode 2: the names not yet among the target's names (comma
// text) are appended; none new leaves the target as it is.  Mode 3: the target's items are
// split by the template rule (single quotes enclose an item; a text without any quote is one
// item); the choice is appended as a new quoted item unless an item names the same crops.  An
// unquoted target is quoted first, so that it stays one item beside the new one.
std::string AddCropChoice(const std::string& Target, const std::vector<std::string>& Names, int Mode);

// ---- the picker ---------------------------------------------------------------------------------

class TDlgSakumotsu : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgSakumotsu(QWidget* Owner, TDatabaseFn Database = ProgramDatabase);
  ~TDlgSakumotsu() override;

  // ---- fields set by the caller, in declared order ----
  std::function<void(const std::string&)> LogMemo;  // receives the search SQL (and trace lines)
  QWidget* TargetEdit = nullptr;  // QLineEdit, QPlainTextEdit or QTextEdit
  int Mode = 2;                   // 2 chemical tab, 3 template page
  QTreeWidgetItem* HintNode = nullptr;

  // The current choice C (crop names) and its text as eSakumotsu shows it.
  const std::vector<std::string>& Choice() const { return FChoice; }
  std::string ChoiceText() const;

  // Reads the options of the mode (the "上位作物群を含む" button); once, before it first shows.
  void FormShow();

  // ---- ways of choosing ----
  void tvSakumotsuClick();
  // Name search of edtInput with the chosen match (nothing without input or database).
  void bSearchClick();
  void edtInputEnter();
  void lvSakumotsuCheck();
  void lvBeppyo1SelectItem();
  void lvCVOSelectItem();

  // ---- commands ----
  void btnAddClick();
  void btnReplaceClick();
  void bCancelClick();
  void bExpandClick();
  void bCollapseClick();

  // Every way of closing ends here: the main window learns whether the choice was empty.
  void done(int Result) override;

  // ---- controls ----
  QToolBar* ToolBar = nullptr;
  QToolButton *bExpand = nullptr, *bCollapse = nullptr, *btnUpper = nullptr, *btnAdd = nullptr,
              *btnReplace = nullptr, *bCancel = nullptr;
  QLabel* eSakumotsu = nullptr;
  QTabWidget* PageControl = nullptr;
  TCheckTreeView* tvSakumotsu = nullptr;
  QLineEdit* edtInput = nullptr;
  QPushButton* bSearch = nullptr;
  QRadioButton *rbPrefix = nullptr, *rbBroad = nullptr, *rbExact = nullptr;
  TCropResultList* lvSakumotsu = nullptr;
  TCropGroupPage* pgBeppyo = nullptr;
  QComboBox *cbLg = nullptr, *cbMg = nullptr;
  QTreeWidget* lvBeppyo1 = nullptr;
  TCvoPage* pgCvo = nullptr;
  QComboBox* cbFamily = nullptr;
  QTreeWidget* lvCVO = nullptr;
  QMenu* pmnTree = nullptr;
  QAction *pmnAdd = nullptr, *pmnReplace = nullptr;

 protected:
  void showEvent(QShowEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildControls();
  QWidget* BuildSearchPage();
  void ReadSettings();
  void WriteSettings();
  void PageChange();
  // Empties the choice, then sets it; the two buttons follow.
  void SetChoice(std::vector<std::string> Names);
  void WriteTarget(const std::string& Text);
  std::string TargetText() const;
  void Log(const std::string& Line) const;
  std::vector<std::string> UpperGroup(const std::string& Name) const;
  std::vector<std::string> SameLevel(const std::string& Name) const;
  // The name itself (mode 2) or its same-level crops (mode 3).
  std::vector<std::string> OwnNames(const std::string& Name) const;
  QString ItemHint(const TSakumotsu* Rec, bool Debug);

  TDatabaseFn FDatabase;
  std::shared_ptr<TSakumotsuList> FList;
  std::vector<std::string> FChoice;
  bool FShown = false;
  bool FSearching = false;
};

// The whole caller routine: a picker owned by Owner in Mode writing into Target, its search
// SQL to Log, placed under Button and run modally.  Returns the picker's result.
int ShowCropPicker(QWidget* Owner, const QWidget* Button, int Mode, QWidget* Target,
                   std::function<void(const std::string&)> Log);
