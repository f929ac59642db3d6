#include "output/result_page.h"

#include <QFile>
#include <QFileInfo>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "output/cp932_codec.h"
#include "output/grid_export.h"
#include "output/grid_model.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";

void AppendEscaped(std::string& out, std::string_view s) {
  size_t from = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char* rep = nullptr;
    switch (s[i]) {
      case '&': rep = "&amp;"; break;
      case '<': rep = "&lt;"; break;
      case '>': rep = "&gt;"; break;
      case '"': rep = "&quot;"; break;
      default: continue;
    }
    out.append(s.substr(from, i - from));
    out.append(rep);
    from = i + 1;
  }
  out.append(s.substr(from));
}

std::string Escaped(std::string_view s) {
  std::string out;
  AppendEscaped(out, s);
  return out;
}

// The lines of a text, each ending with CR LF (a final line break adds no empty line).
void AppendLines(std::string& out, std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    out.append(text.substr(start, stop - start));
    out.append(kCrLf);
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

// Columns shown in the page: width greater than 0.
std::vector<int> ShownColumns(const TGridModel& m) {
  std::vector<int> cols;
  for (int c = 0; c < m.ColCount(); ++c)
    if (m.ColWidth(c) > 0) cols.push_back(c);
  return cols;
}

// The rows of a grid as table rows.  `allOdd`: every data row opens as "odd" (the
// ingredient table); `neighbours`: the rows of neighbouring crops open as "neighbors": those
// flagged so and those the grid tints for the neighbour-crop words it holds (the crop search
// hands the grid its neighbour crops), so the page marks what the grid shows.
void AppendGridRows(std::string& out, const TGridModel& m, bool allOdd, bool neighbours) {
  const std::vector<int> cols = ShownColumns(m);
  const int rows = m.RowCount();
  for (int r = 0; r < rows; ++r) {
    const bool fixed = r < m.FixedRows();
    if (fixed)
      out.append("<tr class=\"header\">\r\n");
    else if (neighbours && ((m.RowFlags(r) & grfNeighbour) || m.RowHighlighted(r)))
      out.append("<tr class=\"neighbors\">\r\n");
    else if (allOdd || r % 2 != 0)
      out.append("<tr class=\"odd\">\r\n");
    else
      out.append("<tr class=\"even\">\r\n");
    for (int c : cols) {
      out.append(fixed ? "\t<th>" : "\t<td>");
      AppendEscaped(out, TrimCell(m.Cell(c, r)));
      out.append(fixed ? "</th>\r\n" : "</td>\r\n");
    }
    out.append("</tr>\r\n");
  }
}

// Escaped memo text with its line breaks (CR LF, LF or CR) as "<br>".
std::string MemoHtml(std::string_view memo) {
  std::string out;
  for (size_t i = 0; i < memo.size(); ++i) {
    if (memo[i] == '\r' || memo[i] == '\n') {
      out.append("<br>");
      if (memo[i] == '\r' && i + 1 < memo.size() && memo[i + 1] == '\n') ++i;
      continue;
    }
    size_t j = i;
    while (j < memo.size() && memo[j] != '\r' && memo[j] != '\n') ++j;
    AppendEscaped(out, memo.substr(i, j - i));
    i = j - 1;
  }
  return out;
}

void AppendProduct(std::string& out, const TResultPageProduct& p) {
  static const char* const kLabels[6] = {"種類名", "製剤毒性", "登録日", "略称", "剤型", "用途"};
  out += "<h2>" + Escaped(p.Name) + "</h2>\r\n";
  out += "<h3>剤の概要</h3>\r\n<table border=\"1\">\r\n";
  for (int i = 0; i < 6; ++i)
    out += std::string("<tr><td>") + kLabels[i] + "</td><td>" + Escaped(p.Summary[i]) + "</td></tr>\r\n";
  out += "</table>\r\n<br>\r\n";
  out += "<h3>有効成分</h3>\r\n<table border=\"1\">\r\n";
  if (p.Seibun) AppendGridRows(out, *p.Seibun, true, false);
  out += "</table>\r\n<br>\r\n";
  out += "<h3>水産動植物への影響に係る使用上の注意事項</h3>\r\n";
  out += "<p class=\"suisan\">" + MemoHtml(p.Suisan) + "</p>\r\n";
}

// The head from "<head>" to "</head>" with a style sheet's text and a head addition.
void AppendHead(std::string& out, const std::string* cssText, const std::string& head) {
  out.append("<head>\r\n");
  out.append(kPageMetaCharset);
  out.append("\r\n<style type=\"text/css\">\r\n<!--\r\n");
  if (cssText)
    AppendLines(out, *cssText);
  else
    out.append(kBuiltInTableRule).append(kCrLf);
  out.append("-->\r\n</style>\r\n");
  if (!head.empty()) out.append(head).append(kCrLf);
  out.append("</head>\r\n");
}

bool IsFile(const std::string& path) { return !path.empty() && QFileInfo(QString::fromStdString(path)).isFile(); }

std::string JoinDir(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace

TResultPageProduct ResultPageProduct(const std::string& name, const TGridModel& seizai, const TGridModel* seibun,
                                     const std::string& suisan) {
  TResultPageProduct p;
  p.Name = name;
  for (int r = 0; r < 6; ++r) p.Summary[r] = std::string(seizai.Cell(1, r));
  p.Seibun = seibun;
  p.Suisan = suisan;
  return p;
}

TResultPageFolders TResultPageFolders::FromOptions() {
  TResultPageFolders f;
  if (OptionData) {
    f.CssDir = OptionData->CssDir;
    f.TemplateDir = OptionData->TemplateDir;
  }
  return f;
}

std::string ResolveCssFile(const std::string& cssFile, const std::string& cssDir) {
  if (cssFile.empty()) return {};
  // Settings written on the original platform may use backslashes.
  std::string name = cssFile;
  for (char& c : name)
    if (c == '\\') c = '/';
  const bool absolute = name.front() == '/' || (name.size() > 2 && name[1] == ':' && name[2] == '/');
  if (!absolute) return JoinDir(cssDir, name);
  if (IsFile(name) || cssDir.empty()) return name;
  // An absolute path that is gone (a moved program folder, a path from another machine): the
  // same name in the style-sheet folder.
  const std::string inDir = JoinDir(cssDir, name.substr(name.rfind('/') + 1));
  return IsFile(inDir) ? inDir : name;
}

bool ReadPageTextFile(const std::string& path, std::string& text, std::string* error) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = path + " : " + f.errorString().toStdString();
    return false;
  }
  QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) {
    if (error) *error = path + " : " + f.errorString().toStdString();
    return false;
  }
  std::string s = bytes.toStdString();
  if (s.rfind("\xEF\xBB\xBF", 0) == 0) s.erase(0, 3);
  text = IsValidUtf8(s) ? std::move(s) : Cp932ToUtf8(s);
  return true;
}

