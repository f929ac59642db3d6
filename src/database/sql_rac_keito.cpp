// rac_keito(0, ippanmei, idbyochu): the chemical group of an ingredient for the pest class of
// a row, as the "Rk" result views show it: the group of the ingredient's row for the class
// (the first character of idbyochu) in the per-connection table tRacKeito, even when that
// group is NULL; without such a row the ingredient's fallback group; NULL for an ingredient
// the table does not know. It gives what
//   (select keito from tRacKeito where ippanmei = ? and (fb = 1 or cid = substr(?, 1, 1))
//    order by fb limit 1)
// gives, without a subquery per ingredient slot of every row. The table is read once per run
// of a statement (auxiliary data of the constant first argument).
#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "database/sql_function_util.h"
#include "database/sql_functions.h"

namespace {

struct TValueFree {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using TValue = std::unique_ptr<sqlite3_value, TValueFree>;

struct TRacGroups {
  std::vector<std::pair<std::string, TValue>> byClass;  // class, group (fb 0 rows)
  TValue fallback;                                       // fb 1 row's group
  bool hasFallback = false;
};

struct TRacTable {
  std::unordered_map<std::string, TRacGroups> byIngredient;
};

// The text SQLite compares for a value of a TEXT column: texts as they are; numbers as their
// text; blobs and NULL never equal a text.
bool AsText(sqlite3_value* v, std::string_view& out) {
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL || type == SQLITE_BLOB) return false;
  out = sqlfn::Text(v);
  return true;
}

// The first character of a UTF-8 text (substr(x, 1, 1)).
std::string_view FirstChar(std::string_view s) {
  if (s.empty()) return s;
  const unsigned char c = static_cast<unsigned char>(s[0]);
  size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return s.substr(0, std::min(n, s.size()));
}

std::unique_ptr<TRacTable> LoadRacTable(sqlite3* db, std::string& error) {
  auto table = std::make_unique<TRacTable>();
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT ippanmei, fb, cid, keito FROM temp.tRacKeito", -1, &st, nullptr) != SQLITE_OK) {
    error = std::string("rac_keito: ") + sqlite3_errmsg(db);
    sqlite3_finalize(st);
    return nullptr;
  }
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    std::string_view ippanmei;
    if (!AsText(sqlite3_column_value(st, 0), ippanmei)) continue;
    TRacGroups& g = table->byIngredient[std::string(ippanmei)];
    TValue keito(sqlite3_value_dup(sqlite3_column_value(st, 3)));
    if (sqlite3_column_int64(st, 1) == 1) {
      g.fallback = std::move(keito);
      g.hasFallback = true;
    } else {
      std::string_view cid;
      if (AsText(sqlite3_column_value(st, 2), cid)) g.byClass.emplace_back(std::string(cid), std::move(keito));
    }
  }
  if (rc != SQLITE_DONE) error = std::string("rac_keito: ") + sqlite3_errmsg(db);
  sqlite3_finalize(st);
  if (!error.empty()) return nullptr;
  return table;
}

void RacKeitoFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "rac_keito", [&] {
    if (argc != 3) {
      sqlite3_result_error(ctx, "rac_keito: three arguments", -1);
      return;
    }
    auto* table = static_cast<TRacTable*>(sqlite3_get_auxdata(ctx, 0));
    if (!table) {
      std::string error;
      std::unique_ptr<TRacTable> loaded = LoadRacTable(sqlite3_context_db_handle(ctx), error);
      if (!loaded) {
        sqlite3_result_error(ctx, error.c_str(), -1);
        return;
      }
      sqlite3_set_auxdata(ctx, 0, loaded.release(), [](void* p) { delete static_cast<TRacTable*>(p); });
      table = static_cast<TRacTable*>(sqlite3_get_auxdata(ctx, 0));
      if (!table) {
        sqlite3_result_error(ctx, "rac_keito: the first argument must be a constant", -1);
        return;
      }
    }
    std::string_view ippanmei;
    if (!AsText(argv[1], ippanmei)) {
      sqlite3_result_null(ctx);
      return;
    }
    auto it = table->byIngredient.find(std::string(ippanmei));
    if (it == table->byIngredient.end()) {
      sqlite3_result_null(ctx);
      return;
    }
    const TRacGroups& g = it->second;
    std::string_view idbyochu;
    if (AsText(argv[2], idbyochu)) {
      const std::string_view cls = FirstChar(idbyochu);
      for (const auto& [cid, keito] : g.byClass)
        if (cid == cls) {
          sqlite3_result_value(ctx, keito.get());
          return;
        }
    }
    if (g.hasFallback)
      sqlite3_result_value(ctx, g.fallback.get());
    else
      sqlite3_result_null(ctx);
  });
}

}  // namespace

void RegisterRacKeito(sqlite3* db) {
  sqlite3_create_function_v2(db, "rac_keito", 3, SQLITE_UTF8, nullptr, RacKeitoFunc, nullptr, nullptr, nullptr);
}
