#include "database/acis_fill.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QStringList>
#include <charconv>
#include <stdexcept>
#include <unordered_set>

#include "database/acis_db.h"
#include "database/field_caption.h"
#include "database/sqlite_db.h"
#include "foundation/message_sink.h"

namespace {

QStringList ToQt(const std::vector<std::string>& items) {
  QStringList l;
  l.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& s : items) l.append(QString::fromStdString(s));
  return l;
}

// The hourglass while a grid fills (only where there is a GUI application).
class TWaitCursor {
 public:
  TWaitCursor() : FOn(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    if (FOn) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (FOn) QGuiApplication::restoreOverrideCursor();
  }

 private:
  bool FOn;
};

// Strict integer of a registration-number column: blanks around it allowed, nothing else.
int64_t BangoValue(const std::string& text) {
  size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  int64_t v = 0;
  if (b != std::string::npos) {
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc() && r.ptr == last) return v;
  }
  throw std::invalid_argument("'" + text + "' is not a valid integer value");
}

bool QueryBound(TAcisDB& db, const std::string& sql, std::initializer_list<TSQLiteParam> params) {
  try {
    db.FTbl = db.FDb->GetTableBound(sql, params);
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "");
    return false;
  }
  return db.FTbl->Count() > 0;
}

}  // namespace

// ---- Qt adapters ----------------------------------------------------------------------------

namespace {
std::string ItemText(const QComboBox* c, int i) { return c->itemText(i).toStdString(); }
std::string ItemText(const QListWidget* l, int i) { return l->item(i)->text().toStdString(); }
}  // namespace

template <class TControl>
TQtItems<TControl>::~TQtItems() {
  Flush();
  if (FDepth > 0 && FControl) FControl->setUpdatesEnabled(true);
}

template <class TControl>
void TQtItems<TControl>::BeginUpdate() {
  if (FDepth++ == 0 && FControl) FControl->setUpdatesEnabled(false);
}

template <class TControl>
void TQtItems<TControl>::EndUpdate() {
  if (FDepth > 0 && --FDepth == 0) {
    Flush();
    if (FControl) FControl->setUpdatesEnabled(true);
  }
}

template <class TControl>
void TQtItems<TControl>::Flush() {
  if (FPending.empty() || !FControl) return;
  FControl->addItems(ToQt(FPending));
  FPending.clear();
}

template <class TControl>
void TQtItems<TControl>::Clear() {
  FPending.clear();
  if (FControl) FControl->clear();
}

template <class TControl>
void TQtItems<TControl>::Add(const std::string& Text) {
  FPending.push_back(Text);
  if (FDepth == 0) Flush();
}

template <class TControl>
int TQtItems<TControl>::Count() const {
  return (FControl ? FControl->count() : 0) + static_cast<int>(FPending.size());
}

template <class TControl>
std::string TQtItems<TControl>::Item(int Index) const {
  const int n = FControl ? FControl->count() : 0;
  if (Index < n) return ItemText(FControl, Index);
  return FPending.at(static_cast<size_t>(Index - n));
}

template class TQtItems<QComboBox>;
template class TQtItems<QListWidget>;

// ---- grid data ------------------------------------------------------------------------------

std::string_view TGridData::Cell(int Row, int Col) const {
  const int cols = ColCount();
  if (Row < 0 || Row >= FRows || Col < 0 || Col >= cols) return {};
  const size_t i = static_cast<size_t>(Row) * static_cast<size_t>(cols) + static_cast<size_t>(Col);
  const uint32_t b = i == 0 ? 0 : FEnds[i - 1];
  return std::string_view(FArena).substr(b, FEnds[i] - b);
}

size_t TGridData::MemoryUsed() const {
  size_t n = sizeof(*this) + FArena.capacity() + FEnds.capacity() * sizeof(uint32_t);
  for (const std::string& t : FTitles) n += sizeof(std::string) + t.capacity();
  return n;
}

