// Comma text: the platform's list text rules, and lists surviving a round trip.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/comma_text.h"

using List = std::vector<std::string>;

TEST(CommaText, SplitRules) {
  struct Case {
    const char* text;
    List items;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"a,b", {"a", "b"}},
      {"a b", {"a", "b"}},              // unquoted blanks separate
      {" a , b ", {"a", "b"}},
      {"a,,b", {"a", "", "b"}},         // two commas give an empty item
      {"a,", {"a", ""}},
      {",a", {"", "a"}},
      {"\"a b\",c", {"a b", "c"}},
      {"\"x,\"\"y\"\"\"", {"x,\"y\""}},  // doubled quotes inside
      {"\"unclosed, c", {"unclosed, c"}},
      {"\"a\"b", {"a", "b"}},
      {"トマト（施設栽培）,なす", {"トマト（施設栽培）", "なす"}},
      {"トマト　なす", {"トマト　なす"}},  // the ideographic space is not a blank here
  };
  for (const Case& c : cases) EXPECT_EQ(CommaTextToList(c.text), c.items) << c.text;
}

TEST(CommaText, JoinRules) {
  EXPECT_EQ(ListToCommaText({}), "");
  EXPECT_EQ(ListToCommaText({"a", "b"}), "a,b");
  EXPECT_EQ(ListToCommaText({"a b", "c,d", "e\"f", ""}), "\"a b\",\"c,d\",\"e\"\"f\",");
  EXPECT_EQ(ListToCommaText({""}), "\"\"");
  EXPECT_EQ(ListToCommaText({"tab\there"}), "\"tab\there\"");
  EXPECT_EQ(QuoteCommaItem("トマト"), "トマト");
}

TEST(CommaText, RandomListsSurviveRoundTrip) {
  const std::vector<std::string> pieces = {"a", " ", ",", "\"", "と", "　", "'", "\t", "(", "x"};
  std::mt19937 rng(11);
  for (int round = 0; round < 2000; ++round) {
    List items(rng() % 5);
    for (auto& item : items) {
      int n = static_cast<int>(rng() % 6);
      for (int i = 0; i < n; ++i) item += pieces[rng() % pieces.size()];
    }
    std::string text = ListToCommaText(items);
    EXPECT_EQ(CommaTextToList(text), items) << text;
  }
}

TEST(CommaText, DelimitedAndNameLists) {
  EXPECT_EQ(SplitDelimitedText("'a b';c", ';', '\'', true), (List{"a b", "c"}));
  EXPECT_EQ(SplitDelimitedText(" a b ; c ", ';', '"', false), (List{"a b", "c"}));
  EXPECT_EQ(SplitNameList(" トマト (施設栽培) , \"a,b\" ,,x"), (List{"トマト (施設栽培)", "a,b", "", "x"}));
  EXPECT_EQ(SplitNameList(""), List{});
  EXPECT_EQ(SplitNameList("  "), List{});
}
