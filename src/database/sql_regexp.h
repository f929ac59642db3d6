#pragma once
// Regular expressions of the SQL functions regexp, re_replace and extnum: PCRE2 in UTF-8 mode
// (invalid UTF-8 tolerated, no Unicode properties, so \d \s \w stay ASCII), JIT-compiled, with
// one reusable match block per pattern.  Patterns are compiled once per connection and
// statement (a small per-connection cache plus SQLite's auxiliary data), never per row.
//
// Large alternations of plain texts (for example thousands of crop codes joined by "|") are
// matched through a hash set instead of PCRE2, whose compiled size is limited; other patterns
// too large to compile are split at their top-level "|" into parts that compile.
#include <cstdint>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/text_utils.h"

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

// A pattern that does not compile, or a match that fails inside PCRE2.
// A NUL byte of the pattern shows as "␀" in the message (never cuts it).
class ESqlRegex : public std::runtime_error {
 public:
  explicit ESqlRegex(const std::string& Msg) : std::runtime_error(VisibleNul(Msg)) {}
};

// Number of patterns compiled by the SQL functions since the program started (PCRE2
// compilations and hash-set builds); benchmarks and tests read it.
long SqlRegexCompileCount();

// One compiled PCRE2 pattern with its match block.
class TPcrePattern {
 public:
  // Throws ESqlRegex with PCRE2's message and the offset when the pattern does not compile
  // (PCRE2's "too large" error is reported as ESqlRegexTooLarge).
  explicit TPcrePattern(std::string_view pattern);
  ~TPcrePattern();
  TPcrePattern(const TPcrePattern&) = delete;
  TPcrePattern& operator=(const TPcrePattern&) = delete;

  // Searches subject from byte offset start; true on a match.  Throws ESqlRegex when PCRE2
  // gives up (match limit, ...).
  bool Search(std::string_view subject, size_t start = 0);
  // Group offsets of the last successful Search: (begin, end) in bytes; npos when the group
  // took no part.  Group 0 is the whole match.
  int GroupCount() const { return captureCount_; }
  size_t GroupBegin(int g) const;
  size_t GroupEnd(int g) const;
  // Number of the named group, -1 when there is none.
  int GroupNumber(std::string_view name) const;

 private:
  pcre2_real_code_8* code_ = nullptr;
  pcre2_real_match_data_8* data_ = nullptr;
  int captureCount_ = 0;
};

class ESqlRegexTooLarge : public ESqlRegex {
 public:
  using ESqlRegex::ESqlRegex;
};

// An alternation of plain texts in one of the forms  a|b|c   P(a|b|c)S   ^P(a|b|c)S
// P(a|b|c)S$   ^P(a|b|c)S$  ("(?:" also accepted; P and S plain texts, possibly empty; a
// backslash before an ASCII punctuation character makes it plain).  Matched with a hash set,
// with the same result PCRE2 gives.
class TLiteralAlternation {
 public:
  // nullptr when the pattern has another form.
  static std::unique_ptr<TLiteralAlternation> Parse(std::string_view pattern);
  bool Matches(std::string_view subject) const;
  size_t Count() const { return views_.size(); }

 private:
  std::string arena_;
  std::unordered_set<std::string_view> views_;
  std::vector<size_t> lengths_;  // distinct lengths, ascending
  bool anchoredStart_ = false;
  bool anchoredEnd_ = false;
  bool hasEmpty_ = false;
};

// The matcher of the SQL function regexp for one normalised pattern.
class TRegexpMatcher {
 public:
  // Alternations of plain texts with at least this many alternatives use the hash set.
  static constexpr size_t kLiteralSetThreshold = 16;
  explicit TRegexpMatcher(std::string_view normalisedPattern);
  bool Matches(std::string_view subject);
  // "pcre", "set" or "split" (tests and benchmarks).
  const char* Kind() const;

 private:
  std::unique_ptr<TLiteralAlternation> set_;
  std::vector<std::unique_ptr<TPcrePattern>> parts_;  // one, or several after a split
};

// Normalises a pattern of regexp with the key options (see strconv.h), leaving the
// character after a backslash alone (\D, \S, \W, \B, \p{..} keep their meaning) and escaping
// full-width look-alikes of pattern characters (（ becomes \( , not a group).
std::string NormalizeRegexPattern(std::string_view pattern, unsigned options);

// Splits a pattern at its top-level "|" (outside groups, classes and escapes).
std::vector<std::string_view> SplitTopLevelAlternatives(std::string_view pattern);

// Replacement text with its group references filled from the last match of re on subject
// (the references of ExpandGroupReferences in perl_regex.h). False, with the appending
// stopped, as soon as out passes limit bytes.
bool ExpandReplacement(std::string_view replacement, const TPcrePattern& re, std::string_view subject,
                       std::string& out, size_t limit = std::string::npos);

// Per-connection cache of compiled patterns (bounded; cleared when full).  Entries are shared,
// so a statement keeps its pattern even after the cache drops it.
class TRegexCache {
 public:
  std::shared_ptr<TRegexpMatcher> Matcher(std::string_view pattern, unsigned options);
  std::shared_ptr<TPcrePattern> Plain(std::string_view pattern);

 private:
  static constexpr size_t kMaxEntries = 64;
  std::unordered_map<std::string, std::shared_ptr<TRegexpMatcher>> matchers_;
  std::unordered_map<std::string, std::shared_ptr<TPcrePattern>> plain_;
};
