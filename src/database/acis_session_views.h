#pragma once
// The per-connection objects of the searches: the ingredient abbreviation table tSeibun, the
// ingredient view kihon, the two working tables ttTekiyoSaku and ttTekiyoByochu (46 columns
// each), the forty result views tv...Saku1..5 / tv...Byochu1..5 and the ingredient sheet view
// tvSeibun.  All of them are TEMP objects created by TAcisDB::CreateSessionViews.
#include <string>
#include <vector>

// Ingredient column groups of the result views for ResultStyle 0..4 (five groups, each ending
// with a comma and CR LF); a style outside 0..4 gives "".
//   0 abbreviated general name, 1 ingredient with the counted ingredient in brackets,
//   2 / 3 the use count prefixed with the counted ingredient (full / abbreviated), 4 as stored.
std::string SeibunColumns(int ResultStyle);
// The same with the chemical group taken from the RAC table by pest class ("Rk" views).
std::string SeibunRacColumns(int ResultStyle);

// The rows of a result view as plain SQL gives them, without the views' shortcuts: SELECT
// DISTINCT for the trade-name views (which keep the first of identical rows in table order
// without a B-tree of whole rows) and a subquery into tRacKeito per ingredient slot for the
// "Rk" views (which use rac_keito). The views must give exactly these rows in this order; the
// tests and the view benchmark compare them.
std::string ReferenceViewSelect(bool Byochu, bool Tsusho, bool Rk, int ResultStyle);

// The 46 columns of ttTekiyoSaku / ttTekiyoByochu with their declared types, in order.
const std::vector<std::pair<std::string, std::string>>& TekiyoWorkColumns();
// "bango INTEGER, shurui VARCHAR, ..." for CREATE TABLE.
std::string TekiyoWorkColumnsDdl();

// Names of the forty result views in creation order.
std::vector<std::string> ResultViewNames();
// The result view for a search kind ("Saku" or "Byochu"), trade-name mode, RAC mode and
// ingredient style 0..4 ("" for a style outside 0..4).
std::string ResultViewName(bool Byochu, bool Tsusho, bool Rk, int ResultStyle);
// Every object CreateSessionViews makes: tSeibun, tRacKeito, kihon, the two working tables,
// the forty views and tvSeibun.
std::vector<std::string> SessionObjectNames();

// The three scripts (exposed for the tests and the developer tool).
std::string SessionSeibunScript();
// DropStatements: the drops for the objects that exist (see TAcisDB::CreateSessionViews).
std::string SessionViewScript(const std::string& DropStatements);
std::string SessionTvSeibunScript(bool WithJpp);
// The RAC groups of the "Rk" views per ingredient and pest class (TEMP table tRacKeito), taken
// from the RAC table rac2 when the connection has it.  Made with the views; a change of rac2
// afterwards shows once the per-connection objects are created again.
std::string SessionRacKeitoScript(bool HaveRac2);

// The 46 columns of the search working tables ttTekiyoSaku and ttTekiyoByochu, in order.
const std::vector<std::string>& TekiyoWorkColumnNames();
// "SELECT <the 46 columns> FROM tekiyo " as the searches fill their working tables (the RAC
// code of each ingredient by pest class, the formulation toxicity); LineBreak goes before the
// second to fifth ingredient group. The caller appends its WHERE.  The RAC codes come from
// rac_mid, which reads raccode once per statement.
std::string TekiyoWorkSelect(const std::string& LineBreak = "");
// The same with the RAC code of every ingredient slot of every row by its own two subqueries
// into raccode: the plain form the working tables must equal, row for row (tests, benchmark).
std::string ReferenceTekiyoWorkSelect(const std::string& LineBreak = "");

// Bumped by every CreateSessionViews (run after each creation of the database object): lets
// caches built from the database, such as the crop list, notice a replaced database.
unsigned SessionGeneration();
