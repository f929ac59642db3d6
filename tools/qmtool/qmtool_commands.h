#pragma once
// Subcommands register themselves here; each lives in its own file (cmd_<name>.cpp).
#include <vector>

struct QmToolCommand {
  const char* name;
  const char* help;
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand name
};

std::vector<QmToolCommand>& QmToolCommands();

// Adds a command at static-initialisation time: static QmToolRegistrar r{{"sql", "...", RunSql}};
struct QmToolRegistrar {
  explicit QmToolRegistrar(QmToolCommand c) { QmToolCommands().push_back(c); }
};