TResultPage BuildResultPage(const TResultPageSource& src, const std::string& cssFile, TSpreadSheetKind kind,
                            const TResultPageFolders& folders) {
  TResultPage res;
  // Files first: one that exists but cannot be read fails the page.
  std::string cssText;
  const std::string cssPath = ResolveCssFile(cssFile, folders.CssDir);
  const bool haveCss = IsFile(cssPath);
  if (haveCss && !ReadPageTextFile(cssPath, cssText, &res.Error)) {
    res.Ok = false;
    return res;
  }
  std::string script;
  const std::string jsPath = JoinDir(folders.TemplateDir, "results.js");
  const bool haveScript = !folders.TemplateDir.empty() && IsFile(jsPath);
  if (haveScript) {
    if (!ReadPageTextFile(jsPath, script, &res.Error)) {
      res.Ok = false;
      return res;
    }
    res.Head = "<script type=\"text/javascript\">\r\n";
    AppendLines(res.Head, script);
    res.Head += "</script>";
  }

  // Body: from the body tag to the end of the result table.
  std::string& body = res.Body;
  const TGridModel* grid = src.Grid;
  size_t estimate = 4096;
  if (grid) estimate += static_cast<size_t>(grid->RowCount()) * (static_cast<size_t>(grid->ColCount()) * 24 + 24);
  body.reserve(estimate);
  if (!haveScript)
    body = "<body>\r\n";
  else if (kind == sskCalc)
    body = "<body onload=\"results('libre')\">\r\n";
  else if (kind == sskJustCalc)
    body = "<body onload=\"results('just')\">\r\n";
  else
    body = "<body onload=\"results()\">\r\n";
  body += "<h1>農薬登録情報検索結果</h1>\r\n";
  body += "<p class=\"update\">" + Escaped(src.UpdateText) + "</p>\r\n";
  if (src.Product) AppendProduct(body, *src.Product);
  body += "<table border=\"1\">\r\n";
  if (grid) AppendGridRows(body, *grid, false, src.MarkNeighbours);
  body += "</table>\r\n</body>\r\n";

  std::string& page = res.Page;
  page.reserve(body.size() + cssText.size() + res.Head.size() + 512);
  page = src.GridWindow ? "<html>\r\n" : "<!DOCTYPE HTML>\r\n<html lang=\"ja\">\r\n";
  AppendHead(page, haveCss ? &cssText : nullptr, res.Head);
  page += body;
  page += "</html>";
  return res;
}

TResultPage BuildResultPage(const TResultPageSource& src, const std::string& cssFile, TSpreadSheetKind kind) {
  return BuildResultPage(src, cssFile, kind, TResultPageFolders::FromOptions());
}

std::string PageWithStyleSheet(const std::string& cssText, const std::string& head, const std::string& body) {
  std::string page;
  page.reserve(body.size() + cssText.size() + head.size() + 512);
  page = "<html>\r\n";
  AppendHead(page, cssText.empty() ? nullptr : &cssText, head);
  page += body;
  page += "</html>";
  return page;
}
