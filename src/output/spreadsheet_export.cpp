#include "output/spreadsheet_export.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "foundation/message_sink.h"
#include "output/grid_model.h"
#include "output/spreadsheet_launcher.h"
#include "output/xlsx_export.h"

namespace {

const char* ProgramName(TSpreadSheetKind kind) {
  switch (kind) {
    case sskJustCalc: return "JustCalc ";
    case sskKingsoft: return "Kingsoft Spreadsheets ";
    case sskCalc: return "LibreOffice Calc ";
    case sskExcel: break;
  }
  return "MS-Excel";
}

struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

std::string CannotStartMessage(TSpreadSheetKind kind) {
  const std::string p = ProgramName(kind);
  return p + "を起動できませんでした。\r\n" + p + "のインストールを確認してください。";
}

std::string ExportFailureMessage(TSpreadSheetKind kind) {
  return kind == sskJustCalc ? "OLE実行中にエラーが発生しました。" : "ＯＬＥ実行中にエラーが発生しました。";
}

std::string SpreadsheetExportDir(std::string* error) {
  const QString base = QDir::tempPath() + "/quillmar-" + QString::number(getuid());
  for (const QString& dir : {base, base + "/xlsx"}) {
    const QByteArray d = QFile::encodeName(dir);
    if (mkdir(d.constData(), 0700) != 0 && errno != EEXIST) {
      if (error) *error = dir.toStdString() + ": " + std::strerror(errno);
      return {};
    }
    struct stat st {};
    if (lstat(d.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
      if (error) *error = dir.toStdString() + ": 自分のフォルダーではありません";
      return {};
    }
    if ((st.st_mode & 077) != 0) chmod(d.constData(), 0700);
  }
  return (base + "/xlsx").toStdString();
}

std::string NewExportFileName(const std::string& dir, const std::string& wantedSheet, std::string& sheetName) {
  const bool named = !wantedSheet.empty();
  const std::string first = named ? CleanSheetName(wantedSheet) : std::string("Quillmar");
  std::string candidate = first;
  for (int n = 2;; ++n) {
    const std::string path = dir + "/" + candidate + ".xlsx";
    if (!QFileInfo::exists(QString::fromStdString(path))) {
      sheetName = named ? candidate : std::string();
      return path;
    }
    const std::string suffix = "(" + std::to_string(n) + ")";
    candidate = (named ? CleanSheetName(wantedSheet, static_cast<int>(suffix.size())) : first) + suffix;
  }
}

void RemoveOldExports(const std::string& dir, int days) {
  const QDateTime limit = QDateTime::currentDateTime().addDays(-days);
  QDir d(QString::fromStdString(dir));
  for (const QFileInfo& fi : d.entryInfoList({"*.xlsx", ".*.part"}, QDir::Files | QDir::Hidden)) {
    if (fi.lastModified() < limit) QFile::remove(fi.absoluteFilePath());
  }
}

int TXlsxSpreadsheetAutomation::Export(TXlsStringGrid& grid, TSpreadSheetKind kind) {
  const std::optional<TSpreadsheetProgram> program = FindSpreadsheetProgram(kind);
  if (!program) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", CannotStartMessage(kind));
    return -1;
  }
  auto fail = [&](int code, const std::string& detail) {
    if (grid.ShowErrDlg) {
      const std::string text = code == -3 ? detail : ExportFailureMessage(kind) + "\r\n" + detail;
      ShowMessageBox(TMsgKind::Error, "Quillmar", text);
    }
    return code;
  };
  // The rows as they are now: the export lets the window repaint while it writes.
  TGridModel snapshot;
  snapshot.AssignFrom(grid.Model());
  TXlsxSheetSpec spec = SheetSpecOf(grid, kind);
  const std::string wanted = spec.SheetName;
  if (!XlsxBlockFits(snapshot, spec))
    return fail(-3, "コピーする領域がシステムの許容範囲を越えたので、\r\nコピーを中断します。");

  std::string error;
  const std::string dir = SpreadsheetExportDir(&error);
  if (dir.empty()) return fail(-2, error);
  RemoveOldExports(dir, 7);
  std::string sheet;
  std::string path = NewExportFileName(dir, spec.SheetName, sheet);
  spec.SheetName = sheet;
  static std::atomic<int> counter{0};
  const std::string part = dir + "/." + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".part";
  TXlsxResult r;
  {
    TWaitCursor wait;
    r = WriteGridXlsx(snapshot, spec, part,
                      [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  }
  if (r.Code != 1) return fail(r.Code, r.Message);
  // Into place under a name nobody took meanwhile (rename never replaces here).
  while (!QFile::rename(QString::fromStdString(part), QString::fromStdString(path))) {
    if (!QFileInfo::exists(QString::fromStdString(path))) {
      QFile::remove(QString::fromStdString(part));
      return fail(-2, "ファイルを保存できません: " + path);
    }
    std::string ignored;
    path = NewExportFileName(dir, wanted, ignored);
  }
  if (!StartSpreadsheetProgram(*program, path, &error)) return fail(-2, error);
  return 1;
}

TSpreadsheetAutomation& DefaultSpreadsheetAutomation() {
  static TXlsxSpreadsheetAutomation automation;
  return automation;
}

std::string CopyResultMessage(int code, TSpreadSheetKind kind) {
  const std::string program = kind == sskJustCalc ? "JustCalc" : kind == sskKingsoft ? "WPS" : "Excel";
  switch (code) {
    case -3: return "エラー：バッファーオーバーフロー";
    case -2: return program + "を起動できません(OLEエラー)";
    case -1: return program + "がインストールされていません";
    case 2: return "データ行がありません";
    default: return {};
  }
}

int CopyGridToSpreadsheet(TXlsStringGrid& grid, TSpreadSheetKind kind) {
  grid.FreezePanesRow = 2;
  grid.FreezePanesCol = 1;
  grid.VerticalRangeRow = 0;
  grid.VerticalRangeCol = 0;
  grid.PageOrientation = xlLandscape;
  grid.CellBorderWeight = bwHairline;
  const int code = kind == sskJustCalc ? grid.CopyJustCalc() : kind == sskKingsoft ? grid.CopyKingsoft() : grid.CopyExcel();
  const std::string message = CopyResultMessage(code, kind);
  if (!message.empty()) ShowMessageBox(TMsgKind::Error, "Quillmar", message);
  return code;
}
