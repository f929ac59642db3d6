// qmtool: the developer tool. Each subcommand drives the program's own layers.
#include <cstdio>
#include <cstring>
#include <string>

#include "qmtool_commands.h"

static int Usage() {
  std::fprintf(stderr,
               "usage: qmtool COMMAND [ARGS]\n"
               "commands:\n");
  for (const auto& c : QmToolCommands()) std::fprintf(stderr, "  %-8s %s\n", c.name, c.help);
  return 2;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const auto& c : QmToolCommands()) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  }
  return Usage();
}
