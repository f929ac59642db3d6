#include "database/sakumotsu_list.h"

#include <QTreeWidgetItem>

#include "database/acis_db.h"
#include "database/acis_session_views.h"

namespace {

std::mutex gListMutex;
std::shared_ptr<TSakumotsuList> gList;

const char* const kCrLf = "\r\n";

std::string DetailText(const std::vector<const char*>& labels, const std::string& caption,
                       const std::vector<std::string>& sub) {
  std::string s = labels[0] + caption;
  for (size_t i = 1; i < labels.size(); ++i) {
    s += kCrLf;
    s += labels[i];
    if (i - 1 < sub.size()) s += sub[i - 1];
  }
  return s;
}

const std::vector<const char*>& CvoLabels() {
  static const std::vector<const char*> l = {
      "[上位作物] ", "[農作物名] ", "[科名] ", "[別名] ", "[ひらがな] ", "[学名] ", "[英名] ",
      "[収穫部位] ", "[栽培方法] ", "[用途] ", "[成熟度] ", "[備考] ", "[作物名] ", "[ITガイドライン小分類] ",
      "[食品分類表の食品名] ", "[食品標準成分表の食品名] ", "[品種登録DB植物種名] ", "[品種登録DB品種名称] ",
      "[NCBI ID] ", "[WikiPedia項目名] ", "[AGROVOC ID] "};
  return l;
}

const std::vector<const char*>& Beppyo1Labels() {
  static const std::vector<const char*> l = {"[大作物群] ", "[中作物群] ", "[小作物群] ", "[作 物 名] ",
                                             "[別    名] ", "[収穫部位] ", "[よ    み] "};
  return l;
}

std::vector<std::string> SubItemsOf(const QTreeWidgetItem& item) {
  std::vector<std::string> out;
  for (int c = 1; c < item.columnCount(); ++c) out.push_back(item.text(c).toStdString());
  return out;
}

}  // namespace

bool TSakumotsuList::Load(TAcisDB& Db) {
  if (!Db.Query("SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vg_sakumotsu2;", false))
    return false;
  auto& t = *Db.FTbl;
  for (t.MoveFirst(); !t.Eof(); t.Next()) {
    if (t.FieldAsString(1) == "0000000000000000") continue;
    auto r = std::make_unique<TSakumotsu>();
    r->Class = static_cast<int>(t.FieldAsInteger(0));
    r->idsaku = t.FieldAsString(1);
    r->toroku = static_cast<int>(t.FieldAsInteger(2));
    r->shukakubui = t.FieldAsString(3);
    r->sakumotsu = t.FieldAsString(4);
    r->betsumei = t.FieldAsString(5);
    r->gunmei = t.FieldAsString(6);
    FItems.push_back(std::move(r));
  }
  FLoaded = true;
  FGeneration = SessionGeneration();
  return true;
}

void TSakumotsuList::Append(TSakumotsu Rec) { FItems.push_back(std::make_unique<TSakumotsu>(std::move(Rec))); }

void TSakumotsuList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) return;
  const std::string& id = FItems[static_cast<size_t>(Index)]->idsaku;
  FHints.erase(id);
  FDebugHints.erase(id);
  FItems.erase(FItems.begin() + Index);
}

void TSakumotsuList::Clear() {
  FItems.clear();
  FHints.clear();
  FDebugHints.clear();
  FLoaded = false;
}

bool TSakumotsuList::IsStale() const { return FLoaded && FGeneration != SessionGeneration(); }

bool TSakumotsuList::EnsureLoaded(TAcisDB& Db) {
  if (!Empty() && !IsStale()) return true;
  if (IsStale()) {
    // Keep the old records until the new ones are there: a failed reload changes nothing.
    TSakumotsuList fresh;
    if (!fresh.Load(Db)) return false;
    FItems = std::move(fresh.FItems);
    FHints.clear();
    FDebugHints.clear();
    FLoaded = true;
    FGeneration = fresh.FGeneration;
    return true;
  }
  return Load(Db);
}

std::string TSakumotsuList::Hint(const TSakumotsu& Rec, TAcisDB& Db, bool Debug) {
  auto& cache = Debug ? FDebugHints : FHints;
  auto it = cache.find(Rec.idsaku);
  if (it != cache.end()) return it->second;
  const std::string upper = Db.UpperGroupMarked(Rec.sakumotsu);
  std::string h = Debug ? SakumotsuHintDebug(Rec, upper) : SakumotsuHint(Rec, upper);
  cache.emplace(Rec.idsaku, h);
  return h;
}

std::shared_ptr<TSakumotsuList> SakumotsuList() {
  std::lock_guard<std::mutex> lock(gListMutex);
  if (!gList) gList = std::make_shared<TSakumotsuList>();
  return gList;
}

std::shared_ptr<TSakumotsuList> NewSakumotsuList() {
  auto l = std::make_shared<TSakumotsuList>();
  std::lock_guard<std::mutex> lock(gListMutex);
  gList = l;
  return l;
}

std::string StripTreeText(std::string_view Text) {
  std::string t;
  for (char c : Text)
    if (c != '>' && c != ' ') t += c;
  size_t bar = t.find('|');
  if (bar == std::string::npos) return std::string();
  return t.substr(0, bar);
}

std::string TorokuText(int State) {
  switch (State) {
    case 0: return "作物名登録なし";
    case 1: return "作物名登録あり";
    case 2: return "上位分類での登録あり";
    case 3: return "下位作物での登録あり";
    default: return std::string();
  }
}

bool IsRakuyokaju(const TSakumotsu& Rec) { return Rec.gunmei == "落葉果樹"; }

std::string SakumotsuHint(const TSakumotsu& Rec, const std::string& UpperMarked) {
  return Rec.sakumotsu + kCrLf + "【上位分類】 " + UpperMarked + kCrLf + "【収穫部位】 " + Rec.shukakubui + kCrLf +
         "【別名】 " + Rec.betsumei + kCrLf + TorokuText(Rec.toroku);
}

std::string SakumotsuHintDebug(const TSakumotsu& Rec, const std::string& UpperMarked) {
  return "class: " + std::to_string(Rec.Class) + " id: " + Rec.idsaku + kCrLf + SakumotsuHint(Rec, UpperMarked);
}

std::string CvoDetailText(const std::string& Caption, const std::vector<std::string>& SubItems) {
  return DetailText(CvoLabels(), Caption, SubItems);
}

std::string Beppyo1DetailText(const std::string& Caption, const std::vector<std::string>& SubItems) {
  return DetailText(Beppyo1Labels(), Caption, SubItems);
}

std::string CvoDetailText(const QTreeWidgetItem& Item) {
  return CvoDetailText(Item.text(0).toStdString(), SubItemsOf(Item));
}

std::string Beppyo1DetailText(const QTreeWidgetItem& Item) {
  return Beppyo1DetailText(Item.text(0).toStdString(), SubItemsOf(Item));
}