TGridData TGridData::FromTable(TSQLiteTbl& Tbl, std::vector<std::string> Titles, const std::function<void()>& Breathe) {
  TGridData d;
  d.FTitles = std::move(Titles);
  d.FTitles.resize(static_cast<size_t>(Tbl.ColCount()));
  const int start = Tbl.Row();
  const int rows = Tbl.Count() - start;
  if (rows <= 0) return d;
  const int cols = Tbl.ColCount();
  d.FRows = rows;
  d.FEnds.reserve(static_cast<size_t>(rows) * static_cast<size_t>(cols));
  // The result's own arena is a good estimate of the text it holds.
  d.FArena.reserve(Tbl.MemoryUsed() * (static_cast<size_t>(rows)) / static_cast<size_t>(Tbl.Count()));
  char num[32];
  for (; !Tbl.Eof(); Tbl.Next()) {
    for (int c = 0; c < cols; ++c) {
      switch (Tbl.FieldType(c)) {
        case sctNull:
          break;
        case sctInteger: {
          auto r = std::to_chars(num, num + sizeof num, Tbl.FieldAsInteger(c));
          d.FArena.append(num, r.ptr);
          break;
        }
        case sctFloat:
          d.FArena += Tbl.Fields(c);
          break;
        default:
          d.FArena += Tbl.FieldText(c);
      }
      if (d.FArena.size() > UINT32_MAX) throw std::length_error("grid text too large");
      d.FEnds.push_back(static_cast<uint32_t>(d.FArena.size()));
    }
    if (Breathe) Breathe();
  }
  d.FArena.shrink_to_fit();
  Tbl.MoveTo(start);
  return d;
}

// ---- registration-number items --------------------------------------------------------------

std::string BangoItem(int64_t Bango, std::string_view Name) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%5lld ", static_cast<long long>(Bango));
  return buf + std::string(Name);
}

namespace {
// Position after the number of an item, and where the number starts.
void SplitItem(std::string_view item, size_t& numBegin, size_t& numEnd) {
  numBegin = item.find_first_not_of(' ');
  if (numBegin == std::string_view::npos) numBegin = item.size();
  numEnd = item.find(' ', numBegin);
  if (numEnd == std::string_view::npos) numEnd = item.size();
}
}  // namespace

std::string BangoOfItem(std::string_view Item) {
  if (Item.size() < 6) return std::string();
  size_t b, e;
  SplitItem(Item, b, e);
  return std::string(Item.substr(b, e - b));
}

std::string NameOfItem(std::string_view Item) {
  if (Item.size() < 6) return std::string();
  size_t b, e;
  SplitItem(Item, b, e);
  if (e >= Item.size()) return std::string();
  return std::string(Item.substr(e + 1));
}

// ---- fills ----------------------------------------------------------------------------------

TAcisCursorHold::TAcisCursorHold(TAcisDB& Db, const TSQLiteTbl* Only) : FDb(Db) {
  if (!Only || Only == Db.FTbl.get()) FHeld = std::move(Db.FTbl);
}

TAcisCursorHold::~TAcisCursorHold() {
  // A result a handler left meanwhile was read by that handler already.
  if (FHeld) FDb.FTbl = std::move(FHeld);
}

void TAcisDB::FillComboItems(TItemListTarget& Combo, int FieldIndex, bool Clear) {
  TAcisCursorHold t(*this);
  if (!t || t->Eof()) return;
  Combo.BeginUpdate();
  if (Clear) Combo.Clear();
  for (; !t->Eof(); t->Next()) {
    Combo.Add(t->Fields(FieldIndex));
    Breathe();
  }
  Combo.EndUpdate();
}

void TAcisDB::FillComboBango(TItemListTarget& Combo, bool Clear) {
  TAcisCursorHold t(*this);
  if (!t || t->Eof()) return;
  Combo.BeginUpdate();
  if (Clear) Combo.Clear();
  try {
    for (; !t->Eof(); t->Next()) {
      Combo.Add(BangoItem(BangoValue(t->Fields(0)), t->Fields(1)));
      Breathe();
    }
  } catch (...) {
    Combo.EndUpdate();
    throw;
  }
  Combo.EndUpdate();
}

void TAcisDB::FillListBango(TItemListTarget& List, bool Clear) { FillComboBango(List, Clear); }

