// The SQL template language: body extraction, argument modes, defaults, list lines with every
// prefix, the angle pass, the required-argument check and the argument files. Templates are
// written here as the template folder holds them (HTML pages, CR LF or LF line ends).
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "database/perl_regex.h"
#include "database/sql_template.h"
#include "foundation/message_sink.h"
#include "output/cp932_codec.h"

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

std::string Page(const std::string& body, const std::string& defaults = {}) {
  std::string html = "<html><body><h1>テスト</h1>\r\n<pre>\r\n#template {\r\n" + body + "\r\n}\r\n";
  if (!defaults.empty()) html += "#default {\r\n" + defaults + "\r\n}\r\n";
  return html + "</pre></body></html>\r\n";
}

// Builds with the given box texts (every panel of a used argument shown, as the page does).
struct TBuild {
  TSqlTemplate Tpl;
  TTemplateArgValues Boxes;
  std::string Html;
  explicit TBuild(std::string html) : Html(std::move(html)) { Tpl.SetupTemplateArgs(Html, Boxes); }
  TBuild& Set(int arg, const std::string& text) {
    Boxes.Texts[arg] = text;
    return *this;
  }
  std::string Sql() { return Tpl.BuildTemplateSql(Html, Boxes, nullptr); }
};

std::string LastMessage() {
  const auto m = Sink().Messages();
  return m.empty() ? std::string() : m.back().text;
}

}  // namespace

TEST(TemplateEngine, BodyExtractionDropsBlankLinesTrailingBlanksAndTheIndent) {
  TSqlTemplate t;
  // The body ends at the first "}"; leading blank lines and line-end blanks go; the indent of
  // the first line is taken off every line that has it (not off the one that has less).
  t.ExtractTemplateBody("x #Template {\r\n\r\n    select *  \r\n      from m_kihon\t\r\n\r\n  where 1\r\n    }  }");
  EXPECT_EQ(t.TemplateText, "select *\r\n  from m_kihon\r\n  where 1");
  // LF-only files (written on this platform) give the same lines.
  t.ExtractTemplateBody("#template {\n\n    select *\n      from m_kihon\n}");
  EXPECT_EQ(t.TemplateText, "select *\r\n  from m_kihon");
  t.ExtractTemplateBody("<p>no block here</p>");
  EXPECT_EQ(t.TemplateText, "");
}

TEST(TemplateEngine, ModesPanelsAndDefaults) {
  const std::string html = Page(
      "select * from tekiyo where sakumotsu in ([sakumotsu])\r\n"
      "-- and byochu regexp <%byochu>\r\n"
      "and yoto = <Yoto>",
      "sakumotsu = \"トマト,なす\"\r\n"
      "byochu =\r\n"
      "  うどんこ病\r\n"
      "yoto = 'it''s'\r\n"
      "zaikei = 粉剤");
  TTemplateArgValues boxes;
  boxes.Texts[taZaikei] = "kept";  // an unused argument keeps its box
  boxes.Texts[taSonota] = "kept too";
  TSqlTemplate t;
  t.SetupTemplateArgs(html, boxes);
  EXPECT_EQ(t.Modes, (std::array<int, 5>{2, 1, 2, 0, 0}));
  EXPECT_EQ(boxes.Panels, (std::array<bool, 5>{true, true, true, false, false}));
  EXPECT_TRUE(boxes.Spacer);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "トマト,なす");
  EXPECT_EQ(boxes.Texts[taByochu], "うどんこ病");  // "name =" then a line break: the next line
  EXPECT_EQ(boxes.Texts[taYoto], "it's");
  EXPECT_EQ(boxes.Texts[taZaikei], "kept");
  EXPECT_EQ(boxes.Texts[taSonota], "kept too");

  // A page without a template shows no panel; a used argument without a default is cleared.
  t.SetupTemplateArgs("<html>help</html>", boxes);
  EXPECT_EQ(boxes.Panels, (std::array<bool, 5>{}));
  EXPECT_FALSE(boxes.Spacer);
  t.SetupTemplateArgs(Page("select <sonota>"), boxes);
  EXPECT_EQ(boxes.Texts[taSonota], "");
  EXPECT_TRUE(boxes.Panels[taSonota]);
}

