#include "frontend/chemical/yakuzai_sql.h"

#include <charconv>

#include "database/regex_utils.h"
#include "foundation/text_utils.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kTsushoHead =
    "SELECT DISTINCT kihon.tsusho AS tsusho, tsushoruby.ruby AS ruby FROM kihon LEFT JOIN tsushoruby ON kihon.tsusho "
    "= tsushoruby.tsusho WHERE ";

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// A LIKE test of the keyword list, the pattern a quoted literal inside preconv().
std::string KeywordLike(const std::string& Word) { return "strconv(kws) LIKE preconv(" + SqlQuote("%" + Word + "%") + ")"; }

}  // namespace

std::optional<TBangoInput> ParseBangoInput(std::string_view Text) {
  const std::string half = ZenToHan(Text);
  std::string_view t = TrimBlanks(half);
  const char* op = "=";
  if (!t.empty() && (t.front() == '>' || t.front() == '<')) {
    op = t.front() == '>' ? ">=" : "<=";
    t.remove_prefix(1);
  }
  if (t.empty() || t.front() == '+' || t.front() == '-') return std::nullopt;
  int64_t n = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
  if (ec != std::errc() || end != t.data() + t.size() || n <= 0) return std::nullopt;
  return TBangoInput{op, n};
}

bool IsBangoInput(std::string_view Text) { return ParseBangoInput(Text).has_value(); }

