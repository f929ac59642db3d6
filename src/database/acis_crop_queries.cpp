#include "database/acis_crop_queries.h"

#include <algorithm>
#include <set>
#include <vector>

#include "database/acis_db.h"
#include "database/regex_utils.h"
#include "database/sakumotsu_keys.h"
#include "database/sql_regexp.h"
#include "database/strconv.h"
#include "foundation/comma_text.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"

namespace {

// The first column of the first row of a bound query as text ("" without rows or for NULL).
std::string FirstValue(TAcisDB& db, const std::string& sql, std::initializer_list<TSQLiteParam> params) {
  db.FTbl = db.FDb->GetTableBound(sql, params);
  if (db.FTbl->Count() == 0) return std::string();
  return db.FTbl->FieldAsString(0);
}

// A name as a LIKE prefix: its own wildcards made literal (escape character '\').
const char* const kLikePrefixOf1 = "replace(replace(replace(?1, '\\', '\\\\'), '%', '\\%'), '_', '\\_')||'%'";

// The crops beside a crop are gathered in tidsaku: first the deepest crop among the crop and
// its ancestors that is registered under its own name.
const char* const kSameLevelTableSql =
    "drop table if exists temp.tidsaku; create temp table tidsaku(idsaku varchar primary key, toroku integer, "
    "sakumotsu varchar);";
const char* const kNearestRegisteredSql =
    "insert into tidsaku select idsaku, toroku, sakumotsu from vg_sakumotsu2 where idsaku in (select max(idsaku) "
    "from vg_sakumotsu2 where toroku = 1 and idsaku regexp (select concat('|',idsaku, "
    "substr(idsaku,1,12)||'0000', substr(idsaku,1,8)||'00000000', substr(idsaku,1,6)||'0000000000', "
    "substr(idsaku,1,4)||'000000000000', substr(idsaku,1,2)||'00000000000000') from vg_sakumotsu2 where "
    "sakumotsu = ?1));";

// The crops beside crop ?1 in tidsaku, and their names as one comma list: the nearest
// registered crop at or above it, then the crops that share its level-4 code prefix and pass
// NameFilter (a condition on sakumotsu, ?1 the crop's name), deepest code first.
std::unique_ptr<TSQLiteTbl> SameLevelCrops(TSQLiteDb& db, const std::string& Name, const std::string& NameFilter) {
  db.ExecSQL(kSameLevelTableSql);
  db.ExecBound(kNearestRegisteredSql, {Name});
  db.ExecBound("insert or ignore into tidsaku select idsaku, toroku, sakumotsu from vg_sakumotsu2 where " + NameFilter +
                   " and idsaku like (select if(class = 5,substr(idsaku,1,12)||'0000',substr(idsaku,1,12))||'%' from "
                   "vg_sakumotsu2 where sakumotsu = ?1) order by idsaku desc;",
               {Name});
  return db.GetTable("select concat(',',sakumotsu) from tidsaku;");
}

// Codes of a crop and its ancestors as one alternation, as the hierarchy queries use it.
const char* const kUpperGroupSql =
    "select concat(',',sakumotsu) from (select class,idsaku,sakumotsu from m_sakumotsu where toroku in (1,3) "
    "order by idsaku desc) where\r\n"
    "idsaku regexp (select '^('||concat('|',\r\n"
    " if(class>4,idsaku),\r\n"
    " if(class>3,substr(idsaku,1,12)||'0000'),\r\n"
    " if(class>2,substr(idsaku,1,8)||'00000000'),\r\n"
    " if(class>1,substr(idsaku,1,6)||'0000000000'),\r\n"
    " if(class>0,substr(idsaku,1,4)||'000000000000'),\r\n"
    " substr(idsaku,1,2)||'00000000000000',\r\n"
    " if(gunmei is not null,(select idsaku from m_sakumotsu where sakumotsu=a.gunmei)))||')'\r\n"
    "from m_sakumotsu as a where sakumotsu = ?1)\r\n";

// The alternation of a condition without names.
const char* const kNoNamesPattern = "、()、";

// The crops that one of the names of a selection could cover (?1, the condition of the whole
// selection), with the texts each name's condition is tested against, as regexp would test
// them: the crop's name, its name and groups, its exclusions and its inclusions, each list
// delimited like the condition ("、a、b、"); NULL when the crop has no such list.
const char* const kCandidatesSql =
    "select idsaku, '、'||sakumotsu||'、', '、'||concat('、',sakumotsu,shozoku)||'、', '、'||nozoku||'、', "
    "'、'||fukumu||'、'\r\n"
    "from m_sakumotsu left join sakuhojo using(idsaku) where\r\n"
    "'、'||concat('、',sakumotsu,shozoku)||'、' regexp ?1\r\n"
    "or '、'||fukumu||'、' regexp ?1";

// One name's condition as the SQL function regexp applies it (same normalisation of pattern
// and text, same matcher).
class TNameMatcher {
 public:
  explicit TNameMatcher(const std::string& Condition)
      : FMatcher(NormalizeRegexPattern(Condition, strconv_opt::All)) {}
  // Text already normalised; "" stands for NULL, which never matches.
  bool Matches(const std::string& Key) { return !Key.empty() && FMatcher.Matches(Key); }

