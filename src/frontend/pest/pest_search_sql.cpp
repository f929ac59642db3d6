#include "frontend/pest/pest_search_sql.h"

#include "database/acis_session_views.h"
#include "database/clause_builders.h"
#include "database/regex_utils.h"
#include "foundation/comma_text.h"
#include "frontend/crop/tekiyo_filter.h"

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kFound = "(byochu IN (SELECT byochu FROM tByochu) OR mokuteki IN (SELECT byochu FROM tByochu))";

}  // namespace

TPestCondition ByochuCondition(std::string_view Keywords) {
  TPestCondition c;
  for (const std::string& w : WordList(Keywords)) {
    if (w.empty()) continue;
    const std::string value = "%" + w + "%";
    c.Params.push_back(value);
    const std::string test = "concat('、',byochu,betsumei) MATCH ";
    if (!c.Bound.empty()) {
      c.Bound += " or ";
      c.Literal += " or ";
    }
    c.Bound += test + "?" + std::to_string(c.Params.size());
    c.Literal += test + SqlQuote(value);
  }
  if (c.Params.empty()) return c;
  c.Bound = "(" + c.Bound + ")";
  c.Literal = "(" + c.Literal + ")";
  return c;
}

std::string TByochuCreateSql(const std::string& Condition) {
  return "CREATE TEMP TABLE tByochu AS SELECT byochu FROM m_byochu WHERE " + Condition + ";";
}

std::string TekiyoByochuSelect() { return TekiyoWorkSelect(kCrLf); }

std::string TekiyoByochuScript() {
  return std::string("DROP TABLE IF EXISTS ttTekiyoByochu;") + kCrLf +
         "CREATE TEMP TABLE ttTekiyoByochu AS " + kCrLf + TekiyoByochuSelect() + kCrLf +
         "WHERE bango IN (SELECT bango FROM m_tekiyo WHERE byochu IN (SELECT byochu FROM tByochu) " + kCrLf +
         "OR mokuteki IN (SELECT byochu FROM tByochu));";
}

std::string ByochuScript(const std::string& Condition) {
  return std::string("DROP TABLE IF EXISTS tByochu;") + TByochuCreateSql(Condition) + kCrLf + TekiyoByochuScript();
}

std::string ByochuCropListSql() {
  return "SELECT DISTINCT sakumotsu FROM ttTekiyoByochu WHERE sakumotsu NOT REGEXP '(、.*)?を除く' ORDER BY idsaku;";
}

std::string ByochuResultSql(std::string_view View) {
  return "SELECT * FROM " + std::string(View) +
         " WHERE byochu IN (SELECT byochu FROM tByochu) OR mokuteki IN (SELECT byochu FROM tByochu);";
}

std::string ByochuCropFilterSql(std::string_view View, const std::string& Crops, const TDeployFn& Deploy) {
  const std::string t = FilterValue(Crops);
  if (t.empty()) return "SELECT * FROM " + std::string(View);
  std::string terms;
  for (const std::string& name : CommaTextToList(t)) {
    if (name.empty()) continue;
    // The chosen crop stands for every crop it covers (by name or crop group, unless excluded,
    // or by inclusion); the higher groups that apply to it stand for their own uses only, as
    // on the crop tab: a use on 野菜類 applies to トマト, a use on another vegetable does not.
    const std::string own = FullToHalfBrackets(name);
    std::string groups;
    for (const std::string& g : CommaTextToList(Deploy ? Deploy(name) : std::string())) {
      if (g.empty() || g == own || g == name) continue;
      groups += (groups.empty() ? "" : ",") + SqlQuote(g);
    }
    // The names are matched literally: a crop such as トマト(施設栽培) holds pattern characters.
    const std::string p = SqlQuote("、(" + EscapeRegexName(own) + ")、");
    terms += "('、'||concat('、', sakumotsu, shozoku)||'、' regexp " + p + " and nozoku not regexp " + p +
             " or fukumu regexp " + p + ")";
    if (!groups.empty()) terms += " or sakumotsu in (" + groups + ")";
    terms += std::string(" or") + kCrLf;
  }
  // The rows found for the pests only: the filter narrows the search's result by crop.
  return "SELECT * FROM " + std::string(View) + " WHERE " + kFound +
         " AND sakumotsu in (select sakumotsu from m_sakumotsu left join sakuhojo using(idsaku) where " + kCrLf +
         terms + "0" + ")";
}