void TAcisDB::FillListValues(TItemListTarget& List, int FieldIndex) {
  TAcisCursorHold t(*this);
  if (!t || t->Eof()) return;
  List.BeginUpdate();
  for (; !t->Eof(); t->Next()) {
    std::string v = t->Fields(FieldIndex);
    if (!v.empty()) List.Add(v);
    Breathe();
  }
  List.EndUpdate();
}

void TAcisDB::FillListUnique(TItemListTarget& List) {
  TAcisCursorHold t(*this);
  if (!t || t->Eof()) return;
  List.BeginUpdate();
  std::unordered_set<std::string> seen;
  for (int i = 0; i < List.Count(); ++i) seen.insert(List.Item(i));
  for (; !t->Eof(); t->Next()) {
    std::string v = t->Fields(0);
    if (!v.empty() && seen.insert(v).second) List.Add(v);
    Breathe();
  }
  List.EndUpdate();
}

// ---- grids ----------------------------------------------------------------------------------

bool TAcisDB::SetGrid(TGridFillTarget& Grid, const std::string& SQL) {
  std::unique_ptr<TSQLiteTbl> t;
  try {
    t = FDb->GetTable(SQL);
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "AcisDB.SetGrid ");
    return false;
  } catch (const std::exception& e) {
    ShowMemo("FDb.GetTable エラー", "TAcisDB.SetGrid  データ取得失敗",
             std::string("Exception\n---------\n") + e.what());
    return false;
  }
  FTbl = std::move(t);
  if (FTbl->Count() == 0) {
    ShowMessageBox(TMsgKind::Warning, "Quillmar", "検索条件に一致するデータはありません");
    return false;
  }
  TWaitCursor wait;
  const bool seizai = Grid.GridName() == "gdSeizai";
  std::vector<std::string> titles;
  titles.reserve(static_cast<size_t>(FTbl->ColCount()));
  for (int c = 0; c < FTbl->ColCount(); ++c) {
    std::string title = FieldCaption(FTbl->Columns(c));
    if (seizai && title == "毒性") title = "製剤毒性";
    titles.push_back(std::move(title));
  }
  FillGridFrom(Grid, *FTbl, std::move(titles));
  return true;
}

void TAcisDB::SetGridFromTable(TGridFillTarget& Grid, TSQLiteTbl& Tbl) {
  if (Tbl.Count() == 0 || Tbl.Eof()) return;
  std::vector<std::string> titles;
  for (int c = 0; c < Tbl.ColCount(); ++c) titles.push_back(FieldCaption(Tbl.Columns(c)));
  FillGridFrom(Grid, Tbl, std::move(titles));
}

void TAcisDB::FillGridFrom(TGridFillTarget& Grid, TSQLiteTbl& Tbl, std::vector<std::string> Titles) {
  // The rows are read while window messages run: when they are the current result, hold them
  // so that a query made by a handler meanwhile cannot free them.
  TAcisCursorHold hold(*this, &Tbl);
  Grid.BeginFill();
  try {
    Grid.SetData(TGridData::FromTable(Tbl, std::move(Titles), [this] { Breathe(); }));
  } catch (...) {
    Grid.EndFill();
    throw;
  }
  Grid.EndFill();
}

// ---- look-ups -------------------------------------------------------------------------------

std::string TAcisDB::GetIso(const std::string& Ippanmei) {
  if (!QueryBound(*this, "SELECT iso FROM iso WHERE ippanmei = ?1", {Ippanmei})) return Ippanmei;
  // An entry without an ISO name gives the general name, as no entry does.
  std::string iso = FTbl->FieldAsString(0);
  return iso.empty() ? Ippanmei : iso;
}

int TAcisDB::GetByochuCid(const std::string& Byochu) {
  if (!QueryBound(*this, "SELECT cid FROM byochu WHERE byochu = ?1;", {Byochu})) return -1;
  return static_cast<int>(FTbl->FieldAsInteger(0));
}

std::string IsoDisplayName(const std::string& Ippanmei) {
  if (!AcisDB) return Ippanmei;
  std::string iso = AcisDB->GetIso(Ippanmei);
  if (iso != Ippanmei) return iso + "(" + Ippanmei + ")";
  return Ippanmei;
}
