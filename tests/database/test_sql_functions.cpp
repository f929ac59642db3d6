// The program's SQL functions on a bare SQLite connection.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <cmath>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "database/sql_functions.h"
#include "support_sql_db.h"

namespace {

// A connection with the functions registered; queries pass PreconvSql first, as in the
// program. Value gives the first column of the first row as text ("NULL" for NULL) and adds a
// failure when the query fails; Error gives the failure message.
class FnDb : public TSqlTestDb {
 public:
  FnDb() : TSqlTestDb(true) {}

  std::string Value(const std::string& sql, int* type = nullptr) {
    std::vector<std::vector<std::string>> rows;
    std::string err;
    std::vector<int> types;
    if (!Run(sql, &rows, &err, &types)) {
      ADD_FAILURE() << sql << " : " << err;
      return "<error>";
    }
    if (rows.empty() || rows[0].empty()) return "<no row>";
    if (type) *type = types[0];
    return rows[0][0];
  }
  std::string Error(const std::string& sql) {
    std::string err;
    if (Run(sql, nullptr, &err)) return "<no error>";
    return err;
  }
};

struct Expect {
  const char* sql;
  const char* value;
};

void CheckAll(FnDb& db, std::initializer_list<Expect> cases) {
  for (auto& c : cases) EXPECT_EQ(db.Value(c.sql), c.value) << c.sql;
}

}  // namespace

TEST(SqlFunctions, Strconv) {
  FnDb db;
  CheckAll(db, {
                   {"select strconv('トマト')", "とまと"},
                   {"select strconv('ﾄﾏﾄ')", "とまと"},
                   {"select strconv('ＴＯＭＡＴＯ')", "tomato"},
                   {"select strconv(NULL)", ""},
                   {"select strconv('ＡＢトマト','C')", "ａｂトマト"},
                   {"select strconv('Ｂトマトー','w')", "Bﾄﾏﾄー"},
                   {"select strconv('パーティー') = strconv('はてい')", "1"},
                   {"select strconv(12)", "12"},
                   {"select strconv('x', NULL)", "x"},
                   {"select strconv('トマト') like preconv('%とまと%')", "1"},
                   {"select strconv('トマト') like preconv('%ﾄﾏﾄ%')", "1"},
               });
}

TEST(SqlFunctions, Match) {
  FnDb db;
  CheckAll(db, {
                   {"select match('%', 'トマト')", "0"},
                   {"select match('', 'トマト')", "0"},
                   {"select match('ト%', 'トマト')", "1"},
                   {"select match('%ト', 'トマト')", "1"},
                   {"select match('マ', 'トマト')", "0"},
                   {"select match('%マ%', 'トマト')", "1"},
                   {"select match('とまと', 'ﾄﾏﾄ')", "1"},
                   {"select match('マ%', 'トマト')", "0"},
                   {"select match('%ト', 'トマトx')", "0"},
                   {"select match('%%マ%%', 'トマト')", "0"},  // only one % counts at each end
                   {"select match('%ま%', 'トマト', 'C')", "0"},
                   {"select match('%マ%', NULL)", "0"},
                   {"select 'トマト' match 'ト%'", "1"},
               });
  // The pattern is normalised once per statement; patterns and options that change from row
  // to row must still each be used for their own row.
  db.Exec("create table m(p text, s text, o text);"
          "insert into m values ('ト%', 'トマト', 'KCWV'), ('%ト', 'ナス', 'KCWV'), ('%ス', 'ナス', 'KCWV'),"
          " ('%ま%', 'トマト', 'C'), ('%ま%', 'トマト', 'K'), ('ト%', 'トマト', 'C');");
  EXPECT_EQ(db.Value("select group_concat(match(p, s), '') from m"), "101111");
  EXPECT_EQ(db.Value("select group_concat(match('%ま%', s, o), '') from m"), "100010");
  EXPECT_EQ(db.Value("select count(*) from m where s match '%ト%'"), "4");
}

