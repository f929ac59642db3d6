// qmtool unpack ARCHIVE DIR: extracts an archive as the data update does and prints the names.
#include <cstdio>
#include <string>

#include "qmtool_commands.h"
#include "update/archive_7zip.h"

namespace {

int RunUnpack(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qmtool unpack ARCHIVE DIR\n");
    return 2;
  }
  TplArchiever7ZIP arc;
  std::string message;
  bool ok = arc.Extract(argv[1], argv[2], message);
  if (!ok) {
    std::fprintf(stderr, "%s", message.c_str());
    return 1;
  }
  for (const auto& n : arc.ExtractedNames()) std::printf("%s\n", n.c_str());
  return 0;
}

QmToolRegistrar reg{{"unpack", "ARCHIVE DIR: extract a zip/lzh archive, print the names", RunUnpack}};

}  // namespace
