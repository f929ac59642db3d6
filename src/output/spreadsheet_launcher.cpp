#include "output/spreadsheet_launcher.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

std::vector<std::string> SpreadsheetProgramNames(TSpreadSheetKind kind) {
  switch (kind) {
    case sskExcel: return {"soffice", "localc", "et", "xdg-open"};
    case sskCalc: return {"soffice", "localc"};
    case sskKingsoft: return {"et"};
    case sskJustCalc: return {};
  }
  return {};
}

std::optional<TSpreadsheetProgram> FindSpreadsheetProgram(TSpreadSheetKind kind) {
  for (const std::string& name : SpreadsheetProgramNames(kind)) {
    const QString path = QStandardPaths::findExecutable(QString::fromStdString(name));
    if (path.isEmpty()) continue;
    TSpreadsheetProgram p;
    p.Path = path.toStdString();
    return p;
  }
  return std::nullopt;
}

bool StartSpreadsheetProgram(const TSpreadsheetProgram& program, const std::string& file, std::string* error) {
  QStringList args;
  for (const std::string& a : program.Arguments) args << QString::fromStdString(a);
  // An absolute path never begins with "-", so no program takes the file for an option.
  const QFileInfo fi(QString::fromStdString(file));
  args << fi.absoluteFilePath();
  QProcess p;
  p.setProgram(QString::fromStdString(program.Path));
  p.setArguments(args);
  p.setWorkingDirectory(fi.absolutePath());
  p.setStandardInputFile(QProcess::nullDevice());
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  qint64 pid = 0;
  if (p.startDetached(&pid)) return true;
  if (error) *error = program.Path + ": " + p.errorString().toStdString();
  return false;
}
