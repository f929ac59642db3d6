// The drawn print's reading of a page: headings, paragraphs and table rows with their texts as
// shown (references, line breaks, markup in cells), title and neighbour rows, and nothing of
// the head or of scripts.
#include <gtest/gtest.h>

#include "output/drawn_page_print.h"

TEST(DrawnPagePrint, ReadsThePageAsShown) {
  const std::string html =
      "<!DOCTYPE HTML>\r\n<html lang=\"ja\">\r\n<head>\r\n<title>x</title><style type=\"text/css\">\r\n<!--\r\n"
      "th { color: red; }\r\n-->\r\n</style>\r\n<script>var a = '<td>no</td>';</script>\r\n</head>\r\n"
      "<body onload=\"results()\">\r\n<h1>農薬登録情報検索結果</h1>\r\n<p class=\"update\">2026年11月4日反映</p>\r\n"
      "<!-- <table><tr><td>comment</td></tr></table> -->\r\n"
      "<table border=\"1\">\r\n<tr class=\"header\">\r\n\t<th>番号</th>\r\n\t<th>農薬の&lt;名称&gt;</th>\r\n</tr>\r\n"
      "<tr class=\"even\">\r\n\t<td>1</td>\r\n\t<td>A &amp; B&#x3042;&#12354;</td>\r\n</tr>\r\n"
      "<tr class=\"neighbors\">\r\n\t<td>2</td>\r\n\t<td><a href=\"x\">line</a><br>next</td>\r\n</tr>\r\n"
      "<tr class=\"odd\">\r\n\t<td></td>\r\n\t<td>  many   blanks  </td>\r\n</tr>\r\n</table>\r\n"
      "<h3>有効成分</h3>\r\n<p class=\"suisan\">一行目<br>二行目</p>\r\n</body>\r\n</html>";
  const TDrawnPage page = ReadDrawnPage(html);
  ASSERT_EQ(page.Blocks.size(), 5u);
  EXPECT_EQ(page.Blocks[0].Kind, TDrawnBlock::Heading);
  EXPECT_EQ(page.Blocks[0].Level, 1);
  EXPECT_EQ(page.Blocks[0].Text, "農薬登録情報検索結果");
  EXPECT_EQ(page.Blocks[1].Kind, TDrawnBlock::Paragraph);
  EXPECT_EQ(page.Blocks[1].Text, "2026年11月4日反映");
  const TDrawnBlock& t = page.Blocks[2];
  ASSERT_EQ(t.Kind, TDrawnBlock::Table);
  ASSERT_EQ(t.Rows.size(), 4u);
  EXPECT_TRUE(t.Rows[0].Header);
  EXPECT_EQ(t.Rows[0].Cells, (std::vector<QString>{"番号", "農薬の<名称>"}));
  EXPECT_FALSE(t.Rows[1].Header);
  EXPECT_FALSE(t.Rows[1].Neighbour);
  EXPECT_EQ(t.Rows[1].Cells, (std::vector<QString>{"1", "A & Bああ"}));
  EXPECT_TRUE(t.Rows[2].Neighbour);
  EXPECT_EQ(t.Rows[2].Cells, (std::vector<QString>{"2", "line\nnext"}));
  EXPECT_EQ(t.Rows[3].Cells, (std::vector<QString>{"", "many blanks"}));
  EXPECT_EQ(page.Blocks[3].Kind, TDrawnBlock::Heading);
  EXPECT_EQ(page.Blocks[3].Level, 3);
  EXPECT_EQ(page.Blocks[4].Text, "一行目\n二行目");
  EXPECT_EQ(page.CellCount(), 8u);
}

TEST(DrawnPagePrint, TitleCellsMakeATitleRowWithoutItsClass) {
  const TDrawnPage page = ReadDrawnPage("<table><tr><th>a</th><th>b</th></tr><tr><td>1</td><td>2</td></tr></table>");
  ASSERT_EQ(page.Blocks.size(), 1u);
  ASSERT_EQ(page.Blocks[0].Rows.size(), 2u);
  EXPECT_TRUE(page.Blocks[0].Rows[0].Header);
  EXPECT_FALSE(page.Blocks[0].Rows[1].Header);
}