TEST(SqlFunctions, IfIfnullstrExplode) {
  FnDb db;
  CheckAll(db, {
                   {"select if('0', 'a', 'b')", "a"},
                   {"select if(0.0, 'a', 'b')", "b"},
                   {"select if(NULL, 'a')", "NULL"},
                   {"select if(NULL, 'a', 'b')", "b"},
                   {"select if(2, 'a', 'b')", "a"},
                   {"select if(0, 'a')", "NULL"},
                   {"select if('', 'a', 'b')", "b"},
                   {"select if(x'00', 'a', 'b')", "a"},
                   {"select if(x'', 'a', 'b')", "b"},
                   {"select if(0.0/0.0, 'a', 'b')", "b"},
                   {"select typeof(if(1, 5, 'b'))", "integer"},
                   {"select ifnullstr(NULL, 'b')", "b"},
                   {"select ifnullstr('', 'b')", "b"},
                   {"select ifnullstr(0, 'b')", "0"},
                   {"select typeof(ifnullstr(3.5, 'b'))", "real"},
                   {"select explode(',', 'a,b,c', 2)", "b"},
                   {"select explode(',', 'a,b,c', 3)", "c"},
                   {"select explode(',', 'a,b,c', 4)", "NULL"},
                   {"select explode(',', 'a,b,c', 0)", "a,b,c"},
                   {"select explode(',', 'a,b,c', -1)", "a,b,c"},
                   {"select explode(',', 'a,,c', 2)", "NULL"},
                   {"select explode(',', '', 1)", "NULL"},
                   {"select explode('', 'abc', 1)", "abc"},
                   {"select explode('', 'abc', 2)", "NULL"},
                   {"select explode('、', 'トマト、なす、きゅうり', 3)", "きゅうり"},
                   {"select explode('.*', 'a.*b', 2)", "b"},  // taken literally
               });
}

TEST(SqlFunctions, ExtnumUnderDecimalCommaLocale) {
  // The number must be read in the C format whatever the process locale says.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  auto trySwitch = [] {
    for (const char* l : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8", "de_DE"})
      if (std::setlocale(LC_NUMERIC, l) && std::localeconv()->decimal_point[0] == ',') return true;
    return false;
  };
  bool switched = trySwitch();
  if (!switched) {
    // Machines often carry only C.UTF-8: compile a German locale into the build folder.
    std::string dir = BinaryPath("test-locales");
    std::filesystem::create_directories(dir);
    std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::filesystem::exists(dir + "/de_DE.UTF-8") || std::system(cmd.c_str()) == 0) {
      setenv("LOCPATH", dir.c_str(), 1);
      switched = trySwitch();
    }
  }
  if (switched) {
    EXPECT_EQ(std::strtod("2.5", nullptr), 2.0);  // the locale really reads a decimal comma
  }
  FnDb db;
  CheckAll(db, {
                   {"select extnum('kg', '10 a 2.5kg')", "2.5"},
                   {"select extnum('kg', 'no number kg', 7)", "7.0"},
                   {"select extnum('kg', 'nothing')", "0.0"},
                   {"select extnum('L|ℓ', '散布液量 100～300ℓ')", "300.0"},
                   {"select extnum('倍', '-1.5e2 倍')", "-150.0"},
                   {"select extnum('倍', '+2000倍')", "2000.0"},
                   {"select extnum('倍', '1e2倍')", "2.0"},  // an exponent only after a fraction
                   {"select typeof(extnum('倍', '3倍'))", "real"},
               });
  EXPECT_NE(db.Error("select extnum('(', '1(')").find("extnum"), std::string::npos);
  // A unit that changes from row to row is used for its own row.
  db.Exec("create table u(unit text, t text); insert into u values ('kg', '2kg 3L'), ('L', '2kg 3L'), ('倍', '2kg');");
  EXPECT_EQ(db.Value("select group_concat(extnum(unit, t), ' ') from u"), "2.0 3.0 0.0");
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no decimal-comma locale installed (checked with C formatting only)";
}

