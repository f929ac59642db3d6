#pragma once
// Which look-up and sending items the context menu of a result grid offers for the cell under
// the mouse, with their captions and the text each item works on.  The main window's menu and
// the grid window's menu follow the same rules by column title; the differences are the
// `GridWindow` flag's.  Pure rules: the callers supply the cell's facts (the pest class and the
// ISO name come from the database) and apply the plan to their menu items.
#include <string>

struct TGridPopupInput {
  bool HasCell = false;     // a cell is under the mouse
  bool TitleRow = false;    // that cell is in the title row
  std::string Text;         // the cell's text (main window: an ingredient abbreviation already
                            // turned into its general name)
  std::string Header;       // its column title
  std::string FirstHeader;  // title of the grid's first column
  std::string FirstCell;    // the row's first cell
  std::string Crop;         // the row's cell in the column "作物名" ("" when there is none)
  int PestClass = 0;        // class of the pest name (only read for "適用病害虫雑草名")
  std::string IsoName;      // ISO display name of the text (only read for ingredient titles)
  bool Online = true;       // neither the offline setting nor the command-line flag is set
  bool GridWindow = false;  // the result grid window's menu
};

struct TPopupItem {
  bool Visible = false;
  std::string Caption;
  std::string Keyword;  // the text the item looks up or sends
};

struct TGridPopupPlan {
  bool DataCell = false;  // copy and row removal apply; else column removal and fixing
  bool WebEnabled = true; // web items are enabled (online)
  TPopupItem GoogleTekiyo, SendToTabYakuzai, SendToSql, GoogleChuiJiko, GoogleChuijikoOption, GoogleKonyo,
      NoukaWeb, Weblio, Fcgr, Prdb, Gene, PestControlSite, GoogleFfcr, Nihs;
  bool SendToBango = false;  // the chemical tab's list page: registration numbers (else trade names)
};

TGridPopupPlan PlanGridPopup(const TGridPopupInput& in);

// The ingredient grid's menu in the grid window: Google, Weblio, the product-research site and
// the residue database by column title (uses HasCell, TitleRow, Text, Header, IsoName, Online).
struct TSeibunPopupPlan {
  bool DataCell = false;
  bool WebEnabled = true;
  TPopupItem Google, Weblio, Fcgr, Prdb;
};
TSeibunPopupPlan PlanSeibunPopup(const TGridPopupInput& in);

// Web look-ups are allowed: neither the offline setting nor the command-line flag is set.
bool WebLookupsOnline();

// Column titles the rules know.
bool IsIngredientTitle(const std::string& title);  // "成分1" .. "成分5"

// The quoted searches of the name columns.
std::string ChuiJikoQuery(const std::string& keyword);     // "kw" "使用上の注意"
std::string KonyoQuery(const std::string& keyword);        // "kw" "混用事例"
std::string ChuijikoOptionQuery(const std::string& cell);  // "cell" "使用上の注意" つまみ菜|間引き菜 "使用しない"

// A caption as a menu shows it: every "&" of the cell's text doubled so that it shows as "&"
// (a single one would be taken as the accelerator mark), the item's own accelerator at the end
// ("(&N)") kept.
std::string MenuCaptionText(const std::string& caption);