// A defaults block indented like the SQL in a <pre> of the page: every line counts, not only
// the first, and a value continued on the next line after "=" still reads.
TEST(TemplateEngine, IndentedDefaultsGiveEveryValue) {
  const std::string html =
      "<html><body><pre>\r\n"
      "    #template {\r\n"
      "        select * from tekiyo\r\n"
      "        where sakumotsu in (<sakumotsu>) and byochu in (<byochu>)\r\n"
      "        -- and yoto = <yoto>\r\n"
      "        -- and zaikei = <zaikei>\r\n"
      "    }\r\n"
      "    #default {\r\n"
      "\r\n"
      "        sakumotsu = \"トマト,なす\"\r\n"
      "        byochu = 'うどんこ病'\r\n"
      "        yoto = 殺虫剤  \r\n"
      "        zaikei =\r\n"
      "        粉剤\r\n"
      "    }\r\n"
      "</pre></body></html>\r\n";
  TTemplateArgValues boxes;
  TSqlTemplate t;
  t.SetupTemplateArgs(html, boxes);
  EXPECT_EQ(t.Modes, (std::array<int, 5>{2, 2, 1, 1, 0}));
  EXPECT_EQ(boxes.Texts, (std::array<std::string, 5>{"トマト,なす", "うどんこ病", "殺虫剤", "粉剤", ""}));
  // The same block with tabs, LF line ends and its first value on the brace's line.
  t.SetupTemplateArgs(
      "#template {\n\tselect <sakumotsu>, <byochu>\n}\n\t#default {\tsakumotsu = 稲\n\tbyochu = いもち病\n\t}\n", boxes);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "稲");
  EXPECT_EQ(boxes.Texts[taByochu], "いもち病");
}

TEST(TemplateEngine, NormalizeArgListKeepsTheFormatRules) {
  const TTemplateArgList l = NormalizeArgList(
      "  SAKUMOTSU  =   'トマト'\r\n"
      "byochu = \"a\"\"b\"\r\n"
      "yoto = ''\r\n"
      "zaikei = \"\"\r\n"
      "sonota = \"unclosed\r\n"
      "other = 'stays quoted'\r\n");
  EXPECT_EQ(l.Value("sakumotsu"), "トマト");
  EXPECT_EQ(l.Value("byochu"), "a\"b");
  EXPECT_EQ(l.Value("yoto"), "''");
  EXPECT_EQ(l.Value("zaikei"), "\"\"");
  EXPECT_EQ(l.Value("sonota"), "\"unclosed");
  EXPECT_EQ(l.Value("other"), "'stays quoted'");
  EXPECT_FALSE(l.Has("missing"));
  // White space before "=" is part of no name; "=" inside a value splits nothing.
  EXPECT_EQ(NormalizeArgList("sonota = a = b").Value("sonota"), "a=b");
}

TEST(TemplateEngine, MissingTemplateAndMissingRequiredArgumentsStopTheBuild) {
  Sink().Clear();
  TBuild none("<html>no template</html>");
  EXPECT_EQ(none.Sql(), "");
  EXPECT_EQ(LastMessage(), "テンプレートがありません");
  EXPECT_EQ(Sink().Messages().back().kind, TMsgKind::Error);

  TBuild b(Page("select <yoto>, <byochu> from x"));
  EXPECT_EQ(b.Sql(), "");
  EXPECT_EQ(LastMessage(), "病害虫名が設定されていません");  // the first in argument order
  b.Set(taByochu, "うどんこ病");
  EXPECT_EQ(b.Sql(), "");
  EXPECT_EQ(LastMessage(), "用途が設定されていません");
  b.Set(taYoto, "殺菌剤");
  EXPECT_EQ(b.Sql(), "select '殺菌剤', 'うどんこ病' from x");
  TBuild crop(Page("select <sakumotsu>"));
  EXPECT_EQ(crop.Sql(), "");
  EXPECT_EQ(LastMessage(), "作物名が設定されていません");
}

