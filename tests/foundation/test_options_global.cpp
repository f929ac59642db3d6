// Run-wide state: command-line flags, exit codes of unattended runs, program folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <stdexcept>

#include "foundation/global.h"
#include "foundation/program_paths.h"

namespace {

TEST(Global, CommandLineFlags) {
  struct {
    std::vector<std::string> params;
    bool u, r, f, d;
  } cases[] = {
      {{}, false, false, false, false},
      {{"/u"}, true, false, false, false},
      {{"/U"}, true, false, false, false},
      {{"/R"}, false, true, false, false},
      {{"/d", "/f"}, false, false, true, true},
      {{"/F", "x", "/D"}, false, false, true, true},
      {{"-u", "u", "/u ", "/uu", "/"}, false, false, false, false},
  };
  for (const auto& c : cases) {
    InitGlobals(QDir::tempPath().toStdString());
    ParseCommandLine(c.params);
    EXPECT_EQ(CmdAutoUpdate, c.u);
    EXPECT_EQ(CmdAutoDownload, c.r);
    EXPECT_EQ(CmdOffline, c.f);
    EXPECT_EQ(CmdDirectSql, c.d);
    EXPECT_EQ(IsUnattendedRun(), c.u || c.r);
  }
  // Flags are only ever set: a later parse without them keeps them.
  ParseCommandLine({"/u"});
  ParseCommandLine({});
  EXPECT_TRUE(CmdAutoUpdate);
  FinalizeGlobals();
}

TEST(Global, InitAndFinalizeGiveTheExitCode) {
  QTemporaryDir tmp;
  InitGlobals(tmp.path().toStdString());
  ASSERT_NE(OptionData, nullptr);
  EXPECT_EQ(OptionData->AppDir, tmp.path().toStdString() + "/");
  EXPECT_FALSE(DebugMode);
  EXPECT_EQ(BatchExitCode, 0);
  BatchExitCode = kExitUpdated;
  EXPECT_EQ(FinalizeGlobals(), 0);  // interactive: always 0
  EXPECT_EQ(OptionData, nullptr);

  for (const char* sw : {"/u", "/r"}) {
    InitGlobals(tmp.path().toStdString());
    ParseCommandLine({sw});
    BatchExitCode = kExitDownloaded;
    EXPECT_EQ(FinalizeGlobals(), kExitDownloaded) << sw;
  }
  // The codes stay distinct: a copy that could not run never looks like "data current".
  EXPECT_NE(kExitAlreadyRunning, kExitDataCurrent);
  EXPECT_NE(kExitAlreadyRunning, kExitAborted);
}

TEST(Global, UnattendedFailuresEndWithTheFailureCode) {
  EXPECT_EQ(RunUnattendedGuarded([] { return kExitUpdated; }), kExitUpdated);
  EXPECT_EQ(RunUnattendedGuarded([]() -> int { throw std::runtime_error("disk full"); }), kExitAborted);
  EXPECT_EQ(RunUnattendedGuarded([]() -> int { throw 42; }), kExitAborted);
}

TEST(ProgramPaths, FolderOfTheExecutableOrItsReplacement) {
  EXPECT_EQ(WithTrailingSlash("/a/b"), "/a/b/");
  EXPECT_EQ(WithTrailingSlash("/a/b//"), "/a/b/");
  EXPECT_EQ(WithTrailingSlash("/"), "/");
  const std::string exeDir = ExecutableDir();
  EXPECT_EQ(exeDir.back(), '/');
  EXPECT_TRUE(QDir(QString::fromStdString(exeDir)).exists("foundation_test_options_global"));

  QTemporaryDir tmp;
  qputenv("QUILLMAR_APPDIR", (tmp.path() + "/portable").toLocal8Bit());
  EXPECT_EQ(ProgramDir(), tmp.path().toStdString() + "/portable/");
  EXPECT_TRUE(QDir(tmp.path() + "/portable").exists());
  qunsetenv("QUILLMAR_APPDIR");
  EXPECT_EQ(ProgramDir(), exeDir);  // the test folder is writable
  EXPECT_NE(UserDataDir().find("/Quillmar/Quillmar/"), std::string::npos);
}

}  // namespace
