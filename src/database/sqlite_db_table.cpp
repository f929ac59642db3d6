// The SQLite access layer: the whole result of one query held in memory (TSQLiteTbl).
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "database/sql_functions.h"
#include "database/sqlite_db.h"
#include "database/sqlite_db_detail.h"
#include "foundation/text_utils.h"

using sqlite_detail::FormatFloat;
using sqlite_detail::FormatInt;
using sqlite_detail::StmtGuard;

namespace {

bool ContainsNoCase(const char* hay, const char* needle) {
  const size_t n = std::strlen(needle);
  for (const char* p = hay; *p; ++p) {
    if (sqlite3_strnicmp(p, needle, static_cast<int>(n)) == 0) return true;
  }
  return false;
}

// Column type code from the declared type: "INT" anywhere gives integer; exactly CHAR, CLOB or
// TEXT gives text; "BLOB" anywhere gives blob; exactly REAL, FLOA or DOUB gives float; anything
// else (VARCHAR(20), FLOAT, no declared type) stays undecided until the first value.
int TypeCodeOfDecl(const char* decl) {
  if (!decl) return sctUndecided;
  if (ContainsNoCase(decl, "INT")) return sctInteger;
  if (sqlite3_stricmp(decl, "CHAR") == 0 || sqlite3_stricmp(decl, "CLOB") == 0 || sqlite3_stricmp(decl, "TEXT") == 0)
    return sctText;
  if (ContainsNoCase(decl, "BLOB")) return sctBlob;
  if (sqlite3_stricmp(decl, "REAL") == 0 || sqlite3_stricmp(decl, "FLOA") == 0 || sqlite3_stricmp(decl, "DOUB") == 0)
    return sctFloat;
  return sctUndecided;
}

int64_t RoundToInt64(double d) {
  if (std::isnan(d)) return 0;
  const double r = std::nearbyint(d);  // the default rounding mode sends a half to the even neighbour
  if (r >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (r <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

// The numeric prefix of a text as SQLite reads it: leading blanks skipped, an integer when the
// prefix has no fraction or exponent, else a float; no number gives 0.
void NumericPrefix(std::string_view s, bool& isInt, int64_t& iv, double& dv) {
  size_t p = 0;
  while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\n' || s[p] == '\r')) ++p;
  s.remove_prefix(p);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  isInt = true;
  iv = 0;
  dv = 0;
  double d = 0;
  auto rd = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (rd.ec == std::errc::result_out_of_range) {
    isInt = false;
    dv = (!s.empty() && s.front() == '-') ? -HUGE_VAL : HUGE_VAL;
    return;
  }
  if (rd.ec != std::errc()) return;
  int64_t i = 0;
  auto ri = std::from_chars(s.data(), s.data() + s.size(), i);
  if (ri.ec == std::errc() && ri.ptr == rd.ptr) {
    iv = i;
    dv = static_cast<double>(i);
    return;
  }
  isInt = false;
  dv = d;
}

// Cell encoding in the arena: one tag byte whose low three bits are the storage type
// (1 integer, 2 float, 3 text, 4 blob, 5 NULL) and whose high five bits hold
//  - integers: the byte count (1..8) of the zig-zag value that follows, little-endian;
//  - text, blob: the length when below 31, else 31 and a varint length follows;
//  - float: nothing (eight bytes follow).
constexpr unsigned kLenInTag = 31;

inline size_t VarintSize(uint64_t v) {
  size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

inline unsigned char* PutVarint(unsigned char* p, uint64_t v) {
  while (v >= 0x80) {
    *p++ = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<unsigned char>(v);
  return p;
}

inline const unsigned char* GetVarint(const unsigned char* p, uint64_t& v) {
  v = 0;
  int shift = 0;
  while (*p & 0x80) {
    v |= static_cast<uint64_t>(*p++ & 0x7f) << shift;
    shift += 7;
  }
  v |= static_cast<uint64_t>(*p++) << shift;
  return p;
}

// Decoded view of one cell.
struct CellView {
  int type = sctNull;
  int64_t i = 0;
  double d = 0;
  std::string_view bytes;
};

inline const unsigned char* DecodeCell(const unsigned char* p, CellView* out) {
  const unsigned tag = *p++;
  const int type = static_cast<int>(tag & 7);
  const unsigned hi = tag >> 3;
  switch (type) {
    case sctInteger: {
      uint64_t z = 0;
      for (unsigned k = 0; k < hi; ++k) z |= static_cast<uint64_t>(p[k]) << (8 * k);
      if (out) {
        out->type = type;
        out->i = static_cast<int64_t>((z >> 1) ^ (~(z & 1) + 1));
      }
      return p + hi;
    }
    case sctFloat:
      if (out) {
        out->type = type;
        std::memcpy(&out->d, p, sizeof(double));
      }
      return p + sizeof(double);
    case sctText:
    case sctBlob: {
      uint64_t len = hi;
      if (hi == kLenInTag) p = GetVarint(p, len);
      if (out) {
        out->type = type;
        out->bytes = std::string_view(reinterpret_cast<const char*>(p), len);
      }
      return p + len;
    }
    default:
      if (out) out->type = sctNull;
      return p;
  }
}

// A text or blob cell read as a number: in an integer or float column its numeric prefix, as
// SQLite reads it; in any other column an error.
void NumericCell(int colType, std::string_view bytes, bool& isInt, int64_t& iv, double& dv) {
  if (colType != sctInteger && colType != sctFloat) throw ESQLiteException("Not an integer or numeric field");
  NumericPrefix(bytes, isInt, iv, dv);
}

}  // namespace

TSQLiteTbl::TSQLiteTbl(TSQLiteDb& Db, const std::string& SQL) { Fetch(Db, SQL, {}, false, false); }

TSQLiteTbl::~TSQLiteTbl() = default;

void TSQLiteTbl::Clear() {
  FBlocks.clear();
  FCur = FEnd = FRowStart = nullptr;
  FRowStarts.clear();
  FRowCount = 0;
  FColCount = 0;
  FColTypes.clear();
  FColNames.clear();
  FRow = 0;
  FDecodedRow = -1;
}

void TSQLiteTbl::Fetch(TSQLiteDb& Db, const std::string& SQL, TSQLiteParams Params, bool Bound, bool RunAll) {
  FColumnNameCase = 1;
  Clear();
  const std::string text = PreconvSql(SQL);
  Db.RefuseNul(text, SQL);
  const char* p = text.c_str();
  const char* const end = p + text.size();
  sqlite3* h = Db.FHandle;
  while (p < end && (RunAll || FRowCount == 0)) {
    Db.GuardReplacedFiles(SQL);
    h = Db.FHandle;  // opened again when its files were replaced
    StmtGuard g;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(h, p, static_cast<int>(end - p), &g.st, &tail) != SQLITE_OK)
      Db.Fail("Error executing SQL", SQL);
    if (!g.st) break;
    if (Bound) {
      // The bound form runs one statement.
      try {
        Db.BindParams(g.st, Params, SQL);
      } catch (...) {
        Clear();
        throw;
      }
    }
    const int ncols = sqlite3_column_count(g.st);
    bool fresh = true;  // no row of this statement fetched yet
    if (RunAll && ncols > 0) {
      // The result is the last statement with result columns, even when it returns no rows.
      Clear();
    }
    if (ncols > 0 && (RunAll || FRowCount == 0)) {
      FStmtColNames.clear();
      for (int c = 0; c < ncols; ++c) {
        const char* n = sqlite3_column_name(g.st, c);
        FStmtColNames.emplace_back(n ? n : "");
      }
    }
    for (;;) {
      const int rc = sqlite3_step(g.st);
      if (rc == SQLITE_DONE) break;
      if (rc == SQLITE_ROW) {
        if (fresh && FRowCount > 0) Clear();
        fresh = false;
        AddRow(g.st);
        continue;
      }
      Clear();
      const std::string msg = rc == SQLITE_BUSY ? std::string()
                                                : Db.ErrorText("Could not retrieve data", SQL);
      const int code = Db.LastErrorCode();
      g.Finalize();
      if (rc == SQLITE_BUSY) Db.FailWith("Could not prepare SQL statement", SQL, "SQLite is Busy");
      Db.Rollback();
      throw ESQLiteException(msg, code);
    }
    FRow = 0;
    g.Finalize();
    if (Bound || !(Db.ExecAll || RunAll)) break;
    p = tail;
  }
  FRow = 0;
  FDecodedRow = -1;
  FCells.assign(FColCount, nullptr);
}

char* TSQLiteTbl::Reserve(size_t n) {
  if (static_cast<size_t>(FEnd - FCur) >= n) return FCur;
  // The row being written must stay contiguous: move its part written so far to a new block.
  const size_t partial = FRowStart ? static_cast<size_t>(FCur - FRowStart) : 0;
  size_t size = FBlocks.empty() ? 4096 : std::min<size_t>(FBlocks.back().Size * 2, 1 << 20);
  size = std::max(size, partial + n + 64);
  Block b;
  b.Data = std::make_unique_for_overwrite<char[]>(size);
  b.Size = size;
  char* base = b.Data.get();
  if (partial) std::memcpy(base, FRowStart, partial);
  // A block that held nothing but the moved part is dropped.
  const bool dropLast = !FBlocks.empty() && FRowStart == FBlocks.back().Data.get();
  if (dropLast) FBlocks.pop_back();
  FBlocks.push_back(std::move(b));
  FRowStart = base;
  FCur = base + partial;
  FEnd = base + size;
  return FCur;
}

void TSQLiteTbl::AddRow(sqlite3_stmt* st) {
  if (FRowCount == 0) {
    FColCount = sqlite3_column_count(st);
    FColTypes.assign(FColCount, sctUndecided);
    FColNames.clear();
    FColNames.reserve(FColCount);
    for (int c = 0; c < FColCount; ++c) {
      FColTypes[c] = TypeCodeOfDecl(sqlite3_column_decltype(st, c));
      const char* n = sqlite3_column_name(st, c);
      FColNames.emplace_back(n ? n : "");
    }
  }
  Reserve(0);
  FRowStart = FCur;
  for (int c = 0; c < FColCount; ++c) {
    const int t = sqlite3_column_type(st, c);
    if (t != SQLITE_NULL && FColTypes[c] == sctUndecided) FColTypes[c] = t;
    switch (t) {
      case SQLITE_INTEGER: {
        const int64_t v = sqlite3_column_int64(st, c);
        uint64_t z = (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
        unsigned n = 0;
        for (uint64_t x = z; x; x >>= 8) ++n;
        unsigned char* p = reinterpret_cast<unsigned char*>(Reserve(1 + n));
        *p++ = static_cast<unsigned char>(sctInteger | (n << 3));
        for (unsigned k = 0; k < n; ++k, z >>= 8) *p++ = static_cast<unsigned char>(z);
        FCur = reinterpret_cast<char*>(p);
        break;
      }
      case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(st, c);
        char* p = Reserve(1 + sizeof(double));
        *p++ = static_cast<char>(sctFloat);
        std::memcpy(p, &v, sizeof v);
        FCur = p + sizeof v;
        break;
      }
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const void* src;
        size_t len;
        int type;
        if (t == SQLITE_TEXT) {
          src = sqlite3_column_text(st, c);
          len = static_cast<size_t>(sqlite3_column_bytes(st, c));
          // Column text is taken up to its first NUL.
          if (const void* z = src ? std::memchr(src, 0, len) : nullptr)
            len = static_cast<size_t>(static_cast<const char*>(z) - static_cast<const char*>(src));
          type = sctText;
        } else {
          src = sqlite3_column_blob(st, c);
          len = static_cast<size_t>(sqlite3_column_bytes(st, c));
          type = sctBlob;
        }
        if (!src) len = 0;
        const size_t head = len < kLenInTag ? 1 : 1 + VarintSize(len);
        unsigned char* p = reinterpret_cast<unsigned char*>(Reserve(head + len));
        if (len < kLenInTag) {
          *p++ = static_cast<unsigned char>(type | (len << 3));
        } else {
          *p++ = static_cast<unsigned char>(type | (kLenInTag << 3));
          p = PutVarint(p, len);
        }
        if (len) std::memcpy(p, src, len);
        FCur = reinterpret_cast<char*>(p + len);
        break;
      }
      default: {
        char* p = Reserve(1);
        *p = static_cast<char>(sctNull);
        FCur = p + 1;
        break;
      }
    }
  }
  FRowStarts.push_back(reinterpret_cast<const unsigned char*>(FRowStart));
  ++FRowCount;
}

bool TSQLiteTbl::MoveFirst() {
  if (FRowCount == 0) return false;
  FRow = 0;
  return true;
}

bool TSQLiteTbl::MoveTo(int r) {
  if (r < 0 || r >= FRowCount) return false;
  FRow = r;
  return true;
}

int TSQLiteTbl::ColType(int i) const {
  if (i < 0 || i >= FColCount) throw ESQLiteException("Column index out of range: " + FormatInt(i));
  return FColTypes[i];
}

const std::string& TSQLiteTbl::ColumnName(int i) const {
  if (i < 0 || i >= static_cast<int>(FColNames.size()))
    throw ESQLiteException("Column index out of range: " + FormatInt(i));
  return FColNames[i];
}

std::string ColumnNameInCase(std::string Name, int Case) {
  if (Case == 1) return AsciiUpperCase(std::move(Name));
  if (Case == 2) return AsciiLowerCase(std::move(Name));
  return Name;
}

std::string TSQLiteTbl::Columns(int i) const {
  return ColumnNameInCase(ColumnName(i), FColumnNameCase);
}

int TSQLiteTbl::FieldIndex(const std::string& Name) const {
  if (FColNames.empty()) throw ESQLiteException("Field " + Name + " Not found. Empty dataset");
  for (size_t i = 0; i < FColNames.size(); ++i) {
    const std::string& n = FColNames[i];
    if (n.size() == Name.size() && sqlite3_strnicmp(n.data(), Name.data(), static_cast<int>(n.size())) == 0)
      return static_cast<int>(i);
  }
  throw ESQLiteException("Field not found in dataset: " + Name);
}

void TSQLiteTbl::DecodeRow() const {
  const unsigned char* p = FRowStarts[FRow];
  FCells.resize(FColCount);
  for (int c = 0; c < FColCount; ++c) {
    FCells[c] = p;
    p = DecodeCell(p, nullptr);
  }
  FDecodedRow = FRow;
}

const unsigned char* TSQLiteTbl::Cell(int i) const {
  if (FRow >= FRowCount) throw ESQLiteException("Table is at End of File");
  if (i < 0 || i >= FColCount) throw ESQLiteException("Field index out of range: " + FormatInt(i));
  if (FDecodedRow != FRow) DecodeRow();
  return FCells[i];
}

int TSQLiteTbl::FieldType(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  return v.type;
}

bool TSQLiteTbl::FieldIsNull(int i) const { return FieldType(i) == sctNull; }

std::string TSQLiteTbl::Fields(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  switch (v.type) {
    case sctInteger: return FormatInt(v.i);
    case sctFloat: return FormatFloat(v.d);
    case sctText:
    case sctBlob: return std::string(v.bytes);
    default: return (FColTypes[i] == sctInteger || FColTypes[i] == sctFloat) ? "0" : "";
  }
}

std::string TSQLiteTbl::FieldAsString(int i) const {
  if (FieldIsNull(i)) return std::string();
  return Fields(i);
}

std::string_view TSQLiteTbl::FieldText(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  return v.bytes;
}

int64_t TSQLiteTbl::FieldAsInteger(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  switch (v.type) {
    case sctNull: return 0;
    case sctInteger: return v.i;
    case sctFloat: return RoundToInt64(v.d);
    default: break;
  }
  bool isInt;
  int64_t iv;
  double dv;
  NumericCell(FColTypes[i], v.bytes, isInt, iv, dv);
  return isInt ? iv : RoundToInt64(dv);
}

double TSQLiteTbl::FieldAsDouble(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  switch (v.type) {
    case sctNull: return 0;
    case sctInteger: return static_cast<double>(v.i);
    case sctFloat: return v.d;
    default: break;
  }
  bool isInt;
  int64_t iv;
  double dv;
  NumericCell(FColTypes[i], v.bytes, isInt, iv, dv);
  return dv;
}

std::string_view TSQLiteTbl::FieldAsBlob(int i) const {
  CellView v;
  DecodeCell(Cell(i), &v);
  if (v.type == sctNull) return {};
  if (v.type == sctBlob || (FColTypes[i] == sctBlob && v.type == sctText)) return v.bytes;
  throw ESQLiteException("Not a Blob field");
}

std::string TSQLiteTbl::FieldAsBlobText(int i) const { return std::string(FieldAsBlob(i)); }

size_t TSQLiteTbl::MemoryUsed() const {
  size_t n = FRowStarts.capacity() * sizeof(void*) + FColTypes.capacity() * sizeof(int);
  for (const auto& b : FBlocks) n += b.Size;
  for (const auto& s : FColNames) n += sizeof(std::string) + s.capacity();
  return n;
}
