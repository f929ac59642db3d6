#pragma once
// The SQL texts of the database build: tables, the product table m_kihon, the ingredient
// table, indexes and views of acis.db.
#include <string>
#include <string_view>
#include <vector>

namespace acis_schema {

// The four texts of CreateBuildTables, in order.
std::vector<std::string> BuildTableTexts();
// FillTmKihon: one row per registration number, the first one read wins.
extern const char* const kFillTmKihon;
// Registration numbers whose rows disagree in the columns FillTmKihon copies.
extern const char* const kTmKihonConflicts;
// The index the correlated look-ups of the product table read (spec.bunrui by ingredient);
// without it every product scans the whole classification table.
extern const char* const kBunruiSeibunIndex;
// BuildMKihon, the two scripts after the row updates.
std::string MKihonScript1();
std::string MKihonScript2();
extern const char* const kCreateSeibunTable;
// CreateIndexes: the four statements in order.
extern const char* const kIndexes[4];
std::string TekiyoViewScript();
// Names of the views CreateTekiyoViews makes.
extern const char* const kViews[3];

}  // namespace acis_schema

// The ingredients of a pesticide type name (shurui), in order: "MEP・BPMC粉剤" gives MEP and
// BPMC; the spreader type "展着剤" gives one empty ingredient; a bare formulation word gives
// none.
std::vector<std::string> IngredientItems(std::string_view Shurui);