std::vector<std::string> YakuzaiKeywords(std::string_view Text) {
  // Blanks, full-width blanks, "、" and "＆" end a word.
  static constexpr std::string_view kSeparators[] = {" ", "　", "、", "＆"};
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i < Text.size();) {
    size_t sep = 0;
    for (std::string_view s : kSeparators)
      if (Text.substr(i, s.size()) == s) sep = s.size();
    if (sep) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
      i += sep;
    } else {
      word += Text[i++];
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

std::string MakeYakuzaiWhere(std::string_view Text) {
  if (Text.empty()) return {};
  if (const auto n = ParseBangoInput(Text)) return "bango " + n->Op + " " + std::to_string(n->Number);
  const std::vector<std::string> words = YakuzaiKeywords(Text);
  if (words.empty()) return {};
  std::string s = "bango IN (SELECT bango FROM kwlists WHERE ";
  for (size_t i = 0; i < words.size(); ++i) s += (i ? " AND " : "") + KeywordLike(words[i]);
  return s + ")";
}

std::string YotoCondition(std::string_view Yoto) {
  if (Yoto.empty() || Yoto == "全て") return {};
  return " AND yoto = " + SqlQuote(Yoto);
}

std::string BangoTableScript(const std::string& Regexp) {
  if (Regexp.empty())
    return "BEGIN TRANSACTION;DROP TABLE IF EXISTS t_bango;CREATE TEMP TABLE t_bango (bango integer,sakumotsu "
           "varchar);COMMIT;";
  return std::string("BEGIN TRANSACTION;") + kCrLf + "DROP TABLE IF EXISTS t_bango;" + kCrLf +
         "CREATE TEMP TABLE t_bango (bango integer,sakumotsu varchar);" + kCrLf +
         "INSERT INTO t_bango SELECT DISTINCT bango,sakumotsu FROM m_tekiyo " + kCrLf +
         "WHERE sakumotsu IN (SELECT sakumotsu FROM m_sakumotsu WHERE idsaku REGEXP " + Regexp + ") AND bango IS NOT NULL" +
         kCrLf +
         "ORDER BY bango;" + kCrLf + "COMMIT;";
}

std::string CropNamesOfRegexpSql(const std::string& Regexp) {
  return "SELECT sakumotsu FROM m_sakumotsu WHERE idsaku REGEXP " + Regexp;
}

std::string BangoRestriction(bool Restricted) {
  return Restricted ? " AND bango IN (SELECT bango FROM t_bango)" : std::string();
}

std::string YakuTableScript(std::string_view Yakuzai, bool Restricted, const std::string& Yoto) {
  std::string s = std::string("DROP TABLE IF EXISTS t_yaku;") + kCrLf +
                  "CREATE TEMP TABLE t_yaku AS SELECT DISTINCT bango,meisho, m_kihon.tsusho AS tsusho, "
                  "tsushoruby.ruby AS ruby FROM m_kihon" +
                  kCrLf + "LEFT JOIN tsushoruby ON m_kihon.tsusho = tsushoruby.tsusho" + kCrLf + "WHERE ";
  const std::string where = MakeYakuzaiWhere(Yakuzai);
  if (!where.empty())
    s += "(" + where + ")" + BangoRestriction(Restricted);
  else
    s += "bango IN (SELECT bango FROM t_bango)";
  return s + Yoto + ";";
}

std::string YakuTsushoSql() { return "SELECT DISTINCT tsusho, ruby FROM t_yaku ORDER BY ruby, tsusho;"; }

std::string YakuBangoSql() { return "SELECT DISTINCT bango,meisho FROM t_yaku ORDER BY bango;"; }

std::string TsushoByYotoSql(const std::string& Where) {
  return "SELECT DISTINCT m_kihon.tsusho AS tsusho, tsushoruby.ruby AS ruby FROM m_kihon LEFT JOIN tsushoruby ON "
         "m_kihon.tsusho = tsushoruby.tsusho " +
         Where + " ORDER BY ruby, m_kihon.tsusho";
}

std::string BangoByYotoSql(const std::string& Where) { return "SELECT bango,meisho FROM m_kihon " + Where + " ORDER BY bango"; }

std::string ProductsOfTsushoSql(const std::string& Tsusho, bool Restricted) {
  return "SELECT DISTINCT bango,meisho FROM m_kihon WHERE tsusho = " + SqlQuote(Tsusho) + BangoRestriction(Restricted) +
         " ORDER BY bango";
}

std::string TProductKey::Condition() const {
  return ByBango ? "bango = " + std::to_string(Bango) : "tsusho = " + SqlQuote(Tsusho);
}

std::string KihonValuesSql(const std::string& Column, const TProductKey& Key) {
  return "SELECT DISTINCT " + Column + " FROM kihon WHERE " + Key.Condition();
}

std::string SeibunTableScript(const TProductKey& Key) {
  return "BEGIN TRANSACTION;DROP TABLE IF EXISTS t_seibun;CREATE TEMP TABLE t_seibun AS SELECT DISTINCT "
         "ifnullstr(seibun,ippanmei) AS seibun FROM kihon WHERE " +
         Key.Condition() + ";COMMIT;";
}

std::string KihonTableScript(bool Restricted) {
  // The ingredient as t_seibun names it (the general name where the registration names none).
  return "BEGIN TRANSACTION;DROP TABLE IF EXISTS t_kihon;CREATE TEMP TABLE t_kihon AS SELECT DISTINCT tsusho, "
         "ifnullstr(seibun,ippanmei) AS seibun FROM kihon WHERE ifnullstr(seibun,ippanmei) IN (SELECT seibun FROM "
         "t_seibun)" +
         BangoRestriction(Restricted) + " ORDER BY tsusho;COMMIT;";
}

std::string RelatedTsushoSql(TRelatedKind Kind, const std::string& Value, bool Restricted) {
  std::string column;
  switch (Kind) {
    case rkSeibun: column = "ifnullstr(seibun,ippanmei)"; break;
    case rkKeito: column = "keito"; break;
    case rkSayoten: column = "sayoten"; break;
    case rkRac: column = "mid"; break;
    case rkRacKeito: column = "RAC系統"; break;
  }
  return kTsushoHead + column + " = " + SqlQuote(Value) + BangoRestriction(Restricted) +
         " ORDER BY ruby, kihon.tsusho;";
}

std::string SeibunPluralScript(const std::vector<std::string>& Seibun) {
  std::string s = std::string("BEGIN TRANSACTION;") + kCrLf + "DROP TABLE IF EXISTS t_seibun;" + kCrLf +
                  "CREATE TEMP TABLE t_seibun (seibun varchar primary key);" + kCrLf;
  for (const std::string& v : Seibun) s += "INSERT OR IGNORE INTO t_seibun VALUES(" + SqlQuote(v) + ");" + kCrLf;
  return s + "COMMIT;";
}

std::string SeibunPluralSql() {
  // One row per trade name: names that share a reading (or have none) stay apart.
  return "SELECT t_kihon.tsusho AS tsusho, min(tsushoruby.ruby) AS ruby FROM t_kihon JOIN t_seibun ON t_kihon.seibun "
         "= t_seibun.seibun LEFT JOIN tsushoruby ON t_kihon.tsusho = tsushoruby.tsusho GROUP BY t_kihon.tsusho "
         "HAVING COUNT(DISTINCT t_kihon.seibun) = (SELECT COUNT(seibun) FROM t_seibun) ORDER BY ruby, "
         "t_kihon.tsusho;";
}

std::string SeizaiSql(int64_t Bango) {
  return "SELECT bango,shurui,dokusei,torokubi,ryakusho,zaikei,yoto FROM m_kihon as a LEFT JOIN seizai USING(bango) "
         "WHERE bango = " +
         std::to_string(Bango);
}

std::string SuisanSql(int64_t Bango) { return "SELECT chuijiko from suisan WHERE bango = " + std::to_string(Bango); }

std::string SeibunGridSql(int64_t Bango) {
  return "SELECT DISTINCT ippanmei, seibun, iso as ISO物質名,s.keito as 系統,koka, JPP系統名, kagakumei,nodo, nodochu, "
         "seibuneikyo,dokusei, jogai, jyogai1, jyogai2, biko,mid, rac.keito as RAC系統, sayoten,sayokiko,fgroup,risk "
         "FROM tvSeibun as s LEFT JOIN rac USING(ippanmei) LEFT JOIN iso USING(ippanmei) WHERE bango = " +
         std::to_string(Bango) + " GROUP BY ippanmei";
}

std::string SeibunSlotsSql(int64_t Bango) {
  return "SELECT seibun1,seibun2,seibun3,seibun4,seibun5 FROM m_kihon WHERE bango = " + std::to_string(Bango);
}

std::string SeibunOfIppanmeiSql() { return "SELECT seibun FROM seibun WHERE bango = ?1 AND ippanmei = ?2"; }

std::string IsSakumotsuStr(const std::vector<std::string>& Names) {
  std::string list;
  for (const std::string& n : Names) {
    if (n.empty()) continue;
    if (!list.empty()) list += ",";
    list += SqlQuote(n);
  }
  return list.empty() ? std::string() : " AND sakumotsu IN (" + list + ")";
}

std::string TekiyoGridSql(int64_t Bango, bool Restricted, const std::vector<std::string>& CropNames) {
  return "SELECT sakumotsu,byochu,mokuteki,baisu,ekiryo,jiki,kaisu,hoho,basho,jikan,ondo,dojo,chitai,tekiyaku,kaisu1,"
         "kaisu2,kaisu3,kaisu4,kaisu5 FROM m_tekiyo WHERE bango = " +
         std::to_string(Bango) + BangoRestriction(Restricted) + IsSakumotsuStr(CropNames) + ";";
}

std::string KaisuHeaderText(const std::string& Name) {
  return Name.empty() ? std::string() : Name + "を含む農薬の使用回数";
}
