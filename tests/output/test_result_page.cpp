// The result page read back by a real HTML parser (Python's html5lib), with hostile cell
// texts, and its parts: style sheet, results.js, product sheet, row classes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "common/test_support.h"
#include "output/default_style_sheets.h"
#include "output/grid_model.h"
#include "output/result_page.h"

namespace {

// What html5lib makes of a page: the encoding it detected from the bytes, its parse errors,
// the head's meta charset, the headings, the update and caution paragraphs (text and <br>
// count), and every table as rows of (class, cell texts).
const char* kParseScript = R"PY(
import html5lib, json, sys
from html5lib import treebuilders
data = open(sys.argv[1], 'rb').read()
p = html5lib.HTMLParser(tree=treebuilders.getTreeBuilder('etree'), namespaceHTMLElements=False)
doc = p.parse(data)
def text(e):
    return ''.join(e.itertext())
out = {'encoding': p.documentEncoding, 'errors': [e[1] for e in p.errors],
       'h1': [text(e) for e in doc.iter('h1')], 'h2': [text(e) for e in doc.iter('h2')],
       'h3': [text(e) for e in doc.iter('h3')], 'scripts': [text(e) for e in doc.iter('script')],
       'styles': [text(e) for e in doc.iter('style')], 'onload': doc.find('body').get('onload'),
       'paras': [{'class': e.get('class'), 'text': text(e), 'br': len(e.findall('br'))} for e in doc.iter('p')],
       'tables': []}
for t in doc.iter('table'):
    rows = []
    for tr in t.iter('tr'):
        rows.append({'class': tr.get('class'), 'cells': [text(c) for c in tr if c.tag in ('td', 'th')],
                     'th': [c.tag == 'th' for c in tr if c.tag in ('td', 'th')]})
    out['tables'].append(rows)
print(json.dumps(out))
)PY";

QJsonObject ParseWithHtml5lib(const std::string& page) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/page.html";
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(page.data(), static_cast<qint64>(page.size()));
  f.close();
  QProcess p;
  p.start("/usr/bin/python3", {"-c", kParseScript, path});
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

std::vector<std::string> Strings(const QJsonValue& v) {
  std::vector<std::string> out;
  for (const auto& x : v.toArray()) out.push_back(x.toString().toStdString());
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

using V = std::vector<std::string>;

// Texts that break a page that forgets to escape.
const V kHostile = {
    "</td></tr></table><script>alert(1)</script>",
    "a & b &amp; <b>bold</b>",
    "\"quoted\" 'single' <!-- comment --> ]]>",
    "  トマト　  ",  // ASCII blanks trimmed, the ideographic blank is a character
    "</body></html><p class=\"update\">fake</p>",
    "\xF0\x9F\x8D\x85 𠮷野家 ～〜－−",
};

}  // namespace

