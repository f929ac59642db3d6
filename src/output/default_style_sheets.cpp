#include "output/default_style_sheets.h"

#include <QDir>
#include <QSaveFile>

const std::vector<TDefaultStyleSheet>& DefaultStyleSheets() {
  static const std::vector<TDefaultStyleSheet> sheets = {
      {"standard.css",
       "/* Result pages of Quillmar: edit freely, or add sheets of your own to this folder. */\n"
       "body { font-family: sans-serif; font-size: 10pt; margin: 8px; }\n"
       "h1 { font-size: 14pt; margin: 4px 0; }\n"
       "h2 { font-size: 12pt; margin: 8px 0 4px; }\n"
       "h3 { font-size: 11pt; margin: 8px 0 4px; }\n"
       "p.update { color: #555555; margin: 2px 0 8px; }\n"
       "p.suisan { margin: 2px 0 8px; }\n"
       "table { border-collapse: collapse; }\n"
       "th, td { border: 1px solid #808080; padding: 2px 4px; vertical-align: top; }\n"
       "th { white-space: nowrap; background-color: #dde6f0; }\n"
       "tr.header th { position: sticky; top: 0; }\n"
       "tr.even td { background-color: #f2f7fb; }\n"
       "tr.odd td { background-color: #ffffff; }\n"
       "tr.neighbors td { background-color: #c0dcc0; }\n"},
      {"excel.css",
       "/* Pages handed to spreadsheet programs: borders and a shaded title row. */\n"
       "table { border-collapse: collapse; }\n"
       "th, td { border: 1px solid #808080; }\n"
       "th { background-color: #dde6f0; font-weight: bold; }\n"
       "tr.neighbors td { background-color: #c0dcc0; }\n"},
  };
  return sheets;
}

bool EnsureDefaultStyleSheets(const std::string& cssDir) {
  if (cssDir.empty()) return false;
  QDir dir(QString::fromStdString(cssDir));
  if (!dir.exists() && !QDir().mkpath(dir.path())) return false;
  if (!dir.entryList({"*.css"}, QDir::Files | QDir::Hidden).isEmpty()) return true;
  bool ok = true;
  for (const TDefaultStyleSheet& s : DefaultStyleSheets()) {
    QSaveFile f(dir.filePath(QString::fromLatin1(s.Name)));
    ok = f.open(QIODevice::WriteOnly) && f.write(s.Text) >= 0 && f.commit() && ok;
  }
  return ok;
}
