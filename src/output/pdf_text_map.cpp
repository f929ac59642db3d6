#include "output/pdf_text_map.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <vector>

namespace {

// The ideograph a radical or compatibility form stands for (0 when it stands for none).
uint Ideograph(uint code) {
  const bool radical = (code >= 0x2E80 && code <= 0x2FDF) || (code >= 0xF900 && code <= 0xFAFF);
  if (!radical) return 0;
  const QString d = QChar(char16_t(code)).decomposition();
  if (d.size() != 1) return 0;
  const uint to = d[0].unicode();
  return to >= 0x3400 && to <= 0x9FFF ? to : 0;
}

QByteArray Hex4(uint v) { return QByteArray::number(v, 16).toUpper().rightJustified(4, '0'); }

// "<xxxx>" tokens of a line, as numbers (false when one is not four hex digits).
bool Codes(const QByteArray& text, std::vector<uint>& out) {
  for (qsizetype at = text.indexOf('<'); at >= 0; at = text.indexOf('<', at + 1)) {
    const qsizetype end = text.indexOf('>', at);
    if (end < 0) return false;
    bool ok = false;
    const uint v = text.mid(at + 1, end - at - 1).toUInt(&ok, 16);
    if (!ok) return false;
    out.push_back(v);
  }
  return true;
}

// One line of a "bfrange" section with its targets made ideographs; the line as it stands
// when it has nothing to change.
QByteArray RangeLine(const QByteArray& line) {
  const bool list = line.contains('[');
  std::vector<uint> codes;
  if (!Codes(line, codes) || codes.size() < 3) return line;
  const uint first = codes[0], last = codes[1];
  std::vector<uint> targets;
  if (list) {
    targets.assign(codes.begin() + 2, codes.end());
  } else {
    if (last < first || last - first > 255) return line;
    for (uint g = first; g <= last; ++g) targets.push_back(codes[2] + (g - first));
  }
  bool changed = false;
  for (uint& t : targets)
    if (const uint i = Ideograph(t)) {
      t = i;
      changed = true;
    }
  if (!changed) return line;
  QByteArray out = "<" + Hex4(first) + "> <" + Hex4(last) + "> ";
  if (targets.size() == 1) return out + "<" + Hex4(targets[0]) + ">";
  out += '[';
  for (uint t : targets) out += "<" + Hex4(t) + "> ";
  return out + ']';
}

// One line of a "bfchar" section ("<glyph> <character>").
QByteArray CharLine(const QByteArray& line) {
  std::vector<uint> codes;
  if (!Codes(line, codes) || codes.size() != 2) return line;
  const uint i = Ideograph(codes[1]);
  return i ? "<" + Hex4(codes[0]) + "> <" + Hex4(i) + ">" : line;
}

QByteArray RewrittenMap(const QByteArray& map) {
  QList<QByteArray> lines = map.split('\n');
  enum { None, Range, Char } section = None;
  for (QByteArray& l : lines) {
    const QByteArray t = l.trimmed();
    if (t.endsWith("beginbfrange")) section = Range;
    else if (t.endsWith("beginbfchar")) section = Char;
    else if (t == "endbfrange" || t == "endbfchar") section = None;
    else if (section == Range) l = RangeLine(l);
    else if (section == Char) l = CharLine(l);
  }
  return lines.join('\n');
}

struct TEdit {
  qsizetype At = 0, Length = 0;  // the bytes replaced (in the original file)
  QByteArray With;
};

}  // namespace

QByteArray WithIdeographTextMaps(const QByteArray& pdf) {
  std::vector<TEdit> edits;
  for (qsizetype at = pdf.indexOf("/CMapName /Adobe-Identity-UCS"); at >= 0;
       at = pdf.indexOf("/CMapName /Adobe-Identity-UCS", at + 1)) {
    const qsizetype stream = pdf.lastIndexOf("stream\n", at);
    const qsizetype lengthKey = stream < 0 ? -1 : pdf.lastIndexOf("/Length ", stream);
    if (lengthKey < 0) continue;
    const qsizetype digits = lengthKey + 8;
    qsizetype digitsEnd = digits;
    while (digitsEnd < pdf.size() && pdf[digitsEnd] >= '0' && pdf[digitsEnd] <= '9') ++digitsEnd;
    bool ok = false;
    const qsizetype length = pdf.mid(digits, digitsEnd - digits).toLongLong(&ok);
    const qsizetype data = stream + 7;
    if (!ok || digitsEnd == digits || data + length > pdf.size() || at > data + length) continue;
    const QByteArray map = pdf.mid(data, length);
    const QByteArray rewritten = RewrittenMap(map);
    if (rewritten == map) continue;
    edits.push_back({digits, digitsEnd - digits, QByteArray::number(rewritten.size())});
    edits.push_back({data, length, rewritten});
  }
  if (edits.empty()) return pdf;
  // Where a byte of the original file is now.
  auto moved = [&](qsizetype offset) {
    qsizetype shift = 0;
    for (const TEdit& e : edits)
      if (e.At < offset) shift += e.With.size() - e.Length;
    return offset + shift;
  };
  QByteArray out;
  out.reserve(pdf.size() + 1024);
  qsizetype from = 0;
  for (const TEdit& e : edits) {
    out += pdf.mid(from, e.At - from);
    out += e.With;
    from = e.At + e.Length;
  }
  out += pdf.mid(from);
  // The cross-reference table: every object after a change has moved.
  const qsizetype startKey = out.lastIndexOf("startxref");
  if (startKey < 0) return pdf;
  qsizetype p = startKey + 9;
  while (p < out.size() && (out[p] == '\n' || out[p] == '\r' || out[p] == ' ')) ++p;
  qsizetype q = p;
  while (q < out.size() && out[q] >= '0' && out[q] <= '9') ++q;
  bool ok = false;
  const qsizetype xref = out.mid(p, q - p).toLongLong(&ok);
  if (!ok) return pdf;
  const qsizetype table = moved(xref);
  out.replace(p, q - p, QByteArray::number(table));
  if (out.mid(table, 4) != "xref") return pdf;
  qsizetype line = out.indexOf('\n', table) + 1;  // "0 N"
  line = out.indexOf('\n', line) + 1;             // first entry
  // Entries of 20 bytes: "oooooooooo ggggg n \n" (in use) or "... f \n" (free).
  while (line > 0 && line + 20 <= out.size() && out[line + 10] == ' ' && out[line + 16] == ' ' &&
         (out[line + 17] == 'n' || out[line + 17] == 'f')) {
    if (out[line + 17] == 'n') {
      const qsizetype offset = out.mid(line, 10).toLongLong(&ok);
      if (ok) out.replace(line, 10, QByteArray::number(moved(offset)).rightJustified(10, '0'));
    }
    line += 20;
  }
  return out;
}

bool FixPdfTextMaps(const QString& path) {
  QFile in(path);
  if (!in.open(QIODevice::ReadOnly)) return false;
  const QByteArray pdf = in.readAll();
  in.close();
  const QByteArray fixed = WithIdeographTextMaps(pdf);
  if (fixed == pdf) return true;
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return false;
  out.write(fixed);
  return out.commit();
}
