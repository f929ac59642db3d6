// Crop hierarchy queries on the sample database with crops of our own under the code prefix
// 99: membership through names, groups, exclusions and inclusions, the no-match pattern,
// upper groups deepest first, expansion of a list's first crop, names with quotes, and the
// hint query that must never raise.
#include <gtest/gtest.h>

#include <algorithm>

#include <QFileInfo>
#include <QProcess>
#include <set>

#include "database/acis_crop_queries.h"
#include "database/regex_utils.h"
#include "sample_acis_db.h"
#include "support_acis_fixture.h"

namespace {

void AddCrops(TAcisDB& db) {
  db.FDb->ExecSQL(
      "INSERT INTO m_sakumotsu(idsaku, class, level, toroku, sakumotsu, gunmei) VALUES"
      " ('9900000000000000', 0, 0, 1, 'テスト類', NULL),"
      " ('9901000000000000', 1, 1, 2, 'テスト科', NULL),"
      " ('9901010000000000', 2, 2, 1, 'テスト葉', NULL),"
      " ('9901010000010000', 4, 4, 3, 'テスト菜', 'テスト群'),"
      " ('9901010000010001', 5, 5, 1, 'テスト菜(施設栽培)', 'テスト群'),"
      " ('9901010000010002', 5, 5, 1, 'テスト菜(除外)', 'テスト群'),"
      " ('9901010000010003', 5, 5, 1, 'テスト菜ミニ', 'テスト群'),"
      " ('9901010000030000', 4, 4, 1, 'ただ菜', NULL),"
      " ('9901010000040000', 4, 4, 1, 'O''Neil菜', NULL),"
      " ('9901010000050000', 4, 4, 1, 'Q\"菜\"', NULL),"
      " ('9902000000000000', 1, 1, 1, 'テスト群', NULL),"
      " ('9800000000010000', 4, 4, 1, 'よそ菜', NULL);"
      "INSERT INTO sakuhojo(idsaku, shozoku, nozoku, fukumu) VALUES"
      " ('9901010000010000', 'テスト葉、テスト類、テスト群', NULL, NULL),"
      " ('9901010000010001', 'テスト菜、テスト葉、テスト類', NULL, NULL),"
      " ('9901010000010002', 'テスト菜、テスト葉、テスト類', 'テスト類', NULL),"
      " ('9800000000010000', NULL, NULL, 'テスト類');");
}

std::set<std::string> Codes(const std::string& quoted) {
  std::set<std::string> out;
  std::string s = UnquoteSqlLiteral(quoted);
  size_t start = 0;
  while (start <= s.size()) {
    size_t bar = s.find('|', start);
    out.insert(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

}  // namespace

TEST(CropQueries, IdSakuRegexpLineMembershipAndTheNoMatchPattern) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  struct Case {
    std::string names;
    std::set<std::string> codes;
  };
  const Case cases[] = {
      // The group by name and through the crops' groups; the excluded crop stays out, the
      // crop that includes the group comes in.
      {"テスト類", {"9900000000000000", "9901010000010000", "9901010000010001", "9800000000010000"}},
      // A crop without a row in sakuhojo is found by its name.
      {"ただ菜", {"9901010000030000"}},
      {"ただ菜,テスト菜(除外)", {"9901010000030000", "9901010000010002"}},
      // Full-width brackets as the user types them.
      {"テスト菜（施設栽培）", {"9901010000010001"}},
      {"テスト菜", {"9901010000010000", "9901010000010001", "9901010000010002"}},
  };
  for (const Case& c : cases) {
    const std::string r = db.IdSakuRegexpLine(c.names, false);
    EXPECT_FALSE(IsNoCropPattern(r)) << c.names;
    EXPECT_EQ(Codes(r), c.codes) << c.names << " -> " << r;
    // The result goes into SQL as it is and selects exactly these crops.
    EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM m_sakumotsu WHERE idsaku REGEXP " + r)[0][0],
              std::to_string(c.codes.size()))
        << c.names;
  }
  EXPECT_EQ(db.IdSakuRegexpLine("テスト類", true), db.IdSakuRegexpLine("テスト類", false));
  // No crop, no names at all, only quotes or separators: the one no-match pattern, which
  // selects nothing when a caller pastes it anyway.
  for (const std::string names : {"nosuch", "", " , ", "'", "\"\"", "O'Neil菜"}) {
    const std::string r = db.IdSakuRegexpLine(names, false);
    EXPECT_EQ(r, kNoCropPattern) << names;
    EXPECT_TRUE(IsNoCropPattern(r));
    EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM m_sakumotsu WHERE idsaku REGEXP " + r)[0][0], "0") << names;
  }
  EXPECT_EQ(sink.Count(), 0u);
}

// Names that came in on a chosen crop's behalf (its upper groups) stand for their own codes
// only; every name the user chose covers all it covers, whatever else is chosen.
TEST(CropQueries, IdSakuRegexpLineChosenAndAddedNames) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  const std::string kRui = "9900000000000000", kHa = "9901010000000000", kGun = "9902000000000000",
                    kNa = "9901010000010000", kShisetsu = "9901010000010001", kJogai = "9901010000010002",
                    kYoso = "9800000000010000";
  struct Case {
    std::string names;
    std::vector<std::string> added;
    std::set<std::string> codes;
  };
  const Case cases[] = {
      // The crop with all it covers, each group added for it by its own code only.
      {"テスト菜,テスト葉,テスト類,テスト群", {"テスト葉", "テスト類", "テスト群"}, {kNa, kShisetsu, kJogai, kHa, kRui, kGun}},
      // The order of the names does not matter.
      {"テスト群,テスト類,テスト菜,テスト葉", {"テスト葉", "テスト類", "テスト群"}, {kNa, kShisetsu, kJogai, kHa, kRui, kGun}},
      // A cultivation form with the crop above it and that crop's groups added: the form, and
      // the others by their own codes (the crop's other forms stay out).
      {"テスト菜（施設栽培）,テスト菜,テスト葉,テスト類", {"テスト菜", "テスト葉", "テスト類"}, {kShisetsu, kNa, kHa, kRui}},
      // An added name matches in either bracket width.
      {"テスト菜(施設栽培),テスト菜", {"テスト菜"}, {kShisetsu, kNa}},
      // A crop that a group includes (not by its groups), the group added for it.
      {"よそ菜,テスト類", {"テスト類"}, {kYoso, kRui}},
      // The same names all chosen: each covers all its crops.
      {"テスト菜,テスト葉,テスト類,テスト群", {}, {kNa, kShisetsu, kJogai, kHa, kRui, kGun, kYoso}},
      // A group chosen beside a crop inside it keeps every crop of the group.
      {"テスト葉,テスト菜", {}, {kHa, kNa, kShisetsu, kJogai}},
      {"テスト葉,テスト菜,テスト類", {"テスト類"}, {kHa, kNa, kShisetsu, kJogai, kRui}},
      // A group alone covers its crops.
      {"テスト葉", {}, {kHa, kNa, kShisetsu, kJogai}},
      {"テスト葉", {"テスト葉"}, {kHa}},
      // Groups that do not contain each other keep all they cover.
      {"テスト葉,テスト群", {}, {kHa, kNa, kShisetsu, kJogai, kGun}},
      // A crop that excludes a group comes in by its own name when chosen beside that group.
      {"テスト類,テスト菜(除外)", {}, {kRui, kNa, kShisetsu, kYoso, kJogai}},
      // The same name twice, or in another spelling, is one name.
      {"テスト類,てすと類", {}, {kRui, kNa, kShisetsu, kYoso}},
      // Names that are no crop leave the others as they are.
      {"テスト葉,nosuch,'", {"nosuch"}, {kHa, kNa, kShisetsu, kJogai}},
  };
  for (const Case& c : cases) {
    const std::string r = db.IdSakuRegexpLine(c.names, false, c.added);
    EXPECT_EQ(Codes(r), c.codes) << c.names << " -> " << r;
    EXPECT_EQ(Rows(*db.FDb, "SELECT count(*) FROM m_sakumotsu WHERE idsaku REGEXP " + r)[0][0],
              std::to_string(c.codes.size()))
        << c.names;
  }
  // Ticking one more crop never takes a crop away: every prefix of a selection covers no more
  // than the whole selection.
  const std::vector<std::string> ticks = {"テスト群", "テスト菜", "テスト類", "よそ菜", "テスト葉"};
  std::set<std::string> before;
  std::string names;
  for (const std::string& t : ticks) {
    names += (names.empty() ? "" : ",") + t;
    const std::set<std::string> now = Codes(db.IdSakuRegexpLine(names, false));
    EXPECT_TRUE(std::includes(now.begin(), now.end(), before.begin(), before.end())) << names;
    before = now;
  }
  EXPECT_EQ(sink.Count(), 0u);
}

