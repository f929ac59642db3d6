// The SQL pre-processor: preconv('text'[, 'opts']) literals become the quoted key of the text.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>
#include <stdexcept>

#include "database/sql_functions.h"
#include "database/strconv.h"

namespace {

// preconv ( 'literal' [ , 'opts' ] ) with white space around the parts, any case; a quote
// inside the literal is written doubled, as in any SQL literal.
constexpr const char* kPreconvPattern =
    R"(preconv\(\s*'((?:[^']|'')+)'\s*(,\s*'([kcwv]+)'\s*)?\))";

struct TCode {
  pcre2_code* code = nullptr;
  TCode() {
    int err = 0;
    PCRE2_SIZE off = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kPreconvPattern), PCRE2_ZERO_TERMINATED,
                         PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_CASELESS, &err, &off, nullptr);
    if (code) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  }
  ~TCode() { pcre2_code_free(code); }
};

const pcre2_code* PreconvCode() {
  static const TCode c;  // thread-safe initialisation
  return c.code;
}

struct TMatchData {
  pcre2_match_data* md;
  explicit TMatchData(const pcre2_code* c) : md(pcre2_match_data_create_from_pattern(c, nullptr)) {
    if (!md) throw std::bad_alloc();
  }
  ~TMatchData() { pcre2_match_data_free(md); }
};

// Quick test before the pattern runs: most statements hold no "preconv" at all.
bool MayHoldPreconv(const std::string& sql) {
  for (size_t i = 0; i + 7 <= sql.size(); ++i) {
    char c = sql[i];
    if ((c == 'p' || c == 'P')) {
      static const char word[] = "preconv";
      size_t k = 1;
      while (k < 7 && (sql[i + k] | 0x20) == word[k]) ++k;
      if (k == 7) return true;
    }
  }
  return false;
}

}  // namespace

std::string PreconvSql(const std::string& sql) {
  if (!MayHoldPreconv(sql)) return sql;
  const pcre2_code* code = PreconvCode();
  if (!code) return sql;
  TMatchData m(code);
  std::string out;
  out.reserve(sql.size() + 16);
  size_t pos = 0;
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(sql.data());
  while (pos <= sql.size()) {
    int rc = pcre2_match(code, subject, sql.size(), pos, 0, m.md, nullptr);
    if (rc < 0) break;
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m.md);
    out.append(sql, pos, ov[0] - pos);
    std::string literal;
    for (size_t i = ov[2]; i < ov[3]; ++i) {
      literal.push_back(sql[i]);
      if (sql[i] == '\'') ++i;  // '' stands for one quote
    }
    std::string_view opts;
    if (rc > 3 && ov[6] != PCRE2_UNSET) opts = std::string_view(sql).substr(ov[6], ov[7] - ov[6]);
    std::string key = StrConvText(literal, opts);
    out.push_back('\'');
    for (char c : key) {
      out.push_back(c);
      if (c == '\'') out.push_back('\'');  // e.g. a full-width ＇ folded to '
    }
    out.push_back('\'');
    pos = ov[1];
  }
  out.append(sql, std::min(pos, sql.size()), std::string::npos);
  return out;
}