 private:
  TRegexpMatcher FMatcher;
};

// What one name of a selection covers.
struct TNameCover {
  std::set<std::string> Covered;  // codes of every crop the name covers
  std::set<std::string> Own;      // codes of the crops of that name
};

// One name of a selection: its crop condition (an unquoted "、(...)、" pattern) and whether
// the user chose it (else it came in on a chosen crop's behalf).
struct TNameCondition {
  std::string Condition;
  bool Chosen = true;
};

// The crop condition of each name of a selection, each distinct condition once (chosen when
// any of its names was chosen), names without a condition left out.  When the first name is a
// cultivation form ("トマト（施設栽培）"), every other name but the crop's own stands for that
// form as well, as in the condition of the whole selection.  Added: the names that came in on
// a chosen crop's behalf.
std::vector<TNameCondition> NameConditions(const std::string& Names, const std::vector<std::string>& Added) {
  std::set<std::string> added;
  for (const std::string& a : Added) added.insert(BuildSakumotsuCondition(a, '#', false));
  std::vector<TNameCondition> out;
  const std::vector<std::string> items = SplitNameList(Names);
  std::string form, base;
  for (size_t i = 0; i < items.size(); ++i) {
    std::string cond;
    const std::string name = BuildSakumotsuCondition(items[i], '#', false);
    // A name that normalises to nothing ("ー") names no crop: as an alternative it would
    // match every empty item of a crop list.
    if (StrConvText(name).empty()) continue;
    if (i == 0) {
      SplitCultivationForm(name, base, form);
      cond = BuildSakumotsuCondition(items[i], ':', false);
    } else if (!form.empty() && !name.empty() && name != base) {
      cond = BuildSakumotsuCondition(items[i] + "," + name + form, ':', false);
    } else {
      cond = BuildSakumotsuCondition(items[i], ':', false);
    }
    cond = UnquoteSqlLiteral(cond);
    if (cond == kNoNamesPattern) continue;
    const bool chosen = added.count(name) == 0;
    auto same = std::find_if(out.begin(), out.end(), [&](const TNameCondition& c) { return c.Condition == cond; });
    if (same == out.end())
      out.push_back({std::move(cond), chosen});
    else
      same->Chosen = same->Chosen || chosen;
  }
  return out;
}

}  // namespace

std::string UnquoteSqlLiteral(std::string_view Literal) {
  if (Literal.size() < 2 || Literal.front() != '\'' || Literal.back() != '\'') return std::string(Literal);
  std::string out;
  std::string_view in = Literal.substr(1, Literal.size() - 2);
  for (size_t i = 0; i < in.size(); ++i) {
    out += in[i];
    if (in[i] == '\'' && i + 1 < in.size() && in[i + 1] == '\'') ++i;
  }
  return out;
}