TEST(SqlFunctions, ReReplace) {
  FnDb db;
  CheckAll(db, {
                   {R"(select re_replace('.*及び([A-Z\-]+)(.*)', 'ＡＢ剤及びMEP-X乳剤', '(\1)\2'))", "(MEP-X)乳剤"},
                   {R"(select re_replace('(a)(b)', 'abab', '$2$1'))", "baba"},
                   {R"(select re_replace('b', 'abc', '[$&]'))", "a[b]c"},
                   {R"(select re_replace('x*', 'ab', '-'))", "-a-b-"},
                   {R"(select re_replace('ト', 'トマト', 'と'))", "とマと"},
                   {R"(select re_replace('a', 'A', 'b'))", "A"},  // no normalisation
                   {R"(select re_replace('(a)', 'a', '\\1 $ \$1'))", "\\1 $ $1"},
                   {R"(select re_replace('(a)|(b)', 'b', '[\1]'))", "[]"},
                   // The references of the template engine's replace work here too.
                   {R"(select re_replace('(a)(?<n>b)', 'ab', '${2}${n}$$'))", "bb$"},
                   {R"(select re_replace('a', 'a', '[${99999999999}]'))", "[]"},
               });
  EXPECT_NE(db.Error("select re_replace('(', 'a', 'b')").find("re_replace"), std::string::npos);
}

TEST(SqlFunctions, RegisteredForEveryArityEvenBesideBuiltIns) {
  FnDb db;
  // Our concat and if win over any built-in of the same name: their rules differ.
  CheckAll(db, {
                   {"select concat(',', 'a', NULL, 'a', 'b')", "a,b"},
                   {"select concat2(',', 'a', '', 'b')", "a,b"},
                   {"select if(1, 'y', 'n')", "y"},
                   {"select if(0, 'y')", "NULL"},
                   {"select strconv('ア', 'K')", "あ"},
                   {"select regexp('a', 'A', 'C')", "1"},
                   {"select match('a', 'A', 'C')", "1"},
                   {"select extnum('g', '5g', 1)", "5.0"},
               });
  EXPECT_EQ(db.Error("select concat('a')"), "CONCAT parameters are too few");
  EXPECT_EQ(db.Error("select concat2('a')"), "CONCAT parameters are too few");
  EXPECT_EQ(db.Error("select concat()"), "CONCAT parameters are too few");
  // Re-registering on a connection keeps working (a second TSQLiteDb helper, reopen, ...).
  RegisterSqlFunctions(db.db());
  EXPECT_EQ(db.Value("select concat(',', 'x', 'x')"), "x");
}

// A database in UTF-16 runs the same functions with the same results.
TEST(SqlFunctions, Utf16Database) {
  FnDb db;
  db.Exec("pragma encoding = 'UTF-16le'; create table t(x text); insert into t values ('ﾄﾏﾄ'), ('ナス'), (NULL);");
  EXPECT_EQ(db.Value("select count(*) from t where x regexp 'とまと'"), "1");
  EXPECT_EQ(db.Value("select concat('、', strconv(x)) from t"), "とまと、なす");
  EXPECT_EQ(db.Value("select explode('、', concat2('、', x), 2) from t"), "ナス");
  EXPECT_EQ(db.Value("select if(x, 'y', 'n') from t where x is null"), "n");
}

TEST(SqlFunctions, ErrorsNeverEscapeAsExceptions) {
  FnDb db;
  db.Exec("create table t(p text, s text); insert into t values ('(', 'a'), ('a', 'a');");
  std::string e = db.Error("select count(*) from t where s regexp p");
  EXPECT_NE(e.find("regexp"), std::string::npos) << e;
  EXPECT_NE(e.find("missing closing parenthesis"), std::string::npos) << e;
  // The connection stays usable.
  EXPECT_EQ(db.Value("select 'a' regexp 'a'"), "1");
}
