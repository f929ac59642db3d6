// Clipboard text, CSV (read back by Python's csv module) and the HTML table of the grid.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include "foundation/message_sink.h"
#include "output/cp932_codec.h"
#include "output/grid_export.h"
#include "output/xls_string_grid.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
using V = std::vector<std::string>;
using Table = std::vector<V>;

// Rows as Python's csv module reads the file.
Table PythonCsv(const QString& path, const char* encoding) {
  QProcess p;
  p.start("/usr/bin/python3",
          {"-c",
           "import csv,sys,json\n"
           "with open(sys.argv[1], encoding=sys.argv[2], newline='') as f:\n"
           "    print(json.dumps(list(csv.reader(f))))\n",
           path, encoding});
  EXPECT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  Table t;
  for (const auto& row : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
    V r;
    for (const auto& c : row.toArray()) r.push_back(c.toString().toStdString());
    t.push_back(r);
  }
  return t;
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void FillSample(TXlsStringGrid& g) {
  g.Fill({"番号", "農薬の名称", "備考", "隠し"},
         {{"1", "ボルドー, 水和剤", "say \"hi\"", "h1"},
          {"2", "  石灰硫黄合剤 ", "1行目\r\n2行目", "h2"},
          {"3", "〜トマト−", "cr\ronly,lf\nonly", "h3"}});
}

}  // namespace

TEST(GridClipboard, TabCrLfTextWithHiddenColumnsAndCodes) {
  TXlsStringGrid g;
  FillSample(g);
  g.SetColWidths(2, 0);
  ASSERT_EQ(g.CopyClipboard(), 1);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            "番号\t農薬の名称\t隠し\t\r\n"
            "1\tボルドー, 水和剤\th1\t\r\n"
            "2\t石灰硫黄合剤\th2\t\r\n"
            "3\t〜トマト−\th3\t\r\n");
  // Without the title row, from a start column.
  g.ColumnName = false;
  g.StartData = 1;
  g.SetColWidths(3, -1);
  ASSERT_EQ(g.CopyClipboard(), 1);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            "ボルドー, 水和剤\t\r\n石灰硫黄合剤\t\r\n〜トマト−\t\r\n");

  // Too large: the text before the refused cell is copied, the message shown once.
  std::string text;
  EXPECT_EQ(BuildClipboardText(g.Model(), true, 0, text, 12), -3);
  EXPECT_EQ(text, "番号\t");
  Sink().Clear();
  g.ClipboardLimit = 20;
  EXPECT_EQ(g.CopyClipboard(), -3);
  EXPECT_EQ(Sink().Count(), 1u);

  // Only a title row: 2, clipboard untouched.
  QApplication::clipboard()->setText("before");
  TXlsStringGrid empty;
  empty.Fill({"番号"}, {});
  Sink().Clear();
  EXPECT_EQ(empty.CopyClipboard(), 2);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
  ASSERT_EQ(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Messages()[0].text, "グリッド内に、コピーするデータがありません。");
}

TEST(GridCsv, PythonReadsBackCommasQuotesLineBreaksAndJapanese) {
  QTemporaryDir dir;
  TXlsStringGrid g;
  FillSample(g);
  const Table expected = {{"番号", "農薬の名称", "備考", "隠し"},
                          {"1", "ボルドー, 水和剤", "say \"hi\"", "h1"},
                          {"2", "石灰硫黄合剤", "1行目\r\n2行目", "h2"},
                          {"3", "〜トマト−", "cr\ronly,lf\nonly", "h3"}};
  // Shift-JIS, as the outside programs expect it.
  g.CSVFileName = dir.filePath("sjis.csv").toStdString();
  ASSERT_EQ(g.SetCommaText(), 0);
  Table got = PythonCsv(dir.filePath("sjis.csv"), "cp932");
  ASSERT_EQ(got.size(), expected.size());
  for (size_t r = 0; r < expected.size(); ++r) {
    if (r == 3) {
      // 〜 and − come back as CP932's own forms of those bytes.
      EXPECT_EQ(got[r][0], "3");
      EXPECT_EQ(got[r][2], expected[r][2]);
      continue;
    }
    EXPECT_EQ(got[r], expected[r]) << "row " << r;
  }
  EXPECT_TRUE(ReadFile(dir.filePath("sjis.csv")).startsWith(QByteArray("\x94\xd4\x8d\x86,")));  // 番号,

  // UTF-8 on request: everything exact.
  g.CSVFileName = dir.filePath("utf8.csv").toStdString();
  g.CSVUtf8 = true;
  ASSERT_EQ(g.SetCommaText(), 0);
  EXPECT_EQ(PythonCsv(dir.filePath("utf8.csv"), "utf-8"), expected);

  // Hidden columns are left out; a line whose last grid column is hidden ends with a comma
  // (one empty field), and CSVEndComma adds one more.  A hidden column inside the line leaves
  // no empty field.
  g.SetColWidths(3, 0);
  g.SetColWidths(2, 0);
  ASSERT_EQ(g.SetCommaText(), 0);
  EXPECT_EQ(PythonCsv(dir.filePath("utf8.csv"), "utf-8")[1], (V{"1", "ボルドー, 水和剤", ""}));
  EXPECT_TRUE(ReadFile(dir.filePath("utf8.csv")).startsWith("番号,農薬の名称,\r\n"));
  g.CSVEndComma = true;
  ASSERT_EQ(g.SetCommaText(), 0);
  EXPECT_EQ(PythonCsv(dir.filePath("utf8.csv"), "utf-8")[1], (V{"1", "ボルドー, 水和剤", "", ""}));
  EXPECT_TRUE(ReadFile(dir.filePath("utf8.csv")).startsWith("番号,農薬の名称,,\r\n"));
  g.SetColWidths(3, 50);
  g.CSVEndComma = false;
  ASSERT_EQ(g.SetCommaText(), 0);
  EXPECT_EQ(PythonCsv(dir.filePath("utf8.csv"), "utf-8")[1], (V{"1", "ボルドー, 水和剤", "h1"}));
  EXPECT_TRUE(ReadFile(dir.filePath("utf8.csv")).startsWith("番号,農薬の名称,隠し\r\n"));

  // The comma reader reads our own CSV back.
  g.SetColWidths(2, 50);
  g.SetColWidths(3, 50);
  g.CSVEndComma = false;
  ASSERT_EQ(g.SetCommaText(), 0);
  const std::vector<std::string> fields = ReadCommaFields(BuildCsvText(g.Model(), false));
  ASSERT_EQ(fields.size(), 16u);
  EXPECT_EQ(fields[5], "ボルドー, 水和剤");
  EXPECT_EQ(fields[6], "say \"hi\"");
  EXPECT_EQ(fields[10], "1行目\r\n2行目");
  TXlsStringGrid back;
  back.Fill({"a", "b", "c", "d"}, {});
  back.CSVFileName = dir.filePath("utf8.csv").toStdString();
  ASSERT_EQ(back.GetCommaText(), 0);
  EXPECT_EQ(back.RowCount(), 5);
  EXPECT_EQ(back.Cells(2, 3), "1行目\r\n2行目");
  // A Shift-JIS file is read through CP932.
  back.CSVFileName = dir.filePath("sjis.csv").toStdString();
  ASSERT_EQ(back.GetCommaText(), 0);
  EXPECT_EQ(back.Cells(1, 2), "ボルドー, 水和剤");
  EXPECT_EQ(back.Cells(2, 3), "1行目\r\n2行目");
  back.CSVFileName = dir.filePath("missing.csv").toStdString();
  EXPECT_EQ(back.GetCommaText(), -1);
}

