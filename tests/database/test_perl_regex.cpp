// The regular-expression object: matching, groups, replacement references, splitting, the
// UTF-8 mode and failures.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "database/perl_regex.h"

namespace {

std::vector<std::string> AllMatches(TPerlRegEx& re) {
  std::vector<std::string> out;
  if (re.Match()) {
    do out.push_back(re.MatchedText());
    while (re.MatchAgain());
  }
  return out;
}

}  // namespace

TEST(PerlRegEx, MatchOptionsAndGroups) {
  struct Case {
    const char* pattern;
    TPerlRegExOptions options;
    const char* subject;
    std::vector<std::string> matches;
  };
  const Case cases[] = {
      {"a.c", preNone, "abc a\nc", {"abc"}},
      {"a.c", preSingleLine, "abc a\nc", {"abc", "a\nc"}},
      {"^b", preNone, "a\nb", {}},
      {"^b", preMultiLine, "a\nb", {"b"}},
      {"ABC", preCaseLess, "xabcx", {"abc"}},
      {"a b # comment", preExtended, "ab", {"ab"}},
      // UTF-8 mode: a dot is one character, not one byte.
      {"と.と", preNone, "とまと", {"とまと"}},
      {"^.$", preNone, "ト", {"ト"}},
      // No Unicode properties: \d and \w stay ASCII.
      {"\\d+", preNone, "１２3", {"3"}},
      {"\\w+", preNone, "とまとabc", {"abc"}},
      // Empty matches advance one character at a time, never inside a character.
      {"x*", preNone, "とa", {"", "", ""}},
  };
  for (const Case& c : cases) {
    TPerlRegEx re(c.pattern, c.options);
    re.SetSubject(c.subject);
    EXPECT_EQ(AllMatches(re), c.matches) << c.pattern << " / " << c.subject;
  }

  TPerlRegEx re("(a)|(b)(c)?");
  re.SetSubject("xbz");
  ASSERT_TRUE(re.Match());
  EXPECT_EQ(re.GroupCount(), 3);
  EXPECT_FALSE(re.GroupMatched(1));
  EXPECT_EQ(re.Group(1), "");
  EXPECT_TRUE(re.GroupMatched(2));
  EXPECT_EQ(re.Group(2), "b");
  EXPECT_FALSE(re.GroupMatched(3));
  EXPECT_EQ(re.MatchedOffset(), 1u);
  EXPECT_EQ(re.MatchedLength(), 1u);
  EXPECT_EQ(re.Group(99), "");  // out of range is empty, not a crash

  TPerlRegEx named("(?<year>\\d{4})-(?<month>\\d\\d)");
  named.SetSubject("on 2024-05");
  ASSERT_TRUE(named.Match());
  EXPECT_EQ(named.Group(named.NamedGroup("month")), "05");
  EXPECT_EQ(named.NamedGroup("day"), -1);

  // Start and Stop restrict the searched range.
  TPerlRegEx ranged("\\d");
  ranged.SetSubject("1a2b3");
  ranged.SetStart(1);
  ranged.SetStop(3);
  EXPECT_EQ(AllMatches(ranged), (std::vector<std::string>{"2"}));
}

TEST(PerlRegEx, ReplacementReferences) {
  struct Case {
    const char* pattern;
    const char* subject;
    const char* replacement;
    const char* once;
    const char* all;
  };
  const Case cases[] = {
      {"(\\w)(\\d)", "a1 b2", "$2$1", "1a b2", "1a 2b"},
      {"(\\w)(\\d)", "a1 b2", "\\2\\1", "1a b2", "1a 2b"},
      {"(\\w)(\\d)", "a1 b2", "${2}-$&", "1-a1 b2", "1-a1 2-b2"},
      {"(\\w)", "ab", "\\\\$$\\$", "\\$$b", "\\$$\\$$"},
      // A group that took no part and a group that does not exist give empty text.
      {"(x)?(a)", "a", "[$1|$2|$7]", "[|a|]", "[|a|]"},
      // Two digits only when that group exists: $10 with one group is $1 and "0".
      {"(a)", "a", "$10", "a0", "a0"},
      // Unknown escapes stay as written (the crop keys rely on "\(").
      {"と", "とまと", "\\(と", "\\(とまと", "\\(とま\\(と"},
      {".*及び([A-Z\\-]+)(.*)", "殺虫剤及びMEP乳剤", "(\\1)\\2", "(MEP)乳剤", "(MEP)乳剤"},
      {"x*", "ab", "-", "-ab", "-a-b-"},
      {"\\b", "ab cd", "|", "|ab cd", "|ab| |cd|"},
      {"z", "abc", "-", "abc", "abc"},
  };
  for (const Case& c : cases) {
    TPerlRegEx re(c.pattern);
    re.SetSubject(c.subject);
    re.SetReplacement(c.replacement);
    if (re.Match()) re.Replace();
    EXPECT_EQ(re.Subject(), c.once) << c.pattern << " " << c.replacement;
    re.SetSubject(c.subject);
    re.ReplaceAll();
    EXPECT_EQ(re.Subject(), c.all) << c.pattern << " " << c.replacement;
    // Replace + MatchAgain step by step gives the same as ReplaceAll.
    re.SetSubject(c.subject);
    if (re.Match()) {
      do re.Replace();
      while (re.MatchAgain());
    }
    EXPECT_EQ(re.Subject(), c.all) << "stepwise " << c.pattern << " " << c.replacement;
  }
}

