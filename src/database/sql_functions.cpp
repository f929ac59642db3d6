// The program's SQL functions: strconv, match, regexp, concat, concat2, re_replace, extnum,
// ifnullstr, if and explode, registered on every connection.
#include "database/sql_functions.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <memory>

#include "database/sql_concat.h"
#include "database/sql_function_util.h"
#include "database/sql_regexp.h"
#include "database/strconv.h"

using sqlfn::Guard;
using sqlfn::ResultText;
using sqlfn::Text;

namespace {

// Per-connection state handed to the functions as user data: the pattern cache.  Every
// registration holds a reference; SQLite drops them when the connection closes.
struct TSqlFunctionState {
  int refs = 0;
  TRegexCache cache;
};

void ReleaseState(void* p) {
  auto* s = static_cast<TSqlFunctionState*>(p);
  if (--s->refs == 0) delete s;
}

TSqlFunctionState& State(sqlite3_context* ctx) { return *static_cast<TSqlFunctionState*>(sqlite3_user_data(ctx)); }

unsigned OptionsArg(int argc, sqlite3_value** argv, int index) {
  return argc > index ? StrConvOptions(Text(argv[index])) : strconv_opt::All;
}

thread_local std::string tBuf1, tBuf2;

// Lets go of a scratch buffer that a long text made large, so that it is not held after.
void Trim(std::string& buf) {
  if (buf.capacity() > (size_t(1) << 20)) std::string().swap(buf);
}

// ---- strconv ---------------------------------------------------------------------------------

void StrconvFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, "strconv", [&] {
    std::string_view text = Text(argv[0]);
    unsigned opts = OptionsArg(argc, argv, 1);
    tBuf1.clear();
    StrConvAppend(text, opts, tBuf1);
    // The key is at most twice its text (a voiced kana made half-width takes two
    // characters), so it is checked once it is made.
    sqlfn::CheckLength(tBuf1.size(), sqlfn::LengthLimit(ctx));
    ResultText(ctx, tBuf1);
    Trim(tBuf1);
  });
}

// ---- match -----------------------------------------------------------------------------------

// The pattern of match normalised once per statement (SQLite's auxiliary data of the pattern
// argument), with the options it was normalised for.
struct TMatchPattern {
  unsigned options;
  bool leading = false, trailing = false;
  std::string key;
};

void DeleteMatchPattern(void* p) { delete static_cast<TMatchPattern*>(p); }

// One "%" at each end marks a prefix or suffix test; the rest is normalised.
void ParseMatchPattern(std::string_view pat, unsigned opts, TMatchPattern& m) {
  m.options = opts;
  m.leading = m.trailing = false;
  m.key.clear();
  if (!pat.empty() && pat.back() == '%') {
    pat.remove_suffix(1);
    m.trailing = true;
  }
  if (!pat.empty() && pat.front() == '%') {
    pat.remove_prefix(1);
    m.leading = true;
  }
  StrConvAppend(pat, opts, m.key);
}

const TMatchPattern& MatchPattern(sqlite3_context* ctx, sqlite3_value* arg, unsigned opts) {
  if (auto* m = static_cast<TMatchPattern*>(sqlite3_get_auxdata(ctx, 0)); m && m->options == opts) return *m;
  auto* m = new TMatchPattern;
  ParseMatchPattern(Text(arg), opts, *m);
  sqlite3_set_auxdata(ctx, 0, m, DeleteMatchPattern);
  if (sqlite3_get_auxdata(ctx, 0) == m) return *m;
  // SQLite dropped it at once (a pattern that varies by row): normalise for this call only.
  thread_local TMatchPattern once;
  ParseMatchPattern(Text(arg), opts, once);
  return once;
}

void MatchFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, "match", [&] {
    unsigned opts = OptionsArg(argc, argv, 2);
    const TMatchPattern& m = MatchPattern(ctx, argv[0], opts);
    tBuf2.clear();
    StrConvAppend(Text(argv[1]), opts, tBuf2);
    const std::string& p = m.key;
    const std::string& s = tBuf2;
    int r = 0;
    if (!p.empty() && s.find(p) != std::string::npos) {
      if (m.leading && m.trailing) r = 1;
      else if (m.trailing) r = s.compare(0, p.size(), p) == 0;
      else if (m.leading) r = s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
      else r = s == p;
    }
    sqlite3_result_int(ctx, r);
    Trim(tBuf2);
  });
}

// ---- regexp ----------------------------------------------------------------------------------

// Compiled pattern kept as SQLite auxiliary data of the pattern argument, with the options it
// was compiled for.
struct TAuxPattern {
  unsigned options;
  std::shared_ptr<TRegexpMatcher> matcher;
};

void DeleteAux(void* p) { delete static_cast<TAuxPattern*>(p); }

void RegexpFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, "regexp", [&] {
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
      sqlite3_result_int(ctx, 0);
      return;
    }
    unsigned opts = OptionsArg(argc, argv, 2);
    std::shared_ptr<TRegexpMatcher> m;
    auto* aux = static_cast<TAuxPattern*>(sqlite3_get_auxdata(ctx, 0));
    if (aux && aux->options == opts) {
      m = aux->matcher;
    } else {
      m = State(ctx).cache.Matcher(Text(argv[0]), opts);
      sqlite3_set_auxdata(ctx, 0, new TAuxPattern{opts, m}, DeleteAux);
    }
    tBuf1.clear();
    StrConvAppend(Text(argv[1]), opts, tBuf1);
    sqlite3_result_int(ctx, m->Matches(tBuf1) ? 1 : 0);
    Trim(tBuf1);
  });
}

// ---- re_replace ------------------------------------------------------------------------------

// The compiled pattern of argument argIndex, kept as SQLite auxiliary data for the statement;
// makePattern gives the pattern text and runs only when the statement has none yet.
template <typename MakePattern>
std::shared_ptr<TPcrePattern> PlainPattern(sqlite3_context* ctx, int argIndex, MakePattern&& makePattern) {
  using Holder = std::shared_ptr<TPcrePattern>;
  if (auto* h = static_cast<Holder*>(sqlite3_get_auxdata(ctx, argIndex))) return *h;
  Holder p = State(ctx).cache.Plain(makePattern());
  sqlite3_set_auxdata(ctx, argIndex, new Holder(p), [](void* q) { delete static_cast<Holder*>(q); });
  return p;
}

// Byte length of the UTF-8 character at s[i] (1 for a stray byte).
size_t CharLen(std::string_view s, size_t i) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  size_t len = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  if (i + len > s.size()) return 1;
  for (size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  return len;
}

void ReReplaceFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guard(ctx, "re_replace", [&] {
    auto re = PlainPattern(ctx, 0, [&] { return std::string(Text(argv[0])); });
    const std::string_view subject = Text(argv[1]);
    std::string_view repl = Text(argv[2]);
    // Every replacement may add as much as the subject holds: the result stops as soon as it
    // passes the connection's longest text.
    const size_t limit = sqlfn::LengthLimit(ctx);
    std::string out;
    size_t pos = 0;     // search position
    size_t copied = 0;  // subject copied up to here
    while (pos <= subject.size() && re->Search(subject, pos)) {
      size_t b = re->GroupBegin(0), e = re->GroupEnd(0);
      out.append(subject, copied, b - copied);
      if (!ExpandReplacement(repl, *re, subject, out, limit)) throw sqlfn::ETextTooBig();
      copied = e;
      if (e == b) {
        // An empty match: keep the next character and go on after it.
        if (e >= subject.size()) break;
        size_t len = CharLen(subject, e);
        out.append(subject, e, len);
        copied = e + len;
        pos = e + len;
      } else {
        pos = e;
      }
    }
    if (copied < subject.size()) out.append(subject, copied, std::string::npos);
    sqlfn::CheckLength(out.size(), limit);
    ResultText(ctx, out);
  });
}

