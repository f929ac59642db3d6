// qmtool sql --db DIR "SQL": runs SQL on DIR/acis.db through the program's database object
// (TAcisDB: every SQL function registered, spec.db of the folder attached, jpp.db when
// present), without refreshing the master tables and without any network.  On a built
// database the per-connection objects (the working tables and the forty result views) are
// created first, so they can be queried here.  Every statement runs (as the SQL console's
// direct mode); the rows of the last statement with result columns are printed as
// tab-separated text under a header line.  Tabs, line breaks and carriage returns inside
// values are printed as \t, \n and \r.  On failure the error text goes to stderr and the exit
// code is 1.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>

#include "database/acis_db.h"
#include "foundation/message_sink.h"
#include "qmtool_acis.h"
#include "qmtool_commands.h"

namespace {

void AppendCell(std::string& out, std::string_view v) {
  for (char c : v) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
}

void Flush(std::string& out) {
  std::fwrite(out.data(), 1, out.size(), stdout);
  out.clear();
}

int SqlUsage() {
  std::fprintf(stderr,
               "usage: qmtool sql --db DIR \"SQL\"\n"
               "       qmtool sql --db DIR -      (SQL from standard input)\n");
  return 2;
}

int RunSql(int argc, char** argv) {
  std::string dir;
  std::string sql;
  bool haveSql = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strncmp(argv[i], "--db=", 5) == 0) {
      dir = argv[i] + 5;
    } else if (!haveSql) {
      sql = argv[i];
      haveSql = true;
    } else {
      return SqlUsage();
    }
  }
  if (dir.empty() || !haveSql) return SqlUsage();
  if (sql == "-") sql.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());

  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(fs::path(dir), ec);
  if (ec) {
    std::fprintf(stderr, "Cannot create folder \"%s\" : %s\n", dir.c_str(), ec.message().c_str());
    return 1;
  }
  try {
    std::unique_ptr<TAcisDB> acis = OpenAcisDB(dir);
    auto tbl = acis->FDb->GetTableScript(sql);
    std::string out;
    const auto& names = tbl->StatementColumns();
    if (!names.empty()) {
      for (size_t c = 0; c < names.size(); ++c) {
        if (c) out += '\t';
        AppendCell(out, names[c]);
      }
      out += '\n';
    }
    for (tbl->MoveFirst(); !tbl->Eof(); tbl->Next()) {
      for (int c = 0; c < tbl->ColCount(); ++c) {
        if (c) out += '\t';
        if (!tbl->FieldIsNull(c)) AppendCell(out, tbl->Fields(c));
      }
      out += '\n';
      if (out.size() > (1 << 16)) Flush(out);
    }
    Flush(out);
    std::fflush(stdout);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

QmToolRegistrar reg{{"sql", "--db DIR \"SQL\"  run SQL on DIR/acis.db, print rows tab-separated", RunSql}};

}  // namespace