TEST(ResultPage, HostileTextsSurviveARealParser) {
  TGridModel grid;
  grid.Fill({"番号", "農薬の名称", "<th>", "隠し"},
            {{"1", kHostile[0], kHostile[1], "hidden"},
             {"2", kHostile[2], kHostile[3], "hidden"},
             {"3", kHostile[4], kHostile[5], "hidden"}});
  grid.SetColWidth(3, 0);
  TGridModel seibun;
  seibun.Fill({"有効成分", "濃度"}, {{"<i>成分</i>", "10.0%"}, {"a&b", "\"5\""}});
  // The summary grid has no title row: its six rows hold the values in column 1.
  TGridModel seizai;
  seizai.Fill({"種類名", "殺菌剤"}, {{"製剤毒性", "普通物 & <劇物>"}, {"登録日", "2020/01/01"}, {"略称", "\"略\""},
                                    {"剤型", "水和剤"}, {"用途", "</table>"}});
  const TResultPageProduct product = ResultPageProduct("  1234 <img src=x onerror=alert(1)>水和剤", seizai, &seibun,
                                                       "line1 <b>\r\nline2 &\nline3");
  TResultPageSource src;
  src.Grid = &grid;
  src.UpdateText = "2026年11月4日反映 <script>x</script> & \"q\"";
  src.Product = &product;
  TResultPage page = BuildResultPage(src, "", sskExcel, {"", ""});
  ASSERT_TRUE(page.Ok) << page.Error;

  QJsonObject doc = ParseWithHtml5lib(page.Page);
  // Encoding found from the page's own meta element; no parse error in the whole page.
  EXPECT_EQ(doc["encoding"].toString(), "utf-8");
  EXPECT_EQ(Strings(doc["errors"]), V{});
  EXPECT_EQ(Strings(doc["scripts"]), V{});
  EXPECT_TRUE(doc["onload"].isNull());
  EXPECT_EQ(Strings(doc["h1"]), V{"農薬登録情報検索結果"});
  EXPECT_EQ(Strings(doc["h2"]), V{product.Name});
  EXPECT_EQ(Strings(doc["h3"]), (V{"剤の概要", "有効成分", "水産動植物への影響に係る使用上の注意事項"}));
  QJsonArray paras = doc["paras"].toArray();
  ASSERT_EQ(paras.size(), 2);
  EXPECT_EQ(paras[0].toObject()["class"].toString(), "update");
  EXPECT_EQ(paras[0].toObject()["text"].toString().toStdString(), src.UpdateText);
  EXPECT_EQ(paras[1].toObject()["class"].toString(), "suisan");
  EXPECT_EQ(paras[1].toObject()["text"].toString().toStdString(), "line1 <b>line2 &line3");
  EXPECT_EQ(paras[1].toObject()["br"].toInt(), 2);

  QJsonArray tables = doc["tables"].toArray();
  ASSERT_EQ(tables.size(), 3);
  // Product summary: label and cell per row, cells as they stand.
  QJsonArray summary = tables[0].toArray();
  ASSERT_EQ(summary.size(), 6);
  EXPECT_EQ(Strings(summary[1].toObject()["cells"]), (V{"製剤毒性", "普通物 & <劇物>"}));
  EXPECT_EQ(Strings(summary[5].toObject()["cells"]), (V{"用途", "</table>"}));
  // Ingredients: every data row "odd".
  QJsonArray ing = tables[1].toArray();
  ASSERT_EQ(ing.size(), 3);
  EXPECT_EQ(ing[0].toObject()["class"].toString(), "header");
  EXPECT_EQ(Strings(ing[1].toObject()["cells"]), (V{"<i>成分</i>", "10.0%"}));
  EXPECT_EQ(ing[1].toObject()["class"].toString(), "odd");
  EXPECT_EQ(ing[2].toObject()["class"].toString(), "odd");
  EXPECT_EQ(Strings(ing[2].toObject()["cells"]), (V{"a&b", "\"5\""}));
  // Result table: titles as th, hidden column absent, texts trimmed of ASCII blanks only.
  QJsonArray rows = tables[2].toArray();
  ASSERT_EQ(rows.size(), 4);
  EXPECT_EQ(Strings(rows[0].toObject()["cells"]), (V{"番号", "農薬の名称", "<th>"}));
  EXPECT_EQ(rows[0].toObject()["th"].toArray()[0].toBool(), true);
  EXPECT_EQ(Strings(rows[1].toObject()["cells"]), (V{"1", kHostile[0], kHostile[1]}));
  EXPECT_EQ(Strings(rows[2].toObject()["cells"]), (V{"2", kHostile[2], "トマト　"}));
  EXPECT_EQ(Strings(rows[3].toObject()["cells"]), (V{"3", kHostile[4], kHostile[5]}));
  EXPECT_EQ(rows[1].toObject()["class"].toString(), "odd");
  EXPECT_EQ(rows[2].toObject()["class"].toString(), "even");
  EXPECT_EQ(rows[3].toObject()["class"].toString(), "odd");

  // The page is the head, the body out-value and "</html>".
  EXPECT_EQ(page.Page.substr(page.Page.size() - page.Body.size() - 7), page.Body + "</html>");
  EXPECT_EQ(page.Body.rfind("<body>\r\n", 0), 0u);
  EXPECT_NE(page.Page.find(kPageMetaCharset), std::string::npos);
  EXPECT_EQ(page.Page.rfind("<!DOCTYPE HTML>\r\n<html lang=\"ja\">\r\n<head>\r\n", 0), 0u);
}

