#define PCRE2_CODE_UNIT_WIDTH 8
#include "database/sql_regexp.h"

#include <pcre2.h>

#include <algorithm>
#include <atomic>

#include "database/strconv.h"
#include "foundation/kana_tables.h"

namespace {

std::atomic<long> gCompileCount{0};

bool IsMeta(char c) {
  switch (c) {
    case '\\': case '^': case '$': case '.': case '|': case '?': case '*': case '+':
    case '(': case ')': case '[': case ']': case '{': case '}':
      return true;
    default:
      return false;
  }
}

bool IsAsciiPunct(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u > 0x20 && u < 0x7F && !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

std::string ShortPattern(std::string_view p) {
  if (p.size() <= 120) return std::string(p);
  size_t cut = 120;
  while (cut > 0 && (static_cast<unsigned char>(p[cut]) & 0xC0) == 0x80) --cut;
  return std::string(p.substr(0, cut)) + "...";
}

}  // namespace

long SqlRegexCompileCount() { return gCompileCount.load(); }

// ---- TPcrePattern ----------------------------------------------------------------------------

TPcrePattern::TPcrePattern(std::string_view pattern) {
  ++gCompileCount;
  int err = 0;
  PCRE2_SIZE offset = 0;
  code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                        PCRE2_UTF | PCRE2_MATCH_INVALID_UTF, &err, &offset, nullptr);
  if (!code_) {
    PCRE2_UCHAR buf[256];
    pcre2_get_error_message(err, buf, sizeof buf);
    std::string msg = std::string(reinterpret_cast<char*>(buf)) + " at offset " + std::to_string(offset) +
                      " in \"" + ShortPattern(pattern) + "\"";
    if (err == PCRE2_ERROR_PATTERN_TOO_LARGE) throw ESqlRegexTooLarge(msg);
    throw ESqlRegex(msg);
  }
  pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);  // falls back to the interpreter when absent
  uint32_t cc = 0;
  pcre2_pattern_info(code_, PCRE2_INFO_CAPTURECOUNT, &cc);
  captureCount_ = static_cast<int>(cc);
  data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  if (!data_) {
    pcre2_code_free(code_);
    throw std::bad_alloc();
  }
}

TPcrePattern::~TPcrePattern() {
  pcre2_match_data_free(data_);
  pcre2_code_free(code_);
}

bool TPcrePattern::Search(std::string_view subject, size_t start) {
  // PCRE2 wants a non-null pointer even for an empty subject.
  const char* p = subject.data() ? subject.data() : "";
  int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(p), subject.size(), start, 0, data_, nullptr);
  if (rc >= 0) return true;
  if (rc == PCRE2_ERROR_NOMATCH) return false;
  PCRE2_UCHAR buf[256];
  pcre2_get_error_message(rc, buf, sizeof buf);
  throw ESqlRegex(std::string("match failed: ") + reinterpret_cast<char*>(buf));
}

size_t TPcrePattern::GroupBegin(int g) const {
  if (g < 0 || g > captureCount_) return std::string::npos;
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
  return ov[2 * g] == PCRE2_UNSET ? std::string::npos : ov[2 * g];
}

size_t TPcrePattern::GroupEnd(int g) const {
  if (g < 0 || g > captureCount_) return std::string::npos;
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
  return ov[2 * g + 1] == PCRE2_UNSET ? std::string::npos : ov[2 * g + 1];
}

// ---- TLiteralAlternation -------------------------------------------------------------------

namespace {

// Reads a plain text up to a pattern character other than an escaped punctuation character.
// Returns false when an escape of another kind turns up.
bool ReadPlain(std::string_view p, size_t& i, std::string& out) {
  while (i < p.size()) {
    char c = p[i];
    if (c == '\\') {
      if (i + 1 < p.size() && IsAsciiPunct(p[i + 1])) {
        out.push_back(p[i + 1]);
        i += 2;
        continue;
      }
      return false;
    }
    if (IsMeta(c)) return true;
    out.push_back(c);
    ++i;
  }
  return true;
}

}  // namespace

