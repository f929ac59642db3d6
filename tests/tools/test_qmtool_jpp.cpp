// qmtool jpp: the built tool run as a process on the generated sample's JPP-NET files and on a
// file it must refuse; the result is read back with the sqlite3 command-line tool.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "support_qmtool_process.h"

namespace {

using qmtool_process::Qmtool;
using qmtool_process::ToolRun;
using qmtool_process::RunProgram;

}  // namespace

TEST(QmtoolJpp, ImportsBothFilesAndRefusesOthers) {
  QTemporaryDir tmp;
  const QString sample = tmp.path() + "/sample";
  ToolRun gen = RunProgram("/usr/bin/python3", {QString::fromStdString(SourcePath("tools/gen_sample/gen_sample.py")), "--out",
                                         sample, "--size", "small"});
  ASSERT_EQ(gen.code, 0) << gen.err;
  const QStringList seizai = QDir(sample + "/jpp").entryList({"n_trk*_1.txt"});
  const QStringList seibun = QDir(sample + "/jpp").entryList({"n_trk*_3.txt"});
  ASSERT_EQ(seizai.size(), 1);
  ASSERT_EQ(seibun.size(), 1);
  const QString f1 = sample + "/jpp/" + seizai[0], f3 = sample + "/jpp/" + seibun[0];
  const QString db = tmp.path() + "/db";

  ToolRun r = Qmtool({"jpp", "--db", db, f3, f1});
  ASSERT_EQ(r.code, 0) << r.err;
  ToolRun n1 = RunProgram("sqlite3", {db + "/jpp.db", "SELECT count(*) FROM jppSeizai;"});
  ToolRun n3 = RunProgram("sqlite3", {db + "/jpp.db", "SELECT count(*) FROM jppSeibun;"});
  ASSERT_EQ(n1.code, 0) << n1.err;
  EXPECT_EQ(r.out, "jpp.jppSeibun\t" + n3.out + "jpp.jppSeizai\t" + n1.out);
  EXPECT_NE(n1.out, "0\n");

  // A file of neither kind and a missing file are refused; the good file beside them imports.
  const QString other = tmp.path() + "/other.txt";
  QFile f(other);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("#登録番号,something else\r\n1,2\r\n");
  f.close();
  r = Qmtool({"jpp", "--db", db, other, f1, tmp.path() + "/missing_1.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "jpp.jppSeizai\t" + n1.out);
  EXPECT_NE(r.err.find("other.txt"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("missing_1.txt"), std::string::npos) << r.err;

  // A bad line: refused with its line number, the table as it was.
  QFile bad(tmp.path() + "/bad_1.txt");
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  QFile good(f1);
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  bad.write(good.readAll() + "1,2,3\r\n");
  bad.close();
  r = Qmtool({"jpp", "--db", db, tmp.path() + "/bad_1.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("行目"), std::string::npos) << r.err;
  EXPECT_EQ(RunProgram("sqlite3", {db + "/jpp.db", "SELECT count(*) FROM jppSeizai;"}).out, n1.out);

  EXPECT_EQ(Qmtool({"jpp", "--db", db}).code, 2);
}
