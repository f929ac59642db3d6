// The look-up and sending items of the result grids' context menus, by column title, as a
// table: which items show, with what text, for the main window and the grid window.
#include <gtest/gtest.h>

#include "output/grid_popup_rules.h"

namespace {

// The visible items of a plan as "Name=keyword" in menu order ("+bango" on a number send).
std::string Render(const TGridPopupPlan& p) {
  std::string out;
  auto add = [&](const char* name, const TPopupItem& it) {
    if (!it.Visible) return;
    if (!out.empty()) out += " ";
    out += std::string(name) + "=" + it.Keyword;
  };
  add("Send", p.SendToTabYakuzai);
  if (p.SendToTabYakuzai.Visible && p.SendToBango) out += "+bango";
  add("Sql", p.SendToSql);
  add("Google", p.GoogleTekiyo);
  add("Chui", p.GoogleChuiJiko);
  add("Option", p.GoogleChuijikoOption);
  add("Konyo", p.GoogleKonyo);
  add("Nouka", p.NoukaWeb);
  add("Weblio", p.Weblio);
  add("Ffcr", p.GoogleFfcr);
  add("Nihs", p.Nihs);
  add("Fcgr", p.Fcgr);
  add("Prdb", p.Prdb);
  add("Gene", p.Gene);
  add("Pest", p.PestControlSite);
  return out;
}

TGridPopupInput Cell(const char* header, const char* text, bool gridWindow = false) {
  TGridPopupInput in;
  in.HasCell = true;
  in.Header = header;
  in.Text = text;
  in.FirstHeader = "番号";
  in.FirstCell = "12345";
  in.Crop = "トマト";
  in.GridWindow = gridWindow;
  return in;
}

}  // namespace