TEST(TemplateEngine, OptionalArgumentsUncommentTheirLinesOnlyWhenSet) {
  const std::string body =
      "select * from tekiyo where 1\r\n"
      "-- and sakumotsu in (<sakumotsu>)\r\n"
      "-- and byochu regexp <%byochu>\r\n"
      "-- and sonota = <sonota>";
  TBuild b(Page(body));
  EXPECT_EQ(b.Tpl.Modes, (std::array<int, 5>{1, 1, 0, 0, 1}));
  // Everything empty: the build ends (the prefixed angle pass of an empty value used to
  // repeat for ever) and every optional line stays commented; an empty crop value is not ''.
  EXPECT_EQ(b.Sql(), body);
  b.Set(taSakumotsu, "トマト, なす").Set(taSonota, "x'y");
  EXPECT_EQ(b.Sql(),
            "select * from tekiyo where 1\r\n"
            " and sakumotsu in ('トマト','なす')\r\n"
            "-- and byochu regexp <%byochu>\r\n"
            " and sonota = x'y");
}

TEST(TemplateEngine, ListLinesRepeatPerItemWithEachPrefix) {
  // The use list with the backquote, ending in a comma before FROM.
  TBuild yoto(Page("select bango,\r\n  count(yoto = '[`yoto]') as \"[`yoto]\",\r\nfrom m_kihon"));
  yoto.Set(taYoto, "殺虫剤, 除草剤");
  EXPECT_EQ(yoto.Sql(),
            "select bango,\r\n"
            "  count(yoto = '殺虫剤') as \"殺虫剤\",\r\n"
            "  count(yoto = '除草剤') as \"除草剤\"\r\n"
            "from m_kihon");
  // A value without items removes the line of an optional argument (the comma before FROM
  // goes with it); a required argument without items is not set.
  TBuild optional(Page("select bango,\r\n  -- count(yoto = '[`yoto]'),\r\nfrom m_kihon"));
  EXPECT_EQ(optional.Tpl.Modes[taYoto], 1);
  for (const char* none : {",", "''", " , "}) {
    optional.Set(taYoto, none);
    EXPECT_EQ(optional.Sql(), "select bango\r\nfrom m_kihon") << none;
    Sink().Clear();
    yoto.Set(taYoto, none);
    EXPECT_EQ(yoto.Sql(), "") << none;
    EXPECT_EQ(LastMessage(), "用途が設定されていません") << none;
  }

  // The crop list: typed without quotes it is one item, quoted names are items each. The
  // unprefixed square placeholder becomes the item as an SQL list.
  TBuild crop(Page("select [#sakumotsu] as name, [sakumotsu] as list from x union all\r\nselect 0"));
  crop.Set(taSakumotsu, "トマト,なす");
  EXPECT_EQ(crop.Sql(), "select トマト as name, 'トマト','なす' as list from x union all\r\nselect 0");
  crop.Set(taSakumotsu, "'トマト', 'な''す'");
  EXPECT_EQ(crop.Sql(),
            "select トマト as name, 'トマト' as list from x union all\r\n"
            "select なす as name, 'な''す' as list from x union all\r\n"
            "select 0");

  // The crop-condition prefixes, and several placeholders of one prefix on a line.
  TBuild cond(Page("[=sakumotsu] [=sakumotsu=] [:byochu] [%byochu]"));
  cond.Set(taSakumotsu, "トマト(施設栽培)").Set(taByochu, "'なす,トマト'");
  EXPECT_EQ(cond.Sql(), "'^トマト\\(施設栽培\\)?' '^トマト\\(施設栽培\\)?' [:byochu] [%byochu]");
  TBuild keys(Page("[:byochu]"));
  keys.Set(taByochu, "'なす,トマト'");  // one quoted item holding both names
  EXPECT_EQ(keys.Sql(), "'、(なす|トマト)、'");
  TBuild key(Page("sakumotsu regexp [%sakumotsu]"));
  key.Set(taSakumotsu, "とまと");
  EXPECT_EQ(key.Sql(), "sakumotsu regexp '(^|、|\\()((?<!に)とまと)(\\(.*?(栽培|除く)|\\)|、|等|$)'");

  // The first argument in order drives a line; the others' placeholders stay.
  TBuild two(Page("[`yoto] [`zaikei] [sakumotsu]"));
  two.Set(taSakumotsu, "a").Set(taYoto, "b,c").Set(taZaikei, "d");
  EXPECT_EQ(two.Sql(), "b [`zaikei] [sakumotsu]\r\nc [`zaikei] [sakumotsu]");
  EXPECT_TRUE(LineHasListArg({taYoto, taZaikei}, "x [~ZAIKEI#] y"));
  EXPECT_FALSE(LineHasListArg({taYoto}, "x [yoto] y"));
}

