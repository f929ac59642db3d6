#pragma once
// WHERE-clause fragments built from the user's filter texts: IN lists, OR-chains of LIKE and
// MATCH tests, and REGEXP tests from crop conditions. Every value is written as an SQL
// literal with its single quotes doubled, and an OR-chain comes back in brackets, so a
// fragment can be combined with AND/OR safely.
//
// The word list of a text: every blank and full-width blank outside a quoted item turned into
// a comma, then split as comma text (an item in double quotes keeps its blanks and commas, as
// the pickers write names that hold them; two separators in a row give an empty item).
#include <string>
#include <string_view>
#include <vector>

#include "database/regex_utils.h"  // SqlQuote, the one quoting helper for SQL literals

// " AND " when both a and b are non-empty, else "".
std::string AndIf(std::string_view a, std::string_view b);
// " WHERE " when clause is non-empty, else "".
std::string WhereIf(std::string_view clause);

// "" for an empty text or "全て"; otherwise " field IN ('a','b')" with the items of the text
// split as comma text (an unquoted blank also separates items).
std::string InList(std::string_view text, std::string_view field);

// "(field LIKE 'a' or field LIKE 'b')" over the word list; "" for an empty text.
std::string LikeList(std::string_view text, std::string_view field);
// "(concat('、',field,betsumei) MATCH '%a%' or ...)" over the word list; "" for an empty text.
std::string MatchListBetsumei(std::string_view text, std::string_view field);
// "(sakumotsu MATCH 'a' or ...)" over the word list; "" for an empty text.
std::string SakuMatchList(std::string_view text);

// Crop-condition tests: the crops to include (BuildSakumotsuCondition with '%') and not to
// exclude ('!').
// " concat('、', sakumotsu, betsumei) REGEXP I AND concat('、', sakumotsu, betsumei) NOT REGEXP E"
std::string SakuBetsumeiRegexp(std::string_view text, bool openFieldFlag = true);
// " sakumotsu REGEXP I AND sakumotsu NOT REGEXP E" (open field only for E)
std::string SakuRegexp(std::string_view text);
// " concat('、', sakumotsu, betsumei, ruby) REGEXP I AND concat('、', sakumotsu, betsumei) NOT REGEXP E"
std::string SakuRubyRegexp(std::string_view text);

// The word list of a text (exposed for the searches that build their own tests).
std::vector<std::string> WordList(std::string_view text);
