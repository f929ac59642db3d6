// Extraction of archives that lie or harm: member names whose encoding only the zip UTF-8 flag
// tells (made with Python's zipfile and patched), archives that expand far beyond their size
// (zip bombs, members larger than declared), a disk too small for them (the free-space
// probe), and targets that change under the move. Nothing is half-done: the folder is either
// wholly updated or as it was, and the answer says which.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>

#include "common/test_support.h"
#include "database/sqlite_db.h"
#include "foundation/disk_space.h"
#include "update/acis_svr.h"
#include "update/archive_7zip.h"
#include "update_test_support.h"

using namespace updtest;
namespace fs = std::filesystem;

namespace {

class ArchiveHarmTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
  std::string P(const std::string& rel) const { return tmp_.path().toStdString() + "/" + rel; }
  // Runs the zip maker with its arguments (each quoted for the shell).
  void MakeZip(const std::vector<std::string>& args) {
    std::string cmd = "python3 '" + SourcePath("tests/update/make_zip_names.py") + "'";
    for (const auto& a : args) cmd += " '" + a + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
  }
  QTemporaryDir tmp_;
};

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

}  // namespace

// The UTF-8 flag decides; without it a name is CP932 even when its bytes are valid UTF-8 as
// well, unless its UTF-8 reading is plainly Japanese (tools that write UTF-8 unflagged).
TEST_F(ArchiveHarmTest, MemberNamesFollowTheUtf8Flag) {
  struct Case {
    std::string raw;
    bool flag;
    std::string expected;
  } cases[] = {
      {"\xc3\xbd.txt", false, "ﾃｽ.txt"},                        // CP932 half-width ﾃｽ, also UTF-8 "ý"
      {"\xc3\xbd\xc3\xbd\x2e\x63\x73\x76", false, "ﾃｽﾃｽ.csv"},
      {"\x93\x6f\x98\x5e\x8a\xee\x96\x7b\x95\x94.csv", false, "登録基本部.csv"},  // CP932
      {"\xc3\xbd.dat", true, "ý.dat"},                          // flagged: UTF-8
      {"テスト.csv", true, "テスト.csv"},
      {"テスト2.csv", false, "テスト2.csv"},                    // unflagged UTF-8, plainly Japanese
      {"\x83\x5c\x81\x5b\x83\x58.txt", false, "ソース.txt"},   // CP932 with 0x5C trail bytes
  };
  std::vector<std::string> args = {P("names.zip")};
  for (size_t i = 0; i < std::size(cases); ++i)
    args.push_back(Hex(cases[i].raw) + ":" + (cases[i].flag ? "1" : "0") + ":body" + std::to_string(i));
  MakeZip(args);
  TplArchiever7ZIP arc;
  std::string msg;
  ASSERT_TRUE(arc.Extract(P("names.zip"), P("out"), msg)) << msg;
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(ReadFile(P("out/" + cases[i].expected)), "body" + std::to_string(i)) << cases[i].expected;
  EXPECT_EQ(arc.ExtractedNames().size(), std::size(cases));

  EXPECT_EQ(ZipNameToUtf8("\xc3\xbd", false), "ﾃｽ");
  EXPECT_EQ(ZipNameToUtf8("\xc3\xbd", true), "ý");
  EXPECT_EQ(ZipNameToUtf8("caf\xc3\xa9", false), "caf\xef\xbe\x83\xef\xbd\xa9");  // CP932 wins over Latin UTF-8
  EXPECT_EQ(ZipNameToUtf8("\xff\xfe.txt", false), "__.txt");
}

