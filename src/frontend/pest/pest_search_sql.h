#pragma once
// The SQL of the pest tab: the pest names the keywords find (tByochu), every registered use of
// the products registered against them (ttTekiyoByochu), the rows the grid shows, the crop
// list of the result and the crop filter.  Pure text builders, so the statements can be
// checked without a window.
//
// No typed text is written into a statement: keywords are bound values; crop names come back
// from the crop hierarchy as regular-expression literals with their pattern characters escaped
// and the whole pattern quoted.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The pest condition of the keywords (words separated by blanks, full-width blanks or commas):
// for each word w the name followed by its aliases must contain w,
//   (concat('、',byochu,betsumei) MATCH ?1 or concat('、',byochu,betsumei) MATCH ?2 ...)
// with the values "%w%".  Literal is the same condition with the values written as quoted
// literals (the form the log shows).  Empty words are left out; no word gives empty texts.
struct TPestCondition {
  std::string Bound;
  std::string Literal;
  std::vector<std::string> Params;
};
TPestCondition ByochuCondition(std::string_view Keywords);

// "CREATE TEMP TABLE tByochu AS SELECT byochu FROM m_byochu WHERE " + Condition + ";"
std::string TByochuCreateSql(const std::string& Condition);
// The 46 columns of the search working tables over tekiyo (TekiyoWorkSelect; "SELECT ... FROM
// tekiyo "; the caller appends its WHERE).
std::string TekiyoByochuSelect();
// The rest of the search script: ttTekiyoByochu dropped and re-created with the 46 columns of
// the search working tables, for every use of a product that has a use whose pest or purpose
// is in tByochu.
std::string TekiyoByochuScript();
// The whole script as one text (what the log shows), lines separated by CR LF.
std::string ByochuScript(const std::string& Condition);

// The crops of the result, without the exclusions ("...を除く"), by crop code.
std::string ByochuCropListSql();
// The rows of the view whose pest or purpose was found.
std::string ByochuResultSql(std::string_view View);

// The crop filter.  Deploy gives, for one crop name, the registered crops that apply to it
// (itself and its higher groups, TAcisDB::DeployCrops with mode '~'), as a comma list.
//  - "全て" or an empty text: every row of the view (all uses of the found products);
//  - otherwise, per crop name of the comma text: the rows found for the pests whose crop is
//    the name or a crop it covers (by name or crop group, unless excluded, or by inclusion),
//    or one of its higher groups by that group's own name, so that a crop gives the rows the
//    crop tab gives it with its higher groups.  A name the hierarchy does not know stands
//    for itself.
using TDeployFn = std::function<std::string(const std::string& Name)>;
std::string ByochuCropFilterSql(std::string_view View, const std::string& Crops, const TDeployFn& Deploy);
