#pragma once
// The text of a PDF written by Qt's PDF engine (the drawn print) as the characters on the page.
//
// The engine tells a reader which character each glyph stands for by a map made from the
// font's own character table, taking the first character that names the glyph.  A CJK font
// names the glyph of an ideograph also by its Kangxi radical (用 and U+2F64 "⽤" are one
// glyph), and the radical comes first: a reader would find "使⽤時期" and never "使用時期".
// These maps are rewritten so that a radical that stands for an ideograph gives the ideograph.
#include <QByteArray>
#include <QString>

// The maps of a whole PDF file's bytes, rewritten (the cross-reference table follows any
// change of length).  The bytes come back as they were when nothing needs to change.
QByteArray WithIdeographTextMaps(const QByteArray& pdf);

// The same for a file, replaced by one rename when it changes; false when it could not be
// read or written.
bool FixPdfTextMaps(const QString& path);
