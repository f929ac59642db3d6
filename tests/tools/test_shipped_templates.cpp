// The templates the program ships for the template tab (data/templates, laid into the template
// folder by the run script): each expands with its own defaults, runs on the sample register
// without an SQL error and finds uses, and a quote typed into an argument stays inside its
// string literal.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "support_qmtool_process.h"

namespace {

using qmtool_process::BuildSampleRegister;
using qmtool_process::Qmtool;
using qmtool_process::ToolRun;

// The SQL part of "qmtool template" output (after the line "sql").
std::string SqlOf(const std::string& out) {
  const size_t at = out.find("\nsql\n");
  return at == std::string::npos ? std::string() : out.substr(at + 5);
}

size_t Lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace

TEST(ShippedTemplates, ExpandWithTheirDefaultsAndFindUsesOnTheSampleRegister) {
  QTemporaryDir tmp;
  const QString db = tmp.filePath("db");
  ToolRun b = BuildSampleRegister(db);
  ASSERT_EQ(b.code, 0) << b.err;

  const QDir dir(QString::fromStdString(SourcePath("data/templates")));
  const QStringList files = dir.entryList({"*.tpl"}, QDir::Files);
  ASSERT_GE(files.size(), 2);
  for (const QString& f : files) {
    const QString tpl = dir.filePath(f);
    ToolRun t = Qmtool({"template", "--db", db, tpl});
    ASSERT_EQ(t.code, 0) << f.toStdString() << ": " << t.out << t.err;
    const std::string sql = SqlOf(t.out);
    ASSERT_FALSE(sql.empty()) << f.toStdString();
    EXPECT_EQ(sql.find("<sakumotsu"), std::string::npos) << sql;  // every required argument filled
    ToolRun q = Qmtool({"sql", "--db", db, QString::fromStdString(sql)});
    ASSERT_EQ(q.code, 0) << f.toStdString() << ": " << q.err;
    EXPECT_GE(Lines(q.out), 2u) << f.toStdString() << ": no use found\n" << sql;  // header and a row

    // A crop typed with a quote stays a value.
    ToolRun h = Qmtool({"template", "--db", db, tpl, "--sakumotsu", "トマト'); DROP TABLE m_kihon; --"});
    ASSERT_EQ(h.code, 0);
    ToolRun hq = Qmtool({"sql", "--db", db, QString::fromStdString(SqlOf(h.out))});
    EXPECT_EQ(hq.code, 0) << hq.err;
    EXPECT_EQ(Qmtool({"sql", "--db", db, "SELECT count(*) > 0 FROM m_kihon"}).out, "count(*) > 0\n1\n");
  }

  // Several crops, typed with commas or blanks or written by the crop picker, find the uses of
  // every one of them: the rows of the same query with one IN item per crop.
  const QString uses = dir.filePath("作物と用途の農薬.tpl");
  const ToolRun direct = Qmtool({"sql", "--db", db,
                                 "SELECT DISTINCT bango, tsusho, meisho, yoto, zaikei, sakumotsu FROM tekiyo "
                                 "WHERE sakumotsu IN ('トマト','なす') AND yoto IN ('殺虫剤') ORDER BY bango, sakumotsu"});
  ASSERT_EQ(direct.code, 0) << direct.err;
  ASSERT_NE(direct.out.find("\tトマト\n"), std::string::npos) << direct.out;
  ASSERT_NE(direct.out.find("\tなす\n"), std::string::npos) << direct.out;
  for (const char* crops : {"トマト,なす", "トマト なす", "'トマト,なす'", "'トマト','なす'"}) {
    ToolRun t = Qmtool({"template", "--db", db, uses, "--sakumotsu", crops, "--yoto", "殺虫剤"});
    ASSERT_EQ(t.code, 0) << t.err;
    ToolRun q = Qmtool({"sql", "--db", db, QString::fromStdString(SqlOf(t.out))});
    EXPECT_EQ(q.out, direct.out) << crops << "\n" << SqlOf(t.out);
  }
}