// An archive that would expand far beyond its size, or beyond the free space, is refused
// before anything is written; a member that grows past its declared size stops the extraction.
TEST_F(ArchiveHarmTest, BombsAndFullDisksAreRefusedBeforeWriting) {
  ASSERT_TRUE(WriteFile(P("out/keep.txt"), "old"));
  MakeZip({"--bomb", P("bomb.zip"), "100"});  // 100 MiB of zeros in about 100 KB
  ASSERT_LT(fs::file_size(P("bomb.zip")), 1u << 20);
  TplArchiever7ZIP arc;
  std::string msg;
  EXPECT_FALSE(arc.Extract(P("bomb.zip"), P("out"), msg));
  EXPECT_NE(msg.find("times its own size"), std::string::npos) << msg;
  EXPECT_EQ(Files(P("out")), std::vector<std::string>{"keep.txt"});

  MakeZip({"--liar", P("liar.zip"), "10", "1000"});  // 10 MiB declared as 1,000 bytes
  EXPECT_FALSE(arc.Extract(P("liar.zip"), P("out"), msg));
  EXPECT_EQ(Files(P("out")), std::vector<std::string>{"keep.txt"});

  // 5 MB of members where the disk has the reserve and 1 MB more: refused whole.
  std::string five(5 << 20, '\0');
  for (size_t i = 0; i < five.size(); ++i) five[i] = char((i * 2654435761u) >> 13);
  ASSERT_TRUE(WriteFile(P("src/five.bin"), five));
  ASSERT_EQ(std::system(("cd '" + P("src") + "' && zip -q -0 '" + P("five.zip") + "' five.bin").c_str()), 0);
  TFreeSpaceProbe prev = SetFreeSpaceProbe([](const std::string&) { return kDiskReserveBytes + (1 << 20); });
  EXPECT_FALSE(arc.Extract(P("five.zip"), P("out"), msg));
  EXPECT_NE(msg.find("not enough free space"), std::string::npos) << msg;
  EXPECT_EQ(Files(P("out")), std::vector<std::string>{"keep.txt"});
  SetFreeSpaceProbe(prev);
  ASSERT_TRUE(arc.Extract(P("five.zip"), P("out"), msg)) << msg;
  EXPECT_TRUE(ReadFile(P("out/five.bin")) == five);
}