TEST(TemplateEngine, SquarePlaceholderWithoutPrefixAloneStaysButMakesTheArgumentUsed) {
  TBuild b(Page("select * from x where sakumotsu in ([sakumotsu])"));
  EXPECT_EQ(b.Tpl.Modes[taSakumotsu], 2);
  b.Set(taSakumotsu, "トマト");
  EXPECT_EQ(b.Sql(), "select * from x where sakumotsu in ([sakumotsu])");
}

TEST(TemplateEngine, AnglePlaceholdersWithPrefixes) {
  TBuild b(Page("<sonota> <%sonota> <sakumotsu> <`sakumotsu> <#sakumotsu> <`zaikei> <zaikei!> <=BYOCHU>"));
  b.Set(taSonota, "a, b $1 \\1").Set(taSakumotsu, "トマト").Set(taZaikei, "粉剤,粒剤").Set(taByochu, "アブラムシ類");
  // sonota is the raw text (blanks around commas dropped, nothing read as a group
  // reference); its prefixed form stays.
  EXPECT_EQ(b.Sql(), "a,b $1 \\1 <%sonota> 'トマト' 'トマト' トマト 粉剤,粒剤 '粉剤','粒剤' '^アブラムシ類'");
  // A value that brings its placeholder back is not expanded again (no endless pass).
  TBuild loop(Page("<`yoto> <:yoto>"));
  loop.Set(taYoto, "<`yoto>x");
  EXPECT_EQ(loop.Sql(), "<`yoto>x '、(<`yoto>x)、'");
}

