#include "frontend/command_line.h"

#include <QCoreApplication>
#include <QStringList>

void ParseCommandLine() {
  const QStringList args = QCoreApplication::arguments();
  std::vector<std::string> params;
  for (qsizetype i = 1; i < args.size(); ++i) params.push_back(args[i].toStdString());
  ParseCommandLine(params);
}