// Every target is checked before anything moves; a move that fails later puts back what was
// moved before it, and the extraction reports failure.
TEST_F(ArchiveHarmTest, MovesAreAllOrNothing) {
  ASSERT_TRUE(WriteFile(P("src/a.txt"), "new a"));
  ASSERT_TRUE(WriteFile(P("src/b.txt"), "new b"));
  ASSERT_TRUE(WriteFile(P("src/sub/s.txt"), "new s"));
  ASSERT_TRUE(WriteFile(P("src/c.txt"), "new c"));
  ASSERT_EQ(std::system(("cd '" + P("src") + "' && zip -q '" + P("abc.zip") + "' a.txt b.txt sub/s.txt c.txt").c_str()), 0);
  ASSERT_TRUE(WriteFile(P("out/a.txt"), "old a"));
  ASSERT_TRUE(WriteFile(P("out/b.txt/inside"), "a folder where b.txt goes"));
  TplArchiever7ZIP arc;
  std::string msg;
  EXPECT_FALSE(arc.Extract(P("abc.zip"), P("out"), msg));
  EXPECT_NE(msg.find("a folder is in the way: b.txt"), std::string::npos) << msg;
  EXPECT_EQ(ReadFile(P("out/a.txt")), "old a");
  EXPECT_EQ(Files(P("out")), (std::vector<std::string>{"a.txt", "b.txt", "b.txt/inside"}));

  // The folder changes under the move: c.txt meets a folder when its turn comes.
  fs::remove_all(P("out/b.txt"));
  ASSERT_TRUE(WriteFile(P("out/b.txt"), "old b"));
  arc.BeforeMove = [&](const std::string& name) {
    if (name == "c.txt") fs::create_directories(P("out/c.txt/x"));
  };
  EXPECT_FALSE(arc.Extract(P("abc.zip"), P("out"), msg));
  EXPECT_EQ(ReadFile(P("out/a.txt")), "old a");
  EXPECT_EQ(ReadFile(P("out/b.txt")), "old b");
  EXPECT_FALSE(fs::exists(P("out/sub")));  // the folder the move made is gone again
  EXPECT_TRUE(arc.ExtractedNames().empty());
  fs::remove_all(P("out/c.txt"));
  arc.BeforeMove = nullptr;
  ASSERT_TRUE(arc.Extract(P("abc.zip"), P("out"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out/b.txt")), "new b");
  EXPECT_EQ(ReadFile(P("out/sub/s.txt")), "new s");
}

// A prebuilt pair goes in whole or not at all: a database that fails to take its place puts
// back the one before it, and a member that could not be unpacked (a link) fails the install.
// The installed files carry the look-up indexes.
TEST_F(ArchiveHarmTest, DatabaseInstallNeverReportsSuccessAfterAFailure) {
  fs::create_directories(P("new"));
  fs::create_directories(P("DB"));
  for (const char* name : {"acis.db", "spec.db"}) {
    TSQLiteDb db(P(std::string("new/") + name));
    db.ExecSQL(std::string("CREATE TABLE ") + (name[0] == 'a' ? "seibun(bango, ippanmei)" : "iso(ippanmei, iso)"));
    if (name[0] == 'a') {
      db.ExecSQL("CREATE TABLE m_kihon(bango, meisho)");
      db.ExecSQL("CREATE TABLE m_tekiyo(bango, sakumotsu)");
    }
  }
  auto zip = [&](const std::string& archive, const std::string& members, const char* flags = "") {
    fs::remove(P(archive));
    return std::system(("cd '" + P("new") + "' && zip -q " + flags + " '" + P(archive) + "' " + members).c_str());
  };
  auto zipPair = [&] { return zip("acis.zip", "acis.db") == 0 && zip("spec.zip", "spec.db") == 0; };
  ASSERT_TRUE(zipPair());
  {
    TSQLiteDb db(P("DB/acis.db"));
    db.ExecSQL("CREATE TABLE old(x)");
  }
  const std::string oldAcis = ReadFile(P("DB/acis.db"));
  // spec.db cannot be replaced (a folder in its place).
  fs::create_directories(P("DB/spec.db/in-the-way"));
  const TSvrHooks hooks;
  std::string why;
  EXPECT_FALSE(InstallPrebuiltPair(P("acis.zip"), P("spec.zip"), P("DB"), hooks, &why));
  EXPECT_NE(why.find("spec.db"), std::string::npos) << why;
  EXPECT_TRUE(ReadFile(P("DB/acis.db")) == oldAcis);
  EXPECT_TRUE(fs::is_directory(P("DB/spec.db/in-the-way")));
  fs::remove_all(P("DB/spec.db"));

  ASSERT_TRUE(zipPair());
  ASSERT_TRUE(InstallPrebuiltPair(P("acis.zip"), P("spec.zip"), P("DB"), hooks, &why)) << why;
  {
    TSQLiteDb acis(P("DB/acis.db"));
    EXPECT_EQ(acis.GetTable("SELECT count(*) FROM sqlite_master WHERE name = 'idxSeibunIppanmei'")->FieldAsInteger(0),
              1);
    TSQLiteDb spec(P("DB/spec.db"));
    EXPECT_EQ(spec.GetTable("SELECT count(*) FROM sqlite_master WHERE name = 'idxIsoIppanmei'")->FieldAsInteger(0), 1);
  }

  // A link among the members: nothing is installed.
  ASSERT_EQ(::symlink("/etc/passwd", P("new/jpp.db").c_str()), 0);
  ASSERT_EQ(zip("acis.zip", "acis.db jpp.db", "-y"), 0);
  const std::string before = ReadFile(P("DB/acis.db"));
  EXPECT_FALSE(InstallPrebuiltPair(P("acis.zip"), P("spec.zip"), P("DB"), hooks, &why));
  EXPECT_TRUE(ReadFile(P("DB/acis.db")) == before);
  EXPECT_FALSE(fs::exists(P("DB/jpp.db")));
}
