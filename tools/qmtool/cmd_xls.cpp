// qmtool xls FILE: reads a spreadsheet file through TXBiff as the data update does and prints
// what the reader reports, in UTF-8:
//   sheet<TAB>NAME                      each worksheet name, in directory order
//   SHEET<TAB>ROW<TAB>COLUMN<TAB>TEXT   each cell, numbered as the reader delivers it
// Tabs, line breaks and backslashes inside names and texts are written as backslash
// escapes (\t, \n, \r, and a doubled backslash) so that every record stays on one line.
#include <cstdio>
#include <string>

#include "qmtool_commands.h"
#include "update/xbiff.h"

namespace {

void PutEscaped(std::string& out, const std::string& s) {
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
}

int RunXls(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qmtool xls FILE\n");
    return 2;
  }
  std::string out;
  out.reserve(1 << 16);
  auto flush = [&out] {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
  };
  TXBiff reader;
  reader.OnReadSheetName = [&](TXBiff*, const std::string& name) {
    out += "sheet\t";
    PutEscaped(out, name);
    out += '\n';
  };
  reader.OnReadCell = [&](TXBiff*, int sheet, int row, int col, int, const std::string& data, bool&) {
    out += std::to_string(sheet);
    out += '\t';
    out += std::to_string(row);
    out += '\t';
    out += std::to_string(col);
    out += '\t';
    PutEscaped(out, data);
    out += '\n';
    if (out.size() > (1 << 16) - 1024) flush();
  };
  try {
    reader.LoadFromFile(argv[1]);
  } catch (const std::exception& e) {
    flush();
    std::fflush(stdout);
    std::fprintf(stderr, "qmtool xls: %s: %s\n", argv[1], e.what());
    return 1;
  }
  flush();
  return std::fflush(stdout) == 0 ? 0 : 1;
}

QmToolRegistrar registrar{{"xls", "FILE: print the sheet names and cells a spreadsheet (.xls) holds", RunXls}};

}  // namespace
