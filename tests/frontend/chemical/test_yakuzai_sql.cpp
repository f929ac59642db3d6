// The chemical tab's conditions: registration numbers and keywords, the use condition, the
// crop condition of the sheet, and keyword texts that hold quotes run on a real connection.
#include <gtest/gtest.h>

#include <set>

#include "database/sqlite_db.h"
#include "frontend/chemical/yakuzai_sql.h"

TEST(MakeYakuzaiWhere, NumbersAndKeywords) {
  struct TCase {
    const char* text;
    const char* where;
  };
  const TCase cases[] = {
      {"", ""},
      {"12345", "bango = 12345"},
      {"１２３４５", "bango = 12345"},  // full-width digits
      {" 12345 ", "bango = 12345"},
      {">20000", "bango >= 20000"},
      {"＞２００００", "bango >= 20000"},
      {"<100", "bango <= 100"},
      // 0 is no registration number: ">0" is a keyword.
      {">0", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%>0%'))"},
      {"0", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%0%'))"},
      {"-5", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%-5%'))"},
      {"99999999999999999999", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%99999999999999999999%'))"},
      {"スミチオン", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%スミチオン%'))"},
      // "、", "＆", the full-width blank and blanks separate words that must all occur.
      {"a、b＆c",
       "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%a%') AND strconv(kws) LIKE "
       "preconv('%b%') AND strconv(kws) LIKE preconv('%c%'))"},
      {"a　 b", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%a%') AND strconv(kws) LIKE "
                "preconv('%b%'))"},
      // A quote stays inside its literal.
      {"a'b", "bango IN (SELECT bango FROM kwlists WHERE strconv(kws) LIKE preconv('%a''b%'))"},
      {"、＆", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(MakeYakuzaiWhere(c.text), c.where) << c.text;
  EXPECT_TRUE(IsBangoInput("１２３４５"));
  EXPECT_TRUE(IsBangoInput("<1"));
  EXPECT_FALSE(IsBangoInput(">0"));
  EXPECT_FALSE(IsBangoInput(">>5"));
  EXPECT_FALSE(IsBangoInput("12a"));
  EXPECT_FALSE(IsBangoInput(""));
}

TEST(YakuzaiSql, UseCropAndHeaderTexts) {
  EXPECT_EQ(YotoCondition(""), "");
  EXPECT_EQ(YotoCondition("全て"), "");
  EXPECT_EQ(YotoCondition("殺虫剤"), " AND yoto = '殺虫剤'");
  EXPECT_EQ(YotoCondition("x' OR '1'='1"), " AND yoto = 'x'' OR ''1''=''1'");
  EXPECT_EQ(IsSakumotsuStr({}), "");
  EXPECT_EQ(IsSakumotsuStr({"トマト", "なす"}), " AND sakumotsu IN ('トマト','なす')");
  EXPECT_EQ(IsSakumotsuStr({"a'b", ""}), " AND sakumotsu IN ('a''b')");
  EXPECT_EQ(KaisuHeaderText("MEP"), "MEPを含む農薬の使用回数");
  EXPECT_EQ(KaisuHeaderText(""), "");
  TProductKey k;
  k.Tsusho = "O'Brien";
  EXPECT_EQ(k.Condition(), "tsusho = 'O''Brien'");
  k.ByBango = true;
  k.Bango = 42;
  EXPECT_EQ(k.Condition(), "bango = 42");
}

// The conditions as SQL on a connection with the program's functions: keywords with quotes,
// percent signs and kana variants find what they should and never break out of their literal.
TEST(YakuzaiSql, KeywordConditionsRunSafely) {
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL(
      "CREATE TABLE kwlists (bango INTEGER PRIMARY KEY, kws TEXT);"
      "INSERT INTO kwlists VALUES (1, 'スミチオン乳剤、MEP、殺虫剤');"
      "INSERT INTO kwlists VALUES (2, 'オブライエン''S水和剤、殺菌剤');"
      "INSERT INTO kwlists VALUES (3, 'ダコニール１０００、TPN、殺菌剤');");
  auto found = [&](const std::string& text) {
    std::set<int64_t> out;
    auto t = db.GetTable("SELECT bango FROM kwlists WHERE " + MakeYakuzaiWhere(text) + " ORDER BY bango");
    for (; !t->Eof(); t->Next()) out.insert(t->FieldAsInteger(0));
    return out;
  };
  EXPECT_EQ(found("すみちおん"), (std::set<int64_t>{1}));       // hiragana finds katakana
  EXPECT_EQ(found("ｍｅｐ"), (std::set<int64_t>{1}));             // full-width lower case
  EXPECT_EQ(found("殺菌剤、TPN"), (std::set<int64_t>{3}));        // both words
  EXPECT_EQ(found("殺菌剤＆ｔｐｎ"), (std::set<int64_t>{3}));
  EXPECT_EQ(found("ライエン'S"), (std::set<int64_t>{2}));         // a quote is text
  EXPECT_EQ(found("x') OR 1=1 --"), (std::set<int64_t>{}));
  EXPECT_EQ(found("x%') OR ('1'='1"), (std::set<int64_t>{}));
  EXPECT_EQ(found("2"), (std::set<int64_t>{2}));                  // a number: the product 2
  EXPECT_EQ(found(">2"), (std::set<int64_t>{2, 3}));
  EXPECT_EQ(found("<２"), (std::set<int64_t>{1, 2}));
}

// Names with quotes in the scripts of the ingredient tables and the selector queries.
TEST(YakuzaiSql, ScriptsQuoteEveryValue) {
  TSQLiteDb db(":memory:");
  db.ExecAll = true;
  db.ExecSQL("CREATE TABLE t_bango(bango INTEGER);");
  const std::string plural = SeibunPluralScript({"a'b", "c", "c"});
  db.ExecSQL(plural);
  auto t = db.GetTable("SELECT count(*), sum(seibun = 'a''b') FROM t_seibun");
  EXPECT_EQ(t->FieldAsInteger(0), 2);  // the repeated name once
  EXPECT_EQ(t->FieldAsInteger(1), 1);
  EXPECT_NE(RelatedTsushoSql(rkKeito, "x'y", false).find("keito = 'x''y'"), std::string::npos);
  EXPECT_NE(ProductsOfTsushoSql("O'K", true).find("tsusho = 'O''K' AND bango IN (SELECT bango FROM t_bango)"),
            std::string::npos);
  EXPECT_EQ(BangoRestriction(false), "");
}
