#include "foundation/plain_hint.h"

QString PlainHint(const QString& text) {
  if (text.isEmpty()) return text;
  QString body = text;
  // Line breaks of Windows texts count once.
  body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // Everything is escaped, so the text always reads as HTML and never as markup.  Within
  // white-space:pre spaces and tabs stay and no line is wrapped; each line break becomes a
  // <br>, which also keeps a leading or trailing one (a bare one there would be dropped).
  body = body.toHtmlEscaped();
  body.replace(QLatin1Char('\n'), QLatin1String("<br>"));
  return QLatin1String("<p style='white-space:pre'>") + body + QLatin1String("</p>");
}