TEST(ResultPage, RowClassesNeighboursAndTitleOnlyGrid) {
  TGridModel grid;
  grid.Fill({"作物名", "農薬の名称"}, {{"トマト", "A"}, {"ミニトマト", "B"}, {"トマト", "C"}});
  grid.SetRowFlags(2, grfNeighbour);
  TResultPageSource src;
  src.Grid = &grid;
  src.GridWindow = true;
  for (bool mark : {false, true}) {
    src.MarkNeighbours = mark;
    TResultPage page = BuildResultPage(src, "", sskExcel, {"", ""});
    QJsonObject doc = ParseWithHtml5lib(page.Page);
    QJsonArray rows = doc["tables"].toArray()[0].toArray();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1].toObject()["class"].toString(), "odd");
    EXPECT_EQ(rows[2].toObject()["class"].toString(), mark ? "neighbors" : "even");
    EXPECT_EQ(rows[3].toObject()["class"].toString(), "odd");
    // The grid window's page has no doctype: that is its only parse complaint.
    EXPECT_EQ(Strings(doc["errors"]), V{"expected-doctype-but-got-start-tag"});
    EXPECT_EQ(page.Page.rfind("<html>\r\n<head>\r\n", 0), 0u);
  }
  TGridModel titles;
  titles.Fill({"番号", "農薬の名称"}, {});
  src.Grid = &titles;
  QJsonObject doc = ParseWithHtml5lib(BuildResultPage(src, "", sskExcel, {"", ""}).Page);
  QJsonArray rows = doc["tables"].toArray()[0].toArray();
  ASSERT_EQ(rows.size(), 1);
  EXPECT_EQ(rows[0].toObject()["class"].toString(), "header");
}

TEST(ResultPage, StyleSheetResolvedInItsFolderAndResultsScriptByKind) {
  QTemporaryDir dir;
  const std::string css = dir.path().toStdString() + "/css";
  const std::string tpl = dir.path().toStdString() + "/Template";
  QDir().mkpath(QString::fromStdString(css));
  QDir().mkpath(QString::fromStdString(tpl));
  WriteFile(css + "/standard.css", "td { color: red; }\ntd.x { color: blue; }\n");
  // A style sheet saved in Shift-JIS: "/* 表 */".
  WriteFile(css + "/sjis.css", std::string("/* \x95\x5C */\r\nth { color: green; }\r\n"));
  TGridModel grid;
  grid.Fill({"a"}, {{"1"}});
  TResultPageSource src;
  src.Grid = &grid;
  const TResultPageFolders folders{css, tpl};

  // A bare name is found in the style-sheet folder whatever the current folder is.
  TResultPage p = BuildResultPage(src, "standard.css", sskExcel, folders);
  ASSERT_TRUE(p.Ok) << p.Error;
  EXPECT_NE(p.Page.find("<!--\r\ntd { color: red; }\r\ntd.x { color: blue; }\r\n-->\r\n"), std::string::npos);
  EXPECT_EQ(p.Page.find(kBuiltInTableRule), std::string::npos);
  // An absolute path that moved: the same name in the folder; an absolute path that exists.
  EXPECT_EQ(ResolveCssFile("/nowhere/old/standard.css", css), css + "/standard.css");
  EXPECT_EQ(ResolveCssFile("C:\\Quillmar\\css\\standard.css", css), css + "/standard.css");
  EXPECT_EQ(ResolveCssFile(css + "/sjis.css", "/elsewhere"), css + "/sjis.css");
  EXPECT_EQ(ResolveCssFile("", css), "");
  p = BuildResultPage(src, css + "/sjis.css", sskExcel, folders);
  QJsonObject doc = ParseWithHtml5lib(p.Page);
  EXPECT_EQ(Strings(doc["styles"]), V{"\n<!--\n/* 表 */\nth { color: green; }\n-->\n"});
  // A missing file: the built-in rule.
  p = BuildResultPage(src, "missing.css", sskExcel, folders);
  ASSERT_TRUE(p.Ok);
  EXPECT_NE(p.Page.find(std::string(kBuiltInTableRule) + "\r\n-->"), std::string::npos);
  EXPECT_TRUE(p.Head.empty());
  // A folder of that name is no style sheet: the built-in rule.
  QDir().mkpath(QString::fromStdString(css + "/folder.css"));
  EXPECT_NE(BuildResultPage(src, "folder.css", sskExcel, folders).Page.find(kBuiltInTableRule), std::string::npos);
  // A file that exists but cannot be read fails the page with a reason.
  p = BuildResultPage(src, "/proc/self/mem", sskExcel, folders);
  EXPECT_FALSE(p.Ok);
  EXPECT_NE(p.Error.find("/proc/self/mem"), std::string::npos);
  EXPECT_TRUE(p.Page.empty());

  // Without results.js no onload, whatever the kind.
  for (TSpreadSheetKind k : {sskExcel, sskCalc, sskKingsoft, sskJustCalc})
    EXPECT_EQ(BuildResultPage(src, "", k, folders).Body.rfind("<body>\r\n", 0), 0u);
  WriteFile(tpl + "/results.js", "function results(kind) {\n  return kind < 2 && true;\n}\n");
  const std::pair<TSpreadSheetKind, const char*> kinds[] = {
      {sskExcel, "results()"}, {sskCalc, "results('libre')"}, {sskKingsoft, "results()"}, {sskJustCalc, "results('just')"}};
  for (const auto& [k, call] : kinds) {
    p = BuildResultPage(src, "", k, folders);
    doc = ParseWithHtml5lib(p.Page);
    EXPECT_EQ(doc["onload"].toString().toStdString(), call);
    EXPECT_EQ(Strings(doc["scripts"]), V{"\nfunction results(kind) {\n  return kind < 2 && true;\n}\n"});
    EXPECT_EQ(p.Head, "<script type=\"text/javascript\">\r\nfunction results(kind) {\r\n  return kind < 2 && true;\r\n}\r\n</script>");
    EXPECT_NE(p.Page.find(p.Head + "\r\n</head>\r\n"), std::string::npos);
  }
}

