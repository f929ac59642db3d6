// qmtool crops --db DIR [--added NAME ...] WORDS...: the crop hierarchy answers for a crop text
// (the words joined with commas; each --added name joins it as a name that came in on a chosen
// crop's behalf), one line each, name and value separated by a tab:
//   IdSakuRegexpLine  the quoted pattern over crop codes ('(?!)' when no crop is covered)
//   UpperGroup        the registered crops at and above the first crop, deepest first
//   DeployCrops       the text with its first crop expanded into the registered crops below it
//   DeployCropsUp     the same upwards (mode '~')
// Exit code 1 when the database cannot be opened, 2 for bad arguments.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "database/regex_utils.h"
#include "qmtool_acis.h"
#include "qmtool_commands.h"

namespace {

int CropsUsage() {
  std::fprintf(stderr, "usage: qmtool crops --db DIR [--added NAME ...] WORD [WORD ...]\n");
  return 2;
}

int RunCrops(int argc, char** argv) {
  std::string dir, text;
  std::vector<std::string> added;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
      dir = argv[++i];
    } else if (std::strncmp(argv[i], "--db=", 5) == 0) {
      dir = argv[i] + 5;
    } else if (std::strcmp(argv[i], "--added") == 0 && i + 1 < argc) {
      added.push_back(argv[++i]);
      if (!text.empty()) text += ',';
      text += added.back();
    } else {
      if (!text.empty()) text += ',';
      text += argv[i];
    }
  }
  if (dir.empty() || text.empty()) return CropsUsage();
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(dir) / "acis.db", ec)) {
    std::fprintf(stderr, "qmtool crops: no acis.db in \"%s\"\n", dir.c_str());
    return 1;
  }
  try {
    std::unique_ptr<TAcisDB> db = OpenAcisDB(dir);
    std::printf("IdSakuRegexpLine\t%s\n", db->IdSakuRegexpLine(text, false, added).c_str());
    std::printf("UpperGroup\t%s\n", db->UpperGroup(FullToHalfBrackets(FirstCsvItem(text))).c_str());
    std::printf("DeployCrops\t%s\n", db->DeployCrops(text, ' ').c_str());
    std::printf("DeployCropsUp\t%s\n", db->DeployCrops(text, '~').c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

QmToolRegistrar reg{{"crops", "--db DIR [--added NAME] WORDS  crop codes, upper groups and expansion of a crop text", RunCrops}};

}  // namespace
