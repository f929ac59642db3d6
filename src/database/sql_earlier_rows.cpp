// earlier_rows(n, rowid, key1..keyn): the rowids, below the given one, of the rows that came
// earlier in this run of the statement with the same key values, as a JSON array ("[3,17]"),
// or NULL when there are none. Values compare as SELECT DISTINCT compares them: NULL equals
// NULL, integers and reals by their number, texts and blobs by their bytes, and a text never
// equals a number or a blob. The rows seen are kept for the run of the statement (auxiliary
// data of the constant first argument, which SQLite drops when the statement is reset); only
// rowids below the given one are answered, so a scan in rowid order gets exactly the rows
// before it also when SQLite runs the scan again within one run.
//
// earlier_rows_list(rowid): the answer earlier_rows just gave for that rowid, for the
// subquery of the same WHERE that compares the rows ("earlier_rows(...) IS NULL OR NOT EXISTS
// (... json_each(earlier_rows_list(t.rowid)) ...)"): the subquery runs only for the few rows
// that have earlier rows with their key. Asked for another rowid it fails.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "database/sql_function_util.h"
#include "database/sql_functions.h"

namespace {

// The keys seen, in one arena, found through an open-addressing table of their hashes: a row
// costs a hash and a probe, no allocation of its own (the function runs for every row of a
// trade-name view).
struct TSeenKeys {
  struct TEntry {
    size_t hash;
    uint32_t off, len;     // the key's bytes in arena
    int64_t firstRow;      // the first rowid seen with the key
    int32_t more = -1;     // index into moreRows of the rowids after the first, or -1
  };
  std::string arena;
  std::vector<TEntry> entries;
  std::vector<uint32_t> slots;  // 0: empty, else entry index + 1; size a power of two
  std::vector<std::vector<int64_t>> moreRows;
  std::string buffer;  // the key being built, reused from row to row

  // The entry of the key, made when new (New tells which).
  TEntry& Find(const std::string& key, bool& isNew) {
    if (slots.empty() || entries.size() * 2 >= slots.size()) Grow();
    const size_t h = std::hash<std::string_view>{}(key);
    const size_t mask = slots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const uint32_t s = slots[i];
      if (s == 0) {
        entries.push_back({h, static_cast<uint32_t>(arena.size()), static_cast<uint32_t>(key.size()), 0, -1});
        arena += key;
        slots[i] = static_cast<uint32_t>(entries.size());
        isNew = true;
        return entries.back();
      }
      TEntry& e = entries[s - 1];
      if (e.hash == h && e.len == key.size() && arena.compare(e.off, e.len, key) == 0) {
        isNew = false;
        return e;
      }
    }
  }

 private:
  void Grow() {
    std::vector<uint32_t> bigger(slots.empty() ? 1024 : slots.size() * 2, 0);
    const size_t mask = bigger.size() - 1;
    for (size_t k = 0; k < entries.size(); ++k) {
      size_t i = entries[k].hash & mask;
      while (bigger[i] != 0) i = (i + 1) & mask;
      bigger[i] = static_cast<uint32_t>(k + 1);
    }
    slots.swap(bigger);
  }
};

void AppendRaw(std::string& out, const void* p, size_t n) { out.append(static_cast<const char*>(p), n); }

// One value in a form where equal values (in DISTINCT's sense) give equal bytes.
void Encode(std::string& out, sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      out.push_back('N');
      return;
    case SQLITE_INTEGER: {
      const int64_t i = sqlite3_value_int64(v);
      out.push_back('I');
      AppendRaw(out, &i, sizeof i);
      return;
    }
    case SQLITE_FLOAT: {
      const double d = sqlite3_value_double(v);
      // A real that is a whole number in the 64-bit range equals that integer.
      if (d >= -9223372036854775808.0 && d < 9223372036854775808.0 && std::floor(d) == d) {
        const int64_t i = static_cast<int64_t>(d);
        out.push_back('I');
        AppendRaw(out, &i, sizeof i);
        return;
      }
      out.push_back('R');
      AppendRaw(out, &d, sizeof d);
      return;
    }
    default: {
      const bool text = sqlite3_value_type(v) == SQLITE_TEXT;
      const void* p = text ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
      const uint32_t n = static_cast<uint32_t>(sqlite3_value_bytes(v));
      out.push_back(text ? 'T' : 'B');
      AppendRaw(out, &n, sizeof n);
      if (p && n) AppendRaw(out, p, n);
    }
  }
}