TEST(PerlRegEx, Split) {
  struct Case {
    const char* pattern;
    const char* subject;
    int limit;
    std::vector<std::string> pieces;
  };
  const Case cases[] = {
      {",", "a,b,,c", 0, {"a", "b", "", "c"}},
      {",", "a,b,,c", 2, {"a", "b,,c"}},
      {",", "a,b,,c", 1, {"a,b,,c"}},
      {",", "abc", 0, {"abc"}},
      {",", ",a,", 0, {"", "a", ""}},
      {"\\s*、\\s*", "とまと 、 なす、きゅうり", 0, {"とまと", "なす", "きゅうり"}},
      {"(,)", "a,b", 0, {"a", "b"}},  // groups are not added
      {"", "とま", 0, {"と", "ま"}},
  };
  for (const Case& c : cases) {
    TPerlRegEx re(c.pattern);
    re.SetSubject(c.subject);
    EXPECT_EQ(re.Split(c.limit), c.pieces) << c.pattern << " / " << c.subject << " / " << c.limit;
  }
}

TEST(PerlRegEx, FailuresAndBadInput) {
  TPerlRegEx bad("(ab");
  bad.SetSubject("ab");
  EXPECT_THROW(bad.Match(), EPerlRegEx);
  EXPECT_THROW(TPerlRegEx("*").Compile(), EPerlRegEx);
  try {
    TPerlRegEx("[a").Compile();
    FAIL();
  } catch (const EPerlRegEx& e) {
    EXPECT_NE(std::string(e.what()).find("[a"), std::string::npos);
  }
  // A fixed pattern object can be reused after a failure.
  bad.SetRegEx("(ab)");
  EXPECT_TRUE(bad.Match());

  // Invalid UTF-8 in the subject is matched around, never an error.
  TPerlRegEx re("a.c");
  re.SetSubject(std::string("\xff" "abc\xe3\x81" "a\xc0" "c", 9));
  EXPECT_NO_THROW(AllMatches(re));
  EXPECT_EQ(AllMatches(re), (std::vector<std::string>{"abc"}));

  // Catastrophic backtracking ends with the match-limit error instead of hanging, on the
  // interpreter and on the JIT alike.
  TPerlRegEx slow("(a+)+$");
  for (bool jit : {false, true}) {
    if (jit) slow.Study();
    slow.SetSubject(std::string(5000, 'a') + "b");
    try {
      slow.Match();
      ADD_FAILURE() << "no error" << (jit ? " with the JIT" : "");
    } catch (const EPerlRegEx& e) {
      EXPECT_NE(std::string(e.what()).find("match limit"), std::string::npos) << e.what();
    }
  }
}

TEST(PerlRegEx, MatchLimitBoundsTheWorkOfOneAttempt) {
  // "\s+(x|$)" on a run of blanks followed by neither backtracks once per blank from every
  // start; the possessive form gives nothing back.
  const std::string blanks(2000, ' ');
  TPerlRegEx backtracking("\\s+(x|$)");
  TPerlRegEx possessive("\\s++(x|$)");
  for (TPerlRegEx* re : {&backtracking, &possessive}) {
    re->SetMatchLimit(500);
    EXPECT_EQ(re->MatchLimit(), 500u);
    re->SetSubject(blanks + "y");
  }
  EXPECT_THROW(backtracking.Match(), EPerlRegEx);
  EXPECT_FALSE(possessive.Match());
  // Back to the default limit: the same search simply finds nothing.
  backtracking.SetMatchLimit(0);
  EXPECT_EQ(backtracking.MatchLimit(), 0u);
  EXPECT_FALSE(backtracking.Match());
  // The limit moves with the object.
  TPerlRegEx moved(std::move(possessive));
  EXPECT_EQ(moved.MatchLimit(), 500u);
  moved.SetSubject(blanks + "x");
  EXPECT_TRUE(moved.Match());
}

TEST(PerlRegEx, EscapedTextMatchesItselfLiterally) {
  // Random texts of pattern characters, kana and blanks: the escaped form, anchored, matches
  // exactly the text, also once the object has switched to the JIT.
  const std::vector<std::string> pieces = {"\\", ".", "^", "$", "|", "?", "*", "+", "(", ")", "[",
                                           "]", "{", "}", "#", "-", "/", " ", "a", "と", "（", "\t"};
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    TPerlRegEx re("^" + TPerlRegEx::EscapeRegExChars(text) + "$");
    for (int k = 0; k < 4; ++k) {  // enough matches for the JIT to take over
      re.SetSubject(text);
      ASSERT_TRUE(re.Match()) << text;
      re.SetSubject(text + "x");
      ASSERT_FALSE(re.Match()) << text;
    }
  }
}

TEST(PerlRegEx, FlagLettersAndSharedObject) {
  EXPECT_EQ(RegexFlags(""), preNone);
  EXPECT_EQ(RegexFlags("ig"), preCaseLess);
  EXPECT_EQ(RegexFlags("gxsmi?"), preCaseLess | preMultiLine | preSingleLine | preExtended);
  EXPECT_EQ(RegexFlags("IMSX"), preNone);  // only the lower-case letters count

  CreateSharedRegEx();
  TPerlRegEx& a = SharedRegEx();
  EXPECT_EQ(&a, &SharedRegEx());
  FreeSharedRegEx();
  SharedRegEx().SetRegEx("a");  // recreated on demand after being freed
  SharedRegEx().SetSubject("ba");
  EXPECT_TRUE(SharedRegEx().Match());
  FreeSharedRegEx();
}
