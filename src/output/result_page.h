#pragma once
// The result page: the HTML document built from a result grid whenever results leave the
// program as HTML (the HTML view, its saves and prints, and the HTML routes into spreadsheet
// programs).  The main window and the result grid window gather their parts into a
// TResultPageSource and build the same document from it.
//
// The page is UTF-8 and says so in its meta element; every text that comes from the data
// (cells, product sheet, caution memo, the data date) is HTML-escaped.  The style sheet and
// `results.js` are read as UTF-8, or as Shift-JIS when they are not valid UTF-8 (style sheets
// written for older versions), and put into the page as they stand.
#include <array>
#include <string>

#include "output/xls_string_grid.h"

class TGridModel;

// The product sheet of the chemical tab, shown above the result table.
struct TResultPageProduct {
  std::string Name;                    // the product as the chemical box shows it
  std::array<std::string, 6> Summary;  // type name, formulation toxicity, registration date,
                                       // abbreviation, formulation, use
  const TGridModel* Seibun = nullptr;  // active ingredients (title row and rows)
  std::string Suisan;                  // caution on aquatic life; its line breaks become <br>
};

// The product sheet from the chemical tab's controls: the product box's text, the summary grid
// (column 1, rows 0 to 5), the ingredient grid and the caution memo's text.
TResultPageProduct ResultPageProduct(const std::string& name, const TGridModel& seizai, const TGridModel* seibun,
                                     const std::string& suisan);

struct TResultPageSource {
  const TGridModel* Grid = nullptr;              // the result grid
  std::string UpdateText;                        // data date text of the open database
  const TResultPageProduct* Product = nullptr;   // only when the grid comes from the chemical tab
  bool MarkNeighbours = false;  // crop tab: rows of neighbouring crops (flagged grfNeighbour, or
                                // tinted for the grid's neighbour-crop words) get "neighbors"
  bool GridWindow = false;      // the result grid window's page: "<html>" without the doctype
};

// Where relative style-sheet names and `results.js` are found.
struct TResultPageFolders {
  std::string CssDir;       // style sheets
  std::string TemplateDir;  // results.js
  static TResultPageFolders FromOptions();  // the folders of OptionData
};

struct TResultPage {
  bool Ok = true;
  std::string Error;  // when a file that exists could not be read
  std::string Page;   // the whole document
  std::string Body;   // from the body start tag to the "</body>" line, without "</html>"
  std::string Head;   // the script element when results.js exists, else empty
};

// A style-sheet setting as a file: an absolute path as it stands (or, when that file is gone,
// its name in the style-sheet folder); a bare name or relative path inside `cssDir`.  Empty
// for an empty setting.
std::string ResolveCssFile(const std::string& cssFile, const std::string& cssDir);

// The page of a grid.  `cssFile`: the style sheet (resolved by ResolveCssFile); `kind` only
// picks the body's onload call when results.js exists.
TResultPage BuildResultPage(const TResultPageSource& src, const std::string& cssFile, TSpreadSheetKind kind,
                            const TResultPageFolders& folders);
TResultPage BuildResultPage(const TResultPageSource& src, const std::string& cssFile, TSpreadSheetKind kind);

// A page rebuilt from a kept body and head addition with another style sheet's text (the HTML
// view's style-sheet switch).  `cssText` empty: the built-in rule.
std::string PageWithStyleSheet(const std::string& cssText, const std::string& head, const std::string& body);

// Reads a text file for the page: UTF-8 (a byte-order mark dropped) or, when not valid UTF-8,
// Shift-JIS converted to UTF-8.  False with a message when the file cannot be read.
bool ReadPageTextFile(const std::string& path, std::string& text, std::string* error);

// The table rule used when no style sheet file exists.
inline constexpr const char* kBuiltInTableRule =
    "TABLE,TH,TD {border-style: solid;border-width: 1px;border-color:black;border-collapse: collapse;}";
inline constexpr const char* kPageMetaCharset =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">";
