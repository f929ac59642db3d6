#define PCRE2_CODE_UNIT_WIDTH 8
#include "database/sql_regexp.h"

#include <pcre2.h>

#include <algorithm>
#include <atomic>

#include "database/perl_regex.h"
#include "database/strconv.h"
#include "foundation/kana_tables.h"

namespace {

std::atomic<long> gCompileCount{0};

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

int TPcrePattern::GroupNumber(std::string_view name) const {
  const std::string n(name);
  const int rc = pcre2_substring_number_from_name(code_, reinterpret_cast<PCRE2_SPTR>(n.c_str()));
  return rc < 0 ? -1 : rc;
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
    if (IsRegexMeta(c)) return true;
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

namespace {

// Index after the pattern item that starts at p[i] when it is an escape (\Q...\E included) or
// a character class; i itself for any other character.
size_t SkipEscapeOrClass(std::string_view p, size_t i) {
  char c = p[i];
  if (c == '\\') {
    if (i + 1 < p.size() && p[i + 1] == 'Q') {
      size_t e = p.find("\\E", i + 2);
      return e == std::string_view::npos ? p.size() : e + 2;
    }
    return std::min(i + 2, p.size());
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
    return std::min(j + 1, p.size());
  }
  return i;
}

}  // namespace

std::vector<std::string_view> SplitTopLevelAlternatives(std::string_view p) {
  std::vector<std::string_view> out;
  int depth = 0;
  size_t start = 0;
  size_t i = 0;
  while (i < p.size()) {
    if (size_t j = SkipEscapeOrClass(p, i); j != i) {
      i = j;
      continue;
    }
    char c = p[i];
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

// The outermost group of a pattern that holds the most alternatives and may be cut into
// parts: a plain or "(?:" group at depth 0 without a quantifier after it. P(a|b|c)S matches
// where P(a|b)S or P(c)S does, and the group keeps its number in every part.
struct TGroupCut {
  size_t open = 0;        // index of "("
  size_t innerBegin = 0;  // after "(" or "(?:"
  size_t close = 0;       // index of ")"
  std::vector<std::string_view> alts;
};

bool FindGroupToCut(std::string_view p, TGroupCut& best) {
  bool found = false;
  int depth = 0;
  size_t open = 0;
  for (size_t i = 0; i < p.size();) {
    if (size_t j = SkipEscapeOrClass(p, i); j != i) {
      i = j;
      continue;
    }
    char c = p[i];
    if (c == '(') {
      if (depth++ == 0) open = i;
    } else if (c == ')' && depth > 0 && --depth == 0) {
      size_t inner = open + 1;
      bool cuttable = true;
      if (inner < p.size() && p[inner] == '?') {
        if (p.substr(inner, 2) == "?:") inner += 2;
        else cuttable = false;  // look-arounds, atomic groups, options, conditions
      }
      char next = i + 1 < p.size() ? p[i + 1] : '\0';
      if (next == '*' || next == '+' || next == '?' || next == '{') cuttable = false;
      if (cuttable) {
        const std::string_view body = p.substr(inner, i - inner);
        auto alts = SplitTopLevelAlternatives(body);
        TGroupCut nested;
        if (alts.size() >= 2) {
          if (!found || alts.size() > best.alts.size()) {
            best = TGroupCut{open, inner, i, std::move(alts)};
            found = true;
          }
        } else if (FindGroupToCut(body, nested) && (!found || nested.alts.size() > best.alts.size())) {
          // A group of one alternative: the cut may go into a group inside it.
          best = TGroupCut{inner + nested.open, inner + nested.innerBegin, inner + nested.close,
                           std::move(nested.alts)};
          found = true;
        }
      }
    }
    ++i;
  }
  return found;
}

// A leading inline option such as (?i) belongs to every top-level alternative.
bool StartsWithInlineOption(std::string_view p) {
  return p.size() > 2 && p.substr(0, 2) == "(?" && p[2] != ':' && p[2] != '<' && p[2] != '=' && p[2] != '!' &&
         p[2] != '>' && p[2] != '\'' && p[2] != 'P' && p[2] != '&';
}

// Compiles a pattern, or, when PCRE2 finds it too large, parts of it whose matches together
// are the pattern's: its top-level alternatives in halves, else the alternatives of its
// largest group in halves.
void CompileInParts(const std::string& pattern, std::vector<std::unique_ptr<TPcrePattern>>& parts) {
  try {
    parts.push_back(std::make_unique<TPcrePattern>(pattern));
    return;
  } catch (const ESqlRegexTooLarge&) {
  }
  auto alts = SplitTopLevelAlternatives(pattern);
  if (alts.size() >= 2 && !StartsWithInlineOption(pattern)) {
    const size_t mid = alts.size() / 2;
    CompileInParts(Join(alts, 0, mid), parts);
    CompileInParts(Join(alts, mid, alts.size()), parts);
    return;
  }
  TGroupCut cut;
  if (!FindGroupToCut(pattern, cut)) {
    TPcrePattern again(pattern);  // throws the "too large" error with its message
    return;
  }
  const std::string_view p(pattern);
  const std::string head(p.substr(0, cut.innerBegin));
  const std::string_view tail = p.substr(cut.close);
  const size_t mid = cut.alts.size() / 2;
  CompileInParts(head + Join(cut.alts, 0, mid) + std::string(tail), parts);
  CompileInParts(head + Join(cut.alts, mid, cut.alts.size()) + std::string(tail), parts);
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
  CompileInParts(std::string(pattern), parts_);
}

bool TRegexpMatcher::Matches(std::string_view subject) {
  if (set_) return set_->Matches(subject);
  for (auto& p : parts_)
    if (p->Search(subject)) return true;
  return false;
}

const char* TRegexpMatcher::Kind() const { return set_ ? "set" : parts_.size() > 1 ? "split" : "pcre"; }

// ---- pattern normalisation -----------------------------------------------------------------

namespace {

// One pass over a pattern of regexp: runs of literal text are folded as strconv folds the
// subject, pattern syntax is copied as it stands.
class TPatternNormaliser {
 public:
  TPatternNormaliser(std::string_view Pattern, unsigned Options)
      : p_(Pattern),
        options_(Options),
        half_(Options & (strconv_opt::K | strconv_opt::V | strconv_opt::W)),
        fold_(Options & strconv_opt::V) {
    out_.reserve(p_.size() + 8);
  }

  std::string Run() {
    while (i_ < p_.size()) {
      const char c = p_[i_];
      const auto u = static_cast<unsigned char>(c);
      if (c == '\\' && i_ + 1 < p_.size()) {
        Flush(i_);
        if (static_cast<unsigned char>(p_[i_ + 1]) < 0x80)
          AsciiEscape();
        else
          EscapedNonAscii();
        continue;
      }
      if (c == '(' && GroupHead()) continue;
      if (ClassBracket(c)) continue;
      if (fold_ && u >= 0x80 && DeletedMark()) continue;
      if (u == 0xEF && half_) {
        FullWidthLookAlike();
        continue;
      }
      ++i_;
    }
    Flush(p_.size());
    return std::move(out_);
  }

 private:
  // Folds the literal run up to End.
  void Flush(size_t End) {
    if (End > runStart_) StrConvAppend(p_.substr(runStart_, End - runStart_), options_, out_);
  }
  // Goes on at J with a new literal run.
  void MoveTo(size_t J) {
    i_ = J;
    runStart_ = J;
  }
  // Copies p[i..E] unchanged (to the end when E is npos) and goes on after it.
  void CopyThrough(size_t E) {
    Flush(i_);
    const size_t j = E == std::string_view::npos ? p_.size() : E + 1;
    out_.append(p_.substr(i_, j - i_));
    MoveTo(j);
  }

  // A backslash before an ASCII character: the escape is copied whole (\p{..}, \k<name>, \cX,
  // \pL ...); \Q...\E is literal text, folded like the subject.
  void AsciiEscape() {
    const char next = p_[i_ + 1];
    if (next == 'Q') {
      const size_t e = p_.find("\\E", i_ + 2);
      const size_t stop = e == std::string_view::npos ? p_.size() : e;
      out_.append("\\Q");
      StrConvAppend(p_.substr(i_ + 2, stop - (i_ + 2)), options_, out_);
      if (e != std::string_view::npos) out_.append("\\E");
      MoveTo(e == std::string_view::npos ? p_.size() : e + 2);
      return;
    }
    size_t j = i_ + 2;
    if (j < p_.size() && p_[j] == '{' && std::string_view("pPxNgkou").find(next) != std::string_view::npos) {
      const size_t e = p_.find('}', j);
      j = e == std::string_view::npos ? p_.size() : e + 1;
    } else if ((next == 'k' || next == 'g') && j < p_.size() && (p_[j] == '<' || p_[j] == '\'')) {
      const size_t e = p_.find(p_[j] == '<' ? '>' : '\'', j + 1);
      j = e == std::string_view::npos ? p_.size() : e + 1;
    } else if ((next == 'c' || next == 'p' || next == 'P') && j < p_.size() &&
               static_cast<unsigned char>(p_[j]) < 0x80) {
      ++j;  // \cX, and a one-letter property \pL: the letter is part of the escape
    }
    out_.append(p_.substr(i_, j - i_));
    MoveTo(j);
  }

  // A backslash before a non-ASCII character makes it literal: the character is folded (a
  // half-width voicing mark after it with it), and stays escaped when it folds to ASCII
  // punctuation.
  void EscapedNonAscii() {
    size_t j = i_ + 1;
    kana::DecodeUtf8(p_.data(), p_.size(), j);
    if (j < p_.size()) {
      size_t k = j;
      const char32_t mark = kana::DecodeUtf8(p_.data(), p_.size(), k);
      if (mark == 0xFF9E || mark == 0xFF9F) j = k;
    }
    std::string folded;
    StrConvAppend(p_.substr(i_ + 1, j - (i_ + 1)), options_, folded);
    if (!folded.empty()) {
      if (folded.size() == 1 && IsAsciiPunct(folded[0])) out_.push_back('\\');
      out_ += folded;
    }
    MoveTo(j);
  }

  // Group names, option settings, call-outs and verbs are copied as they stand, so that
  // definitions and references keep agreeing and options keep their case: (?<name> (?'name'
  // (?P<name> (?P=name) (?P>name) (?&name), (?i) (?U) (?-x: (?C1), (*UTF) (*SKIP). False for
  // any other "(".
  bool GroupHead() {
    if (i_ + 1 < p_.size() && p_[i_ + 1] == '*') {
      CopyThrough(p_.find(')', i_ + 2));
      return true;
    }
    if (i_ + 2 >= p_.size() || p_[i_ + 1] != '?') return false;
    const std::string_view rest = p_.substr(i_ + 2);
    char close = 0;
    size_t skip = 0;
    if (rest.size() > 1 && rest[0] == '<' && rest[1] != '=' && rest[1] != '!') close = '>', skip = 1;
    else if (rest[0] == '\'') close = '\'', skip = 1;
    else if (rest.size() > 1 && rest[0] == 'P' && rest[1] == '<') close = '>', skip = 2;
    else if (rest.size() > 1 && rest[0] == 'P' && (rest[1] == '=' || rest[1] == '>')) close = ')', skip = 2;
    else if (rest[0] == '&') close = ')', skip = 1;
    else if (std::string_view("imnsxJUC-^").find(rest[0]) != std::string_view::npos) {
      CopyThrough(p_.find_first_of(":)", i_ + 2));
      return true;
    }
    if (!close) return false;
    CopyThrough(p_.find(close, i_ + 2 + skip));
    return true;
  }

  // The brackets of a character class ("]" right after "[" or "[^" is a member, [:name:]
  // inside is one item); the members stay in the literal run.
  bool ClassBracket(char C) {
    if (C == '[' && !inClass_) {
      inClass_ = true;
      ++i_;
      if (i_ < p_.size() && p_[i_] == '^') ++i_;
      if (i_ < p_.size() && p_[i_] == ']') ++i_;
      return true;
    }
    if (inClass_ && C == '[' && i_ + 1 < p_.size() && p_[i_ + 1] == ':') {
      const size_t e = p_.find(":]", i_ + 2);
      i_ = e == std::string_view::npos ? i_ + 1 : e + 2;
      return true;
    }
    if (C == ']' && inClass_) {
      inClass_ = false;
      ++i_;
      return true;
    }
    return false;
  }

  // The folding deletes "ー" and "－" from subject and pattern. In a class a full-width hyphen
  // still makes a range ([Ａ－Ｚ]) and a long-vowel mark stays (it matches nothing, but "[ー]"
  // remains a class); a deleted character with a quantifier after it leaves an empty group for
  // the quantifier, so "ー+" still compiles. False for any other character.
  bool DeletedMark() {
    size_t j = i_;
    const char32_t cp = kana::DecodeUtf8(p_.data(), p_.size(), j);
    const bool hyphen = kana::IsFullHyphen(cp);
    if (!hyphen && cp != kana::kLongVowel && cp != kana::kHalfLongVowel) return false;
    const bool quantified = j < p_.size() && (p_[j] == '*' || p_[j] == '+' || p_[j] == '?' ||
                                              (p_[j] == '{' && j + 1 < p_.size() && p_[j + 1] >= '0' && p_[j + 1] <= '9'));
    if (!inClass_ && !quantified) return false;
    Flush(i_);
    if (!inClass_) out_ += "(?:)";
    else if (hyphen) out_ += '-';
    else out_.append(p_.substr(i_, j - i_));
    MoveTo(j);
    return true;
  }

  // Full-width look-alikes of pattern characters (U+FF01..U+FF5E) stay literal: escaped ASCII.
  void FullWidthLookAlike() {
    size_t j = i_;
    const char32_t cp = kana::DecodeUtf8(p_.data(), p_.size(), j);
    const char32_t a = kana::FullToAscii(cp);
    if (a != cp && a < 0x80 && IsRegexMeta(static_cast<char>(a))) {
      Flush(i_);
      out_.push_back('\\');
      out_.push_back(static_cast<char>(a));
      MoveTo(j);
      return;
    }
    i_ = j;
  }

  const std::string_view p_;
  const unsigned options_;
  const bool half_, fold_;
  std::string out_;
  size_t i_ = 0;
  size_t runStart_ = 0;  // start of the literal run not yet folded
  bool inClass_ = false;
};

}  // namespace

std::string NormalizeRegexPattern(std::string_view p, unsigned options) { return TPatternNormaliser(p, options).Run(); }

// ---- replacement ---------------------------------------------------------------------------

bool ExpandReplacement(std::string_view r, const TPcrePattern& re, std::string_view subject, std::string& out,
                       size_t limit) {
  return ExpandGroupReferences(
      r, re.GroupCount(),
      [&](int g) {
        const size_t b = re.GroupBegin(g), e = re.GroupEnd(g);
        return b != std::string::npos && e != std::string::npos && e >= b ? subject.substr(b, e - b)
                                                                        : std::string_view();
      },
      [&](std::string_view name) { return re.GroupNumber(name); }, out, limit);
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
