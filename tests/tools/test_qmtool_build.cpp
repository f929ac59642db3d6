// qmtool build: the built tool run as a process on the committed sample register, from the
// spreadsheet workbooks (.xls, read through the spreadsheet reader) and from the other sources;
// a failed build exits non-zero and leaves the previous acis.db as it was.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include "database/sqlite_db.h"

namespace fs = std::filesystem;

namespace {

using qmtool_process::Qmtool;
using qmtool_process::Strings;
using qmtool_process::ToolRun;

const std::string kSample = SourcePath("data/sample");

std::vector<std::string> BuildArgs(const std::string& db, int source, const std::string& ext) {
  std::vector<std::string> a = {"build", "--db", db, "--masters", kSample + "/masters", "--source", std::to_string(source)};
  if (source == 1) {
    a.insert(a.end(), {"--kihon", kSample + "/grid/登録基本部" + ext});
    for (const char* part : {"一", "二", "三", "四"})
      a.insert(a.end(), {"--tekiyo", kSample + "/grid/登録適用部" + std::string(part) + ext});
  } else if (source == 0) {
    a.insert(a.end(), {"--kihon", kSample + "/public/登録基本部_20261104.csv", "--tekiyo",
                       kSample + "/public/登録適用部一_20261104.csv", "--tekiyo",
                       kSample + "/public/登録適用部二_20261104.csv"});
  } else {
    a.insert(a.end(), {"--kihon", kSample + "/mirror/kihon.csv", "--tekiyo", kSample + "/mirror/tekiyo.csv"});
  }
  return a;
}

std::string Dump(const std::string& dbFile, const std::string& sql) {
  TSQLiteDb db(dbFile);
  auto t = db.GetTable(sql);
  std::string out;
  for (t->MoveFirst(); !t->Eof(); t->Next()) {
    for (int i = 0; i < t->ColCount(); ++i) out += (t->FieldIsNull(i) ? "<NULL>" : t->FieldAsString(i)) + "\t";
    out += "\n";
  }
  return out;
}

std::string FileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

TEST(QmtoolBuild, SpreadsheetWorkbooksBuildTheSampleDatabase) {
  if (!fs::exists(kSample + "/grid/登録基本部.xls")) GTEST_SKIP() << "no sample workbooks";
  QTemporaryDir tmp;
  const std::string xlsDb = tmp.path().toStdString() + "/xls";
  const std::string csvDb = tmp.path().toStdString() + "/csv";

  ToolRun x = Qmtool(Strings(BuildArgs(xlsDb, 1, ".xls")));
  ASSERT_EQ(x.code, 0) << x.out << x.err;
  // The data date comes from the sentence in cell A1 of the basics workbook's first sheet.
  EXPECT_NE(x.out.find("更新日取得:2026年11月4日反映"), std::string::npos) << x.out;
  EXPECT_NE(x.out.find("kihon: 266 rows, 266 stored, 0 rejected; tekiyo: 1997 rows, 1997 stored, 0 rejected"),
            std::string::npos)
      << x.out;
  EXPECT_EQ(Dump(xlsDb + "/acis.db", "SELECT Item, Value FROM info ORDER BY Item"),
            "LastUpdate\t2026年11月4日反映\t\nVersion\t190107\t\n");

  // The same sheets saved as CSV build the same tables.
  ToolRun c = Qmtool(Strings(BuildArgs(csvDb, 1, ".csv")));
  ASSERT_EQ(c.code, 0) << c.out << c.err;
  for (const char* sql : {"SELECT * FROM m_tekiyo ORDER BY rowid", "SELECT * FROM m_kihon ORDER BY bango",
                          "SELECT * FROM seibun ORDER BY rowid"}) {
    const std::string a = Dump(xlsDb + "/acis.db", sql);
    EXPECT_GT(a.size(), 1000u) << sql;
    EXPECT_TRUE(a == Dump(csvDb + "/acis.db", sql)) << sql;
  }
  EXPECT_EQ(Dump(xlsDb + "/acis.db", "SELECT count(*) FROM tekiyo WHERE meisho IS NULL"), "0\t\n");
}

TEST(QmtoolBuild, EverySourceAndFailures) {
  QTemporaryDir tmp;
  const std::string db = tmp.path().toStdString() + "/db";
  for (int source : {0, 2}) {
    ToolRun r = Qmtool(Strings(BuildArgs(db, source, "")));
    ASSERT_EQ(r.code, 0) << source << r.out << r.err;
    EXPECT_NE(r.out.find("built " + db + "/acis.db"), std::string::npos) << r.out;
  }
  const std::string before = FileBytes(db + "/acis.db");
  ASSERT_FALSE(before.empty());

  // A workbook that lacks its sheet, a missing file, a broken workbook: exit 1, acis.db kept.
  const std::string wrong = tmp.path().toStdString() + "/登録適用部五.xls";
  fs::copy_file(kSample + "/grid/登録適用部一.xls", wrong);
  const std::string broken = tmp.path().toStdString() + "/登録適用部一.xls";
  {
    std::string bytes = FileBytes(kSample + "/grid/登録適用部一.xls");
    std::ofstream(broken, std::ios::binary) << bytes.substr(0, 700);
  }
  struct Case {
    const char* what;
    std::vector<std::string> args;
    int code;
    std::string says = "";  // part of the error text
  } cases[] = {
      {"sheet missing", {"--source", "1", "--kihon", kSample + "/grid/登録基本部.xls", "--tekiyo", wrong}, 1,
       "シート 登録適用部五 がありません"},
      {"file missing", {"--source", "1", "--kihon", kSample + "/grid/登録基本部.xls", "--tekiyo", "/nonexistent.xls"}, 1},
      {"broken workbook", {"--source", "1", "--kihon", kSample + "/grid/登録基本部.xls", "--tekiyo", broken}, 1},
      {"basics csv missing", {"--source", "0", "--kihon", "/nonexistent.csv", "--tekiyo", "/nonexistent2.csv"}, 1},
      {"unknown source", {"--source", "3", "--kihon", "a", "--tekiyo", "b"}, 2},
      {"no use file", {"--source", "0", "--kihon", "a"}, 2},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"build", "--db", db, "--masters", kSample + "/masters"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ToolRun r = Qmtool(Strings(args));
    EXPECT_EQ(r.code, c.code) << c.what << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.what << "\n" << r.err;
    EXPECT_TRUE(FileBytes(db + "/acis.db") == before) << c.what;
  }
}
