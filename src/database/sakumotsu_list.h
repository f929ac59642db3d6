#pragma once
// The crop list model: every crop of the crop classification (view vg_sakumotsu2) as
// TSakumotsu records, the list shared by the crop-selection frames, and the hint and detail
// texts of crop entries.
//
// Sharing: SakumotsuList() is the current list.  Each crop-selection frame takes a new one
// with NewSakumotsuList() and keeps its std::shared_ptr, so a list that a newer frame replaced
// lives exactly as long as some frame still shows it.  A list remembers the database session
// it was loaded from (SessionGeneration) and the next tree build reloads it after the database
// was replaced.
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TAcisDB;
class QTreeWidgetItem;

struct TSakumotsu {
  int Class = 0;           // level 0..5 in the classification
  std::string idsaku;      // crop code, 16 digits
  int toroku = 0;          // registration state 0..3 (TorokuText)
  std::string shukakubui;  // harvested part
  std::string sakumotsu;   // crop name
  std::string betsumei;    // other names
  std::string gunmei;      // crop group the crop belongs to
};

class TSakumotsuList {
 public:
  // Reads "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vg_sakumotsu2;"
  // through TAcisDB::Query and appends a record per row, in the view's order, except the code
  // "0000000000000000".  When the query fails the list stays as it was (false).
  bool Load(TAcisDB& Db);
  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }
  const TSakumotsu& Get(int Index) const { return *FItems.at(static_cast<size_t>(Index)); }
  void Append(TSakumotsu Rec);
  void Delete(int Index);
  void Clear();

  // Loaded from a database that has since been replaced.
  bool IsStale() const;
  // Empty or stale: load (again).  False when that failed.
  bool EnsureLoaded(TAcisDB& Db);

  // The hint text of a crop (SakumotsuHint with TAcisDB::UpperGroupMarked), computed on
  // first use and kept by crop code until the list is cleared or loaded again. Rec may be a
  // record of this list or any other record of the same database (a search result's).
  std::string Hint(const TSakumotsu& Rec, TAcisDB& Db, bool Debug = false);

 private:
  std::vector<std::unique_ptr<TSakumotsu>> FItems;  // records keep their address
  std::unordered_map<std::string, std::string> FHints, FDebugHints;  // by idsaku
  unsigned FGeneration = 0;
  bool FLoaded = false;
};

// The current list (an empty one is created when there is none).
std::shared_ptr<TSakumotsuList> SakumotsuList();
// A new empty list that replaces the current one (a crop-selection frame being created).
std::shared_ptr<TSakumotsuList> NewSakumotsuList();

// The crop name of a tree or list text: ">" and blanks removed, then the part before the
// first "|" ("" when there is no "|").
std::string StripTreeText(std::string_view Text);
// "作物名登録なし", "作物名登録あり", "上位分類での登録あり", "下位作物での登録あり"; "" otherwise.
std::string TorokuText(int State);
// The crop belongs to the group 落葉果樹 (deciduous fruit trees).
bool IsRakuyokaju(const TSakumotsu& Rec);
// Hint lines (CR LF): name, "【上位分類】 " + UpperMarked, "【収穫部位】 " + part,
// "【別名】 " + other names, the registration-state text.
std::string SakumotsuHint(const TSakumotsu& Rec, const std::string& UpperMarked);
// The same with a first line "class: <class> id: <idsaku>".
std::string SakumotsuHintDebug(const TSakumotsu& Rec, const std::string& UpperMarked);

// Detail texts of the crop vocabulary and the crop table lists: a caption and its sub-items
// (missing sub-items count as empty).
std::string CvoDetailText(const std::string& Caption, const std::vector<std::string>& SubItems);
std::string Beppyo1DetailText(const std::string& Caption, const std::vector<std::string>& SubItems);
// The same for a list-view row: column 0 is the caption, the further columns the sub-items.
std::string CvoDetailText(const QTreeWidgetItem& Item);
std::string Beppyo1DetailText(const QTreeWidgetItem& Item);