// The style sheets a new program folder gets: written into a folder without sheets, never over
// sheets of the user's; the standard page then carries them.
TEST(ResultPage, DefaultStyleSheetsOnlyInAFolderWithoutSheets) {
  QTemporaryDir dir;
  const std::string css = dir.path().toStdString() + "/css";
  ASSERT_TRUE(EnsureDefaultStyleSheets(css));
  for (const TDefaultStyleSheet& s : DefaultStyleSheets()) {
    QFile f(QString::fromStdString(css) + "/" + s.Name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << s.Name;
    EXPECT_EQ(f.readAll().toStdString(), s.Text);
  }
  TGridModel grid;
  grid.Fill({"a"}, {{"1"}});
  TResultPageSource src;
  src.Grid = &grid;
  const TResultPage p = BuildResultPage(src, "standard.css", sskExcel, TResultPageFolders{css, css});
  ASSERT_TRUE(p.Ok);
  EXPECT_NE(p.Page.find("white-space: nowrap"), std::string::npos);
  EXPECT_EQ(p.Page.find(kBuiltInTableRule), std::string::npos);

  // The user's own sheets stay as they are and nothing is added beside them.
  QDir(QString::fromStdString(css)).removeRecursively();
  QDir().mkpath(QString::fromStdString(css));
  WriteFile(css + "/mine.css", "td { color: red; }\n");
  ASSERT_TRUE(EnsureDefaultStyleSheets(css));
  EXPECT_EQ(QDir(QString::fromStdString(css)).entryList({"*.css"}, QDir::Files), QStringList{"mine.css"});
  EXPECT_FALSE(EnsureDefaultStyleSheets(""));
}

TEST(ResultPage, RebuiltWithAnotherStyleSheetKeepsBodyAndHead) {
  TGridModel grid;
  grid.Fill({"a", "b"}, {{"<1>", "&2"}});
  TResultPageSource src;
  src.Grid = &grid;
  TResultPage p = BuildResultPage(src, "", sskExcel, {"", ""});
  const std::string head = "<script type=\"text/javascript\">\r\nvar x = 1;\r\n</script>";
  const std::string page = PageWithStyleSheet("td { color: red; }\n", head, p.Body);
  EXPECT_EQ(page, "<html>\r\n<head>\r\n" + std::string(kPageMetaCharset) +
                      "\r\n<style type=\"text/css\">\r\n<!--\r\ntd { color: red; }\r\n-->\r\n</style>\r\n" + head +
                      "\r\n</head>\r\n" + p.Body + "</html>");
  QJsonObject doc = ParseWithHtml5lib(page);
  EXPECT_EQ(doc["encoding"].toString(), "utf-8");
  EXPECT_EQ(Strings(doc["tables"].toArray()[0].toArray()[1].toObject()["cells"]), (V{"<1>", "&2"}));
}
