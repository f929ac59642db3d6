#pragma once
// The SQL texts of the chemical tab: the condition of a chemical text, the crop restriction
// table t_bango, the found products t_yaku, the ingredient tables t_seibun and t_kihon, the
// related-product lists and the queries of the product sheet.
//
// Every value taken from the user or from a list item reaches SQL as a quoted literal
// (SqlQuote), keyword text inside preconv('%...%') too, so a quote typed in the chemical
// edit or held by a trade name can never end a literal. Scripts that run several statements
// are wrapped in BEGIN TRANSACTION ... COMMIT and lines are separated by CR LF.
//
// The crop restriction is explicit: t_bango restricts the products only while a crop text
// is in force (Restricted). An empty t_bango with a crop text means "no product registered on
// those crops", never "no restriction".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The registration number a chemical text stands for (after half-width conversion, blanks
// around it removed and one leading ">" or "<" dropped): an integer greater than 0.
bool IsBangoInput(std::string_view Text);
// The comparison and number of a registration-number text: "=", ">=" for a leading ">",
// "<=" for a leading "<"; nothing when the text is no registration number.
struct TBangoInput {
  std::string Op;
  int64_t Number = 0;
};
std::optional<TBangoInput> ParseBangoInput(std::string_view Text);

// The keywords of a chemical text: every full-width blank, "、" and "＆" is a blank; the text
// is split at blanks, empty parts dropped.
std::vector<std::string> YakuzaiKeywords(std::string_view Text);

// The condition of a chemical text over a table with the column bango: empty for an empty
// text; "bango = 12345" (">=", "<=") for a registration number; otherwise every keyword must
// occur in the product's keyword list (kwlists.kws), compared after key normalisation:
// "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%a%') AND ...)".
std::string MakeYakuzaiWhere(std::string_view Text);

// " AND yoto = '<use>'" for a use other than "" and "全て", else "".
std::string YotoCondition(std::string_view Yoto);

// The script that re-creates t_bango: with a crop expression (a quoted regular expression
// over crop codes) the products registered on those crops with the crop name; without one
// an empty table. Every use has a registration number; the statement says so, which lets it
// read the pairs from the index of crop and product (idxTekiyoSakumotsuBango) alone.
std::string BangoTableScript(const std::string& Regexp);
// The crop names of a crop expression.
std::string CropNamesOfRegexpSql(const std::string& Regexp);

// " AND bango IN (SELECT bango FROM t_bango)" while the crop restriction is in force.
std::string BangoRestriction(bool Restricted);

// The script that re-creates t_yaku (bango, meisho, tsusho, ruby) for a chemical text, the
// crop restriction and the use condition (YotoCondition). With an empty text the products
// are those of t_bango.
std::string YakuTableScript(std::string_view Yakuzai, bool Restricted, const std::string& Yoto);
// Trade names of t_yaku in reading order; products of t_yaku by number.
std::string YakuTsushoSql();
std::string YakuBangoSql();
// The lists of the use combo change (W: YotoWhereClause of the use).
std::string TsushoByYotoSql(const std::string& Where);
std::string BangoByYotoSql(const std::string& Where);

// The products of one trade name (for the product combo), with the crop restriction when
// Restricted is given as true.
std::string ProductsOfTsushoSql(const std::string& Tsusho, bool Restricted = false);

// The key of a product: a trade name or a registration number.
struct TProductKey {
  bool ByBango = false;
  std::string Tsusho;
  int64_t Bango = 0;
  // "tsusho = '<name>'" or "bango = <n>".
  std::string Condition() const;
};
// The distinct values of one column of kihon for a product ("ifnullstr(seibun,ippanmei)",
// "keito", "sayoten", "mid", "RAC系統").
std::string KihonValuesSql(const std::string& Column, const TProductKey& Key);
// t_seibun (the ingredients of the product) and t_kihon (the trade names holding any of them,
// within the crop restriction): two scripts.
std::string SeibunTableScript(const TProductKey& Key);
std::string KihonTableScript(bool Restricted);

// The related lists. Kinds in page order.
enum TRelatedKind : int { rkSeibun = 0, rkKeito = 1, rkSayoten = 2, rkRac = 3, rkRacKeito = 4 };
// The trade names (with their reading) of the products whose ingredient, group, site of
// action, RAC code or RAC class is Value, in reading order.
std::string RelatedTsushoSql(TRelatedKind Kind, const std::string& Value, bool Restricted);
// t_seibun as the ticked ingredients (primary key), and the trade names holding every one of
// them, one row per trade name, in reading order.
std::string SeibunPluralScript(const std::vector<std::string>& Seibun);
std::string SeibunPluralSql();

// ---- the product sheet ----
std::string SeizaiSql(int64_t Bango);
std::string SuisanSql(int64_t Bango);
std::string SeibunGridSql(int64_t Bango);
std::string SeibunSlotsSql(int64_t Bango);
// The ingredient of the product's own registration for a general name (bound ?1 bango, ?2 name).
std::string SeibunOfIppanmeiSql();
// " AND sakumotsu IN ('a','b')" for the crop names, "" without names.
std::string IsSakumotsuStr(const std::vector<std::string>& Names);
std::string TekiyoGridSql(int64_t Bango, bool Restricted, const std::vector<std::string>& CropNames);
// Name + "を含む農薬の使用回数", "" for an empty name.
std::string KaisuHeaderText(const std::string& Name);
// Columns of the count headers in the uses grid (kaisu1 to kaisu5).
inline constexpr int kKaisuFirstCol = 14;