std::unique_ptr<TLiteralAlternation> TLiteralAlternation::Parse(std::string_view p) {
  auto r = std::make_unique<TLiteralAlternation>();
  size_t i = 0;
  std::string prefix, suffix;
  std::vector<std::string> alts;
  bool grouped = false;
  if (i < p.size() && p[i] == '^') {
    r->anchoredStart_ = true;
    ++i;
  }
  if (!ReadPlain(p, i, prefix)) return nullptr;
  if (i < p.size() && p[i] == '(') {
    grouped = true;
    ++i;
    if (p.substr(i, 2) == "?:") i += 2;
    else if (i < p.size() && p[i] == '?') return nullptr;
  } else if (i < p.size() && p[i] != '|') {
    return nullptr;
  }
  if (!grouped) {
    // Bare alternation: no anchors, the prefix read so far is the first alternative.
    if (r->anchoredStart_) return nullptr;
    alts.push_back(std::move(prefix));
    prefix.clear();
    while (i < p.size()) {
      if (p[i] != '|') return nullptr;
      ++i;
      std::string a;
      if (!ReadPlain(p, i, a)) return nullptr;
      alts.push_back(std::move(a));
    }
  } else {
    while (true) {
      std::string a;
      if (!ReadPlain(p, i, a)) return nullptr;
      alts.push_back(std::move(a));
      if (i >= p.size()) return nullptr;
      if (p[i] == '|') {
        ++i;
        continue;
      }
      if (p[i] == ')') {
        ++i;
        break;
      }
      return nullptr;
    }
    if (!ReadPlain(p, i, suffix)) return nullptr;
    if (i < p.size() && p[i] == '$') {
      r->anchoredEnd_ = true;
      ++i;
    }
    if (i != p.size()) return nullptr;
  }
  // A quantifier right after the group was caught above (it is a pattern character), so
  // every alternative is a plain text between the prefix and the suffix.
  size_t total = 0;
  for (auto& a : alts) total += prefix.size() + a.size() + suffix.size();
  r->arena_.reserve(total);
  std::vector<std::pair<size_t, size_t>> spans;
  spans.reserve(alts.size());
  for (auto& a : alts) {
    size_t at = r->arena_.size();
    r->arena_ += prefix;
    r->arena_ += a;
    r->arena_ += suffix;
    spans.emplace_back(at, r->arena_.size() - at);
  }
  r->views_.reserve(spans.size() * 2);
  for (auto [at, len] : spans) {
    std::string_view v(r->arena_.data() + at, len);
    if (v.empty()) r->hasEmpty_ = true;
    r->views_.insert(v);
    if (std::find(r->lengths_.begin(), r->lengths_.end(), len) == r->lengths_.end()) r->lengths_.push_back(len);
  }
  std::sort(r->lengths_.begin(), r->lengths_.end());
  return r;
}

bool TLiteralAlternation::Matches(std::string_view s) const {
  const size_t n = s.size();
  // "$" matches at the end and before a final newline.
  auto endOk = [&](size_t end) { return end == n || (end + 1 == n && s[end] == '\n'); };
  if (anchoredStart_) {
    for (size_t len : lengths_) {
      if (len > n) break;
      if (views_.count(s.substr(0, len)) && (!anchoredEnd_ || endOk(len))) return true;
    }
    return false;
  }
  if (anchoredEnd_) {
    for (size_t len : lengths_) {
      if (len <= n && views_.count(s.substr(n - len, len))) return true;
      if (n > 0 && s[n - 1] == '\n' && len + 1 <= n && views_.count(s.substr(n - 1 - len, len))) return true;
    }
    return false;
  }
  if (hasEmpty_) return true;
  for (size_t len : lengths_) {
    if (len > n) break;
    for (size_t at = 0; at + len <= n; ++at) {
      if (views_.count(s.substr(at, len))) return true;
    }
  }
  return false;
}

// ---- top-level split -----------------------------------------------------------------------

std::vector<std::string_view> SplitTopLevelAlternatives(std::string_view p) {
  std::vector<std::string_view> out;
  int depth = 0;
  size_t start = 0;
  size_t i = 0;
  while (i < p.size()) {
    char c = p[i];
    if (c == '\\') {
      if (i + 1 < p.size() && p[i + 1] == 'Q') {
        size_t e = p.find("\\E", i + 2);
        i = e == std::string_view::npos ? p.size() : e + 2;
      } else {
        i += 2;
      }
      continue;
    }
    if (c == '[') {
      // Character class: "]" right after "[" or "[^" is a member; escapes and [:name:] skip.
      size_t j = i + 1;
      if (j < p.size() && p[j] == '^') ++j;
      if (j < p.size() && p[j] == ']') ++j;
      while (j < p.size() && p[j] != ']') {
        if (p[j] == '\\') {
          j += 2;
        } else if (p[j] == '[' && j + 1 < p.size() && p[j + 1] == ':') {
          size_t e = p.find(":]", j + 2);
          j = e == std::string_view::npos ? j + 1 : e + 2;
        } else {
          ++j;
        }
      }
      i = j + 1;
      continue;
    }
    if (c == '(') ++depth;
    else if (c == ')') depth = std::max(0, depth - 1);
    else if (c == '|' && depth == 0) {
      out.push_back(p.substr(start, i - start));
      start = i + 1;
    }
    ++i;
  }
  out.push_back(p.substr(std::min(start, p.size())));
  return out;
}

// ---- TRegexpMatcher ------------------------------------------------------------------------