TEST(TemplateEngine, ArgumentFilesRoundTripInnerQuotesAndLineBreaks) {
  TTemplateArgValues boxes;
  boxes.Panels = {true, false, true, false, true};
  boxes.Texts = {"'トマト','な\"す'", "hidden", "say \"hi\", it's", "", "line1\r\nline2 = x"};
  const std::vector<std::string> lines = TemplateArgFileLines(boxes);
  EXPECT_EQ(lines, (std::vector<std::string>{"sakumotsu = \"'トマト','な\"\"す'\"", "yoto = \"say \"\"hi\"\", it's\"",
                                              "sonota = \"line1\r\nline2 = x\""}));
  QTemporaryDir dir;
  const std::string file = dir.filePath("set.arg").toStdString();
  ASSERT_TRUE(SaveTextLines(file, lines));
  TTemplateArgValues back;
  back.Panels = boxes.Panels;
  back.Texts[taByochu] = "untouched";
  ASSERT_TRUE(LoadTemplateArgFile(file, back));
  EXPECT_EQ(back.Texts[taSakumotsu], boxes.Texts[taSakumotsu]);
  EXPECT_EQ(back.Texts[taByochu], "untouched");
  EXPECT_EQ(back.Texts[taYoto], boxes.Texts[taYoto]);
  // The "=" inside a value loses its blanks (white space around "=" is the format's).
  EXPECT_EQ(back.Texts[taSonota], "line1\r\nline2=x");

  // '' and "" clear a box; a hidden argument is not touched; names not in the file keep theirs.
  TTemplateArgValues clear;
  clear.Panels = {true, true, false, true, true};
  clear.Texts = {"a", "b", "c", "d", "e"};
  LoadTemplateArgText("sakumotsu = ''\r\nbyochu = \"\"\r\nyoto = x\r\nZAIKEI=z", clear);
  EXPECT_EQ(clear.Texts, (std::array<std::string, 5>{"", "", "c", "z", "e"}));

  // A file written by the Windows program (CP932) reads the same.
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932("sakumotsu = \"トマト\"\r\n", cp932).Ok);
  QFile f(dir.filePath("old.arg"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(cp932.data(), static_cast<qint64>(cp932.size()));
  f.close();
  TTemplateArgValues old;
  old.Panels[taSakumotsu] = true;
  ASSERT_TRUE(LoadTemplateArgFile(f.fileName().toStdString(), old));
  EXPECT_EQ(old.Texts[taSakumotsu], "トマト");
  EXPECT_FALSE(LoadTemplateArgFile(dir.filePath("missing.arg").toStdString(), old));
}

TEST(TemplateEngine, TemplatePagesInCp932DecodeLikeUtf8) {
  const std::string utf8 = Page("select '<`sakumotsu>'");
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932(utf8, cp932).Ok);
  EXPECT_EQ(DecodeTextBytes(cp932), utf8);
  EXPECT_EQ(DecodeTextBytes("\xEF\xBB\xBF" + utf8), utf8);
  TBuild b(DecodeTextBytes(cp932));
  b.Set(taSakumotsu, "なす");
  EXPECT_EQ(b.Sql(), "select ''なす''");
}

// An argument of several names gives one IN item per name, however the names came in: typed
// with commas or blanks, or written by the crop picker as one quoted item.
TEST(TemplateEngine, ListArgumentsGiveOneInItemPerName) {
  TBuild b(Page("select * from tekiyo where sakumotsu in (<sakumotsu>)\r\n"
                "-- and byochu in (<byochu>)\r\n"
                "and yoto in (<yoto>)"));
  b.Set(taYoto, "殺虫剤");
  const std::string head = "select * from tekiyo where sakumotsu in (";
  b.Set(taSakumotsu, "トマト,なす");
  EXPECT_EQ(b.Sql(), head + "'トマト','なす')\r\n-- and byochu in (<byochu>)\r\nand yoto in ('殺虫剤')");
  b.Set(taSakumotsu, "'なす(促成栽培),なす','トマト'").Set(taByochu, "ハダニ類 アブラムシ類");
  EXPECT_EQ(b.Sql(), head +
                         "'なす(促成栽培)','なす','トマト')\r\n"
                         " and byochu in ('ハダニ類','アブラムシ類')\r\n"
                         "and yoto in ('殺虫剤')");

  // In a list line the picker's quoted item is one line, its names an SQL list each.
  TBuild line(Page("select [#sakumotsu], count(*) from tekiyo where sakumotsu in ([sakumotsu])"));
  line.Set(taSakumotsu, "'なす(促成栽培),なす'");
  EXPECT_EQ(line.Sql(), "select なす（促成栽培）, count(*) from tekiyo where sakumotsu in ('なす(促成栽培)','なす')");

  // A prefix other than those with a frame of their own gives the names with optional brackets.
  TBuild slash(Page("where sakumotsu regexp [/sakumotsu]"));
  slash.Set(taSakumotsu, "トマト(露地栽培)");
  EXPECT_EQ(slash.Sql(), "where sakumotsu regexp 'トマト\\(?露地栽培\\)?'");
}