// The sample register: cucumber with the groups the crop frame adds for it.
TEST(CropQueries, IdSakuRegexpLineCropWithItsUpperGroupsOnTheSampleRegister) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  // Expected, by codes: the cucumber and every crop below it, and each group's own row;
  // nothing of なす.
  const std::string cucumber = "きゅうり,うり科果菜類,果菜類,野菜類,うり科野菜類";
  const std::vector<std::string> groups = {"うり科果菜類", "果菜類", "野菜類", "うり科野菜類"};
  std::set<std::string> want;
  for (const TRowText& row :
       Rows(*db.FDb,
            "SELECT idsaku FROM m_sakumotsu WHERE idsaku LIKE (SELECT substr(idsaku,1,12) FROM m_sakumotsu WHERE "
            "sakumotsu = 'きゅうり')||'%' OR sakumotsu IN ('うり科果菜類','果菜類','野菜類','うり科野菜類')"))
    want.insert(row[0]);
  ASSERT_EQ(want.size(), 5u);
  const std::set<std::string> got = Codes(db.IdSakuRegexpLine(cucumber, false, groups));
  EXPECT_EQ(got, want);
  const std::string nasu = Rows(*db.FDb, "SELECT idsaku FROM m_sakumotsu WHERE sakumotsu = 'なす'").at(0)[0];
  EXPECT_EQ(got.count(nasu), 0u);
  // Chosen, 野菜類 is every vegetable, なす among them, alone or beside the cucumber.
  const std::set<std::string> vegetables = Codes(db.IdSakuRegexpLine("野菜類", false));
  EXPECT_GT(vegetables.size(), 20u);
  EXPECT_EQ(vegetables.count(nasu), 1u);
  EXPECT_EQ(Codes(db.IdSakuRegexpLine(cucumber, false, {"うり科果菜類", "果菜類", "うり科野菜類"})), vegetables);
  // Two sibling groups cover both families.
  const std::set<std::string> siblings = Codes(db.IdSakuRegexpLine("果菜類,葉菜類", false));
  for (const auto& [group, prefix] : {std::pair<std::string, std::string>{"果菜類", "1301"}, {"葉菜類", "1302"}}) {
    const auto under = Rows(*db.FDb, "SELECT idsaku FROM m_sakumotsu WHERE idsaku LIKE '" + prefix +
                                         "%' AND idsaku IN (SELECT idsaku FROM sakuhojo WHERE shozoku LIKE '%" + group +
                                         "%') OR sakumotsu = '" + group + "'");
    ASSERT_GT(under.size(), 3u) << group;
    for (const TRowText& row : under) EXPECT_EQ(siblings.count(row[0]), 1u) << group << " " << row[0];
  }
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(CropQueries, UpperGroupsExpansionAndNeighbours) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  // The registered crops at and above, and the crop group; deepest code first.  テスト科 is
  // registered only through a higher class and stays out.
  EXPECT_EQ(db.UpperGroup("テスト菜(施設栽培)"), "テスト群,テスト菜(施設栽培),テスト菜,テスト葉,テスト類");
  EXPECT_EQ(db.UpperGroup("テスト類"), "テスト類");
  EXPECT_EQ(db.UpperGroup("nosuch"), "");
  EXPECT_EQ(db.UpperGroup("O'Neil菜"), "O'Neil菜,テスト葉,テスト類");
  EXPECT_EQ(db.UpperGroup("Q\"菜\""), "Q\"菜\",テスト葉,テスト類");

  // A,B: A's registered crops at and below it (higher codes first), then ",B" unchanged.
  EXPECT_EQ(db.DeployCrops("テスト菜,B", ' '), "テスト菜ミニ,テスト菜(除外),テスト菜(施設栽培),テスト菜,B");
  EXPECT_EQ(db.DeployCrops("テスト葉", ' '),
            "Q\"菜\",O'Neil菜,ただ菜,テスト菜ミニ,テスト菜(除外),テスト菜(施設栽培),テスト菜,テスト葉");
  // No crop below: the text with half-width brackets.
  EXPECT_EQ(db.DeployCrops("ない菜（露地）,B,\"C D\"", ' '), "ない菜(露地),B,\"C D\"");
  EXPECT_EQ(db.DeployCrops("O'Neil菜,x", ' '), "O'Neil菜,x");
  EXPECT_EQ(db.DeployCrops("", ' '), "");
  EXPECT_EQ(db.DeployCrops("テスト菜（施設栽培）,B", '~'), db.UpperGroup("テスト菜(施設栽培)"));

  // Beside a crop: the nearest registered crop at or above it, then its level-4 family
  // without itself, cultivation forms and names that start with it.
  EXPECT_EQ(db.SameLevelSakumotsu("テスト菜(施設栽培)"), "テスト菜(施設栽培),テスト菜");
  EXPECT_EQ(db.SameLevelSakumotsu("テスト菜"), "テスト葉");
  EXPECT_EQ(db.SameLevelSakumotsu("nosuch"), "");

  // Names compared as keys: katakana and hiragana alike; "%" at the end asks for a prefix.
  EXPECT_TRUE(db.CropNameExists("てすと菜"));
  EXPECT_TRUE(db.CropNameExists("O'Neil菜"));
  EXPECT_FALSE(db.CropNameExists("テスト"));
  EXPECT_EQ(db.CropNamesMatching("テスト菜%"), "テスト菜,テスト菜(施設栽培),テスト菜(除外),テスト菜ミニ");
  EXPECT_EQ(db.CropNamesMatching("nosuch"), "");
  EXPECT_EQ(sink.Count(), 0u);

  // The minimal database object of the memo dialog's test command.
  TAcisMiniDB mini(s.DBDir + "/acis.db", s.DBDir);
  EXPECT_EQ(mini.UpperGroup("テスト菜(施設栽培)"), "テスト菜(施設栽培),テスト菜");
}

