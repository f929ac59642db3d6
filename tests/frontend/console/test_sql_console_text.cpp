// The SQL console's texts: which statements run without direct mode (the statement class and
// SQLite's own verdict per statement), the snippets, and the look-up statement of
// "SQLタブで検索" run against a real table.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "database/sql_readonly.h"
#include "database/sqlite_db.h"
#include "frontend/console/sql_console_text.h"

namespace {

// A text runs in the read-only mode when it is a query statement and every statement of it
// only reads.
bool RunsReadOnly(TSQLiteDb& db, const std::string& text) {
  return IsQueryStatement(text) && CheckReadOnlySql(db, text).ReadOnly;
}

}  // namespace

TEST(SqlConsoleText, StatementClassesAndReadOnlyMode) {
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL("CREATE TABLE t(a, b); INSERT INTO t VALUES (1, 'x'); CREATE VIEW v AS SELECT a FROM t;");
  const struct {
    const char* text;
    bool query, direct, runs;
  } cases[] = {
      {"select * from t", true, false, true},
      {"   \r\n\tSELECT a FROM v;", true, false, true},
      {"with c as (select 1) select * from c", true, false, true},
      {"pragma table_info('t')", true, false, true},
      {"PRAGMA index_list(t);", true, false, true},
      {"pragma user_version", true, false, true},
      {"select 1; select 2", true, false, true},
      {"select 1; -- only a comment after", true, false, true},
      {"select regexp('a', 'a'), strconv('ア')", true, false, true},  // the program's functions
      // Begins like a query but writes: SQLite decides, not the first word.
      {"with c as (select 1) delete from t", true, false, false},
      {"WITH c(x) AS (SELECT 1) INSERT INTO t SELECT x, x FROM c", true, false, false},
      {"select 1; delete from t", true, false, false},
      {"select 1; begin", true, false, false},
      {"select 1; attach ':memory:' as x", true, false, false},
      {"pragma user_version = 3", true, false, false},
      {"pragma journal_mode=wal", true, false, false},
      {"pragma case_sensitive_like = 1", true, false, false},
      {"pragma cache_size(10)", true, false, false},
      {"pragma locking_mode = exclusive", true, false, false},
      {"pragma optimize", true, false, false},
      // Not query statements at all.
      {"delete from t", false, false, false},
      {"update t set a = 2", false, false, false},
      {"create temp table z(a)", false, false, false},
      {"-- comment\nselect 1", false, false, false},
      {"explain select 1", false, false, false},
      // Direct statements (every statement runs); "--/d" is also dropped for the class.
      {"--/d delete from t", false, true, false},
      {"  --/D select * from t", false, true, false},
      {"--/d\nselect * from t where 0", true, true, true},
      {"--/debug on\n", false, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsQueryStatement(c.text), c.query) << c.text;
    EXPECT_EQ(IsDirectStatement(c.text), c.direct) << c.text;
    EXPECT_EQ(RunsReadOnly(db, c.text), c.runs) << c.text;
  }
  // The refused statement is named; nothing of the text ran.
  const TReadOnlyCheck check = CheckReadOnlySql(db, "select 1;\n  delete from t ; select 2");
  EXPECT_FALSE(check.ReadOnly);
  EXPECT_EQ(check.Statement, "delete from t ;");
  auto count = db.GetTable("select count(*) from t");
  EXPECT_EQ(count->FieldAsInteger(0), 1);
  // A statement that does not compile is the database's error, as when it runs.
  EXPECT_THROW(CheckReadOnlySql(db, "select * from nosuch"), ESQLiteException);
  // The checker leaves no authorizer behind: writing works as before.
  db.ExecSQL("insert into t values (2, 'y')");
  EXPECT_EQ(db.Changes(), 1);
}

TEST(SqlConsoleText, Snippets) {
  EXPECT_EQ(SqlPatternOp(0), " like '%%'");
  EXPECT_EQ(SqlPatternOp(1), " match 'pattern'");
  EXPECT_EQ(SqlPatternOp(2), " regexp 'pattern'");
  EXPECT_EQ(BuildWhereClause(0, {"meisho", "tsusho"}, "OR"), " where meisho like '%%'\n OR tsusho like '%%'");
  EXPECT_EQ(BuildWhereClause(2, {"a"}, "AND"), " where a regexp 'pattern'");
  EXPECT_EQ(BuildWhereClause(1, {}, "AND"), "");
  EXPECT_EQ(SelectAllSnippet("m_kihon"), "SELECT * FROM m_kihon");
  EXPECT_EQ(SelectFieldsSnippet({"bango", "meisho"}, "m_kihon", false), "SELECT bango,meisho FROM m_kihon");
  EXPECT_EQ(SelectFieldsSnippet({"bango"}, "m_kihon", true), "SELECT DISTINCT bango FROM m_kihon");
  EXPECT_EQ(OrderBySnippet({"a", "b"}), " ORDER BY a,b");
  EXPECT_EQ(GroupBySnippet({"a"}), " GROUP BY a");
  EXPECT_EQ(TableInfoSnippet("m_kihon"), "PRAGMA table_info('m_kihon');");
  EXPECT_EQ(IndexListSnippet("m_kihon"), "PRAGMA index_list('m_kihon');");
  // Names that SQL could not read as they stand are quoted; Japanese names are plain.
  EXPECT_EQ(SqlIdentifier("作物名"), "作物名");
  EXPECT_EQ(SqlFieldList({"my col", "a\"b", "1x"}), "\"my col\",\"a\"\"b\",\"1x\"");
  EXPECT_EQ(TableInfoSnippet("it's"), "PRAGMA table_info('it''s');");
}

TEST(SqlConsoleText, SendToSqlEscapesForTheRegexAndForSql) {
  EXPECT_EQ(SendToSqlText("tvTekiyoSaku1", "トマト"),
            "select * from tvTekiyoSaku1 where sakumotsu regexp '(^|､)トマト(､|$)'");
  // Brackets (full-width as the register writes them) and quotes.
  EXPECT_EQ(SendToSqlText("v", "トマト（施設栽培）"),
            "select * from v where sakumotsu regexp '(^|､)トマト\\(施設栽培\\)(､|$)'");

  // The statement runs and finds exactly the rows of that crop, whatever the name holds.
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL(
      "CREATE TABLE v(id, sakumotsu);"
      "INSERT INTO v VALUES (1, 'トマト（施設栽培）'), (2, 'トマト'), (3, 'なす､トマト（施設栽培）'),"
      " (4, 'it''s a.b+c'), (5, 'it''s aXb+c'), (6, 'ミニトマト');");
  const struct {
    const char* cell;
    const char* ids;
  } cases[] = {
      {"トマト（施設栽培）", "1,3"},
      {"トマト", "2"},
      {"it's a.b+c", "4"},
  };
  for (const auto& c : cases) {
    auto t = db.GetTable("select group_concat(id) from (" + SendToSqlText("v", c.cell) + " order by id)");
    EXPECT_EQ(t->FieldAsString(0), c.ids) << c.cell;
  }
}
