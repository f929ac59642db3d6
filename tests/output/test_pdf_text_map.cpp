// The text maps of a PDF written by Qt: glyphs named by Kangxi radicals are named by their
// ideographs, in both forms of a map's ranges, and the cross-reference table follows the
// change of length.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>

#include "output/pdf_text_map.h"

namespace {

// A PDF as Qt writes one: objects, a ToUnicode map as plain text, the cross-reference table.
QByteArray Pdf(const QByteArray& ranges) {
  QByteArray map =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> <FFFF>\n"
      "endcodespacerange\n2 beginbfrange\n<0000> <0000> <0000>\n" +
      ranges + "\nendbfrange\nendcmap\nend\nend\n";
  QByteArray pdf = "%PDF-1.4\n";
  const qsizetype first = pdf.size();
  pdf += "1 0 obj\n<< /Length " + QByteArray::number(map.size()) + " >>\nstream\n" + map + "\nendstream\nendobj\n";
  const qsizetype second = pdf.size();
  pdf += "2 0 obj\n<< /Type /Catalog >>\nendobj\n";
  const qsizetype xref = pdf.size();
  pdf += "xref\n0 3\n0000000000 65535 f \n" + QByteArray::number(first).rightJustified(10, '0') + " 00000 n \n" +
         QByteArray::number(second).rightJustified(10, '0') + " 00000 n \n";
  pdf += "trailer\n<< /Size 3 /Root 2 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
  return pdf;
}

// The objects the cross-reference table points to ("N 0 obj" at each offset).
bool TableHolds(const QByteArray& pdf) {
  const qsizetype xref = pdf.mid(pdf.lastIndexOf("startxref") + 10).split('\n')[0].toLongLong();
  if (pdf.mid(xref, 4) != "xref") return false;
  const QList<QByteArray> lines = pdf.mid(xref).split('\n');
  for (int n = 1; n <= 2; ++n)
    if (!pdf.mid(lines[2 + n].left(10).toLongLong()).startsWith(QByteArray::number(n) + " 0 obj")) return false;
  return true;
}

QByteArray Map(const QByteArray& pdf) {
  const qsizetype at = pdf.indexOf("stream\n") + 7;
  const qsizetype length = QRegularExpression("/Length (\\d+)").match(QString::fromLatin1(pdf)).captured(1).toLongLong();
  return pdf.mid(at, length);
}

}  // namespace

TEST(PdfTextMap, RadicalsBecomeTheirIdeographsAndTheFileStaysWhole) {
  // 使 用(⽤ U+2F64) 時 期 虫(⽍ U+2F8D), then a linear range of radicals 日(⽇ 2F47)..
  const QByteArray pdf = Pdf("<0001> <0005> [<4F7F> <2F64> <6642> <671F> <2F8D> ]\n<0006> <0008> <2F47>");
  ASSERT_TRUE(TableHolds(pdf));
  const QByteArray fixed = WithIdeographTextMaps(pdf);
  const QByteArray map = Map(fixed);
  EXPECT_TRUE(map.contains("<0001> <0005> [<4F7F> <7528> <6642> <671F> <866B> ]")) << map.toStdString();
  // 日 (65E5), 曰 (⽈ 2F48 → 66F0) and 月 (⽉ 2F49 → 6708): a list now.
  EXPECT_TRUE(map.contains("<0006> <0008> [<65E5> <66F0> <6708> ]")) << map.toStdString();
  EXPECT_TRUE(map.endsWith("endcmap\nend\nend\n"));
  EXPECT_TRUE(TableHolds(fixed));
  // Nothing to change: the same bytes.
  const QByteArray plain = Pdf("<0001> <0003> [<0041> <4F7F> <6642> ]");
  EXPECT_EQ(WithIdeographTextMaps(plain), plain);
}