TEST(GridCsv, CharactersShiftJisLacksAreReportedAndNothingIsReplaced) {
  QTemporaryDir dir;
  const QString path = dir.filePath("out.csv");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
  }
  TXlsStringGrid g;
  g.Fill({"番号", "名称"}, {{"1", "トマト"}, {"2", "雪だるま☃"}});
  g.CSVFileName = path.toStdString();
  Sink().Clear();
  EXPECT_EQ(g.SetCommaText(), -2);
  EXPECT_EQ(ReadFile(path), QByteArray("old"));
  ASSERT_EQ(Sink().Count(), 1u);
  const std::string msg = Sink().Messages()[0].text;
  EXPECT_NE(msg.find("3 行目 2 列目"), std::string::npos) << msg;
  EXPECT_NE(msg.find("U+2603"), std::string::npos) << msg;
  // No file name: -1 with the grid's message; an unwritable place: -3.
  g.CSVFileName.clear();
  EXPECT_EQ(g.SetCommaText(), -1);
  g.CSVFileName = dir.filePath("no/such/dir/x.csv").toStdString();
  g.SetCells(1, 2, "x");
  EXPECT_EQ(g.SetCommaText(), -3);
  // The conversion itself: 〜 (U+301C) has a CP932 form; the snowman does not.
  std::string out;
  EXPECT_TRUE(Utf8ToCp932("〜", out).Ok);
  EXPECT_EQ(out, "\x81\x60");
  out.clear();
  TCp932Result r = Utf8ToCp932("ab\xE2\x98\x83", out);
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.BadOffset, 2u);
  EXPECT_EQ(out, "ab");
  EXPECT_EQ(Cp932ToUtf8("\x94\xd4\x8d\x86"), "番号");
}

TEST(GridHtml, TableWithRowClassesHiddenColumnsAndEscapedText) {
  QTemporaryDir dir;
  TXlsStringGrid g;
  g.Fill({"番号", "名称", "隠し"}, {{"1", "<b>&"}, {"2", " x "}});
  g.SetColWidths(2, 0);
  g.HTMLFileName = dir.filePath("t.html").toStdString();
  ASSERT_EQ(g.SetHTML(), 0);
  const QByteArray html = ReadFile(dir.filePath("t.html"));
  EXPECT_EQ(html.toStdString(),
            "\xEF\xBB\xBF<html>\r\n"
            "<link rel=\"stylesheet\" href=\"actable.css\" type=\"text/css\" >\r\n"
            "<head></head>\r\n<body>\r\n"
            "<table border=\"1\" style=\"border-collapse: collapse;\">\r\n"
            "<tr class=\"header\">\r\n\t<th>番号</th>\r\n\t<th>名称</th>\r\n</tr>\r\n"
            "<tr class=\"odd\">\r\n\t<td>1</td>\r\n\t<td>&lt;b&gt;&amp;</td>\r\n</tr>\r\n"
            "<tr class=\"even\">\r\n\t<td>2</td>\r\n\t<td>x</td>\r\n</tr>\r\n"
            "</table>\r\n</body>\r\n</html>\r\n");
  g.HTMLFileName.clear();
  EXPECT_EQ(g.SetHTML(), -1);
}