TEST(CropQueries, HintQueryMarksRelativesAndNeverRaises) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  std::string r = db.UpperGroupMarked("テスト菜");
  std::set<std::string> parts;
  for (size_t b = 0, e; b <= r.size(); b = e + 1) {
    e = r.find(',', b);
    if (e == std::string::npos) e = r.size();
    parts.insert(r.substr(b, e - b));
  }
  // Level-5 crops in square brackets (those with ")" in the name left out), names registered
  // only through others in parentheses, the crop itself removed.
  EXPECT_EQ(parts, (std::set<std::string>{"[テスト菜ミニ]", "テスト葉", "(テスト科)", "テスト類", "テスト群"})) << r;
  // A hint never replaces the cursor that a fill loop may be reading.
  ASSERT_TRUE(db.Query("SELECT 1", false));
  const TSQLiteTbl* cursor = db.FTbl.get();
  EXPECT_EQ(db.UpperGroupMarked("O'Neil菜"), "テスト葉,(テスト科),テスト類");
  EXPECT_EQ(db.FTbl.get(), cursor);

  // Without the view the query fails: an empty text and a log line, no exception, no dialog.
  db.FDb->ExecSQL("DROP VIEW vg_sakumotsu2;");
  EXPECT_EQ(db.UpperGroupMarked("テスト菜"), "");
  EXPECT_EQ(sink.Count(), 0u);
  bool logged = false;
  for (const std::string& l : s.Log) logged = logged || l.find("UpperGroupMarked") != std::string::npos;
  EXPECT_TRUE(logged);
  // The other queries show the SQL error under their titles and give the empty text.
  db.FDb->ExecSQL("ALTER TABLE m_sakumotsu RENAME TO m_saku_x;");
  EXPECT_EQ(db.UpperGroup("テスト菜"), "");
  EXPECT_EQ(db.DeployCrops("テスト菜,B", ' '), "");
  EXPECT_EQ(db.IdSakuRegexpLine("テスト菜"), kNoCropPattern);
  EXPECT_FALSE(db.CropNameExists("テスト菜"));
  ASSERT_EQ(sink.Count(), 4u);
  EXPECT_EQ(sink.Messages()[0].title, "AcisDB.UpperGroup SQL実行");
  EXPECT_EQ(sink.Messages()[1].title, "AcisDB.UpperGroup SQL実行");
  EXPECT_EQ(sink.Messages()[2].title, "");
}

