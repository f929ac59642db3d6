#pragma once
// Hover hints (tooltips) that show their text as it is.  Qt renders a tooltip as rich text
// whenever Qt::mightBeRichText() thinks it looks like HTML, and a tooltip has no switch for
// its text format, so a crop name such as "<sakumotsu>" or a text like "a<b and c>d" would
// lose characters.  PlainHint turns any text into HTML that shows exactly that text, line
// breaks, runs of spaces and tabs included.  An empty text stays empty (no hint).
#include <QString>

QString PlainHint(const QString& text);