TEST(GridPopupRules, ItemsByColumnTitleForBothWindows) {
  struct Row {
    TGridPopupInput in;
    const char* main;    // the main window's items
    const char* window;  // the grid window's items
  };
  auto pest = [](int cls) {
    TGridPopupInput in = Cell("適用病害虫雑草名", "アブラムシ類");
    in.PestClass = cls;
    return in;
  };
  TGridPopupInput noCell;
  TGridPopupInput title = Cell("農薬の名称", "農薬の名称");
  title.TitleRow = true;
  TGridPopupInput nameNoNumber = Cell("農薬の名称", "ボルドー");
  nameNoNumber.FirstHeader = "作物名";
  TGridPopupInput daikon = Cell("農薬通称", "ボルドー");
  daikon.Crop = "だいこん";
  TGridPopupInput ingredient = Cell("成分2", "アセタミプリド");
  ingredient.IsoName = "acetamiprid(アセタミプリド)";
  const std::string chui = "\"ボルドー\" \"使用上の注意\"";
  const std::string konyo = "\"ボルドー\" \"混用事例\"";
  const std::string option = "\"ボルドー\" \"使用上の注意\" つまみ菜|間引き菜 \"使用しない\"";
  const std::vector<std::pair<Row, std::string>> table = {
      {{noCell, "", ""}, "no cell"},
      {{title, "", ""}, "title row: only the column items"},
      {{Cell("使用時期", "-"), "", ""}, "a dash is not searched"},
      {{Cell("使用時期", ""), "", ""}, "an empty cell offers nothing"},
      {{Cell("使用時期", "収穫前日まで"), "Google=収穫前日まで", "Google=収穫前日まで"}, "any other column"},
      {{Cell("農薬の名称", "ボルドー"), nullptr, nullptr}, "name beside a number column"},
      {{nameNoNumber, nullptr, nullptr}, "name without a number column"},
      {{daikon, nullptr, nullptr}, "trade name on だいこん"},
      {{Cell("番号", "12345"), "Send=12345+bango", "Send=12345+bango"}, "number"},
      {{Cell("RAC1", "4A"), "Send=4A", "Send=4A"}, "RAC code: no general search"},
      {{Cell("系統3", "ネオニコチノイド"), "Send=ネオニコチノイド Google=ネオニコチノイド",
        "Send=ネオニコチノイド Google=ネオニコチノイド"},
       "chemical group"},
      {{ingredient, nullptr, nullptr}, "ingredient"},
      {{Cell("作物名", "トマト"), "Sql=トマト Google=トマト", "Google=トマト"}, "crop"},
      {{pest(1), "Google=アブラムシ類 Gene=トマト アブラムシ類 Pest=トマト アブラムシ類",
        "Google=アブラムシ類 Gene=トマト アブラムシ類 Pest=トマト アブラムシ類"},
       "pest class 1"},
      {{pest(2), "Google=アブラムシ類 Pest=トマト アブラムシ類", "Google=アブラムシ類 Pest=トマト アブラムシ類"},
       "pest class 2"},
      {{pest(3), "Google=アブラムシ類 Pest=アブラムシ類", "Google=アブラムシ類 Pest=アブラムシ類"}, "pest class 3"},
      {{pest(0), "Google=アブラムシ類", "Google=アブラムシ類"}, "pest of no class"},
      {{Cell("混合数", "2"), "", ""}, "counts are not searched"},
      {{Cell("回数3", "1回以内"), "", ""}, "per-ingredient counts"},
      {{Cell("本剤の使用回数", "3回以内"), "", ""}, "use counts"},
      {{Cell("製剤毒性", "普通物"), "", ""}, "toxicity"},
  };
  const std::map<std::string, std::pair<std::string, std::string>> computed = {
      {"name beside a number column",
       {"Send=12345+bango Google=ボルドー Chui=" + chui + " Konyo=" + konyo,
        "Send=12345+bango Google=ボルドー Chui=" + chui + " Konyo=" + konyo + " Nouka=ボルドー"}},
      {"name without a number column",
       {"Send=ボルドー Google=ボルドー Chui=" + chui + " Konyo=" + konyo,
        "Send=ボルドー Google=ボルドー Chui=" + chui + " Konyo=" + konyo + " Nouka=ボルドー"}},
      {"trade name on だいこん",
       {"Send=ボルドー Google=ボルドー Chui=" + chui + " Option=" + option + " Konyo=" + konyo,
        "Send=ボルドー Google=ボルドー Chui=" + chui + " Option=" + option + " Konyo=" + konyo + " Nouka=ボルドー"}},
      {"ingredient",
       {"Send=アセタミプリド Google=アセタミプリド Weblio=アセタミプリド Fcgr=アセタミプリド Prdb=アセタミプリド",
        "Send=アセタミプリド Google=アセタミプリド Weblio=アセタミプリド Ffcr=アセタミプリド Nihs=アセタミプリド "
        "Fcgr=アセタミプリド Prdb=アセタミプリド"}},
  };
  for (const auto& [row, what] : table) {
    const std::string main = row.main ? row.main : computed.at(what).first;
    const std::string window = row.window ? row.window : computed.at(what).second;
    TGridPopupInput in = row.in;
    in.GridWindow = false;
    EXPECT_EQ(Render(PlanGridPopup(in)), main) << what << " (main window)";
    in.GridWindow = true;
    EXPECT_EQ(Render(PlanGridPopup(in)), window) << what << " (grid window)";
  }
}