namespace {

std::string Join(const std::vector<std::string_view>& alts, size_t lo, size_t hi) {
  std::string s;
  for (size_t k = lo; k < hi; ++k) {
    if (k > lo) s.push_back('|');
    s.append(alts[k]);
  }
  return s;
}

void CompileParts(const std::vector<std::string_view>& alts, size_t lo, size_t hi,
                  std::vector<std::unique_ptr<TPcrePattern>>& parts) {
  try {
    parts.push_back(std::make_unique<TPcrePattern>(Join(alts, lo, hi)));
  } catch (const ESqlRegexTooLarge&) {
    if (hi - lo < 2) throw;
    size_t mid = lo + (hi - lo) / 2;
    CompileParts(alts, lo, mid, parts);
    CompileParts(alts, mid, hi, parts);
  }
}

}  // namespace

TRegexpMatcher::TRegexpMatcher(std::string_view pattern) {
  if (pattern.find('|') != std::string_view::npos) {
    auto set = TLiteralAlternation::Parse(pattern);
    if (set && set->Count() >= kLiteralSetThreshold) {
      ++gCompileCount;
      set_ = std::move(set);
      return;
    }
  }
  try {
    parts_.push_back(std::make_unique<TPcrePattern>(pattern));
  } catch (const ESqlRegexTooLarge&) {
    auto alts = SplitTopLevelAlternatives(pattern);
    if (alts.size() < 2) throw;
    // A leading inline option such as (?i) belongs to every alternative; such patterns are
    // not split.
    if (pattern.substr(0, 2) == "(?" && pattern.size() > 2 && pattern[2] != ':' && pattern[2] != '<' &&
        pattern[2] != '=' && pattern[2] != '!' && pattern[2] != '>')
      throw;
    CompileParts(alts, 0, alts.size(), parts_);
  }
}

bool TRegexpMatcher::Matches(std::string_view subject) {
  if (set_) return set_->Matches(subject);
  for (auto& p : parts_)
    if (p->Search(subject)) return true;
  return false;
}

const char* TRegexpMatcher::Kind() const { return set_ ? "set" : parts_.size() > 1 ? "split" : "pcre"; }

// ---- pattern normalisation -----------------------------------------------------------------

std::string NormalizeRegexPattern(std::string_view p, unsigned options) {
  std::string out;
  out.reserve(p.size() + 8);
  const bool half = options & (strconv_opt::K | strconv_opt::V | strconv_opt::W);
  size_t runStart = 0;
  size_t i = 0;
  auto flush = [&](size_t end) {
    if (end > runStart) StrConvAppend(p.substr(runStart, end - runStart), options, out);
  };
  while (i < p.size()) {
    char c = p[i];
    if (c == '\\' && i + 1 < p.size()) {
      flush(i);
      unsigned char next = static_cast<unsigned char>(p[i + 1]);
      if (next < 0x80) {
        if (next == 'Q') {
          // \Q...\E: literal text, folded like the subject.
          size_t e = p.find("\\E", i + 2);
          size_t stop = e == std::string_view::npos ? p.size() : e;
          out.append("\\Q");
          StrConvAppend(p.substr(i + 2, stop - (i + 2)), options, out);
          if (e != std::string_view::npos) out.append("\\E");
          i = e == std::string_view::npos ? p.size() : e + 2;
          runStart = i;
          continue;
        }
        size_t j = i + 2;
        if (j < p.size() && p[j] == '{' && std::string_view("pPxNgkou").find(static_cast<char>(next)) != std::string_view::npos) {
          size_t e = p.find('}', j);
          j = e == std::string_view::npos ? p.size() : e + 1;
        } else if ((next == 'k' || next == 'g') && j < p.size() && (p[j] == '<' || p[j] == '\'')) {
          size_t e = p.find(p[j] == '<' ? '>' : '\'', j + 1);
          j = e == std::string_view::npos ? p.size() : e + 1;
        } else if (next == 'c' && j < p.size()) {
          ++j;
        }
        out.append(p.substr(i, j - i));
        i = j;
        runStart = i;
        continue;
      }
      // A backslash before a non-ASCII character makes it literal: fold the character.
      size_t j = i + 1;
      kana::DecodeUtf8(p.data(), p.size(), j);
      if (j < p.size()) {  // a half-width voicing mark belongs to the kana before it
        size_t k = j;
        char32_t mark = kana::DecodeUtf8(p.data(), p.size(), k);
        if (mark == 0xFF9E || mark == 0xFF9F) j = k;
      }
      std::string folded;
      StrConvAppend(p.substr(i + 1, j - (i + 1)), options, folded);
      if (!folded.empty()) {
        char f = folded[0];
        if (folded.size() == 1 && IsAsciiPunct(f)) out.push_back('\\');
        out += folded;
      }
      i = j;
      runStart = i;
      continue;
    }
    if (c == '(' && i + 2 < p.size() && p[i + 1] == '?') {
      // Group names are copied as they stand, so definitions and references keep agreeing:
      // (?<name> (?'name' (?P<name> (?P=name) (?P>name) (?&name).
      std::string_view rest = p.substr(i + 2);
      char close = 0;
      size_t skip = 0;
      if (rest.size() > 1 && rest[0] == '<' && rest[1] != '=' && rest[1] != '!') close = '>', skip = 1;
      else if (!rest.empty() && rest[0] == '\'') close = '\'', skip = 1;
      else if (rest.size() > 1 && rest[0] == 'P' && rest[1] == '<') close = '>', skip = 2;
      else if (rest.size() > 1 && rest[0] == 'P' && (rest[1] == '=' || rest[1] == '>')) close = ')', skip = 2;
      else if (!rest.empty() && rest[0] == '&') close = ')', skip = 1;
      if (close) {
        flush(i);
        size_t e = p.find(close, i + 2 + skip);
        size_t j = e == std::string_view::npos ? p.size() : e + 1;
        out.append(p.substr(i, j - i));
        i = j;
        runStart = i;
        continue;
      }
    }
    if (static_cast<unsigned char>(c) == 0xEF && half) {
      // Full-width look-alikes of pattern characters (U+FF01..U+FF5E) stay literal.
      size_t j = i;
      char32_t cp = kana::DecodeUtf8(p.data(), p.size(), j);
      char32_t a = kana::FullToAscii(cp);
      if (a != cp && a < 0x80 && IsMeta(static_cast<char>(a))) {
        flush(i);
        out.push_back('\\');
        out.push_back(static_cast<char>(a));
        i = j;
        runStart = i;
        continue;
      }
      i = j;
      continue;
    }
    ++i;
  }
  flush(p.size());
  return out;
}

