#pragma once
// Crop hierarchy queries of TAcisDB (declared in acis_db.h, built in acis_crop_queries.cpp):
// IdSakuRegexpLine, UpperGroup, UpperGroupMarked, SameLevelSakumotsu, DeployCrops,
// CropNameExists and CropNamesMatching.  Every name reaches SQL as a bound value.
//
// IdSakuRegexpLine turns a crop selection into the codes it stands for, each name on its own:
// a name covers the crops whose name or one of whose groups it is (less the crops that
// exclude that group, plus those that include it).  Names listed in Added came in on a chosen
// crop's behalf (the upper groups the crop frame adds): each stands for the crops of that
// name only, so "きゅうり" with its groups 果菜類 and 野菜類 added gives the cucumber's uses and
// those registered on the two groups, not every vegetable's.  A group the user chose covers
// all its crops, whatever else is chosen; the result is the union over the names.
#include <memory>
#include <string>
#include <string_view>

class TSQLiteDb;

// What IdSakuRegexpLine returns when the names cover no crop (or the query failed): a quoted
// pattern that matches no code at all, so even a caller that forgets to test for it selects
// nothing, never every crop.  Callers test it with IsNoCropPattern and stop.
inline constexpr std::string_view kNoCropPattern = "'(?!)'";
inline bool IsNoCropPattern(std::string_view Pattern) { return Pattern == kNoCropPattern || Pattern.empty(); }

// A quoted SQL literal back to its text ('a''b' -> a'b); text without the quotes unchanged.
std::string UnquoteSqlLiteral(std::string_view Literal);

// The small second database object of the memo dialog's test command: one connection to a
// database file with spec.db of DBDir attached, and one query.
class TAcisMiniDB {
 public:
  TAcisMiniDB(const std::string& FileName, const std::string& DBDir);
  ~TAcisMiniDB();
  // The crops beside a crop: the nearest registered crop at or above it, then the crops that
  // share its code prefix (without names that begin with the crop's name followed by "(" or
  // "類", cultivation forms and "その他" entries); comma list, "" on failure.
  std::string UpperGroup(const std::string& Name);

 private:
  std::unique_ptr<TSQLiteDb> FDb;
};