std::string TAcisDB::IdSakuRegexpLine(const std::string& Names, bool RegisteredOnly,
                                      const std::vector<std::string>& Added) {
  (void)RegisteredOnly;  // every caller passes it; the covered codes do not depend on it
  if (DebugMode) Log("---- acdb: IdSakuRegexpLine test ----");
  const std::string c = BuildSakumotsuCondition(Names, ':', false);
  Log("s --> " + c);
  // No names at all: the alternation is empty and would match every crop list.
  if (UnquoteSqlLiteral(c) == kNoNamesPattern) return std::string(kNoCropPattern);

  // Each name of the selection on its own: the crops its condition covers (its name or one
  // of its groups is the name and no exclusion names it, or an inclusion names it), and among
  // them the crops that bear the name themselves.  One query reads the crops any of the names
  // could cover; each name is then tested on their texts, normalised once per crop.
  const std::vector<TNameCondition> conditions = NameConditions(Names, Added);
  if (conditions.empty()) return std::string(kNoCropPattern);
  std::vector<TNameCover> names;
  try {
    std::vector<TNameMatcher> matchers;
    for (const TNameCondition& cond : conditions) matchers.emplace_back(cond.Condition);
    names.resize(matchers.size());
    FSQL = kCandidatesSql;
    if (DebugMode) Log(FSQL);
    FTbl = FDb->GetTableBound(FSQL, {UnquoteSqlLiteral(c)});
    std::string key[4];
    for (; !FTbl->Eof(); FTbl->Next()) {
      for (int f = 0; f < 4; ++f) {
        key[f].clear();
        StrConvAppend(FTbl->Fields(f + 1), strconv_opt::All, key[f]);
      }
      const std::string code = FTbl->Fields(0);
      for (size_t i = 0; i < matchers.size(); ++i) {
        TNameMatcher& m = matchers[i];
        if (m.Matches(key[0])) names[i].Own.insert(code);
        if ((m.Matches(key[1]) && !m.Matches(key[2])) || m.Matches(key[3])) names[i].Covered.insert(code);
      }
    }
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "");
    return std::string(kNoCropPattern);
  } catch (const ESqlRegex& e) {
    Log(std::string("IdSakuRegexpLine: ") + e.what());
    return std::string(kNoCropPattern);
  }

  // A name the user chose stands for every crop it covers; a name that came in on a chosen
  // crop's behalf (its upper groups) stands for its own registrations only, so that a crop
  // with its groups does not list every crop of the groups.  The result is the union: one
  // more name never takes a crop away.
  std::set<std::string> chosen;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::set<std::string>& codes = conditions[i].Chosen ? names[i].Covered : names[i].Own;
    chosen.insert(codes.begin(), codes.end());
  }
  std::string codes;
  for (const std::string& code : chosen) {
    if (!codes.empty()) codes += '|';
    codes += code;
  }
  Log(codes);
  if (codes.empty()) return std::string(kNoCropPattern);
  return SqlQuote(codes);
}

std::string TAcisDB::UpperGroup(const std::string& Name) {
  FSQL = kUpperGroupSql;
  if (DebugMode) {
    Log("---- UpperGruop ---------");
    Log(FSQL);
    Log("-------------");
    Log("acdb UpperGroup -> " + FSQL);
  }
  std::string result;
  try {
    result = FirstValue(*this, FSQL, {Name});
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "AcisDB.UpperGroup SQL実行");
    return std::string();
  }
  if (DebugMode) Log("AcisDB.UpperGroup Result -> " + result);
  return result;
}

std::string TAcisDB::UpperGroupMarked(const std::string& Name) noexcept {
  // Runs from a hover hint: nothing may escape into the event loop.
  try {
    FDb->ExecSQL("drop table if exists temp.tidsaku;");
    FDb->ExecBound(
        "create temp table tidsaku as select idsaku, toroku, sakumotsu from vg_sakumotsu2 where (sakumotsu not like "
        "'%)%' or class < 5) and idsaku regexp (select '^('||concat('|', if(idsaku not like "
        "'%0000',idsaku||'|'||substr(idsaku,1,12)||'0000',substr(idsaku,1,12)), substr(idsaku,1,8)||'0000', "
        "substr(idsaku,1,6)||'000000', substr(idsaku,1,4)||'00000000', substr(idsaku,1,2)||'0000000000', if(gunmei is "
        "not null,(select idsaku from vg_sakumotsu2 where sakumotsu = a.gunmei), ''))||')' from vg_sakumotsu2 as a "
        "where sakumotsu = ?1) order by idsaku desc;",
        {Name});
    FDb->ExecBound("delete from tidsaku where sakumotsu = ?1;", {Name});
    FDb->ExecSQL("update tidsaku set sakumotsu = '('||sakumotsu||')' where toroku != 1;");
    FDb->ExecSQL("update tidsaku set sakumotsu = '['||sakumotsu||']' where substr(idsaku,13,16) <> '0000';");
    // The current cursor stays as it is: a hint may show while a fill loop reads it.
    auto t = FDb->GetTable("select concat(',',sakumotsu) from tidsaku;");
    if (t->Count() == 0) return std::string();
    return t->FieldAsString(0);
  } catch (const std::exception& e) {
    try {
      Log(std::string("UpperGroupMarked: ") + e.what());
    } catch (...) {
    }
  } catch (...) {
  }
  return std::string();
}

