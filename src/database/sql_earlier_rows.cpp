// The functions by which the trade-name views keep the first of identical rows (SELECT
// DISTINCT without a B-tree of every whole row), in time linear in the rows however often a
// key repeats.
//
// earlier_rows(n, rowid, key1..keyn): NULL when no row below the given one with the same key
// values came earlier in this run of the statement (the row is the first of its key), else
// the rowid of the key's first row. Only rows that share a key can be identical, and most
// keys come a few times at most.
//
// A key's first rows (up to kFewRows) are compared with each other one by one, in SQL:
// earlier_rows_list(rowid) is the JSON array of the rowids below the given one among them.
// From the row after those on, the key's rows are compared through a hash of the whole row:
// earlier_rows_large(rowid) tells which way the row goes (1: by hash); earlier_rows_unseen(rowid)
// is the JSON array of the rows the view hands to the hash set, in this order, through
// earlier_rows_add(rowid, v1..vm): the key's first rows (once, when the key turns to hashing),
// then the row itself. earlier_rows_add keeps the values under their lowest rowid and answers
// 1 for the row itself when a row below it with the same values came earlier, else 0. Each of
// these answers for the row that earlier_rows answered last; asked for another they fail.
//
// So a row costs at most kFewRows comparisons, or one hash. Values compare as SELECT DISTINCT
// compares them: NULL equals NULL, integers and reals by their number, texts and blobs by their
// bytes, and a text never equals a number or a blob. What was seen lives for the run of the
// statement (auxiliary data of earlier_rows's constant first argument, which SQLite drops when
// the statement is reset). Rows are answered by rowid, so a scan in rowid order gets exactly
// the rows before it also when SQLite runs the scan again within one run.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "database/sql_function_util.h"
#include "database/sql_functions.h"

namespace {

// Rows of one key compared one by one before the key turns to hashing.
constexpr size_t kFewRows = 8;

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

// A key: its lowest rowid is its number in TSeen::keys; the rows after it are listed only for
// keys that repeat (most do not).
struct TKey {
  int32_t more = -1;    // index into TSeen::more, or -1
  bool large = false;   // compared by hash from now on
  bool handed = false;  // the listed rows are in the hash set
};

// What one run of a statement has seen.
struct TSeen {
  TLink* link = nullptr;
  TNumbered keys;            // key values -> the lowest rowid seen with them
  std::vector<TKey> info;    // per key
  std::vector<std::vector<int64_t>> more;  // the rows after the first of repeated keys
  TNumbered rows;            // whole rows of keys compared by hash -> the lowest rowid
  std::string buffer;        // the bytes being built, reused from row to row
  ~TSeen();
};

// The connection's link from earlier_rows to the functions that follow it for the same row.
struct TLink {
  TSeen* seen = nullptr;
  int64_t rowid = 0;
  size_t key = 0;
};

TSeen::~TSeen() {
  if (link && link->seen == this) link->seen = nullptr;
}

TLink& Link(sqlite3_context* ctx) { return *static_cast<TLink*>(sqlite3_user_data(ctx)); }

// The state of earlier_rows's last answer when it was for the rowid of argv[0]; nullptr (and
// the statement's error) otherwise.
TSeen* SeenFor(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* name) {
  TLink& l = Link(ctx);
  if (argc >= 1 && l.seen && l.rowid == sqlite3_value_int64(argv[0])) return l.seen;
  const std::string msg = std::string(name) + ": no answer of earlier_rows for this row";
  sqlite3_result_error(ctx, msg.c_str(), -1);
  return nullptr;
}

// The key's listed rows below `below` as a JSON array, or NULL.
void ResultRowids(sqlite3_context* ctx, const TSeen& seen, size_t key, int64_t below) {
  std::string list;
  auto add = [&](int64_t r) {
    if (r >= below) return;
    list += list.empty() ? "[" : ",";
    list += std::to_string(r);
  };
  add(seen.keys.numbers[key]);
  if (seen.info[key].more >= 0)
    for (int64_t r : seen.more[static_cast<size_t>(seen.info[key].more)]) add(r);
  if (list.empty()) {
    sqlite3_result_null(ctx);
    return;
  }
  list += "]";
  sqlfn::ResultText(ctx, list);
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
    if (isNew) seen->info.emplace_back();
    TKey& info = seen->info[k];
    TLink& l = Link(ctx);
    l.seen = seen;
    l.rowid = rowid;
    l.key = k;
    int64_t& first = seen->keys.numbers[k];
    if (!isNew && rowid != first && !info.large) {
      if (info.more < 0) {
        info.more = static_cast<int32_t>(seen->more.size());
        seen->more.emplace_back();
      }
      std::vector<int64_t>& more = seen->more[static_cast<size_t>(info.more)];
      bool known = false;
      for (int64_t r : more) known = known || r == rowid;
      if (!known) {
        // A row below the first (a scan out of rowid order) is the first from now on.
        more.push_back(rowid < first ? std::exchange(first, rowid) : rowid);
        // One more than few: the key's rows go to the hash set, this one with them.
        info.large = more.size() + 1 > kFewRows;
      }
    } else if (rowid < first) {
      first = rowid;  // out of rowid order, after the key turned to hashing
    }
    if (isNew || rowid == first) sqlite3_result_null(ctx);
    else sqlite3_result_int64(ctx, first);
  });
}

void EarlierRowsListFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  TSeen* seen = SeenFor(ctx, argc, argv, "earlier_rows_list");
  if (!seen) return;
  const TKey& info = seen->info[Link(ctx).key];
  if (info.large) sqlite3_result_null(ctx);
  else ResultRowids(ctx, *seen, Link(ctx).key, Link(ctx).rowid);
}

void EarlierRowsLargeFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  TSeen* seen = SeenFor(ctx, argc, argv, "earlier_rows_large");
  if (seen) sqlite3_result_int(ctx, seen->info[Link(ctx).key].large ? 1 : 0);
}

void EarlierRowsUnseenFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  TSeen* seen = SeenFor(ctx, argc, argv, "earlier_rows_unseen");
  if (!seen) return;
  const TLink& l = Link(ctx);
  TKey& info = seen->info[l.key];
  if (!info.large) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string list = "[";
  if (!info.handed) {
    info.handed = true;
    list += std::to_string(seen->keys.numbers[l.key]) + ",";
    if (info.more >= 0) {
      for (int64_t r : seen->more[static_cast<size_t>(info.more)]) list += std::to_string(r) + ",";
      std::vector<int64_t>().swap(seen->more[static_cast<size_t>(info.more)]);
    }
  }
  list += std::to_string(l.rowid) + "]";
  sqlfn::ResultText(ctx, list);
}

void EarlierRowsAddFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  sqlfn::Guard(ctx, "earlier_rows_add", [&] {
    TSeen* seen = Link(ctx).seen;
    if (!seen || argc < 1) {
      sqlite3_result_error(ctx, "earlier_rows_add: no answer of earlier_rows before", -1);
      return;
    }
    const int64_t rowid = sqlite3_value_int64(argv[0]);
    std::string& bytes = seen->buffer;
    bytes.clear();
    for (int i = 1; i < argc; ++i) Encode(bytes, argv[i]);
    bool isNew = false;
    const size_t r = seen->rows.FindOrAdd(bytes, rowid, isNew);
    int64_t& lowest = seen->rows.numbers[r];
    const bool same = !isNew && lowest < rowid;
    if (rowid < lowest) lowest = rowid;
    sqlite3_result_int(ctx, same && rowid == Link(ctx).rowid ? 1 : 0);
  });
}

}  // namespace

void RegisterEarlierRows(sqlite3* db) {
  // Not deterministic: the answers depend on the rows before, so SQLite must call them once
  // per row, where they stand.
  auto* link = new TLink;
  const struct {
    const char* name;
    int nArg;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  } helpers[] = {{"earlier_rows_list", 1, EarlierRowsListFunc},   {"earlier_rows_large", 1, EarlierRowsLargeFunc},
                 {"earlier_rows_unseen", 1, EarlierRowsUnseenFunc}, {"earlier_rows_add", -1, EarlierRowsAddFunc}};
  for (const auto& h : helpers)
    sqlite3_create_function_v2(db, h.name, h.nArg, SQLITE_UTF8, link, h.fn, nullptr, nullptr, nullptr);
  // This registration owns the link: SQLite frees it with the connection, after the
  // statements (and so the states that point to it) are gone.
  sqlite3_create_function_v2(db, "earlier_rows", -1, SQLITE_UTF8, link, EarlierRowsFunc, nullptr, nullptr,
                             [](void* p) { delete static_cast<TLink*>(p); });
}