namespace {

// A low match limit on the shared regular-expression object for one test: any pattern that
// backtracks along a long run of blanks fails with an error message.
struct TLowMatchLimit {
  explicit TLowMatchLimit(uint32_t Limit) { SharedRegEx().SetMatchLimit(Limit); }
  ~TLowMatchLimit() { SharedRegEx().SetMatchLimit(0); }
  TLowMatchLimit(const TLowMatchLimit&) = delete;
  TLowMatchLimit& operator=(const TLowMatchLimit&) = delete;
};

}  // namespace

// A long run of blanks in an argument value, a default value or a body line (short of the size
// at which the JIT takes over) is read without backtracking along it: no pattern needs more
// than a few steps per start even with a match limit far below the run's length.
TEST(TemplateEngine, LongRunsOfBlanksAreReadWithoutBacktracking) {
  const std::string blanks(16000, ' ');
  Sink().Clear();
  const TLowMatchLimit limit(1000);

  // One run per text, so that each text stays short of the JIT's size.
  TTemplateArgValues boxes;
  boxes.Panels = {true, false, true, false, false};
  LoadTemplateArgText("sakumotsu = \"トマト" + blanks + "なす\"\r\nyoto = 殺虫剤\r\n", boxes);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "トマト" + blanks + "なす");
  EXPECT_EQ(boxes.Texts[taYoto], "殺虫剤");
  LoadTemplateArgText("sakumotsu = なす\r\nyoto = 殺菌剤" + blanks + "\r\n", boxes);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "なす");
  EXPECT_EQ(boxes.Texts[taYoto], "殺菌剤");

  TSqlTemplate t;
  t.SetupTemplateArgs(Page("select <sakumotsu>", "sakumotsu = 'a" + blanks + "b'"), boxes);
  EXPECT_EQ(t.Modes[taSakumotsu], 2);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "a" + blanks + "b");
  t.SetupTemplateArgs(Page("select <sakumotsu>", "sakumotsu = 'a b'" + blanks), boxes);
  EXPECT_EQ(boxes.Texts[taSakumotsu], "a b");

  t.ExtractTemplateBody(Page("  select 'x" + blanks + "y' from t\r\n  where 1"));
  EXPECT_EQ(t.TemplateText, "select 'x" + blanks + "y' from t\r\nwhere 1");
  t.ExtractTemplateBody(Page("  select 1 from t" + blanks + "\r\n  where 1" + blanks));
  EXPECT_EQ(t.TemplateText, "select 1 from t\r\nwhere 1");
  EXPECT_EQ(Sink().Count(), 0u) << LastMessage().substr(0, 200);
}

// The white space at line ends goes as the multi-line pattern "\s+$" takes it: blank lines
// collapse, the indent of the next line stays, white space inside a line stays.
TEST(TemplateEngine, LineEndWhiteSpaceAndBlankLinesGo) {
  TSqlTemplate t;
  t.ExtractTemplateBody("#template {\r\nselect  1 \t\r\n \r\n\r\n    from x\f\r\n\r\n  where\v 2\t\r\n\r\n}");
  EXPECT_EQ(t.TemplateText, "select  1\r\n    from x\r\n  where\v 2");
  t.ExtractTemplateBody("#template {\n  a  \n\n  b\n}");
  EXPECT_EQ(t.TemplateText, "a\r\nb");
}

