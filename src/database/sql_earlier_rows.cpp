// The functions by which the trade-name views keep the first of identical rows (SELECT
// DISTINCT without a B-tree of every whole row), in time linear in the rows however often a
// key repeats:
//
// earlier_rows(n, rowid, key1..keyn): NULL when no row below the given one with the same key
// values came earlier in this run of the statement (the row is the first of its key), else
// the rowid of the key's first row. Only rows that share a key can be identical, and most
// keys come once, so only the rows of repeated keys go on to the whole-row test below.
//
// earlier_rows_unseen(rowid): right after earlier_rows answered for that rowid: the rowid of
// the key's first row when its whole row has not yet been handed to earlier_rows_same (its
// key repeats for the first time now), else NULL. Asked for another rowid it fails.
//
// earlier_rows_row(v1..vm): the values in their compared form, as a BLOB.
//
// earlier_rows_same(rowid, first, v1..vm): 1 when a row below the given one with the same
// values came earlier in the run, else 0; the values are kept for the rows after. `first` is
// earlier_rows_row of the key's first row when earlier_rows_unseen named it, else NULL.
//
// Values compare as SELECT DISTINCT compares them: NULL equals NULL, integers and reals by
// their number, texts and blobs by their bytes, and a text never equals a number or a blob.
// Whole rows are kept as those bytes in one arena, found through a hash set (no list of
// earlier rows per key); the rows seen live for the run of the statement (auxiliary data of
// earlier_rows's constant first argument, which SQLite drops when the statement is reset).
// Rows are answered by rowid, so a scan in rowid order gets exactly the rows before it also
// when SQLite runs the scan again within one run.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/sql_function_util.h"
#include "database/sql_functions.h"

namespace {

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

// Byte strings with a number each, kept in one arena: a lookup costs a hash and a probe, no
// allocation of its own (the functions run for every row of a trade-name view).
struct TNumbered {
  std::string arena;
  sqlfn::TSpanSet set;
  std::vector<int64_t> numbers;

  // The index of bytes, added with the number when new (isNew tells which).
  size_t FindOrAdd(std::string_view bytes, int64_t number, bool& isNew) {
    const size_t h = sqlfn::TSpanSet::Hash(bytes);
    const int64_t k = set.Find(arena.data(), bytes, h);
    isNew = k < 0;
    if (!isNew) return static_cast<size_t>(k);
    const size_t off = arena.size();
    arena.append(bytes);
    numbers.push_back(number);
    return set.Add(off, bytes.size(), h);
  }
};

struct TLink;

// What one run of a statement has seen.
struct TSeen {
  TLink* link = nullptr;
  TNumbered keys;                 // key values -> the lowest rowid seen with them
  std::vector<bool> firstGiven;   // per key: its first row is among `rows`
  TNumbered rows;                 // whole rows of repeated keys -> the lowest rowid seen
  std::string buffer;             // the bytes being built, reused from row to row
  ~TSeen();
};

// The connection's link from earlier_rows to the functions that follow it for the same row.
struct TLink {
  TSeen* seen = nullptr;
  int64_t rowid = 0;
  size_t key = 0;
  int64_t unseen = -1;  // the key's first row to be handed over, or -1
};

TSeen::~TSeen() {
  if (link && link->seen == this) link->seen = nullptr;
}

TLink& Link(sqlite3_context* ctx) { return *static_cast<TLink*>(sqlite3_user_data(ctx)); }

// The state of earlier_rows's last answer when it was for rowid; nullptr otherwise.
TSeen* SeenFor(sqlite3_context* ctx, int64_t rowid) {
  TLink& l = Link(ctx);
  return l.seen && l.rowid == rowid ? l.seen : nullptr;
}

void EarlierRowsFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "earlier_rows", [&] {
    const int64_t keys = argc > 1 ? sqlite3_value_int64(argv[0]) : -1;
    if (keys < 0 || keys > argc - 2) {
      sqlite3_result_error(ctx, "earlier_rows: the first argument is the number of key values", -1);
      return;
    }
    auto* seen = static_cast<TSeen*>(sqlite3_get_auxdata(ctx, 0));
    if (!seen) {
      sqlite3_set_auxdata(ctx, 0, new TSeen, [](void* p) { delete static_cast<TSeen*>(p); });
      seen = static_cast<TSeen*>(sqlite3_get_auxdata(ctx, 0));
      if (!seen) {  // the first argument is no constant, or SQLite could not keep the data
        sqlite3_result_error(ctx, "earlier_rows: the first argument must be a constant", -1);
        return;
      }
      seen->link = &Link(ctx);
    }
    const int64_t rowid = sqlite3_value_int64(argv[1]);
    std::string& key = seen->buffer;
    key.clear();
    for (int i = 2; i < 2 + keys; ++i) Encode(key, argv[i]);
    bool isNew = false;
    const size_t k = seen->keys.FindOrAdd(key, rowid, isNew);
    if (isNew) seen->firstGiven.push_back(false);
    TLink& l = Link(ctx);
    l.seen = seen;
    l.rowid = rowid;
    l.key = k;
    l.unseen = -1;
    int64_t& first = seen->keys.numbers[k];
    if (isNew || rowid == first) {
      sqlite3_result_null(ctx);
      return;
    }
    sqlite3_result_int64(ctx, first);
    if (!seen->firstGiven[k]) l.unseen = first;
    // A row below the first (a scan out of rowid order) is the key's first from now on; its
    // whole row is kept by earlier_rows_same with the former first's.
    if (rowid < first) first = rowid;
  });
}

void EarlierRowsUnseenFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  TSeen* seen = SeenFor(ctx, sqlite3_value_int64(argv[0]));
  if (!seen) {
    sqlite3_result_error(ctx, "earlier_rows_unseen: no answer of earlier_rows for this row", -1);
    return;
  }
  const TLink& l = Link(ctx);
  if (l.unseen < 0) sqlite3_result_null(ctx);
  else sqlite3_result_int64(ctx, l.unseen);
}

void EarlierRowsRowFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "earlier_rows_row", [&] {
    std::string bytes;
    for (int i = 0; i < argc; ++i) Encode(bytes, argv[i]);
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  });
}

void EarlierRowsSameFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "earlier_rows_same", [&] {
    const int64_t rowid = argc >= 2 ? sqlite3_value_int64(argv[0]) : 0;
    TSeen* seen = argc >= 2 ? SeenFor(ctx, rowid) : nullptr;
    if (!seen) {
      sqlite3_result_error(ctx, "earlier_rows_same: no answer of earlier_rows for this row", -1);
      return;
    }
    TLink& l = Link(ctx);
    bool isNew = false;
    if (l.unseen >= 0) {
      if (sqlite3_value_type(argv[1]) != SQLITE_BLOB) {
        sqlite3_result_error(ctx, "earlier_rows_same: the first row of the key is missing", -1);
        return;
      }
      const auto* p = static_cast<const char*>(sqlite3_value_blob(argv[1]));
      const size_t n = static_cast<size_t>(sqlite3_value_bytes(argv[1]));
      const size_t r = seen->rows.FindOrAdd(std::string_view(p, n), l.unseen, isNew);
      if (!isNew && l.unseen < seen->rows.numbers[r]) seen->rows.numbers[r] = l.unseen;
      seen->firstGiven[l.key] = true;
      l.unseen = -1;
    }
    std::string& bytes = seen->buffer;
    bytes.clear();
    for (int i = 2; i < argc; ++i) Encode(bytes, argv[i]);
    const size_t r = seen->rows.FindOrAdd(bytes, rowid, isNew);
    int64_t& lowest = seen->rows.numbers[r];
    if (isNew || rowid <= lowest) {
      lowest = rowid;
      sqlite3_result_int(ctx, 0);
    } else {
      sqlite3_result_int(ctx, 1);
    }
  });
}

}  // namespace

void RegisterEarlierRows(sqlite3* db) {
  // Not deterministic: the answers depend on the rows before, so SQLite must call them once
  // per row, where they stand.
  auto* link = new TLink;
  sqlite3_create_function_v2(db, "earlier_rows_unseen", 1, SQLITE_UTF8, link, EarlierRowsUnseenFunc, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, "earlier_rows_same", -1, SQLITE_UTF8, link, EarlierRowsSameFunc, nullptr, nullptr,
                             nullptr);
  sqlite3_create_function_v2(db, "earlier_rows_row", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             EarlierRowsRowFunc, nullptr, nullptr, nullptr);
  // This registration owns the link: SQLite frees it with the connection, after the
  // statements (and so the states that point to it) are gone.
  sqlite3_create_function_v2(db, "earlier_rows", -1, SQLITE_UTF8, link, EarlierRowsFunc, nullptr, nullptr,
                             [](void* p) { delete static_cast<TLink*>(p); });
}
