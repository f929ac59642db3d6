#pragma once
// The crop chooser core, widget side: the widgets the crop-selection frame and the crop picker
// both show.
//
//  - TCropResultList: the result list of the crop-name search (lvSakumotsu); each item owns
//    its TSakumotsu record;
//  - TCropGroupPage: the crop-group table (作物群表, lvBeppyo1) with its group filters;
//  - TCvoPage: the CVO crop table (lvCVO) with its family filter;
//  - the crop tree's images, its drawing rules and hover hints, list column widths in the
//    settings file, the hourglass cursor.
//
// The pages run their queries through the database that their Database getter returns (the
// running program's AcisDB unless a caller sets another); without one they do nothing.
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/sakumotsu_list.h"

class QComboBox;
class QToolBar;
class TAcisDB;
class TCheckTreeView;
class TIniFile;
class TSQLiteTbl;

using TDatabaseFn = std::function<TAcisDB*()>;
// The running program's database (AcisDB), null without one.
TAcisDB* ProgramDatabase();

// ---- drawing ----------------------------------------------------------------------------------

// How an item of a crop list or tree is drawn (item data role kCropDrawRole).
enum TCropDraw : int {
  cdNormal = 0,
  cdGreyText = 1,     // tree: a crop that cannot be chosen (grey text; selected: $808080 ground)
  cdUpperOnly = 2,    // result list, state 2: white text on $808080
  cdUnregistered = 3  // result list, state 0: dark grey text on $C0C0C0
};
inline constexpr int kCropDrawRole = Qt::UserRole + 10;

class TCropItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const override;
};

// The images of the crop tree by image index (0..41, see SakuTreeNodeImages), drawn at Size
// pixels and at every other image size (16, 20, 24, 32, 48): folders for groups, leaves for crops, green when registered under the name, grey
// when not, amber when registered only through a higher group, blue when through lower crops.
std::vector<QIcon> CropTreeImages(int Size);
// The images of the frame's commands at Size pixels (and the other image sizes), by name ("expand", "collapse", "clear",
// "auto", "upper", "search", "checkall", "checkoff", "forward", "broad", "main", "neighbour",
// "tekiyo"); an empty icon for other names.
QIcon CropCommandIcon(const std::string& Name, int Size);

// ---- the crop tree ---------------------------------------------------------------------------

// Fills the tree from the crop list (BuildSakumotsuTree), with or without check boxes, marks
// the nodes drawn in grey (crops of state 0 at level GreyLevel) and switches drag and drop off
// (the classification is not to be rearranged).  False when the list could not be loaded.
bool BuildCropTree(TCheckTreeView* Tree, TAcisDB& Db, const std::shared_ptr<TSakumotsuList>& List,
                   const std::vector<QIcon>& Images, bool Checkboxes, int GreyLevel);
// Every node of the tree in index order (depth first, as shown).
void ForEachTreeNode(QTreeWidget* Tree, const std::function<void(QTreeWidgetItem*)>& Fn);

// Hover hints of the items of a list or tree: Text gives the hint of the item under the mouse
// ("" for none).  The hint is asked again only when the mouse moves to another item.
using THintTextFn = std::function<QString(QTreeWidgetItem* Item)>;
void InstallItemHints(QTreeWidget* View, THintTextFn Text);

// ---- result list of the crop-name search -----------------------------------------------------

class TCropResultList : public QTreeWidget {
  Q_OBJECT

 public:
  // Columns 作物名, 収穫部位, 別名 (80, 80, 100), each at most MaxColumnWidth wide.
  explicit TCropResultList(QWidget* Parent = nullptr, int MaxColumnWidth = 300);
  ~TCropResultList() override;

  // Empties the list and fills it with the rows of the search statement: one checkable item
  // per row, caption ">" times the level, a blank and the name, sub-items harvested part and
  // other names.  No rows (or a failed query): the list stays empty.  Returns the row count.
  int ShowSearchResult(TAcisDB& Db, const std::string& SQL);
  // The same for a statement with values bound to ?1, ?2, ... (a failure is reported by the
  // database object's error memo and leaves the list empty).
  int ShowSearchResult(TAcisDB& Db, const std::string& SQL, const std::vector<std::string>& Params);
  // Frees the records and clears the list.
  void ClearRecords();

