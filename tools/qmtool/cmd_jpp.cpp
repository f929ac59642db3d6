// qmtool jpp --db DIR FILE...: imports JPP-NET files into DIR/jpp.db as the update window's
// extension menu does. Each file is recognised by its header line (the product file
// "剤の概要" or the ingredient file "有効成分") and imported into its table; for each imported
// file one line is printed: the table, a tab and the number of rows imported. A file that is
// refused (missing, neither header, a bad line) is reported on stderr with the reason and the
// line number; its table is left as it was, the other files are still imported, and the exit
// code is 1. Exit code 2 for bad arguments. acis.db is opened (created when missing) as the
// program opens it.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "database/jpp_import.h"
#include "foundation/message_sink.h"
#include "qmtool_acis.h"
#include "qmtool_args.h"
#include "qmtool_commands.h"

namespace {

int JppUsage() {
  std::fprintf(stderr,
               "usage: qmtool jpp --db DIR FILE [FILE ...]\n"
               "  each FILE a JPP-NET product file (n_trk*_1.txt) or ingredient file (n_trk*_3.txt)\n");
  return 2;
}

int RunJpp(int argc, char** argv) {
  std::string dir;
  std::vector<std::string> files;
  TQmToolArgs args(argc, argv);
  for (std::string a; args.Next(a);) {
    std::string v;
    if (a == "--db" && args.Value(v))
      dir = v;
    else if (a.rfind("--db=", 0) == 0)
      dir = a.substr(5);
    else if (a.rfind("--", 0) == 0)
      return JppUsage();
    else
      files.push_back(a);
  }
  if (dir.empty() || files.empty()) return JppUsage();

  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::unique_ptr<TAcisDB> db;
  try {
    db = OpenAcisDB(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qmtool jpp: %s\n", e.what());
    return 1;
  }
  // Message boxes become lines on stderr.
  TLogMessageSink sink([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  TScopedMessageSink scoped(&sink);

  int code = 0;
  for (const std::string& f : files) {
    if (!std::filesystem::is_regular_file(f, ec)) {
      std::fprintf(stderr, "qmtool jpp: %s: no such file\n", f.c_str());
      code = 1;
      continue;
    }
    const TJppFileKind kind = JppKindOfFile(f);
    if (kind == TJppFileKind::None) {
      std::fprintf(stderr, "qmtool jpp: %s: neither a JPP-NET product file nor an ingredient file\n", f.c_str());
      code = 1;
      continue;
    }
    TImportResult r;
    const bool ok = kind == TJppFileKind::Seizai ? db->ImportJppSeizaiCsv(f, &r) : db->ImportJppSeibunCsv(f, &r);
    if (!ok) {
      std::fprintf(stderr, "qmtool jpp: %s: refused\n", f.c_str());
      code = 1;
      continue;
    }
    std::printf("%s\t%lld\n", JppTableName(kind), static_cast<long long>(r.Stored));
    std::fflush(stdout);
  }
  return code;
}

QmToolRegistrar reg{{"jpp", "--db DIR FILE...  import JPP-NET product and ingredient files into jpp.db", RunJpp}};

}  // namespace
