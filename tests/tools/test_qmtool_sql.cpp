// qmtool sql: the built tool run as a process against folders made here; the attached
// databases are written by the sqlite3 command-line tool.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include "database/sql_functions.h"

namespace {

using qmtool_process::Qmtool;
using qmtool_process::ToolRun;

ToolRun Sql(const QString& dir, const QString& sql) { return Qmtool({"sql", "--db", dir, sql}); }

void MakeDb(const QString& file, const QString& sql) {
  QProcess p;
  p.start("sqlite3", {file, sql});
  ASSERT_TRUE(p.waitForFinished(30000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

}  // namespace

TEST(QmtoolSql, RunsEveryStatementAndPrintsTheLastResult) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + "/new/folder";  // created when missing
  ToolRun r = Sql(dir,
              "CREATE TABLE t(id INTEGER, name TEXT, note);"
              "INSERT INTO t VALUES(1, 'トマト', NULL), (2, 'a\tb', 'line1\nline2'), (3, '', 2.5);"
              "SELECT count(*) AS n FROM t; SELECT id, name, note FROM t ORDER BY id; -- end");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(QFileInfo::exists(dir + "/acis.db"));
  EXPECT_EQ(r.out,
            "id\tname\tnote\n"
            "1\tトマト\t\n"
            "2\ta\\tb\tline1\\nline2\n"
            "3\t\t2.5\n");

  // A query that finds nothing prints its header only; statements without rows print nothing.
  r = Sql(dir, "SELECT id FROM t WHERE id > 99");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "id\n");
  r = Sql(dir, "DELETE FROM t WHERE id = 3");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "");

  // SQL from standard input.
  r = Qmtool({"sql", "--db", dir, "-"}, "SELECT max(id) AS m FROM t;");
  EXPECT_EQ(r.out, "m\n2\n");
}

TEST(QmtoolSql, FailureExitsOneAndLeavesNoTransaction) {
  QTemporaryDir tmp;
  const QString dir = tmp.path();
  ASSERT_EQ(Sql(dir, "CREATE TABLE t(x INTEGER); INSERT INTO t VALUES(1);").code, 0);
  ToolRun r = Sql(dir, "BEGIN; INSERT INTO t VALUES(2); INSERT INTO nosuch VALUES(1); COMMIT;");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Error executing SQL \"BEGIN; INSERT INTO t VALUES(2); INSERT INTO nosuch VALUES(1); COMMIT;\" : "
            "no such table: nosuch\n");
  r = Sql(dir, "SELECT count(*) AS n FROM t");
  EXPECT_EQ(r.out, "n\n1\n");

  r = Qmtool({"sql", "SELECT 1"});  // no folder given
  EXPECT_EQ(r.code, 2);
}

TEST(QmtoolSql, AttachesSpecAndJppFromAFolderWithAQuote) {
  QTemporaryDir tmp;
  const QString dir = tmp.path() + "/it's \"here\"";
  ASSERT_TRUE(QDir().mkpath(dir));
  MakeDb(dir + "/spec.db", "CREATE TABLE m_zaikei(code INTEGER, name TEXT); INSERT INTO m_zaikei VALUES(1,'乳剤');");
  ToolRun r = Sql(dir, "SELECT name FROM spec.m_zaikei; ");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "name\n乳剤\n");
  // jpp.db is optional: without it the schema is unknown, with it the tables are there.
  r = Sql(dir, "SELECT * FROM jpp.p");
  EXPECT_EQ(r.code, 1);
  MakeDb(dir + "/jpp.db", "CREATE TABLE p(x); INSERT INTO p VALUES('j');");
  r = Sql(dir, "SELECT s.name, p.x FROM spec.m_zaikei s, jpp.p p");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "name\tx\n乳剤\tj\n");
}

TEST(QmtoolSql, ProgramFunctionsAndPreprocessor) {
  if (PreconvSql("SELECT preconv('ア')") == "SELECT preconv('ア')")
    GTEST_SKIP() << "the SQL functions are not built yet";
  QTemporaryDir tmp;
  ToolRun r = Sql(tmp.path(), "SELECT strconv('アイウ') = preconv('あいう') AS same, preconv('ｱ') AS k");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "same\tk\n1\tあ\n");
}
