// The command-line switches "/u", "/r", "/f" and "/d".
#include <gtest/gtest.h>

#include "frontend/command_line.h"

TEST(CommandLine, ParseCommandLineTable) {
  const struct {
    std::vector<std::string> params;
    bool u, r, f, d;
  } cases[] = {
      {{}, false, false, false, false},
      {{"/u"}, true, false, false, false},
      {{"/R"}, false, true, false, false},
      {{"/D"}, false, false, false, true},
      {{"/d", "/f"}, false, false, true, true},
      {{"/f", "/d"}, false, false, true, true},
      {{"x.ini", "/F", "--help"}, false, false, true, false},
      {{"/u/r", "u", "-u", "/uu", " /u", "/u "}, false, false, false, false},
      {{"/U", "/r", "/f", "/d"}, true, true, true, true},
  };
  for (const auto& c : cases) {
    CmdAutoUpdate = CmdAutoDownload = CmdOffline = CmdDirectSql = false;
    ParseCommandLine(c.params);
    EXPECT_EQ(CmdAutoUpdate, c.u);
    EXPECT_EQ(CmdAutoDownload, c.r);
    EXPECT_EQ(CmdOffline, c.f);
    EXPECT_EQ(CmdDirectSql, c.d);
  }
  // Flags are only ever set.
  CmdOffline = true;
  ParseCommandLine(std::vector<std::string>{"/d"});
  EXPECT_TRUE(CmdOffline);
  // The program's own parameters (the test runner's here) set nothing unexpected.
  CmdAutoUpdate = CmdAutoDownload = false;
  ParseCommandLine();
  EXPECT_FALSE(CmdAutoUpdate);
  EXPECT_FALSE(CmdAutoDownload);
  CmdAutoUpdate = CmdAutoDownload = CmdOffline = CmdDirectSql = false;
}
