// The SQL pre-processor: preconv('text'[, 'opts']) literals become the quoted key of the text.
#include <cstring>
#include <string_view>

#include "database/sql_functions.h"
#include "database/strconv.h"

namespace {

// The form rewritten: preconv ( 'literal' [ , 'opts' ] ) with no blank between the word and
// its bracket, blanks allowed around the parts, any case; a quote inside the literal is
// written doubled, as in any SQL literal; the literal is not empty; opts are letters of
// "kcwv".  The text is scanned by hand, so a literal of any length is rewritten.

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

size_t SkipBlanks(std::string_view s, size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

// A quoted literal starting at s[i] == '\''; on success the position after its closing quote
// and the text with doubled quotes made single.
bool ReadLiteral(std::string_view s, size_t i, size_t& end, std::string& text) {
  if (i >= s.size() || s[i] != '\'') return false;
  text.clear();
  for (++i; i < s.size(); ++i) {
    if (s[i] != '\'') {
      text.push_back(s[i]);
      continue;
    }
    if (i + 1 < s.size() && s[i + 1] == '\'') {
      text.push_back('\'');
      ++i;
      continue;
    }
    end = i + 1;
    return true;
  }
  return false;
}

bool IsOptionLetter(char c) {
  c = static_cast<char>(c | 0x20);
  return c == 'k' || c == 'c' || c == 'w' || c == 'v';
}

// One call at s[i] (where "preconv(" stands, any case): its end and its key as an SQL literal.
bool ReadCall(std::string_view s, size_t i, size_t& end, std::string& replacement) {
  size_t p = SkipBlanks(s, i + 8);
  std::string literal;
  if (!ReadLiteral(s, p, p, literal) || literal.empty()) return false;
  p = SkipBlanks(s, p);
  std::string opts;
  if (p < s.size() && s[p] == ',') {
    p = SkipBlanks(s, p + 1);
    if (!ReadLiteral(s, p, p, opts) || opts.empty()) return false;
    for (char c : opts)
      if (!IsOptionLetter(c)) return false;
    p = SkipBlanks(s, p);
  }
  if (p >= s.size() || s[p] != ')') return false;
  end = p + 1;
  const std::string key = StrConvText(literal, opts);
  replacement.clear();
  replacement.reserve(key.size() + 2);
  replacement.push_back('\'');
  for (char c : key) {
    replacement.push_back(c);
    if (c == '\'') replacement.push_back('\'');  // e.g. a full-width ＇ folded to '
  }
  replacement.push_back('\'');
  return true;
}

bool IsCallStart(std::string_view s, size_t i) {
  static const char word[] = "preconv(";
  if (i + 8 > s.size()) return false;
  for (size_t k = 0; k < 8; ++k) {
    char c = s[i + k];
    if (k < 7) c = static_cast<char>(c | 0x20);
    if (c != word[k]) return false;
  }
  return true;
}

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
  const std::string_view s(sql);
  std::string out;
  out.reserve(sql.size() + 16);
  std::string replacement;
  size_t copied = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((s[i] | 0x20) != 'p' || !IsCallStart(s, i)) continue;
    size_t end = 0;
    if (!ReadCall(s, i, end, replacement)) continue;
    out.append(s, copied, i - copied);
    out += replacement;
    copied = end;
    i = end - 1;
  }
  if (copied == 0) return sql;
  out.append(s, copied, std::string_view::npos);
  return out;
}
