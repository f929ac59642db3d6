#pragma once
// TPerlRegEx: the program's regular-expression object on PCRE2 (8-bit, UTF-8 mode with
// invalid UTF-8 tolerated, no Unicode properties so \d \s \w stay ASCII).
//
// Usage follows the classic pattern: set RegEx, Options and Subject, call Match(), read the
// groups, then MatchAgain() for the next match; Replace()/ReplaceAll() substitute the
// Replacement text ("$1", "\1", "${1}", "$&", "\\" and "\$" are understood); Split() cuts the
// subject at every match.  The compiled pattern is kept until the pattern text or the options
// change, and the match data is reused, so one object can serve many subjects cheaply.
// Patterns that fail to compile and matches that hit PCRE2's limits throw EPerlRegEx.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;

#include "foundation/text_utils.h"

// The ASCII characters with a meaning in a pattern outside a character class.
inline bool IsRegexMeta(char c) {
  switch (c) {
    case '\\': case '^': case '$': case '.': case '|': case '?': case '*': case '+':
    case '(': case ')': case '[': case ']': case '{': case '}':
      return true;
    default:
      return false;
  }
}

// Appends a replacement text with its group references filled: "$n" and "\\n" (one or two
// digits, two only when that group exists), "${n}" and "${name}", "$&" the whole match, "$$"
// and "\\$" a dollar sign, "\\\\" a backslash; anything else is copied. group(n) gives the
// text of group n ("" when it took no part), namedGroup(name) its number or -1. False, with
// the appending stopped, as soon as out passes limit bytes (a reference may repeat a long
// group any number of times).
template <typename GroupFn, typename NameFn>
bool ExpandGroupReferences(std::string_view r, int groupCount, GroupFn&& group, NameFn&& namedGroup,
                           std::string& out, std::size_t limit = std::string::npos) {
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  auto readNumber = [&](std::size_t& p) {
    int n = r[p] - '0';
    ++p;
    if (p < r.size() && isDigit(r[p]) && n * 10 + (r[p] - '0') <= groupCount) {
      n = n * 10 + (r[p] - '0');
      ++p;
    }
    return n;
  };
  std::size_t p = 0;
  while (p < r.size()) {
    if (out.size() > limit) return false;
    const char c = r[p];
    const char d = p + 1 < r.size() ? r[p + 1] : '\0';
    if ((c == '\\' || c == '$') && isDigit(d)) {
      ++p;
      out += group(readNumber(p));
      continue;
    }
    if ((c == '\\' && (d == '\\' || d == '$')) || (c == '$' && d == '$')) {
      out += d;
      p += 2;
      continue;
    }
    if (c == '$' && d == '&') {
      out += group(0);
      p += 2;
      continue;
    }
    if (c == '$' && d == '{') {
      const std::size_t close = r.find('}', p + 2);
      if (close != std::string_view::npos) {
        const std::string_view name = r.substr(p + 2, close - p - 2);
        int n = -1;
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos) {
          if (name.size() <= 4) n = std::stoi(std::string(name));
        } else {
          n = namedGroup(name);
        }
        if (n >= 0 && n <= groupCount) out += group(n);
        p = close + 1;
        continue;
      }
    }
    out += c;
    ++p;
  }
  return out.size() <= limit;
}

// A NUL byte of the pattern shows as "␀" in the message (never cuts it).
class EPerlRegEx : public std::runtime_error {
 public:
  explicit EPerlRegEx(const std::string& Msg) : std::runtime_error(VisibleNul(Msg)) {}
};

// Option bits (may be or-ed).
enum TPerlRegExOption : unsigned {
  preNone = 0,
  preCaseLess = 1u << 0,       // i
  preMultiLine = 1u << 1,      // m: ^ and $ also at line ends
  preSingleLine = 1u << 2,     // s: dot matches line ends
  preExtended = 1u << 3,       // x: blanks and # comments in the pattern are ignored
  preAnchored = 1u << 4,       // match only at the start position
  preUnGreedy = 1u << 5,       // quantifiers lazy by default
  preNoAutoCapture = 1u << 6,  // plain (...) does not capture
};
using TPerlRegExOptions = unsigned;

class TPerlRegEx {
 public:
  TPerlRegEx();
  explicit TPerlRegEx(std::string_view pattern, TPerlRegExOptions options = preNone);
  ~TPerlRegEx();
  TPerlRegEx(const TPerlRegEx&) = delete;
  TPerlRegEx& operator=(const TPerlRegEx&) = delete;
  TPerlRegEx(TPerlRegEx&& other) noexcept;
  TPerlRegEx& operator=(TPerlRegEx&& other) noexcept;