  static const TSakumotsu* RecordOf(const QTreeWidgetItem* Item);
  // The checked crops in list order.
  std::vector<const TSakumotsu*> CheckedRecords() const;
  // Checks or unchecks every item (no CheckChanged per item).
  void SetAllChecked(bool Checked);
  // Checks exactly the items whose crop name is Input written alike (SameKanaText); the last
  // of them becomes the current item.  Returns it (null when none matched).
  QTreeWidgetItem* CheckSameName(const std::string& Input);
  int MaxColumnWidth() const { return FMaxWidth; }

 signals:
  // The user changed an item's check (mouse or Space).
  void CheckChanged(QTreeWidgetItem* Item);

 private:
  void OnItemChanged(QTreeWidgetItem* Item, int Column);
  // One item per row of the database's current result.
  int FillFromCursor(TAcisDB& Db);
  std::vector<std::unique_ptr<TSakumotsu>> FRecords;
  int FUpdating = 0;
  int FMaxWidth;
};

// ---- crop-group table ------------------------------------------------------------------------

class TCropGroupPage : public QWidget {
  Q_OBJECT

 public:
  explicit TCropGroupPage(QWidget* Parent = nullptr);

  TDatabaseFn Database = ProgramDatabase;
  QToolBar* tbBeppyo = nullptr;    // the filter toolbar (the owner may add its own buttons)
  QComboBox* cbLg = nullptr;       // 大グループ
  QComboBox* cbMg = nullptr;       // 中グループ
  QTreeWidget* lvBeppyo1 = nullptr;

  // Loads the whole table from spec.tekiyosakumotsu, the large groups and the middle groups of
  // them all (each list "全て" first, nothing chosen).
  void LoadSpecTables();
  // The large-group choice: "全て" reloads the whole table, another group shows its rows and
  // refills the middle groups with its own.
  void cbLgChange();
  // The middle-group choice, within the chosen large group or, with none chosen, across them
  // all ("全て" then shows the whole table).
  void cbMgChange();
  // The 作物名 cell of the current row ("" without one).
  std::string CurrentCropName() const;
  // Column of 作物名 in lvBeppyo1.
  static constexpr int kNameColumn = 3;

 signals:
  void RowClicked();
  void RowDoubleClicked();

 private:
  void FillFromCursor(TAcisDB& Db, int CaptionField, const std::vector<int>& SubFields);
  // Every row of the table; false without the table or its rows.
  bool LoadWholeTable();
};

// ---- CVO table ------------------------------------------------------------------------------

class TCvoPage : public QWidget {
  Q_OBJECT

 public:
  // AllTable: the table "全て" shows ("cvo" for the frame, "cvo2" for the picker).
  explicit TCvoPage(QWidget* Parent = nullptr, std::string AllTable = "cvo");

  TDatabaseFn Database = ProgramDatabase;
  QComboBox* cbFamily = nullptr;
  QTreeWidget* lvCVO = nullptr;

  // Refills the family list with "全て" first, no family chosen (nothing without the table
  // "cvo").
  void LoadCvoFamilies();
  // Every row with a crop name, then the families again with "全て" chosen.
  void LoadCvoTable();
  void cbFamilyChange();
  // The crop names of the current row's 作物名 cell, "|" made "," ("" without a row).
  std::string CurrentCropNames() const;
  static constexpr int kNameColumn = 12;

 signals:
  void RowClicked();
  void RowDoubleClicked();

 private:
  void FillFromCursor(TAcisDB& Db);
  std::string FAllTable;
};

// ---- settings and cursor ---------------------------------------------------------------------

// Column widths of a list from section "WINDOW": key Prefix + column number, Defaults per
// column (the last default for further columns), widths above MaxWidth (0: no limit) cut.
void LoadColumnWidths(const TIniFile& Ini, QTreeWidget* View, const std::string& Prefix,
                      const std::vector<int>& Defaults, int MaxWidth = 0);
void SaveColumnWidths(TIniFile& Ini, const QTreeWidget* View, const std::string& Prefix);
// The settings file of the running program (null without OptionData).
std::unique_ptr<TIniFile> OpenSettingsFile();

// Keeps the database's current result while a hover hint queries the database: a hint may
// come while a fill loop of someone else still reads that result (the loop lets window
// messages run), so the result is put back when the hint is done.
class THintQueryGuard {
 public:
  explicit THintQueryGuard(TAcisDB& Db);
  ~THintQueryGuard();
  THintQueryGuard(const THintQueryGuard&) = delete;
  THintQueryGuard& operator=(const THintQueryGuard&) = delete;

 private:
  TAcisDB& FDb;
  std::unique_ptr<TSQLiteTbl> FSaved;
};

// The hourglass while it lives.
class TWaitCursor {
 public:
  TWaitCursor();
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};
