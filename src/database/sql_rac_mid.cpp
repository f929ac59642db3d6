// rac_mid(0, ippanmei, idbyochu): the RAC code of an ingredient for the pest class of a use, as
// the mid1..mid5 columns of the search working tables hold it.  The plain form is, per row and
// ingredient slot,
//   (select if(count(*) > 0, mid, (select max(mid) from raccode where ippanmei = seibunN
//    group by ippanmei)) from raccode where ippanmei = seibunN and cid = substr(idbyochu, 1, 1))
// which SQLite runs over the three code tables behind raccode, materialised once per statement
// with an automatic index on (ippanmei, cid) that also holds mid.  Its answers:
//  - the ingredient has rows of the class: the mid of the first of them in that index, the
//    smallest code of the class (NULL when one of them has none);
//  - it has rows of other classes only (or the use has no pest): its largest code;
//  - no row at all (or no ingredient): NULL.
// rac_mid reads raccode once per run of a statement (auxiliary data of the constant first
// argument) into those answers, so a slot costs a hash look-up instead of two subqueries, and
// a change of raccode shows in the next statement.  The class and ingredient compare as the
// plain form compares them: texts byte for byte (the working tables hold both as text); a use
// without a pest has no class.
#include <sqlite3.h>

#include <algorithm>
#include <functional>
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

struct TStringHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

struct TIngredientCodes {
  std::vector<std::pair<std::string, TValue>> byClass;  // class, code of its first row
  TValue largest;                                        // max(mid) over all its rows (NULL: none)
};

struct TMidTable {
  std::unordered_map<std::string, TIngredientCodes, TStringHash, std::equal_to<>> byIngredient;
};

// The text of a TEXT value; false for anything else.
bool TextOf(sqlite3_value* v, std::string_view& out) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return false;
  out = sqlfn::Text(v);
  return true;
}

// The first character of a UTF-8 text (substr(x, 1, 1)).
std::string_view FirstChar(std::string_view s) {
  if (s.empty()) return s;
  const unsigned char c = static_cast<unsigned char>(s[0]);
  const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return s.substr(0, std::min(n, s.size()));
}

bool Fail(sqlite3* db, sqlite3_stmt* st, std::string& error) {
  error = std::string("rac_mid: ") + sqlite3_errmsg(db);
  sqlite3_finalize(st);
  return false;
}

// Runs Sql and hands every row to Row; false with error set on failure.
template <typename RowFn>
bool ForEachRow(sqlite3* db, const char* Sql, std::string& error, RowFn Row) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, Sql, -1, &st, nullptr) != SQLITE_OK) return Fail(db, st, error);
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) Row(st);
  if (rc != SQLITE_DONE) return Fail(db, st, error);
  sqlite3_finalize(st);
  return true;
}

std::unique_ptr<TMidTable> LoadMidTable(sqlite3* db, std::string& error) {
  auto table = std::make_unique<TMidTable>();
  // Largest code per ingredient (the group's max, as the plain form's inner subquery).
  bool ok = ForEachRow(db, "SELECT ippanmei, max(mid) FROM raccode WHERE ippanmei IS NOT NULL GROUP BY ippanmei",
                       error, [&](sqlite3_stmt* st) {
                         std::string_view ippanmei;
                         if (!TextOf(sqlite3_column_value(st, 0), ippanmei)) return;
                         table->byIngredient[std::string(ippanmei)].largest.reset(
                             sqlite3_value_dup(sqlite3_column_value(st, 1)));
                       });
  // The first row of each ingredient and class in the order of (ippanmei, cid, mid): what the
  // automatic index gives the plain form first.  A class that is no text never equals one.
  ok = ok && ForEachRow(db,
                        "SELECT ippanmei, cid, mid FROM raccode WHERE ippanmei IS NOT NULL AND typeof(cid) = 'text' "
                        "ORDER BY ippanmei, cid, mid",
                        error, [&](sqlite3_stmt* st) {
                          std::string_view ippanmei, cid;
                          if (!TextOf(sqlite3_column_value(st, 0), ippanmei) ||
                              !TextOf(sqlite3_column_value(st, 1), cid))
                            return;
                          auto it = table->byIngredient.find(ippanmei);
                          if (it == table->byIngredient.end()) return;
                          auto& classes = it->second.byClass;
                          if (!classes.empty() && classes.back().first == cid) return;  // not the first row
                          classes.emplace_back(std::string(cid), TValue(sqlite3_value_dup(sqlite3_column_value(st, 2))));
                        });
  if (!ok) return nullptr;
  return table;
}

void Result(sqlite3_context* ctx, const TValue& v) {
  if (v) sqlite3_result_value(ctx, v.get());
  else sqlite3_result_null(ctx);
}

void RacMidFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "rac_mid", [&] {
    if (argc != 3) {
      sqlite3_result_error(ctx, "rac_mid: three arguments", -1);
      return;
    }
    auto* table = static_cast<TMidTable*>(sqlite3_get_auxdata(ctx, 0));
    if (!table) {
      std::string error;
      std::unique_ptr<TMidTable> loaded = LoadMidTable(sqlite3_context_db_handle(ctx), error);
      if (!loaded) {
        sqlite3_result_error(ctx, error.c_str(), -1);
        return;
      }
      sqlite3_set_auxdata(ctx, 0, loaded.release(), [](void* p) { delete static_cast<TMidTable*>(p); });
      table = static_cast<TMidTable*>(sqlite3_get_auxdata(ctx, 0));
      if (!table) {
        sqlite3_result_error(ctx, "rac_mid: the first argument must be a constant", -1);
        return;
      }
    }
    std::string_view ippanmei;
    if (!TextOf(argv[1], ippanmei)) {
      sqlite3_result_null(ctx);
      return;
    }
    auto it = table->byIngredient.find(ippanmei);
    if (it == table->byIngredient.end()) {
      sqlite3_result_null(ctx);
      return;
    }
    const TIngredientCodes& codes = it->second;
    // The class as substr gives it for a text or a number; a blob or NULL has none.
    const int type = sqlite3_value_type(argv[2]);
    if (type == SQLITE_TEXT || type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
      const std::string_view cls = FirstChar(sqlfn::Text(argv[2]));
      for (const auto& [cid, mid] : codes.byClass)
        if (cid == cls) {
          Result(ctx, mid);
          return;
        }
    }
    Result(ctx, codes.largest);
  });
}

}  // namespace

void RegisterRacMid(sqlite3* db) {
  sqlite3_create_function_v2(db, "rac_mid", 3, SQLITE_UTF8, nullptr, RacMidFunc, nullptr, nullptr, nullptr);
}
