#pragma once
// The spreadsheet exports of the result grids on this platform: the grid is written as an
// .xlsx workbook (xlsx_export.h) into the user's private export folder and opened in the
// spreadsheet program found on this machine (spreadsheet_launcher.h).  Result codes: 1 done,
// -1 no program for the target, -2 the workbook could not be written or the program not
// started, -3 the grid is larger than a sheet.
#include <string>

#include "output/xls_string_grid.h"

class TXlsxSpreadsheetAutomation : public TSpreadsheetAutomation {
 public:
  int Export(TXlsStringGrid& grid, TSpreadSheetKind kind) override;
};

// The automation the grids use unless a test installs another one.
TSpreadsheetAutomation& DefaultSpreadsheetAutomation();

// The folder the workbooks go to: "<temp>/quillmar-<user id>/xlsx", made private to the user.
// Empty (reason in `error`) when it cannot be made or is not the user's own.
std::string SpreadsheetExportDir(std::string* error);
// A new file for a workbook in `dir`: "<sheet name>.xlsx", or "Quillmar.xlsx" without a sheet
// name; while the name is taken, "(2)", "(3)", ... follow the name.  `sheetName` receives the
// name the sheet gets (empty when none was asked for).
std::string NewExportFileName(const std::string& dir, const std::string& wantedSheet, std::string& sheetName);
// Removes the workbooks of earlier exports older than `days` days.
void RemoveOldExports(const std::string& dir, int days);

// The spreadsheet copy of the result windows: the grid gets the windows' export properties
// (title row frozen, landscape, hairline borders, no vertical text), the export runs, and the
// outcome is reported with the windows' message for its code.  Returns the code.
int CopyGridToSpreadsheet(TXlsStringGrid& grid, TSpreadSheetKind kind);
// The windows' message for a code of CopyExcel or CopyJustCalc ("" for 1).
std::string CopyResultMessage(int code, TSpreadSheetKind kind);

// Messages of the exports by target.
std::string CannotStartMessage(TSpreadSheetKind kind);
std::string ExportFailureMessage(TSpreadSheetKind kind);
