#include "output/grid_popup_rules.h"

#include <cctype>
#include <initializer_list>

#include "foundation/global.h"

namespace {

bool Numbered(const std::string& t, const char* stem) {
  const std::string s(stem);
  return t.size() == s.size() + 1 && t.compare(0, s.size(), s) == 0 && t.back() >= '1' && t.back() <= '5';
}

bool OneOf(const std::string& t, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (t == n) return true;
  return false;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

TPopupItem Item(const std::string& caption, const std::string& keyword) { return {true, caption, keyword}; }

}  // namespace

bool IsIngredientTitle(const std::string& title) { return Numbered(title, "成分"); }

std::string ChuiJikoQuery(const std::string& keyword) { return Quoted(keyword) + " " + Quoted("使用上の注意"); }
std::string KonyoQuery(const std::string& keyword) { return Quoted(keyword) + " " + Quoted("混用事例"); }
std::string ChuijikoOptionQuery(const std::string& cell) {
  return Quoted(cell) + " " + Quoted("使用上の注意") + " つまみ菜|間引き菜 " + Quoted("使用しない");
}

TGridPopupPlan PlanGridPopup(const TGridPopupInput& in) {
  TGridPopupPlan p;
  p.WebEnabled = in.Online;
  if (!in.HasCell || in.TitleRow) return p;  // only the column items and the fixing items
  p.DataCell = true;
  const std::string& t = in.Text;
  const std::string& h = in.Header;
  const std::string q = "「" + t;

  // General search of the text.
  if (!t.empty() && t != "-") p.GoogleTekiyo = Item(q + "」をGoogleで検索", t);

  // Sending to the chemical tab, by column.
  const bool tradeLike = OneOf(h, {"農薬の種類", "農薬通称"}) || IsIngredientTitle(h) || Numbered(h, "系統") ||
                         Numbered(h, "RAC");
  if (!t.empty()) {
    if (h == "農薬の名称" && in.FirstHeader == "番号") {
      p.SendToTabYakuzai = Item("「" + in.FirstCell + ": " + t + "」を薬剤タブで検索", in.FirstCell);
      p.SendToBango = true;
    } else if (tradeLike || h == "農薬の名称") {
      p.SendToTabYakuzai = Item(q + "」を薬剤タブで検索", t);
    } else if (h == "番号") {
      p.SendToTabYakuzai = Item("登録番号「" + t + "」を薬剤タブで検索", t);
      p.SendToBango = true;
    }
  }
  if (Numbered(h, "RAC") || h == "番号") p.GoogleTekiyo.Visible = false;

  // Product names: cautions, mixtures, the farm-products site (grid window).
  if (OneOf(h, {"農薬の名称", "農薬通称"}) && !t.empty()) {
    p.GoogleChuiJiko = Item(q + "」の使用上の注意事項をGoogleで検索", ChuiJikoQuery(t));
    p.GoogleKonyo = Item(q + "」の混用事例をGoogleで検索", KonyoQuery(t));
    if (in.Crop == "だいこん")
      p.GoogleChuijikoOption = Item(q + "」の つまみ菜、間引き菜での使用可否をGoogleで検索", ChuijikoOptionQuery(t));
    if (in.GridWindow) p.NoukaWeb = Item(q + "」を農家Webで検索", t);
  }

  // Ingredients: dictionary, product-research site, residue database (by ISO name).
  if (IsIngredientTitle(h) && !t.empty()) {
    const std::string iso = in.IsoName.empty() ? t : in.IsoName;
    p.Weblio = Item(q + "」を Weblio で検索", t);
    p.Fcgr = Item(in.GridWindow ? "「" + iso + "」を フジテレビ商品研究所で検索"
                                : "「" + iso + "」を Google(フジテレビ商品研究所サイト内)で検索",
                  t);
    p.Prdb = Item("「" + iso + "」を 日本食品衛生学会残留農薬基準値データベースで検索(&N)", t);
    if (in.GridWindow) {
      p.GoogleFfcr = Item("Googleで Ffcrサイト内検索", t);
      p.Nihs = Item("Google でNihsサイト内検索", t);
    }
  }

  // Crop names go to the SQL tab (main window).
  if (h == "作物名" && !t.empty() && !in.GridWindow) p.SendToSql = Item(q + "」をSQLタブで検索", t);

  // Pests: the gene-bank site and the pest-control site, by the pest's class.
  if (h == "適用病害虫雑草名" && !t.empty()) {
    const std::string withCrop = in.Crop.empty() ? t : in.Crop + " " + t;
    const char* geneTail = "」をGoogleで農業生物資源サイト内検索";
    const char* pestTail = "」をGoogleで病害虫防除情報サイト内検索";
    switch (in.PestClass) {
      case 1:
        p.Gene = Item("「" + withCrop + geneTail, withCrop);
        p.PestControlSite = Item("「" + withCrop + pestTail, withCrop);
        break;
      case 2: p.PestControlSite = Item("「" + withCrop + pestTail, withCrop); break;
      case 3: p.PestControlSite = Item(q + pestTail, t); break;
      default: break;
    }
  }

  // Counts and amounts are not searched.
  if (OneOf(h, {"混合数", "本剤の使用回数", "散布液量", "製剤毒性"}) || Numbered(h, "回数"))
    p.GoogleTekiyo.Visible = false;
  return p;
}

TSeibunPopupPlan PlanSeibunPopup(const TGridPopupInput& in) {
  TSeibunPopupPlan p;
  p.WebEnabled = in.Online;
  if (!in.HasCell || in.TitleRow) return p;
  p.DataCell = true;
  const std::string& t = in.Text;
  const std::string& h = in.Header;
  if (t.empty()) return p;
  const std::string iso = in.IsoName.empty() ? t : in.IsoName;
  if (OneOf(h, {"有効成分", "総使用回数における有効成分", "ISO物質名"})) {
    p.Google = Item("「" + t + "」を Google で検索", t);
    p.Weblio = Item("「" + t + "」を Weblio で検索", t);
    p.Fcgr = Item("「" + iso + "」を Google(フジテレビ商品研究所サイト内)で検索", t);
    p.Prdb = Item("「" + iso + "」を 日本食品衛生学会残留農薬基準値データベースで検索", t);
  } else if (OneOf(h, {"系統", "RAC系統", "作用点", "作用機構", "FRACグループ"})) {
    p.Google = Item("「" + t + "」を Google で検索", t);
  }
  return p;
}

bool WebLookupsOnline() { return !(OptionData && OptionData->OffLine) && !CmdOffline; }

std::string MenuCaptionText(const std::string& caption) {
  std::string out;
  out.reserve(caption.size() + 8);
  for (char c : caption) {
    out += c;
    if (c == '&') out += '&';
  }
  // The item's accelerator: "(&&X)" at the very end, X a letter or a digit.
  const size_t n = out.size();
  if (n >= 5 && out.compare(n - 5, 3, "(&&") == 0 && out[n - 1] == ')' &&
      std::isalnum(static_cast<unsigned char>(out[n - 2])))
    out.erase(n - 4, 1);
  return out;
}