TEST(GridPopupRules, CaptionsNameWhatIsSearchedAndOfflineDisablesWebItems) {
  TGridPopupInput name = Cell("農薬の名称", "ボルドー");
  TGridPopupPlan p = PlanGridPopup(name);
  EXPECT_EQ(p.SendToTabYakuzai.Caption, "「12345: ボルドー」を薬剤タブで検索");
  EXPECT_EQ(p.GoogleTekiyo.Caption, "「ボルドー」をGoogleで検索");
  EXPECT_EQ(p.GoogleChuiJiko.Caption, "「ボルドー」の使用上の注意事項をGoogleで検索");
  EXPECT_EQ(p.GoogleKonyo.Caption, "「ボルドー」の混用事例をGoogleで検索");
  EXPECT_TRUE(p.DataCell);
  EXPECT_TRUE(p.WebEnabled);
  EXPECT_EQ(PlanGridPopup(Cell("番号", "12345")).SendToTabYakuzai.Caption, "登録番号「12345」を薬剤タブで検索");

  TGridPopupInput ing = Cell("成分1", "アセタミプリド");
  ing.IsoName = "acetamiprid(アセタミプリド)";
  p = PlanGridPopup(ing);
  EXPECT_EQ(p.Weblio.Caption, "「アセタミプリド」を Weblio で検索");
  EXPECT_EQ(p.Fcgr.Caption, "「acetamiprid(アセタミプリド)」を Google(フジテレビ商品研究所サイト内)で検索");
  EXPECT_EQ(p.Prdb.Caption, "「acetamiprid(アセタミプリド)」を 日本食品衛生学会残留農薬基準値データベースで検索(&N)");
  ing.GridWindow = true;
  EXPECT_EQ(PlanGridPopup(ing).Fcgr.Caption, "「acetamiprid(アセタミプリド)」を フジテレビ商品研究所で検索");
  TGridPopupInput crop = Cell("作物名", "トマト");
  EXPECT_EQ(PlanGridPopup(crop).SendToSql.Caption, "「トマト」をSQLタブで検索");

  name.Online = false;
  p = PlanGridPopup(name);
  EXPECT_FALSE(p.WebEnabled);
  EXPECT_TRUE(p.GoogleTekiyo.Visible);  // shown, but not enabled
}

TEST(GridPopupRules, IngredientGridItemsByTitle) {
  auto render = [](const TSeibunPopupPlan& p) {
    std::string out;
    for (auto [name, it] : {std::pair{"Google", &p.Google}, {"Weblio", &p.Weblio}, {"Fcgr", &p.Fcgr}, {"Prdb", &p.Prdb}})
      if (it->Visible) out += std::string(out.empty() ? "" : " ") + name + "=" + it->Caption;
    return out;
  };
  TGridPopupInput in = Cell("有効成分", "銅");
  in.IsoName = "copper(銅)";
  EXPECT_EQ(render(PlanSeibunPopup(in)),
            "Google=「銅」を Google で検索 Weblio=「銅」を Weblio で検索 "
            "Fcgr=「copper(銅)」を Google(フジテレビ商品研究所サイト内)で検索 "
            "Prdb=「copper(銅)」を 日本食品衛生学会残留農薬基準値データベースで検索");
  for (const char* t : {"系統", "RAC系統", "作用点", "作用機構", "FRACグループ"}) {
    in.Header = t;
    EXPECT_EQ(render(PlanSeibunPopup(in)), "Google=「銅」を Google で検索") << t;
  }
  in.Header = "含有濃度";
  EXPECT_EQ(render(PlanSeibunPopup(in)), "");
  in.Header = "有効成分";
  in.Text = "";
  EXPECT_EQ(render(PlanSeibunPopup(in)), "");
  in.Text = "銅";
  in.TitleRow = true;
  EXPECT_EQ(render(PlanSeibunPopup(in)), "");
}

TEST(GridPopupRules, MenuCaptionsShowTheAmpersandsOfTheText) {
  // A single "&" would be taken as the accelerator mark and vanish from the caption.
  EXPECT_EQ(MenuCaptionText("「A&B乳剤」をGoogleで検索"), "「A&&B乳剤」をGoogleで検索");
  EXPECT_EQ(MenuCaptionText("&&"), "&&&&");
  // The item's own accelerator at the end stays one.
  EXPECT_EQ(MenuCaptionText("「S&M」を 日本食品衛生学会残留農薬基準値データベースで検索(&N)"),
            "「S&&M」を 日本食品衛生学会残留農薬基準値データベースで検索(&N)");
  // One inside the text is the text's.
  EXPECT_EQ(MenuCaptionText("「x(&N)y」"), "「x(&&N)y」");
  EXPECT_EQ(MenuCaptionText(""), "");
}
