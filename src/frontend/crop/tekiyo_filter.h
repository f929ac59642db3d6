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

// A pest or purpose filter text names at least one word (the word list of LikeList, "全て"
// taken as empty); a text of separators only is no filter.
bool HasFilterWords(std::string_view Text);
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
//   "SELECT * FROM V WHERE (" + LikeList(Text) + ") " + AndIf(Text, u+z) + InList(u) + AndIf(u, z) + InList(z)
// else the use/formulation query below.
std::string WordFilterSql(std::string_view View, std::string_view Field, std::string_view Text,
                          std::string_view Use, std::string_view Zaikei);
// "SELECT * FROM V" + UseZaikeiWhere(u, z).
std::string UseFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei);
// The formulation filter proper (pest and purpose empty): with a formulation z1
//   "SELECT * FROM V" + WhereIf(u+z1) + InList(u) + AndIf(z1, u) + InList(z1)
// else "SELECT * FROM V" + WhereIf(u) + InList(u).
std::string ZaikeiFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei);