  // Pattern and options. Setting the same text/options again keeps the compiled pattern.
  void SetRegEx(std::string_view pattern);
  const std::string& RegEx() const { return FRegEx; }
  void SetOptions(TPerlRegExOptions options);
  TPerlRegExOptions Options() const { return FOptions; }
  // Compiles now (otherwise the first match compiles). Throws EPerlRegEx on a bad pattern.
  void Compile();
  bool Compiled() const { return FCode != nullptr; }
  // Compiles the pattern once with the JIT (no-op when the JIT is not available).
  void Study();
  // PCRE2's match limit: the most backtracking steps one match attempt at one start position
  // may take before the match fails with an error (EPerlRegEx). 0 restores PCRE2's default.
  void SetMatchLimit(uint32_t limit);
  uint32_t MatchLimit() const { return FMatchLimit; }

  // Subject: setting it resets the match state.
  void SetSubject(std::string_view subject);
  const std::string& Subject() const { return FSubject; }
  // Byte range of the subject searched by Match (Start is 0-based, Stop exclusive;
  // Stop = npos means the end of the subject).
  void SetStart(std::size_t start) { FStart = start; }
  void SetStop(std::size_t stop) { FStop = stop; }

  void SetReplacement(std::string_view replacement) { FReplacement = replacement; }
  const std::string& Replacement() const { return FReplacement; }

  // Searches from Start; true on a match.
  bool Match();
  // Searches on from the end of the previous match (an empty match moves on by one character).
  bool MatchAgain();

  // Groups of the last match: group 0 is the whole match. GroupCount is the number of
  // capturing groups of the pattern.  A group that took no part gives "" and GroupMatched false.
  int GroupCount() const;
  bool GroupMatched(int index) const;
  std::string Group(int index) const;
  std::string_view GroupView(int index) const;
  std::size_t GroupOffset(int index) const;  // 0-based byte offset into Subject
  std::size_t GroupLength(int index) const;
  int NamedGroup(std::string_view name) const;  // -1 when the pattern has no such group

  std::string MatchedText() const { return Group(0); }
  std::size_t MatchedOffset() const { return GroupOffset(0); }
  std::size_t MatchedLength() const { return GroupLength(0); }

  // The Replacement text with its group references filled from the current match.
  std::string ComputeReplacement() const;
  // Replaces the current match in Subject by ComputeReplacement(); MatchAgain then continues
  // after the inserted text. Returns the inserted text.
  std::string Replace();
  // Replaces every match from Start on; true when at least one was replaced.
  bool ReplaceAll();

  // Cuts the subject at every match. limit > 1: at most limit pieces, the last holding the
  // rest; limit <= 0: no limit; limit == 1: the whole subject. Groups are not added.
  std::vector<std::string> Split(int limit = 0);

  // Every character that has a meaning in a pattern is preceded by a backslash.
  static std::string EscapeRegExChars(std::string_view text);

  // PCRE2 flags for an option set (UTF mode included).
  static uint32_t CompileFlags(TPerlRegExOptions options);

 private:
  void Release();
  void EnsureCompiled();
  bool Exec(std::size_t offset, uint32_t flags);
  void ClearMatch();

  std::string FRegEx;
  TPerlRegExOptions FOptions = preNone;
  std::string FSubject;
  std::string FReplacement;
  std::size_t FStart = 0;
  std::size_t FStop = std::string::npos;
  pcre2_real_code_8* FCode = nullptr;
  pcre2_real_match_data_8* FMatchData = nullptr;
  pcre2_real_match_context_8* FMatchContext = nullptr;  // only while a match limit is set
  uint32_t FMatchLimit = 0;
  bool FJitDone = false;
  int FMatchCount = 0;  // matches run on the current compiled pattern (JIT heuristics)
  bool FFound = false;
  int FCaptureCount = 0;
  std::vector<std::size_t> FOffsets;  // pairs (start, end) per group; npos = unset
  std::size_t FAgainPos = 0;          // where MatchAgain goes on
  bool FAgainEmpty = false;           // the previous match was empty
};

// Regular-expression option letters of the templates: "i" case-less, "m" multi-line,
// "s" single-line, "x" extended; letters are searched anywhere, others ignored.
TPerlRegExOptions RegexFlags(std::string_view flags);

// The program's shared regular-expression object: created by the main window when it is
// created and freed when it is destroyed. Used by RegexReplace and RegexMatch.
// SharedRegEx() creates it on first use when nobody has yet.
TPerlRegEx& SharedRegEx();
void CreateSharedRegEx();
void FreeSharedRegEx();
