#pragma once
// The crop chooser core: the rules shared by the crop-selection frame of the crop tab and the
// crop picker dialog, without widgets.
//
//  - selection texts: crop names as comma text, each name once at the place of its last
//    occurrence (RemoveDuplicateNames), with the higher crop groups added by the rules of the
//    tree and of the result list (TreeSelectionNames, ListSelectionNames);
//  - the statements of the crop-name search, the crop-group table and the CVO table.  Every
//    text the user typed or a table delivered reaches SQL through SqlQuote only.
//
// The widget side (pages, lists, tables) is in crop_chooser_views.h.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TSakumotsu;

// ---- selection texts ------------------------------------------------------------------------

// Each non-empty name once, at the place of its last occurrence; names compare without regard
// to letter case.  {トマト, なす, トマト, 果菜類} gives {なす, トマト, 果菜類}.
std::vector<std::string> RemoveDuplicateNames(const std::vector<std::string>& Names);
// The same on comma text (split by the comma-text rules, joined again as comma text).
std::string RemoveDuplicateText(const std::string& CommaText);

// The names of a comma-joined name list as the hierarchy queries return it ("a,b,c"): split at
// commas only, so a name holding a blank stays one name; empty items dropped.
std::vector<std::string> SplitCropNames(std::string_view Text);

// Names of Names that are not among Exclude (compared without regard to letter case).
std::vector<std::string> NamesWithout(const std::vector<std::string>& Names, const std::vector<std::string>& Exclude);

// The hierarchy query a selection rule needs: the registered crops at and above a crop, as a
// comma list (TAcisDB::UpperGroup); "" when there are none.
using TUpperGroupFn = std::function<std::string(const std::string& Name)>;
using TTraceFn = std::function<void(const std::string& Line)>;

// The tree's rule.  Checked: the checked crops in tree order (crops of registration state 0
// must have been left out by the caller).  The higher groups of every checked crop are added
// when the last checked crop asks for them: the upper option is on or its state is 2.  Trace,
// when set, receives the debug lines of the tree rule.  The result has every name once.
// Added, when given, receives the names of the result that came in on a checked crop's
// behalf (its higher groups that are not checked themselves), in result order.
std::vector<std::string> TreeSelectionNames(const std::vector<const TSakumotsu*>& Checked, bool UpperOption,
                                            const TUpperGroupFn& UpperGroup, const TTraceFn& Trace = nullptr,
                                            std::vector<std::string>* Added = nullptr);

// The result list's rule.  With the upper option every checked crop stands for its higher
// groups (or itself when it has none); without it each crop stands for NameOf(crop) (its name
// by default; the picker's template mode passes the same-level crops), and a crop of state 2
// brings its higher groups too.  The result has every name once.  Added as for the tree: the
// higher groups brought in, less the names the crops stand for themselves.
using TNameOfFn = std::function<std::vector<std::string>(const TSakumotsu& Crop)>;
std::vector<std::string> ListSelectionNames(const std::vector<const TSakumotsu*>& Checked, bool UpperOption,
                                            const TUpperGroupFn& UpperGroup, const TNameOfFn& NameOf = nullptr,
                                            const TTraceFn& Trace = nullptr, std::vector<std::string>* Added = nullptr);

// The names of Result that are not among Own (compared without regard to letter case).
std::vector<std::string> AddedNames(const std::vector<std::string>& Result, const std::vector<std::string>& Own);

// The crop names of a CVO 作物名 cell: "|" between names becomes ",".
std::string CvoCellToNames(std::string_view Cell);

// Two crop names written alike up to hiragana/katakana and half-width katakana.
bool SameKanaText(std::string_view A, std::string_view B);

// ---- crop-name search -----------------------------------------------------------------------

enum class TCropMatch {
  Prefix,  // the words start a keyword of the crop (its name, other names or reading)
  Broad,   // the words occur anywhere in the keywords
  Exact,   // the crop name is one of the words (after normalisation)
};

// The regular expression of the search words (the keys of SakumotsuWordsToKeys, always a valid
// pattern; several words are alternatives).  "" when the words hold no key.
std::string SakumotsuSearchPattern(std::string_view Words, TCropMatch Match);
// The statement of the crop-name search over vs_sakumotsu2 (class, idsaku, toroku, shukakubui,
// sakumotsu, betsumei and gunmei, the columns of a crop record), "" for empty words.
std::string SakumotsuSearchSql(std::string_view Words, TCropMatch Match);

// A statement with its values bound to ?1, ?2, ... in order.
struct TBoundSql {
  std::string SQL;
  std::vector<std::string> Params;
};
// The exact search with every word bound ("sakumotsu MATCH ?n" joined by " or "); empty words
// are left out, and without any word the statement is empty.
TBoundSql SakumotsuExactSearch(std::string_view Words);

// ---- crop-group table (spec.beppyo1n) -------------------------------------------------------

inline constexpr const char* kAllItems = "全て";

// Rows of one large group ("" stands for the group without a name, lg ISNULL).
std::string Beppyo1LgSql(const std::string& Lg);
// The middle groups of one large group.
std::string Beppyo1MgListSql(const std::string& Lg);
// Rows chosen by the middle-group list ("全て" for every middle group of Lg).
std::string Beppyo1MgSql(const std::string& Lg, const std::string& Mg);
// The middle groups of every large group (while no large group is chosen).
std::string Beppyo1AllMgListSql();
// Rows of one middle group whatever their large group ("" stands for the rows without a
// middle group, mg ISNULL).
std::string Beppyo1MgOnlySql(const std::string& Mg);

// ---- CVO table ------------------------------------------------------------------------------

// The families of spec.cvo that have rows with a crop name.
std::string CvoFamiliesSql();
// Every row with a crop name of the table Table ("cvo" for the frame, "cvo2" for the picker).
std::string CvoAllSql(const std::string& Table);
// Rows of one family ("" stands for the rows without a family).
std::string CvoFamilySql(const std::string& Family);
