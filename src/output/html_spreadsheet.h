#pragma once
// HTML pages handed to spreadsheet programs, whose own HTML import turns the page's tables
// into cells.  There is no automation here: the page is written as a UTF-8 file in the
// program's private temporary folder and the spreadsheet program of the target is started on
// it through QProcess with an argument list (never a shell), detached, so it stays open:
//   0 Excel      LibreOffice Calc ("soffice", "localc") or WPS Spreadsheets ("et")
//   1 Calc       LibreOffice Calc with the "calc_HTML_WebQuery" import filter
//   2 WPS        WPS Spreadsheets ("et")
//   3 JustCalc   no program on this platform
// Results: 1 started, -1 no program found or it could not be started, -2 the page could not
// be written.  Failures are reported through the message sink with the target's text.
#include <string>
#include <vector>

#include "output/xls_string_grid.h"

// The failure text of a target ("Excel の起動もしくは処理に失敗しました", ...).
std::string SpreadsheetFailureText(TSpreadSheetKind kind);

// A program that opens an HTML page as a spreadsheet: the executable and the arguments that
// go before the page's path.
struct THtmlSpreadsheetProgram {
  std::string Path;
  std::vector<std::string> Arguments;
};
// The first program of the target found on PATH; false when there is none.
bool FindHtmlSpreadsheetProgram(TSpreadSheetKind kind, THtmlSpreadsheetProgram& program);

// The page a spreadsheet program reads: the markup of a document element inside "<html>"
// and "</html>", UTF-8 with a byte-order mark, with a meta element naming UTF-8 when the
// markup has none.
std::string SpreadsheetPage(const std::string& markup);

// The clipboard route (Excel, WPS): the caller has put the page's markup on the clipboard as
// text; the program of the target opens it.
int PasteClipboardToSpreadsheet(TSpreadSheetKind kind);
// Opens a page file in the program of the target.
int OpenFileInSpreadsheet(TSpreadSheetKind kind, const std::string& fileName);
// The Calc route: LibreOffice Calc opens the markup as a new document through its web-page
// import filter; the page file is named after `title`, which Calc shows as the document's name.
int PasteHtmlToCalc(const std::string& html, const std::string& title);
// Writes the page for the Calc route; the path, or empty (with the reason) when it cannot.
std::string WriteCalcPage(const std::string& html, const std::string& title, std::string* error);
