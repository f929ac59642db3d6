#pragma once
// The spreadsheet program of this machine that opens an exported workbook: found on PATH by
// target and started through QProcess with an argument list (never a shell), detached, so it
// stays open after the export returns.
#include <optional>
#include <string>
#include <vector>

#include "output/xls_string_grid.h"

struct TSpreadsheetProgram {
  std::string Path;                     // absolute path of the executable
  std::vector<std::string> Arguments;   // arguments before the file
};

// Candidates by target, tried in this order: Excel: LibreOffice ("soffice", "localc"), WPS
// ("et"), then the desktop's handler of the file type ("xdg-open"); OpenOffice Calc:
// "soffice", "localc"; Kingsoft: "et"; JustCalc: none.
std::vector<std::string> SpreadsheetProgramNames(TSpreadSheetKind kind);
// The first candidate found on PATH; none when no candidate is there.
std::optional<TSpreadsheetProgram> FindSpreadsheetProgram(TSpreadSheetKind kind);
// Starts the program with the file as its last argument, in the file's folder.  False (with
// the reason in `error`) when the program could not be started.
bool StartSpreadsheetProgram(const TSpreadsheetProgram& program, const std::string& file, std::string* error);