TEST(CropQueries, QmtoolCropsPrintsTheAnswers) {
  const QString tool = QString::fromStdString(BinaryPath("bin/qmtool"));
  if (!QFileInfo::exists(tool)) GTEST_SKIP() << "qmtool is not built";
  OPEN_SAMPLE_DB(s);
  AddCrops(db);
  s.Db.reset();
  QProcess p;
  p.start(tool, {"crops", "--db", QString::fromStdString(s.DBDir), "テスト菜"});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  const std::string out = p.readAllStandardOutput().toStdString();
  EXPECT_NE(out.find("IdSakuRegexpLine\t'9901010000010000|9901010000010001|9901010000010002'\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("UpperGroup\tテスト群,テスト菜,テスト葉,テスト類\n"), std::string::npos) << out;
  EXPECT_NE(out.find("DeployCrops\tテスト菜ミニ,テスト菜(除外),テスト菜(施設栽培),テスト菜\n"), std::string::npos) << out;
  // The crop with its upper groups added: the groups by their own codes.
  p.start(tool, {"crops", "--db", QString::fromStdString(s.DBDir), "テスト菜", "--added", "テスト葉", "--added",
                 "テスト類"});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_NE(p.readAllStandardOutput().toStdString().find(
                "IdSakuRegexpLine\t'9900000000000000|9901010000000000|9901010000010000|9901010000010001|"
                "9901010000010002'\n"),
            std::string::npos);
  p.start(tool, {"crops", "--db", QString::fromStdString(s.DBDir), "nosuch"});
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_NE(p.readAllStandardOutput().toStdString().find("IdSakuRegexpLine\t'(?!)'\n"), std::string::npos);
}

// Crop text of no expected form, as a user may type it into any crop entry: plain text in
// every hierarchy query (no exception, no message), and the well-formed names beside it keep
// their answers.
TEST(CropQueries, MalformedCropBracketsArePlainText) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  const std::string kNa = "9901010000010000", kShisetsu = "9901010000010001", kJogai = "9901010000010002";
  for (const std::string text : {"x栽培)", "x栽培）", "テスト菜栽培）", "栽培）（x", "）栽培）", "テスト菜(施設栽培",
                                 "テスト菜（施設栽培"}) {
    std::string r;
    ASSERT_NO_THROW(r = db.IdSakuRegexpLine(text, false)) << text;
    EXPECT_EQ(r, kNoCropPattern) << text;
    ASSERT_NO_THROW(r = db.IdSakuRegexpLine(text + ",テスト菜", false, {"テスト菜"})) << text;
    EXPECT_EQ(Codes(r), (std::set<std::string>{kNa})) << text;
    ASSERT_NO_THROW(r = db.IdSakuRegexpLine("テスト菜," + text, false)) << text;
    EXPECT_EQ(Codes(r), (std::set<std::string>{kNa, kShisetsu, kJogai})) << text;
    EXPECT_EQ(db.UpperGroup(text), "") << text;
    EXPECT_EQ(db.DeployCrops(text + ",B", ' '), FullToHalfBrackets(text) + ",B") << text;
    EXPECT_EQ(db.DeployCrops(text, '~'), "") << text;
  }
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(CropQueries, QmtoolCropsTakesMalformedBracketsAsPlainText) {
  const QString tool = QString::fromStdString(BinaryPath("bin/qmtool"));
  if (!QFileInfo::exists(tool)) GTEST_SKIP() << "qmtool is not built";
  OPEN_SAMPLE_DB(s);
  AddCrops(db);
  s.Db.reset();
  for (const char* text : {"x栽培)", "x栽培）", "テスト菜(施設栽培"}) {
    QProcess p;
    p.start(tool, {"crops", "--db", QString::fromStdString(s.DBDir), QString::fromUtf8(text)});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << text;
    EXPECT_EQ(p.exitCode(), 0) << text << ": " << p.readAllStandardError().toStdString();
    const std::string out = p.readAllStandardOutput().toStdString();
    EXPECT_NE(out.find("IdSakuRegexpLine\t'(?!)'\n"), std::string::npos) << text << ": " << out;
    EXPECT_NE(out.find("DeployCrops\t" + FullToHalfBrackets(text) + "\n"), std::string::npos) << text << ": " << out;
  }
}

// A name that normalises to nothing (a long-vowel mark) names no crop: alone it gives the
// no-match pattern, beside others it takes nothing away and adds nothing.
TEST(CropQueries, NamesThatNormaliseToNothingNameNoCrop) {
  OPEN_SAMPLE_DB(s);
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  AddCrops(db);
  for (const std::string names : {"ー", "ｰ", "ー,ｰ", "（ー）"}) EXPECT_EQ(db.IdSakuRegexpLine(names, false), kNoCropPattern) << names;
  const std::string alone = db.IdSakuRegexpLine("テスト菜", false);
  EXPECT_EQ(db.IdSakuRegexpLine("ー,テスト菜", false), alone);
  EXPECT_EQ(db.IdSakuRegexpLine("テスト菜,ｰ", false), alone);
  EXPECT_EQ(sink.Count(), 0u);
}
