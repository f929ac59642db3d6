#pragma once
// The SQL of the crop tab's filter bar: the three filter lists (pests, purposes, formulations)
// built from ttTekiyoSaku and the four filter queries on the result view. Pure text builders,
// so the statements can be checked without a window.
//
// Every user text reaches SQL as a quoted literal (SqlQuote), never as SQL of its own.
#include <string>
#include <string_view>
#include <vector>

// "全て" means no filter, exactly like an empty text; blanks around a filter text mean nothing.
std::string FilterValue(std::string_view Text);

// The words of a pest or purpose filter text: items separated by commas, blanks or full-width
// blanks; an item in double quotes (as the pickers write names that hold a blank) stays whole,
// a doubled quote inside standing for one. Empty items are dropped.
std::vector<std::string> FilterWords(std::string_view Text);
// Comma text of picked names that FilterWords reads back item by item: names holding a blank
// (also a full-width one), a comma or a double quote are quoted.
std::string FilterCommaText(const std::vector<std::string>& Names);
// "(field LIKE 'a' or field LIKE 'b')" over FilterWords; "" when there is no word.
std::string FilterLikeList(std::string_view Text, std::string_view Field);
// Every full-width "％" of a filter text as "%".
std::string AsciiPercent(std::string_view Text);

// The use (u) and formulation (z) restriction shared by the lists and the filters:
// WhereIf(u+z) + InList(u, "yoto") + AndIf(u, z) + InList(z, "zaikei"). Both texts are taken
// through FilterValue first.
std::string UseZaikeiWhere(std::string_view Use, std::string_view Zaikei);

// The three filter lists ("SELECT DISTINCT ... FROM ttTekiyoSaku ... ORDER BY ...").
std::string ByochuListSql(std::string_view Use, std::string_view Zaikei);
std::string MokutekiListSql(std::string_view Use, std::string_view Zaikei);
std::string ZaikeiListSql(std::string_view Use);

// The filter queries on the view V.
// Pest (Field "byochu") or purpose (Field "mokuteki") filter: with words in Text
//   "SELECT * FROM V WHERE (" + like + ") " + AndIf(Text, u+z) + InList(u) + AndIf(u, z) + InList(z)
// else the use/formulation query below.
std::string WordFilterSql(std::string_view View, std::string_view Field, std::string_view Text,
                          std::string_view Use, std::string_view Zaikei);
// "SELECT * FROM V" + UseZaikeiWhere(u, z).
std::string UseFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei);
// The formulation filter proper (pest and purpose empty): with a formulation z1
//   "SELECT * FROM V" + WhereIf(u+z1) + InList(u) + AndIf(z1, u) + InList(z1)
// else "SELECT * FROM V" + WhereIf(u) + InList(u).
std::string ZaikeiFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei);