// A value is put in once, as it stands: a placeholder, a comment mark or a comma before FROM
// inside a value is data, never template text, whichever argument comes first.
TEST(TemplateEngine, ValuesAreNeverReadAsTemplateText) {
  Sink().Clear();
  TBuild b(Page("select * from t where a IN (<sakumotsu>) AND b IN (<byochu>)"));
  b.Set(taSakumotsu, "<byochu>").Set(taByochu, ")OR(1=1)OR(a=");
  EXPECT_EQ(b.Sql(), "select * from t where a IN ('<byochu>') AND b IN (')OR(1=1)OR(a=')");
  b.Set(taSakumotsu, "<byochu>").Set(taByochu, "x");
  EXPECT_EQ(b.Sql(), "select * from t where a IN ('<byochu>') AND b IN ('x')");

  // Every kind of placeholder inside every kind of value, prefixed or not.
  TBuild all(Page("select <`sakumotsu>, <%byochu>, <yoto>, <`zaikei>, <sonota>\r\n"
                  "-- and c = <`zaikei>"));
  all.Set(taSakumotsu, "<sonota>")
      .Set(taByochu, "<`zaikei>")
      .Set(taYoto, "[`zaikei]")
      .Set(taZaikei, "<yoto> -- <sonota>")
      .Set(taSonota, "1");
  EXPECT_EQ(all.Sql(),
            "select '<sonota>', '(^|、|\\()(<`zaikei>)(\\(.*?(栽培|除く)|\\)|、|等|$)', '[`zaikei]', <yoto> -- <sonota>, 1\r\n"
            " and c = <yoto> -- <sonota>");

  // A comment mark inside an earlier value stays; the template's own one before the
  // placeholder goes.
  TBuild comment(Page("select <`yoto> -- x = <`zaikei>"));
  comment.Set(taYoto, "'a--b'").Set(taZaikei, "z");
  EXPECT_EQ(comment.Sql(), "select 'a--b'  x = z");
  TBuild inValue(Page("select <`yoto>, <`zaikei>"));
  inValue.Set(taYoto, "'a--b'").Set(taZaikei, "z");
  EXPECT_EQ(inValue.Sql(), "select 'a--b', z");

  // List lines: the item of one placeholder is not read for the next, nor by the angle pass.
  TBuild list(Page("select '[`yoto]' as a, [:yoto] as b, <zaikei> as c,\r\nfrom m_kihon"));
  list.Set(taYoto, "'[:yoto] <zaikei>', '--[`yoto]'").Set(taZaikei, "z");
  EXPECT_EQ(list.Sql(),
            "select '[:yoto] <zaikei>' as a, '、(\\[:yoto\\] <zaikei>)、' as b, 'z' as c,\r\n"
            "select '--[`yoto]' as a, '、(--\\[`yoto\\])、' as b, 'z' as c\r\n"
            "from m_kihon");
  EXPECT_EQ(Sink().Count(), 0u) << LastMessage();
}

// A required argument whose value holds no item (separators, quotes or blanks alone) is not
// set, as an empty one; sonota counts as set with any text but white space.
TEST(TemplateEngine, RequiredArgumentsWithoutItemsAreNotSet) {
  TBuild b(Page("select * from t where a IN (<sakumotsu>) and b = <sonota>"));
  for (const char* none : {",", "''", " , ", "' '", "\"\"", "   "}) {
    Sink().Clear();
    b.Set(taSakumotsu, none).Set(taSonota, "1");
    EXPECT_EQ(b.Sql(), "") << none;
    EXPECT_EQ(LastMessage(), "作物名が設定されていません") << none;
  }
  b.Set(taSakumotsu, "トマト").Set(taSonota, " \r\n ");
  EXPECT_EQ(b.Sql(), "");
  EXPECT_EQ(LastMessage(), "その他が設定されていません");
  b.Set(taSonota, "''");
  EXPECT_EQ(b.Sql(), "select * from t where a IN ('トマト') and b = ''");
  EXPECT_TRUE(TSqlTemplate::HasValue(taYoto, "a,"));
  EXPECT_FALSE(TSqlTemplate::HasValue(taYoto, " ,'' "));
  EXPECT_FALSE(TSqlTemplate::HasValue(taSonota, "\t"));

  // An optional argument without items leaves its line commented, prefixed or not.
  TBuild opt(Page("select 1\r\n-- and a IN (<sakumotsu>)\r\n-- and b regexp <%byochu>"));
  opt.Set(taSakumotsu, ",").Set(taByochu, "''");
  EXPECT_EQ(opt.Sql(), "select 1\r\n-- and a IN (<sakumotsu>)\r\n-- and b regexp <%byochu>");
}