// The last answer of earlier_rows on the connection.
struct TLastAnswer {
  int64_t rowid = 0;
  bool set = false;
  bool isNull = true;
  std::string list;
};

void Remember(sqlite3_context* ctx, int64_t rowid, const std::string* list) {
  auto* last = static_cast<TLastAnswer*>(sqlite3_user_data(ctx));
  last->rowid = rowid;
  last->set = true;
  last->isNull = list == nullptr;
  if (list) last->list = *list;
}

void EarlierRowsListFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto* last = static_cast<TLastAnswer*>(sqlite3_user_data(ctx));
  if (argc != 1 || !last->set || sqlite3_value_int64(argv[0]) != last->rowid) {
    sqlite3_result_error(ctx, "earlier_rows_list: no answer of earlier_rows for this row", -1);
    return;
  }
  if (last->isNull)
    sqlite3_result_null(ctx);
  else
    sqlfn::ResultText(ctx, last->list);
}

void EarlierRowsFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "earlier_rows", [&] {
    const int64_t keys = argc > 1 ? sqlite3_value_int64(argv[0]) : -1;
    if (keys < 0 || keys > argc - 2) {
      sqlite3_result_error(ctx, "earlier_rows: the first argument is the number of key values", -1);
      return;
    }
    auto* seen = static_cast<TSeenKeys*>(sqlite3_get_auxdata(ctx, 0));
    if (!seen) {
      sqlite3_set_auxdata(ctx, 0, new TSeenKeys, [](void* p) { delete static_cast<TSeenKeys*>(p); });
      seen = static_cast<TSeenKeys*>(sqlite3_get_auxdata(ctx, 0));
      if (!seen) {  // the first argument is no constant, or SQLite could not keep the data
        sqlite3_result_error(ctx, "earlier_rows: the first argument must be a constant", -1);
        return;
      }
    }
    const int64_t rowid = sqlite3_value_int64(argv[1]);
    std::string& key = seen->buffer;
    key.clear();
    for (int i = 2; i < 2 + keys; ++i) Encode(key, argv[i]);
    bool isNew = false;
    TSeenKeys::TEntry& e = seen->Find(key, isNew);
    if (isNew) {
      e.firstRow = rowid;
      Remember(ctx, rowid, nullptr);
      sqlite3_result_null(ctx);
      return;
    }
    std::string list;
    bool known = e.firstRow == rowid;
    if (e.firstRow < rowid) list = "[" + std::to_string(e.firstRow);
    if (e.more >= 0) {
      // The list of one key grows with every row of it: it stops at the longest text.
      const size_t limit = sqlfn::LengthLimit(ctx);
      for (int64_t r : seen->moreRows[static_cast<size_t>(e.more)]) {
        if (r == rowid) known = true;
        if (r >= rowid) continue;
        list += list.empty() ? "[" : ",";
        list += std::to_string(r);
        sqlfn::CheckLength(list.size() + 1, limit);
      }
    }
    if (!known) {
      if (e.more < 0) {
        e.more = static_cast<int32_t>(seen->moreRows.size());
        seen->moreRows.emplace_back();
      }
      seen->moreRows[static_cast<size_t>(e.more)].push_back(rowid);
    }
    if (list.empty()) {
      Remember(ctx, rowid, nullptr);
      sqlite3_result_null(ctx);
    } else {
      list += "]";
      Remember(ctx, rowid, &list);
      sqlfn::ResultText(ctx, list);
    }
  });
}

}  // namespace

void RegisterEarlierRows(sqlite3* db) {
  // Not deterministic: its answer depends on the rows before, so SQLite must call it once per
  // row, where it stands.
  auto* last = new TLastAnswer;
  sqlite3_create_function_v2(db, "earlier_rows_list", 1, SQLITE_UTF8, last, EarlierRowsListFunc, nullptr, nullptr,
                             nullptr);
  // This registration owns the shared answer: SQLite frees it with the connection.
  sqlite3_create_function_v2(db, "earlier_rows", -1, SQLITE_UTF8, last, EarlierRowsFunc, nullptr, nullptr,
                             [](void* p) { delete static_cast<TLastAnswer*>(p); });
}
