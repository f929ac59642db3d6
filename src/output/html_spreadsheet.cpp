#include "output/html_spreadsheet.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFileInfo>
#include <QStandardPaths>

#include <stdlib.h>


#include "foundation/message_sink.h"
#include "foundation/text_utils.h"
#include "output/grid_export.h"
#include "output/spreadsheet_launcher.h"
#include "output/temp_files.h"

namespace {

constexpr const char* kWebQueryFilter = "--infilter=calc_HTML_WebQuery";

struct TCandidate {
  const char* Name;
  std::vector<std::string> Arguments;
};

std::vector<TCandidate> Candidates(TSpreadSheetKind kind) {
  const TCandidate soffice{"soffice", {"--calc", kWebQueryFilter}};
  const TCandidate localc{"localc", {kWebQueryFilter}};
  const TCandidate et{"et", {}};
  switch (kind) {
    case sskExcel: return {soffice, localc, et};
    case sskCalc: return {soffice, localc};
    case sskKingsoft: return {et};
    default: return {};
  }
}

// The hourglass for the time a program is being started; restored on every exit.
struct TWaitCursor {
  TWaitCursor() {
    if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~TWaitCursor() {
    if (qApp) QApplication::restoreOverrideCursor();
  }
};

bool HasCharsetMeta(const std::string& markup) {
  const std::string lower = AsciiLowerCase(markup);
  for (size_t p = lower.find("<meta"); p != std::string::npos; p = lower.find("<meta", p + 5)) {
    const size_t end = lower.find('>', p);
    if (lower.substr(p, end == std::string::npos ? std::string::npos : end - p).find("charset") != std::string::npos)
      return true;
  }
  return false;
}

int StartProgram(TSpreadSheetKind kind, const std::string& file) {
  THtmlSpreadsheetProgram program;
  std::string reason;
  if (!FindHtmlSpreadsheetProgram(kind, program)) {
    reason = "表計算ソフトが見つかりません。";
  } else {
    TSpreadsheetProgram start;
    start.Path = program.Path;
    start.Arguments = program.Arguments;
    if (StartSpreadsheetProgram(start, file, &reason)) return 1;
  }
  ShowMessageBox(TMsgKind::Error, "Quillmar", SpreadsheetFailureText(kind) + "\r\n" + reason);
  return -1;
}

}  // namespace

std::string SpreadsheetFailureText(TSpreadSheetKind kind) {
  switch (kind) {
    case sskExcel: return "Excel の起動もしくは処理に失敗しました";
    case sskCalc: return "LibreOffice Calc の起動もしくは処理に失敗しました";
    case sskKingsoft: return "WPS Spreadsheets の起動もしくは処理に失敗しました";
    default: return "JustCalc の起動もしくは処理に失敗しました";
  }
}

bool FindHtmlSpreadsheetProgram(TSpreadSheetKind kind, THtmlSpreadsheetProgram& program) {
  for (const TCandidate& c : Candidates(kind)) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.Name));
    if (path.isEmpty()) continue;
    program.Path = path.toStdString();
    program.Arguments = c.Arguments;
    return true;
  }
  return false;
}

std::string SpreadsheetPage(const std::string& markup) {
  std::string page = "\xEF\xBB\xBF<html>\r\n";
  if (!HasCharsetMeta(markup)) page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n";
  page += markup;
  page += "\r\n</html>";
  return page;
}

int OpenFileInSpreadsheet(TSpreadSheetKind kind, const std::string& fileName) {
  TWaitCursor wait;
  return StartProgram(kind, fileName);
}

int PasteClipboardToSpreadsheet(TSpreadSheetKind kind) {
  TWaitCursor wait;
  const std::string markup = QApplication::clipboard()->text().toStdString();
  const std::string path = MakeTempFilePath(".html");
  std::string error = "一時ファイルを作成できません。";
  if (path.empty() || WriteTextFile(path, SpreadsheetPage(markup), &error) != 0) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", SpreadsheetFailureText(kind) + "\r\n" + error);
    return -2;
  }
  return StartProgram(kind, path);
}

std::string WriteCalcPage(const std::string& html, const std::string& title, std::string* error) {
  const std::string base = PrivateTempDir();
  std::string dir = base.empty() ? std::string() : base + "calcXXXXXX";
  if (dir.empty() || !::mkdtemp(dir.data())) {
    if (error) *error = "一時フォルダーを作成できません。";
    return {};
  }
  // The title becomes the file name: only characters a file name may hold.
  std::string name;
  for (char c : title) name.push_back(c == '/' || static_cast<unsigned char>(c) < 32 ? '_' : c);
  if (name.empty() || name[0] == '.' || name[0] == '-') name.insert(name.begin(), '_');
  const std::string path = dir + "/" + name + ".html";
  std::string err;
  if (WriteTextFile(path, SpreadsheetPage(html), &err) != 0) {
    if (error) *error = err;
    return {};
  }
  return path;
}

int PasteHtmlToCalc(const std::string& html, const std::string& title) {
  TWaitCursor wait;
  std::string error;
  const std::string path = WriteCalcPage(html, title, &error);
  if (path.empty()) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", SpreadsheetFailureText(sskCalc) + "\r\n" + error);
    return -2;
  }
  return StartProgram(sskCalc, path);
}