// ---- replacement ---------------------------------------------------------------------------

void ExpandReplacement(std::string_view r, const TPcrePattern& re, std::string_view subject, std::string& out) {
  auto group = [&](int g) {
    size_t b = re.GroupBegin(g), e = re.GroupEnd(g);
    if (b != std::string::npos && e != std::string::npos && e >= b) out.append(subject.substr(b, e - b));
  };
  // Reads a group number of one or two digits (two only when such a group exists).
  auto number = [&](size_t& j) -> int {
    int g = r[j] - '0';
    ++j;
    if (j < r.size() && r[j] >= '0' && r[j] <= '9') {
      int g2 = g * 10 + (r[j] - '0');
      if (g2 <= re.GroupCount()) {
        g = g2;
        ++j;
      }
    }
    return g;
  };
  for (size_t i = 0; i < r.size();) {
    char c = r[i];
    if ((c == '\\' || c == '$') && i + 1 < r.size()) {
      char n = r[i + 1];
      if (n >= '0' && n <= '9') {
        size_t j = i + 1;
        group(number(j));
        i = j;
        continue;
      }
      if (c == '$' && n == '&') {
        group(0);
        i += 2;
        continue;
      }
      if (c == '$' && n == '{') {
        size_t e = r.find('}', i + 2);
        if (e != std::string_view::npos && e > i + 2 &&
            std::all_of(r.begin() + i + 2, r.begin() + e, [](char d) { return d >= '0' && d <= '9'; })) {
          int g = std::stoi(std::string(r.substr(i + 2, e - i - 2)));
          group(g);
          i = e + 1;
          continue;
        }
      }
      if (c == '\\' && (n == '\\' || n == '$')) {
        out.push_back(n);
        i += 2;
        continue;
      }
    }
    out.push_back(c);
    ++i;
  }
}

// ---- cache ---------------------------------------------------------------------------------

std::shared_ptr<TRegexpMatcher> TRegexCache::Matcher(std::string_view pattern, unsigned options) {
  std::string key;
  key.reserve(pattern.size() + 1);
  key.push_back(static_cast<char>('0' + options));
  key.append(pattern);
  auto it = matchers_.find(key);
  if (it != matchers_.end()) return it->second;
  auto m = std::make_shared<TRegexpMatcher>(NormalizeRegexPattern(pattern, options));
  if (matchers_.size() >= kMaxEntries) matchers_.clear();
  matchers_.emplace(std::move(key), m);
  return m;
}

std::shared_ptr<TPcrePattern> TRegexCache::Plain(std::string_view pattern) {
  std::string key(pattern);
  auto it = plain_.find(key);
  if (it != plain_.end()) return it->second;
  auto m = std::make_shared<TPcrePattern>(pattern);
  if (plain_.size() >= kMaxEntries) plain_.clear();
  plain_.emplace(std::move(key), m);
  return m;
}