// ---- extnum ----------------------------------------------------------------------------------

void ExtnumFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, "extnum", [&] {
    auto re = PlainPattern(ctx, 0, [&] {
      std::string pattern = R"(([\+\-]?[0-9]+(\.[0-9]+([Ee][\+\-]?[0-9]+)?)?)\s*()";
      pattern.append(Text(argv[0]));
      pattern.push_back(')');
      return pattern;
    });
    std::string_view text = Text(argv[1]);
    double def = argc > 2 ? sqlite3_value_double(argv[2]) : 0.0;
    if (re->Search(text)) {
      size_t b = re->GroupBegin(1), e = re->GroupEnd(1);
      std::string_view num = text.substr(b, e - b);
      bool neg = false;
      if (!num.empty() && (num[0] == '+' || num[0] == '-')) {
        neg = num[0] == '-';
        num.remove_prefix(1);
      }
      double v = 0;
      // from_chars reads the C format whatever the process locale says.
      auto res = std::from_chars(num.data(), num.data() + num.size(), v);
      if (res.ec == std::errc() || res.ec == std::errc::result_out_of_range) {
        sqlite3_result_double(ctx, neg ? -v : v);
        return;
      }
    }
    sqlite3_result_double(ctx, def);
  });
}

// ---- concat / concat2 ------------------------------------------------------------------------

constexpr const char* kTooFew = "CONCAT parameters are too few";

void ConcatScalar(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool distinct) {
  Guard(ctx, "concat", [&] {
    if (argc < 3) {
      sqlite3_result_error(ctx, kTooFew, -1);
      return;
    }
    TConcatBuilder b(Text(argv[0]), distinct, sqlfn::LengthLimit(ctx));
    for (int k = 1; k < argc; ++k) {
      if (sqlite3_value_type(argv[k]) == SQLITE_NULL) continue;
      b.Add(Text(argv[k]));
    }
    b.ResultTo(ctx);
  });
}

void ConcatFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) { ConcatScalar(ctx, argc, argv, true); }
void Concat2Func(sqlite3_context* ctx, int argc, sqlite3_value** argv) { ConcatScalar(ctx, argc, argv, false); }

// The aggregate context holds a pointer to the builder; the final call frees it.
void ConcatStep(sqlite3_context* ctx, sqlite3_value** argv, bool distinct) {
  Guard(ctx, "concat", [&] {
    int t = sqlite3_value_type(argv[1]);
    if (t == SQLITE_NULL || t == SQLITE_BLOB) return;
    auto** slot = static_cast<TConcatBuilder**>(sqlite3_aggregate_context(ctx, sizeof(TConcatBuilder*)));
    if (!slot) {
      sqlite3_result_error_nomem(ctx);
      return;
    }
    if (!*slot) *slot = new TConcatBuilder(Text(argv[0]), distinct, sqlfn::LengthLimit(ctx));
    (*slot)->Add(Text(argv[1]));
  });
}

void ConcatAggStep(sqlite3_context* ctx, int, sqlite3_value** argv) { ConcatStep(ctx, argv, true); }
void Concat2AggStep(sqlite3_context* ctx, int, sqlite3_value** argv) { ConcatStep(ctx, argv, false); }

void ConcatAggFinal(sqlite3_context* ctx) {
  auto** slot = static_cast<TConcatBuilder**>(sqlite3_aggregate_context(ctx, 0));
  if (!slot || !*slot) {
    sqlite3_result_null(ctx);
    return;
  }
  std::unique_ptr<TConcatBuilder> b(*slot);
  *slot = nullptr;
  b->ResultTo(ctx);
}

// ---- ifnullstr, if, explode ------------------------------------------------------------------

void IfnullstrFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guard(ctx, "ifnullstr", [&] { sqlite3_result_value(ctx, Text(argv[0]).empty() ? argv[1] : argv[0]); });
}

void IfFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Guard(ctx, "if", [&] {
    bool cond = false;
    switch (sqlite3_value_type(argv[0])) {
      case SQLITE_INTEGER: cond = sqlite3_value_int64(argv[0]) != 0; break;
      case SQLITE_FLOAT: {
        double d = sqlite3_value_double(argv[0]);
        cond = !std::isnan(d) && d != 0.0;
        break;
      }
      case SQLITE_BLOB: cond = sqlite3_value_bytes(argv[0]) > 0; break;
      case SQLITE_TEXT: cond = !Text(argv[0]).empty(); break;
      default: cond = false;
    }
    if (cond) sqlite3_result_value(ctx, argv[1]);
    else if (argc > 2) sqlite3_result_value(ctx, argv[2]);
    else sqlite3_result_null(ctx);
  });
}

void ExplodeFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Guard(ctx, "explode", [&] {
    std::string_view sep = Text(argv[0]);
    std::string_view text = Text(argv[1]);
    sqlite3_int64 n = sqlite3_value_int64(argv[2]);
    if (text.empty()) {
      sqlite3_result_null(ctx);
      return;
    }
    if (n <= 0) {
      ResultText(ctx, text);
      return;
    }
    if (sep.empty()) {
      if (n == 1) ResultText(ctx, text);
      else sqlite3_result_null(ctx);
      return;
    }
    size_t start = 0;
    for (sqlite3_int64 k = 1; k < n; ++k) {
      size_t at = text.find(sep, start);
      if (at == std::string_view::npos) {
        sqlite3_result_null(ctx);
        return;
      }
      start = at + sep.size();
    }
    size_t end = text.find(sep, start);
    std::string_view field = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (field.empty()) sqlite3_result_null(ctx);
    else ResultText(ctx, field);
  });
}

// ---- registration ----------------------------------------------------------------------------

using ScalarFn = void (*)(sqlite3_context*, int, sqlite3_value**);
using FinalFn = void (*)(sqlite3_context*);

void Register(sqlite3* db, TSqlFunctionState* state, const char* name, int nArg, ScalarFn fn, ScalarFn step = nullptr,
              FinalFn final = nullptr) {
  const int pure = (step ? 0 : SQLITE_DETERMINISTIC);
  for (int enc : {SQLITE_UTF8, SQLITE_UTF16}) {
    ++state->refs;
    // On failure SQLite calls the destructor itself, so the reference is dropped either way.
    sqlite3_create_function_v2(db, name, nArg, enc | pure, state, fn, step, final, ReleaseState);
  }
}

}  // namespace

void RegisterSqlFunctions(sqlite3* db) {
  if (!db) return;
  // Name, argument count (-1: any), scalar function, or aggregate step and final.
  static const struct {
    const char* name;
    int nArg;
    ScalarFn fn;
    ScalarFn step = nullptr;
    FinalFn final = nullptr;
  } kFunctions[] = {
      {"strconv", 2, StrconvFunc},
      {"strconv", 1, StrconvFunc},
      {"match", 2, MatchFunc},
      {"match", 3, MatchFunc},
      {"regexp", 2, RegexpFunc},
      {"regexp", 3, RegexpFunc},
      {"concat", -1, ConcatFunc},
      {"concat", 2, nullptr, ConcatAggStep, ConcatAggFinal},
      {"concat2", -1, Concat2Func},
      {"concat2", 2, nullptr, Concat2AggStep, ConcatAggFinal},
      {"re_replace", 3, ReReplaceFunc},
      {"extnum", 2, ExtnumFunc},
      {"extnum", 3, ExtnumFunc},
      {"ifnullstr", 2, IfnullstrFunc},
      {"if", 2, IfFunc},
      {"if", 3, IfFunc},
      {"explode", 3, ExplodeFunc},
  };
  auto* state = new TSqlFunctionState;
  state->refs = 1;  // held until the registrations are made
  for (const auto& f : kFunctions) Register(db, state, f.name, f.nArg, f.fn, f.step, f.final);
  ReleaseState(state);
  RegisterEarlierRows(db);
  RegisterRacKeito(db);
  RegisterRacMid(db);
}
