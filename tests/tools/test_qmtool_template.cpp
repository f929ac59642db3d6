// qmtool template: the built tool run as a process on template files written here, against
// the sample register built by qmtool build (the crop lists of "_" and "~" come from it).
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include <iconv.h>

namespace {

using qmtool_process::BuildSampleRegister;
using qmtool_process::Qmtool;
using qmtool_process::ToolRun;

void Write(const QString& file, const std::string& bytes) {
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// UTF-8 to CP932 through iconv.
bool ToCp932(const std::string& utf8, std::string& out) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = utf8;
  out.assign(in.size() * 2 + 16, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return ok;
}

std::string Modes(const char* m) {
  std::string out;
  const char* names[] = {"sakumotsu", "byochu", "yoto", "zaikei", "sonota"};
  for (int i = 0; i < 5; ++i) out += std::string("mode\t") + names[i] + "\t" + m[i] + "\n";
  return out;
}

}  // namespace

TEST(QmtoolTemplate, PrintsModesAndTheExpandedSql) {
  QTemporaryDir tmp;
  const QString db = tmp.filePath("db");
  ToolRun b = BuildSampleRegister(db);
  ASSERT_EQ(b.code, 0) << b.err;

  // A page in CP932 as the Windows program's template folder holds them.
  std::string page;
  ASSERT_TRUE(ToCp932(
                  "<html><body><p>作物の下位作物</p><pre>\r\n"
                  "#template {\r\n"
                  "    select '[_sakumotsu]' as below, '<~sakumotsu>' as above\r\n"
                  "    from m_kihon where 1\r\n"
                  "    -- and yoto = <yoto>\r\n"
                  "}\r\n"
                  "#default {\r\n"
                  "  sakumotsu = 稲\r\n"
                  "yoto = 殺虫剤\r\n"
                  "}\r\n</pre></body></html>\r\n",
                  page));
  const QString tpl = tmp.filePath("crops.tpl");
  Write(tpl, page);

  // Defaults: the crop list below 稲 (registered crops, highest code first).
  ToolRun r = Qmtool({"template", "--db", db, tpl});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, Modes("20100") +
                       "sql\n"
                       "select '稲(種子),稲(直播),稲(本田),稲(箱育苗),稲' as below, '稲,稲類,穀類' as above\r\n"
                       "from m_kihon where 1\r\n"
                       " and yoto = '殺虫剤'\n")
      << r.out;

  // An option overrides the default; "~" gives the registered groups above the crop.
  r = Qmtool({"template", "--db", db, tpl, "--sakumotsu", "ミニトマト", "--yoto", ""});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, Modes("20100") +
                       "sql\n"
                       "select 'ミニトマト' as below, 'なす科野菜類,ミニトマト,トマト,なす科果菜類,果菜類,野菜類' as above\r\n"
                       "from m_kihon where 1\r\n"
                       "-- and yoto = <yoto>\n")
      << r.out;

  // An argument file; an option still wins over it.
  const QString arg = tmp.filePath("set.arg");
  Write(arg, "sakumotsu = \"陸稲\"\r\nyoto = \"除草剤\"\r\nsonota = \"not used\"\r\n");
  r = Qmtool({"template", "--db", db, tpl, "--arg", arg, "--yoto", "殺菌剤"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("select '陸稲' as below"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" and yoto = '殺菌剤'\n"), std::string::npos) << r.out;

  // A page whose blocks are indented inside the <pre>: every default line counts.
  std::string indented;
  ASSERT_TRUE(ToCp932(
                  "<html><body><pre>\r\n"
                  "    #template {\r\n"
                  "        select <`sakumotsu> as crop, '<`yoto>' as use\r\n"
                  "    }\r\n"
                  "    #default {\r\n"
                  "        sakumotsu = 稲\r\n"
                  "        yoto = 殺虫剤\r\n"
                  "    }\r\n</pre></body></html>\r\n",
                  indented));
  const QString itpl = tmp.filePath("indented.tpl");
  Write(itpl, indented);
  r = Qmtool({"template", "--db", db, itpl});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, Modes("20200") + "sql\nselect '稲' as crop, '殺虫剤' as use\n") << r.out;

  // A required argument left empty: the message, exit code 1, no SQL.
  r = Qmtool({"template", "--db", db, tpl, "--sakumotsu", ""});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, Modes("20100"));
  EXPECT_EQ(r.err, "作物名が設定されていません\n");
  // A page without a template.
  const QString none = tmp.filePath("none.tpl");
  Write(none, "<html>nothing</html>");
  r = Qmtool({"template", "--db", db, none});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, Modes("00000"));
  EXPECT_EQ(r.err, "テンプレートがありません\n");
  // Bad command lines.
  EXPECT_EQ(Qmtool({"template", tpl}).code, 2);
  EXPECT_EQ(Qmtool({"template", "--db", db, tpl, "--sakumotsu"}).code, 2);
  EXPECT_EQ(Qmtool({"template", "--db", db, tmp.filePath("missing.tpl")}).code, 1);
}

// A crop argument that only looks like a cultivation form ("栽培)" or "栽培）" without an
// opening bracket) is a crop name as typed: every crop prefix gives its SQL, the tool ends
// normally.
TEST(QmtoolTemplate, MalformedCropBracketsAreAName) {
  QTemporaryDir tmp;
  const QString db = tmp.filePath("db");
  ToolRun b = BuildSampleRegister(db);
  ASSERT_EQ(b.code, 0) << b.err;
  const QString tpl = tmp.filePath("crop.tpl");
  Write(tpl, "<pre>#template {\r\nselect <:sakumotsu> as a, [:sakumotsu] as b, <_sakumotsu> as c, <#sakumotsu> as d\r\n}</pre>");
  const struct {
    const char* typed;
    std::string sql;
  } cases[] = {
      {"x栽培)", "select '、(x栽培\\))、' as a, '、(x栽培\\))、' as b, 'x栽培)' as c, x栽培） as d"},
      {"x栽培）", "select '、(x栽培\\))、' as a, '、(x栽培\\))、' as b, 'x栽培)' as c, x栽培） as d"},
      {"x(y栽培", "select '、(x\\(y栽培)、' as a, '、(x\\(y栽培)、' as b, 'x(y栽培' as c, x（y栽培 as d"},
      {"'なす','x栽培)'", "select '、(なす|x栽培\\))、' as a, '、(なす)、' as b, なす,'x栽培)' as c, なす as d\r\n"
                           "select '、(なす|x栽培\\))、' as a, '、(x栽培\\))、' as b, なす,'x栽培)' as c, なす as d"},
  };
  for (const auto& c : cases) {
    ToolRun r = Qmtool({"template", "--db", db, tpl, "--sakumotsu", QString::fromUtf8(c.typed)});
    ASSERT_EQ(r.code, 0) << c.typed << ": " << r.err;
    EXPECT_EQ(r.out, Modes("20000") + "sql\n" + c.sql + "\n") << c.typed;
  }
}
