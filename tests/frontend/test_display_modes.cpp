// Result view names of the display modes and the ingredient display mode table.
#include <gtest/gtest.h>

#include <set>

#include "frontend/display_modes.h"

TEST(DisplayModes, GetTekiyoViewNameTable) {
  const struct {
    int target;
    bool tsusho;
    int level;
    int rk;
    const char* name;  // nullptr: refused, the name stays as it was
  } cases[] = {
      {0, false, 0, 0, "tvTekiyoSaku1"},
      {0, true, 2, 1, "tvTsushoTekiyoRkSaku3"},
      {1, true, 2, 1, "tvTsushoTekiyoRkByochu3"},
      {1, false, 4, 0, "tvTekiyoByochu5"},
      {0, false, 4, 1, "tvTekiyoRkSaku5"},
      {1, true, 0, 0, "tvTsushoTekiyoByochu1"},
      {2, false, 0, 0, nullptr},
      {-1, false, 0, 0, nullptr},
      {0, false, 5, 0, nullptr},
      {0, false, -1, 0, nullptr},
      {0, false, 0, 2, nullptr},
      {1, true, 3, -1, nullptr},
  };
  for (const auto& c : cases) {
    std::string name = "unchanged";
    const bool ok = GetTekiyoViewName(c.target, c.tsusho, c.level, name, c.rk);
    EXPECT_EQ(ok, c.name != nullptr);
    EXPECT_EQ(name, c.name ? c.name : "unchanged") << c.target << " " << c.level << " " << c.rk;
  }
  // All forty names are distinct.
  std::set<std::string> names;
  for (int t = 0; t < 2; ++t)
    for (int ts = 0; ts < 2; ++ts)
      for (int rk = 0; rk < 2; ++rk)
        for (int l = 0; l < 5; ++l) names.insert(TekiyoViewName(t, ts, l, rk));
  EXPECT_EQ(names.size(), 40u);
}

TEST(DisplayModes, SeibunViewModeTable) {
  const char* captions[] = {"成分簡略", "成分覧", "回数覧", "回数省略", "有効成分"};
  for (int m = 0; m < kSeibunViewModes; ++m) {
    const TSeibunViewModeInfo* i = SeibunViewModeInfo(m);
    ASSERT_NE(i, nullptr);
    EXPECT_STREQ(i->Caption, captions[m]);
    EXPECT_EQ(i->ImageIndex, 43 + m);
    EXPECT_NE(std::string(i->Hint).find("表示モード" + std::to_string(m + 1) + ":\n"), std::string::npos);
  }
  EXPECT_EQ(SeibunViewModeInfo(-1), nullptr);
  EXPECT_EQ(SeibunViewModeInfo(5), nullptr);
}
