#include "database/lookup_indexes.h"

#include <vector>

#include "database/sqlite_db.h"

namespace {

struct TIdx {
  const char* table;
  const char* index;
  std::vector<const char*> columns;
  const char* where = nullptr;  // a partial index: only the statements that state this use it
};

const std::vector<TIdx>& LookupIndexes() {
  static const std::vector<TIdx> kIdx = {
      {"rac2", "idxRac2IppanmeiCid", {"ippanmei", "cid"}},
      {"raccode", "idxRaccodeIppanmeiCid", {"ippanmei", "cid"}},
      {"frac_mg", "idxFracMgIppanmei", {"ippanmei"}},
      {"irac_mg", "idxIracMgIppanmei", {"ippanmei"}},
      {"hrac_mg", "idxHracMgIppanmei", {"ippanmei"}},
      {"dokusei", "idxDokuseiIppanmei", {"ippanmei"}},
      {"dokusei", "idxDokuseiSeibunmei", {"seibunmei"}},
      {"iso", "idxIsoIppanmei", {"ippanmei"}},
      {"seibun", "idxSeibunIppanmei", {"ippanmei"}},
      {"bunrui", "idxBunruiSeibun", {"seibun"}},
      // The products registered on a set of crops, read from the index alone (the chemical
      // tab's crop restriction). Partial, so that a statement uses it only when it says
      // "bango IS NOT NULL": the crop search keeps reading the uses of a crop through
      // idxTekiyoSakumotsu, in the order of the use table, not by registration number.
      {"m_tekiyo", "idxTekiyoSakumotsuBango", {"sakumotsu", "bango"}, "bango IS NOT NULL"},
  };
  return kIdx;
}

std::string QuoteName(const std::string& s) {
  std::string r = "\"";
  for (char c : s) {
    if (c == '"') r += '"';
    r += c;
  }
  return r + "\"";
}

}  // namespace

int CreateLookupIndexes(TSQLiteDb& Db, const std::function<void(const std::string&)>& Log) {
  std::vector<std::string> schemas;
  try {
    auto t = Db.GetTable("PRAGMA database_list;");
    for (t->MoveFirst(); !t->Eof(); t->Next()) {
      std::string name = t->FieldAsString(1);
      if (name != "temp") schemas.push_back(name);
    }
  } catch (const ESQLiteException&) {
    return 0;
  }
  int made = 0;
  for (const std::string& schema : schemas) {
    for (const TIdx& x : LookupIndexes()) {
      try {
        auto t = Db.GetTableBound("SELECT type FROM " + QuoteName(schema) + ".sqlite_master WHERE name = ?1 COLLATE NOCASE",
                                  {std::string(x.table)});
        if (t->Count() == 0 || t->FieldAsString(0) != "table") continue;
        // Only when every column exists (an older layout may lack one).
        bool complete = true;
        std::string columns;
        for (const char* c : x.columns) {
          auto col = Db.GetTableBound("SELECT count(*) FROM pragma_table_info(?1, ?2) WHERE name = ?3 COLLATE NOCASE",
                                      {std::string(x.table), schema, std::string(c)});
          if (col->FieldAsInteger(0) == 0) complete = false;
          columns += (columns.empty() ? "" : ", ") + std::string(c);
        }
        if (!complete) continue;
        // A table already read through an index on the same leading column needs no other
        // (for a one-column look-up); a two-column one needs its own.
        const bool single = x.columns.size() == 1;
        auto have = Db.GetTableBound(
            "SELECT count(*) FROM pragma_index_list(?1, ?2) AS l, pragma_index_info(l.name, ?2) AS i WHERE i.seqno = 0 "
            "AND i.name = ?3 COLLATE NOCASE AND (?4 = 1 OR l.name = ?5 COLLATE NOCASE)",
            {std::string(x.table), schema, std::string(x.columns[0]), single ? 1 : 0, std::string(x.index)});
        if (have->FieldAsInteger(0) > 0) continue;
        Db.ExecSQL("CREATE INDEX IF NOT EXISTS " + QuoteName(schema) + "." + x.index + " ON " + x.table + " (" +
                   columns + ")" + (x.where ? std::string(" WHERE ") + x.where : std::string()) + ";");
        ++made;
      } catch (const ESQLiteException& e) {
        if (Log) Log(std::string("index ") + x.index + ": " + e.what());
      }
    }
  }
  return made;
}
