#include "qmtool_commands.h"

std::vector<QmToolCommand>& QmToolCommands() {
  static std::vector<QmToolCommand> commands;
  return commands;
}