std::string TAcisDB::SameLevelSakumotsu(const std::string& Name) {
  try {
    FTbl = SameLevelCrops(*FDb, Name,
                          std::string("sakumotsu not like ") + kLikePrefixOf1 +
                              " escape '\\' and sakumotsu not like '%栽培%' and sakumotsu not like 'その他%'");
    if (FTbl->Count() == 0) return std::string();
    return FTbl->FieldAsString(0);
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "AcisDB.SameLevelSakumotsu SQL実行");
    return std::string();
  }
}

std::string TAcisDB::DeployCrops(const std::string& Text, char Mode) {
  const std::string text = FullToHalfBrackets(Text);
  const std::string first = FirstCsvItem(text);
  if (Mode == '~') return UpperGroup(first);
  if (first.empty()) return text;
  FSQL =
      "select concat(',',sakumotsu) from (select class,idsaku,sakumotsu from m_sakumotsu where toroku in (1,3) order "
      "by idsaku desc) where\r\n"
      "idsaku like (select\r\n"
      "  if(class=4,substr(idsaku,1,12),\r\n"
      "  if(class=3,substr(idsaku,1,8),\r\n"
      "  if(class=2,substr(idsaku,1,6),\r\n"
      "  if(class=1,substr(idsaku,1,4),\r\n"
      "  idsaku))))||'%'\r\n"
      "from m_sakumotsu as a where sakumotsu = ?1)";
  if (DebugMode) Log("acdb DeployCrops -> " + FSQL);
  std::string list;
  try {
    list = FirstValue(*this, FSQL, {first});
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "AcisDB.UpperGroup SQL実行");
    return std::string();
  }
  std::string result;
  if (list.empty()) {
    result = text;
  } else {
    // The remaining names keep their leading comma and stay as they were.
    std::string rest;
    if (text.compare(0, first.size(), first) == 0) {
      rest = text.substr(first.size());
    } else {
      bool quoted = false;
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (text[i] == ',' && !quoted) {
          rest = text.substr(i);
          break;
        }
      }
    }
    result = list + rest;
  }
  if (DebugMode) Log("acdb DeployCrops Result -> " + result);
  return result;
}

bool TAcisDB::CropNameExists(const std::string& Name) {
  try {
    FTbl = FDb->GetTableBound("SELECT sakumotsu FROM m_sakumotsu WHERE MATCH(?1, sakumotsu, 'k')", {Name});
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "");
    return false;
  }
  return FTbl->Count() > 0;
}

std::string TAcisDB::CropNamesMatching(const std::string& Name) {
  if (!CropNameExists(Name)) return std::string();
  std::string out;
  for (FTbl->MoveFirst(); !FTbl->Eof(); FTbl->Next()) {
    if (!out.empty()) out += ',';
    out += FTbl->FieldAsString(0);
  }
  return out;
}

// ---- TAcisMiniDB ----------------------------------------------------------------------------

TAcisMiniDB::TAcisMiniDB(const std::string& FileName, const std::string& DBDir) {
  FDb = std::make_unique<TSQLiteDb>(FileName, false);
  FDb->ExecAll = true;
  FDb->ExecBound("ATTACH ?1 AS spec;", {DBDir + "/spec.db"});
}

TAcisMiniDB::~TAcisMiniDB() = default;

std::string TAcisMiniDB::UpperGroup(const std::string& Name) {
  try {
    auto t = SameLevelCrops(*FDb, Name,
                            "substr(sakumotsu, 1, length(?1) + 1) not in (?1||'(', ?1||'類') and sakumotsu not like "
                            "'%栽培%' and sakumotsu not like 'その他%'");
    return t->Count() ? t->FieldAsString(0) : std::string();
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "AcisMiniDB.UpperGroup SQL実行");
    return std::string();
  }
}
