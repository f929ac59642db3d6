// qmtool template --db DIR FILE.tpl [--sakumotsu TEXT] [--byochu TEXT] [--yoto TEXT]
//                 [--zaikei TEXT] [--sonota TEXT] [--arg FILE.arg]
// Expands an SQL template as the template page does: the file's text (UTF-8 or CP932) sets up
// the arguments (their modes, the template's default values), an argument file is loaded as
// the page loads one (--arg: only the arguments the template uses), and each option given
// puts its value into that argument's box. Prints one line "mode<TAB>name<TAB>0|1|2" per
// argument, then a line "sql" and the expanded SQL. When the build fails, its message goes to
// stderr and the exit code is 1. DIR/acis.db expands the crop lists of the "_" and "~" prefixes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "database/acis_db.h"
#include "database/sql_template.h"
#include "foundation/message_sink.h"
#include "qmtool_acis.h"
#include "qmtool_args.h"
#include "qmtool_commands.h"

namespace {

int TemplateUsage() {
  std::fprintf(stderr,
               "usage: qmtool template --db DIR FILE.tpl [--sakumotsu TEXT] [--byochu TEXT] [--yoto TEXT]\n"
               "                       [--zaikei TEXT] [--sonota TEXT] [--arg FILE.arg]\n");
  return 2;
}

void PrintMessages(const TLogMessageSink& sink, size_t from) {
  const auto messages = sink.Messages();
  for (size_t i = from; i < messages.size(); ++i) {
    const TMessage& m = messages[i];
    std::string text = m.title.empty() ? m.text : m.title + "\n" + m.text;
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

int RunTemplate(int argc, char** argv) {
  TQmToolArgs args(argc, argv);
  std::string dir, file, argFile, a;
  std::map<int, std::string> given;
  while (args.Next(a)) {
    int arg = -1;
    for (int i = 0; i < kTemplateArgCount; ++i)
      if (a == "--" + std::string(TemplateArgNames[i])) arg = i;
    std::string value;
    if (arg >= 0) {
      if (!args.Value(value)) return TemplateUsage();
      given[arg] = value;
    } else if (a == "--db") {
      if (!args.Value(dir)) return TemplateUsage();
    } else if (a == "--arg") {
      if (!args.Value(argFile)) return TemplateUsage();
    } else if (!a.empty() && a[0] != '-' && file.empty()) {
      file = a;
    } else {
      return TemplateUsage();
    }
  }
  if (dir.empty() || file.empty()) return TemplateUsage();

  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  std::string html;
  if (!LoadTextFile(file, html)) {
    std::fprintf(stderr, "Cannot read \"%s\"\n", file.c_str());
    return 1;
  }
  std::unique_ptr<TAcisDB> acis;
  try {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    acis = OpenAcisDB(dir);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  TSqlTemplate tpl;
  TTemplateArgValues boxes;
  tpl.SetupTemplateArgs(html, boxes);
  if (!argFile.empty() && !LoadTemplateArgFile(argFile, boxes)) {
    std::fprintf(stderr, "Cannot read \"%s\"\n", argFile.c_str());
    return 1;
  }
  for (const auto& [arg, value] : given) boxes.SetText(arg, value);
  for (int i = 0; i < kTemplateArgCount; ++i)
    std::printf("mode\t%s\t%d\n", std::string(TemplateArgNames[i]).c_str(), tpl.Modes[i]);
  std::fflush(stdout);

  const size_t before = sink.Count();
  const std::string sql = tpl.BuildTemplateSql(html, boxes, acis.get());
  PrintMessages(sink, before);
  // A failed build said why; a template whose lines all went (empty lists) gives empty SQL.
  if (sql.empty() && sink.Count() > before) return 1;
  std::printf("sql\n%s\n", sql.c_str());
  std::fflush(stdout);
  return 0;
}

QmToolRegistrar reg{{"template", "--db DIR FILE.tpl [--ARG TEXT]...  expand an SQL template, print modes and SQL",
                     RunTemplate}};

}  // namespace
