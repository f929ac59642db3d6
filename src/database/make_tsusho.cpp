#include "database/make_tsusho.h"

#include <initializer_list>

#include "database/csv_split.h"

namespace {

enum class Guard {
  None,
  Sg,        // only when the text holds "SGダコグリーン"
  Agros,     // keep the "アグロス" that begins "アグロスリン" or "アグロスター"
  King,      // only with one of the known "キング" products
  Kureha,    // unless "クレバー"
  Tomono,    // unless "トモノール"
  Bayer,     // only without "アージラン"
  Yashima,   // unless "ヤシマNCS"
  Sankyo,    // unless "三共の草"
};

struct Entry {
  const char* from;
  const char* to;
  Guard guard;
};

// The list in its fixed order. An entry without a result removes its text.
const Entry kEntries[] = {
    {"ALモミゲンキ", "モミゲンキ", Guard::None},
    {"ＡＬモミゲンキ", "モミゲンキ", Guard::None},
    {"ACC", "", Guard::None},
    {"BASF_", "", Guard::None},
    {"BASF", "", Guard::None},
    {"DAS", "", Guard::None},
    {"DIC", "", Guard::None},
    {"F.G.", "", Guard::None},
    {"FMC", "", Guard::None},
    {"GF", "", Guard::None},
    {"HCC-", "", Guard::None},
    {"HCC", "", Guard::None},
    {"HJ", "", Guard::None},
    {"ICI", "", Guard::None},
    {"MIC", "", Guard::None},
    {"JA", "", Guard::None},
    {"JC", "", Guard::None},
    {"OAT", "", Guard::None},
    {"SDS", "", Guard::None},
    {"ST_", "", Guard::None},
    {"ST", "", Guard::None},
    {"TG", "", Guard::None},
    {"TM", "", Guard::None},
    {"UBE", "", Guard::None},
    {"HUPL", "", Guard::None},
    {"ISK", "", Guard::None},
    {"MAI", "", Guard::None},
    {"Kワイドウェイ粒剤", "ワイドウェイ粒剤", Guard::None},
    {"SG", "", Guard::Sg},
    {"ＡＣＣ", "", Guard::None},
    {"ＢＡＳＦ", "", Guard::None},
    {"ＤＡＳ", "", Guard::None},
    {"ＤＩＣ", "", Guard::None},
    {"Ｆ．Ｇ．", "", Guard::None},
    {"ＦＭＣ", "", Guard::None},
    {"ＧＦ", "", Guard::None},
    {"ＨＣＣ－", "", Guard::None},
    {"ＨＣＣ", "", Guard::None},
    {"ＩＣＩ", "", Guard::None},
    {"ＩＣ", "", Guard::None},
    {"ＪＡ", "", Guard::None},
    {"ＪＣ", "", Guard::None},
    {"ＳＤＳ", "", Guard::None},
    {"ＳＴ", "", Guard::None},
    {"ＴＧ", "", Guard::None},
    {"ＴＭ", "", Guard::None},
    {"ＵＢＥ", "", Guard::None},
    {"アグレボ", "", Guard::None},
    {"アグロス", "", Guard::Agros},
    {"アベンティス", "", Guard::None},
    {"イヅツヤ", "", Guard::None},
    {"イヅツ", "", Guard::None},
    {"カヤク・", "", Guard::None},
    {"カヤク", "", Guard::None},
    {"キャピタル", "", Guard::None},
    {"キング", "", Guard::King},
    {"クミアイ_", "", Guard::None},
    {"クミアイ", "", Guard::None},
    {"クレハ", "", Guard::Kureha},
    {"コープケミカル", "", Guard::None},
    {"サイアナミッド_", "", Guard::None},
    {"サイアナミッド", "", Guard::None},
    {"サンケイ_", "", Guard::None},
    {"サンケイ", "", Guard::None},
    {"シオノギ・", "", Guard::None},
    {"シオノギ", "", Guard::None},
    {"シンジェンタ・", "", Guard::None},
    {"シンジェンタ_", "", Guard::None},
    {"シンジェンタ", "", Guard::None},
    {"ゾエティス", "", Guard::None},
    {"ゼオン", "", Guard::None},
    {"ゼネカ・", "", Guard::None},
    {"ゼネカ", "", Guard::None},
    {"タケダ", "", Guard::None},
    {"チバガイギー・", "", Guard::None},
    {"チバガイギー", "", Guard::None},
    {"デュポン_", "", Guard::None},
    {"デュポン", "", Guard::None},
    {"トクヤマ_", "", Guard::None},
    {"トクヤマ", "", Guard::None},
    {"トクソー", "", Guard::None},
    {"トモノ", "", Guard::Tomono},
    {"ナガセ", "", Guard::None},
    {"ニューファム", "", Guard::None},
    {"ニッカ", "", Guard::None},
    {"ノバルティス", "", Guard::None},
    {"ハース・", "", Guard::None},
    {"ハース", "", Guard::None},
    {"バイエル_", "", Guard::Bayer},
    {"バイエル", "", Guard::Bayer},
    {"ファイザー", "", Guard::None},
    {"フマキラー", "家庭園芸用", Guard::None},
    {"ホドガヤ", "", Guard::None},
    {"ホクコー", "", Guard::None},
    {"マガン", "", Guard::None},
    {"ミカサ", "", Guard::None},
    {"モンサント", "", Guard::None},
    {"ヤシマ産業", "", Guard::None},
    {"ヤシマ_", "", Guard::Yashima},
    {"ヤシマ", "", Guard::Yashima},
    {"ユーピーエル", "", Guard::None},
    {"ローヌ・プーラン", "", Guard::None},
    {"旭", "", Guard::None},
    {"石原", "", Guard::None},
    {"一農", "", Guard::None},
    {"井筒屋", "", Guard::None},
    {"出光", "", Guard::None},
    {"永光", "", Guard::None},
    {"大塚", "", Guard::None},
    {"科研", "", Guard::None},
    {"兼商", "", Guard::None},
    {"協友", "", Guard::None},
    {"協和", "", Guard::None},
    {"金鳥", "", Guard::None},
    {"興農", "", Guard::None},
    {"三光", "", Guard::None},
    {"三洋", "", Guard::None},
    {"北海三共", "", Guard::None},
    {"ホクサン", "", Guard::None},
    {"三共", "", Guard::Sankyo},
    {"三明", "", Guard::None},
    {"昭和", "", Guard::None},
    {"信越", "", Guard::None},
    {"新富士", "", Guard::None},
    {"住化", "", Guard::None},
    {"住商", "", Guard::None},
    {"住友化学", "", Guard::None},
    {"住友", "", Guard::None},
    {"双商", "", Guard::None},
    {"太洋", "", Guard::None},
    {"武田", "", Guard::None},
    {"東ソー", "", Guard::None},
    {"南海", "", Guard::None},
    {"日農", "", Guard::None},
    {"日産", "", Guard::None},
    {"日曹", "", Guard::None},
    {"日本化薬", "", Guard::None},
    {"菱商", "", Guard::None},
    {"細井", "", Guard::None},
    {"丸紅", "", Guard::None},
    {"丸和", "", Guard::None},
    {"三井東圧", "", Guard::None},
    {"三井", "", Guard::None},
    {"三菱油化", "", Guard::None},
    {"三菱", "", Guard::None},
    {"明治", "", Guard::None},
    {"理研", "", Guard::None},
    {"カネナカ", "", Guard::None},
    {"ヤナイ", "", Guard::None},
    {"海野", "", Guard::None},
    {"塩山", "", Guard::None},
    {"宮内", "", Guard::None},
    {"余市組合", "", Guard::None},
    {"カダン石灰硫黄合剤", "石灰硫黄合剤", Guard::None},
    {"エス・カ・ベー", "", Guard::None},
    {"クニ", "", Guard::None},
    {"軍配", "", Guard::None},
    {"アトミロン印農薬用(ボルドー液用)粉末生石灰", "ボルドー液用粉末生石灰", Guard::None},
    {"オキヤマタ", "", Guard::None},
    {"カネジュウ", "", Guard::None},
    {"カネタ", "", Guard::None},
    {"サメコウ", "", Guard::None},
    {"マルイゲタクン", "", Guard::None},
    {"マルカ", "", Guard::None},
    {"マルキタ", "", Guard::None},
    {"マルキチ", "", Guard::None},
    {"マルコ", "", Guard::None},
    {"マルジョウ", "", Guard::None},
    {"マルタ", "", Guard::None},
    {"マルヤマ", "", Guard::None},
    {"マルワイ", "", Guard::None},
    {"ヤマタ", "", Guard::None},
    {"ヤマニ", "", Guard::None},
    {"共石", "", Guard::None},
    {"上州石灰", "", Guard::None},
    {"田中", "", Guard::None},
    {"菱", "", Guard::None},
    {"丸京", "", Guard::None},
    {"マルア", "", Guard::None},
    {"小名浜", "", Guard::None},
    {"蛇の目", "", Guard::None},
    {"硫酸銅(粉)", "硫酸銅(粉状)", Guard::None},
    {"粉状丹礬", "硫酸銅(粉状)", Guard::None},
    {"エルピー", "", Guard::None},
    {"「", "", Guard::None},
    {"」", "", Guard::None},
    {"｢", "", Guard::None},
    {"｣", "", Guard::None},
    {"〔", "", Guard::None},
    {"〕", "", Guard::None},
    {"［", "", Guard::None},
    {"］", "", Guard::None},
    {"[", "", Guard::None},
    {"]", "", Guard::None},
    {"印", "", Guard::None},
    {"有機リドミル", "リドミル", Guard::None},
    {"KBW(ケービーダブル)", "KBW", Guard::None},
    {"NT炭酸ガス", "殺虫用炭酸ガス", Guard::None},
    {"inochio", "", Guard::None},
    {"Nスラゴ", "スラゴ", Guard::None},
    {"NSスラゴ", "スラゴ", Guard::None},
    {"Nスクミンベイト3", "スクミンベイト3", Guard::None},
    {"Nフェラモール", "フェラモール", Guard::None},
    {"NSフェラモール", "フェラモール", Guard::None},
    {"アダマ・", "", Guard::None},
    {"アリスタ", "", Guard::None},
    {"バラライカB", "バラライカ", Guard::None},
    {"CBC", "", Guard::None},
    {"コルテバ_", "", Guard::None},
    {"コルテバ", "", Guard::None},
    {"カダン_", "", Guard::None},
    {"ZMCP", "", Guard::None},
    {"アースカマイラズ", "カマイラズ", Guard::None},
    {"　", "", Guard::None},
};

bool Has(const std::string& s, std::string_view part) { return s.find(part) != std::string::npos; }

bool HasAny(const std::string& s, std::initializer_list<std::string_view> parts) {
  for (auto p : parts)
    if (Has(s, p)) return true;
  return false;
}

bool GuardAllows(Guard g, const std::string& s) {
  switch (g) {
    case Guard::None:
    case Guard::Agros:
      return true;
    case Guard::Sg:
      return Has(s, "SGダコグリーン");
    case Guard::King:
      return HasAny(s, {"キング石灰硫黄合剤", "キング除虫菊乳剤", "キングマシンエアゾール", "キング95マシン",
                        "キングスミチオン", "キングマラソン"});
    case Guard::Kureha:
      return !Has(s, "クレバー");
    case Guard::Tomono:
      return !Has(s, "トモノール");
    case Guard::Bayer:
      return Has(s, "バイエル") && !Has(s, "アージラン");
    case Guard::Yashima:
      return !Has(s, "ヤシマNCS");
    case Guard::Sankyo:
      return !Has(s, "三共の草");
  }
  return true;
}

// "アグロス" is a maker's mark except where it begins the product names アグロスリン and
// アグロスター; only the marks go, so アグロスアグロスター乳剤 keeps アグロスター乳剤.
void RemoveAgrosMarks(std::string& s) {
  static const std::string_view kMark = "アグロス";
  std::string out;
  size_t i = 0, pos;
  bool changed = false;
  while ((pos = s.find(kMark, i)) != std::string::npos) {
    std::string_view rest(s.data() + pos + kMark.size(), s.size() - pos - kMark.size());
    out.append(s, i, pos - i);
    if (rest.starts_with("リン") || rest.starts_with("ター")) {
      out.append(kMark);
    } else {
      changed = true;
    }
    i = pos + kMark.size();
  }
  if (!changed) return;
  out.append(s, i, std::string::npos);
  s.swap(out);
}

}  // namespace

size_t MakeTsushoEntryCount() { return sizeof kEntries / sizeof kEntries[0]; }

std::string MakeTsusho(std::string_view name) {
  std::string s(name);
  for (const Entry& e : kEntries) {
    if (s.find(e.from) == std::string::npos) continue;
    if (e.guard == Guard::Agros) {
      RemoveAgrosMarks(s);
      continue;
    }
    if (!GuardAllows(e.guard, s)) continue;
    ReplaceAll(s, e.from, e.to);
  }
  return s;
}
