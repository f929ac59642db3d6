// File copies, moves, deletions and renames on a real file system.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>

#include "foundation/message_sink.h"
#include "update/shell_file_op.h"
#include "update_test_support.h"

using namespace updtest;

namespace {

// Sources and targets carry this time unless a test gives another.
constexpr std::time_t kFileTime = 1546862400;  // 2019-01-07 12:00:00 UTC

// An operation on the given sources; `to` is the destination folder, or name.
TShfOperation Op(TwFunc func, std::vector<std::string> from, std::string to = "") {
  TShfOperation op;
  op.OperationF = func;
  op.FromFFList = std::move(from);
  op.ToFolder = std::move(to);
  return op;
}

class ShellOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    ASSERT_TRUE(WriteFile(P("src/a.csv"), "aaa", kFileTime));
    ASSERT_TRUE(WriteFile(P("src/b.csv"), "bbb", kFileTime));
    ASSERT_TRUE(WriteFile(P("src/note.txt"), "note", kFileTime));
    // A folder the wildcard also matches.
    ASSERT_TRUE(WriteFile(P("src/dir.csv/inner.txt"), "inner", 1262304000));
  }
  std::string P(const std::string& rel) const { return tmp_.path().toStdString() + "/" + rel; }
  QTemporaryDir tmp_;
};

}  // namespace

TEST(ShellOpFlags, FlagWordAndMissingArguments) {
  TfFlags f;
  EXPECT_EQ(f.FlagWord(), 0u);
  f.ALLOWUNDO = f.FILESONLY = f.MUILIDESTFILES = f.NOCONFIRMATION = true;
  f.NOCONFIRMMKDIR = f.RENAMEONCOLLISION = f.SILENT = f.SIMPLEPROGRESS = true;
  EXPECT_EQ(f.FlagWord(), 0x40u | 0x80u | 0x01u | 0x10u | 0x200u | 0x08u | 0x04u | 0x100u);

  TShfOperation op;
  EXPECT_EQ(op.OperationF, TwFunc::foMOVE);
  try {
    op.Execute();
    ADD_FAILURE() << "no exception without sources";
  } catch (const EShfOperation& e) {
    EXPECT_STREQ(e.what(), "ShfOperation:ﾌｧｲﾙが指定されていません.");
  }
  op.FromFFList = {"/nonexistent"};
  op.Options.MUILIDESTFILES = true;
  try {
    op.Execute();
    ADD_FAILURE() << "no exception without targets";
  } catch (const EShfOperation& e) {
    EXPECT_STREQ(e.what(), "ShfOperation:ﾀｰｹﾞｯﾄが指定されていません.");
  }
}

TEST_F(ShellOpTest, CopiesKeepTimesAndFollowTheDestinationRules) {
  // One source onto a file name: overwritten without a question, source time kept.
  ASSERT_TRUE(WriteFile(P("target.csv"), "old", 1700000000));
  TShfOperation op = Op(TwFunc::foCOPY, {P("src/a.csv")}, P("target.csv"));
  op.Options.NOCONFIRMATION = true;
  ASSERT_EQ(op.Execute(), 0);
  EXPECT_EQ(ReadFile(P("target.csv")), "aaa");
  EXPECT_EQ(MTime(P("target.csv")), kFileTime);
  EXPECT_FALSE(op.fAbort());

  // Wildcards into a folder that does not exist yet; FILESONLY leaves the matching folder out.
  TShfOperation wild = Op(TwFunc::foCOPY, {P("src/*.csv")}, P("dest"));
  wild.Options.NOCONFIRMMKDIR = true;
  wild.Options.FILESONLY = true;
  ASSERT_EQ(wild.Execute(), 0);
  EXPECT_EQ(List(P("dest")), (std::vector<std::string>{"a.csv", "b.csv"}));
  // Without FILESONLY the folder comes along, recursively and with its times.
  wild.Options.FILESONLY = false;
  wild.Options.NOCONFIRMATION = true;
  ASSERT_EQ(wild.Execute(), 0);
  EXPECT_EQ(List(P("dest")), (std::vector<std::string>{"a.csv", "b.csv", "dir.csv"}));
  EXPECT_EQ(ReadFile(P("dest/dir.csv/inner.txt")), "inner");
  EXPECT_EQ(MTime(P("dest/dir.csv/inner.txt")), 1262304000);

  // A collision renames the copy; a copy onto itself is refused unless renaming.
  TShfOperation again = Op(TwFunc::foCOPY, {P("src/a.csv")}, P("dest"));
  again.Options.RENAMEONCOLLISION = true;
  ASSERT_EQ(again.Execute(), 0);
  ASSERT_EQ(again.Execute(), 0);
  EXPECT_EQ(ReadFile(P("dest/a (2).csv")), "aaa");
  EXPECT_EQ(ReadFile(P("dest/a (3).csv")), "aaa");
  TShfOperation self = Op(TwFunc::foCOPY, {P("src/a.csv")}, P("src"));
  self.Options.NOCONFIRMATION = true;
  EXPECT_EQ(self.Execute(), SHF_DE_SAMEFILE);

  // One destination per source.
  TShfOperation multi = Op(TwFunc::foCOPY, {P("src/a.csv"), P("src/b.csv")});
  multi.ToFiles = {P("m1.csv"), P("m2.csv")};
  multi.Options.MUILIDESTFILES = true;
  ASSERT_EQ(multi.Execute(), 0);
  EXPECT_EQ(ReadFile(P("m1.csv")), "aaa");
  EXPECT_EQ(ReadFile(P("m2.csv")), "bbb");
  multi.ToFiles = {P("m3.csv")};
  EXPECT_EQ(multi.Execute(), SHF_DE_INVALIDFILES);

  // Missing sources; no temporary copy is left behind.
  TShfOperation missing = Op(TwFunc::foCOPY, {P("src/none.csv")}, P("dest"));
  EXPECT_EQ(missing.Execute(), SHF_ERROR_FILE_NOT_FOUND);
  for (const auto& n : List(P("dest"))) EXPECT_EQ(n.find("qmcopy"), std::string::npos) << n;
}

TEST_F(ShellOpTest, QuestionsAndCancelLeaveTheTargetAsItWas) {
  ASSERT_TRUE(WriteFile(P("target.csv"), "old", 1700000000));
  {
    TAnsweringSink no(TMsgAnswer::No);
    TScopedMessageSink scoped(&no);
    TShfOperation op = Op(TwFunc::foCOPY, {P("src/a.csv")}, P("target.csv"));
    EXPECT_EQ(op.Execute(), 0);
    EXPECT_TRUE(op.fAbort());
    EXPECT_EQ(no.asked, 1);
    EXPECT_EQ(ReadFile(P("target.csv")), "old");
    // Declining to create the folder stops the copy.
    op.FromFFList = {P("src/*.csv")};
    op.ToFolder = P("newdir");
    EXPECT_EQ(op.Execute(), SHF_DE_OPCANCELLED);
    EXPECT_FALSE(Exists(P("newdir")));
    // Declining a deletion keeps the file.
    EXPECT_EQ(Op(TwFunc::foDELETE, {P("src/note.txt")}).Execute(), SHF_DE_OPCANCELLED);
    EXPECT_TRUE(Exists(P("src/note.txt")));
  }

  // Cancel in the middle of a large copy: the old target stays whole, no temporary is left.
  std::string big(24 << 20, 'x');
  ASSERT_TRUE(WriteFile(P("src/big.bin"), big, kFileTime));
  ASSERT_TRUE(WriteFile(P("big.bin"), "previous", kFileTime));
  std::vector<std::string> titles;
  TShfOperation op = Op(TwFunc::foCOPY, {P("src/big.bin")}, P("big.bin"));
  op.Options.NOCONFIRMATION = true;
  op.ProgressTitle = "データのコピー";
  op.OnProgress = [&](const std::string& title, const std::string&, std::uint64_t done, std::uint64_t total,
                      bool& cancel) {
    titles.push_back(title);
    EXPECT_EQ(total, big.size());
    if (done > 0) cancel = true;
  };
  EXPECT_EQ(op.Execute(), SHF_DE_OPCANCELLED);
  EXPECT_TRUE(op.fAbort());
  EXPECT_TRUE(ReadFile(P("big.bin")) == "previous");
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0], "データのコピー");
  for (const auto& n : List(tmp_.path().toStdString())) EXPECT_EQ(n.find("qmcopy"), std::string::npos) << n;
}

TEST_F(ShellOpTest, MoveDeleteAndRename) {
  TShfOperation mv = Op(TwFunc::foMOVE, {P("src/a.csv"), P("src/dir.csv")}, P("moved"));
  mv.Options.NOCONFIRMMKDIR = true;
  ASSERT_EQ(mv.Execute(), 0);
  EXPECT_FALSE(Exists(P("src/a.csv")));
  EXPECT_EQ(ReadFile(P("moved/a.csv")), "aaa");
  EXPECT_EQ(MTime(P("moved/a.csv")), kFileTime);
  EXPECT_EQ(ReadFile(P("moved/dir.csv/inner.txt")), "inner");
  // A folder cannot go into itself.
  mv.FromFFList = {P("moved")};
  mv.ToFolder = P("moved/dir.csv");
  EXPECT_EQ(mv.Execute(), SHF_DE_DESTSUBTREE);
  EXPECT_TRUE(Exists(P("moved/a.csv")));

  // A bare name stays in the source's folder.
  TShfOperation ren = Op(TwFunc::foRENAME, {P("src/b.csv")}, "renamed.csv");
  ASSERT_EQ(ren.Execute(), 0);
  EXPECT_EQ(ReadFile(P("src/renamed.csv")), "bbb");
  ren.FromFFList = {P("src/note.txt")};
  EXPECT_EQ(ren.Execute(), SHF_ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadFile(P("src/renamed.csv")), "bbb");
  ren.FromFFList = {P("src/note.txt"), P("src/renamed.csv")};
  EXPECT_EQ(ren.Execute(), SHF_DE_INVALIDFILES);

  // A symbolic link is deleted, not what it points to.
  ASSERT_EQ(::symlink(P("moved").c_str(), P("src/link").c_str()), 0);
  TShfOperation del = Op(TwFunc::foDELETE, {P("src/*"), P("src/none")});
  del.Options.NOCONFIRMATION = true;
  EXPECT_EQ(del.Execute(), SHF_ERROR_FILE_NOT_FOUND);  // checked before anything goes
  EXPECT_TRUE(Exists(P("src/note.txt")));
  del.FromFFList = {P("src/*")};
  ASSERT_EQ(del.Execute(), 0);
  EXPECT_EQ(List(P("src")), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(P("moved/a.csv")), "aaa");
}

// A copy takes what a symbolic link points to, as the shell's copy does: the file's contents
// (never a link, let alone a dangling one, in the target), a linked folder's files; a link
// that leads nowhere is a missing source, and a link back into the folder being copied ends
// with an error instead of running for ever. A move keeps the link itself.
TEST_F(ShellOpTest, CopiesFollowSymbolicLinks) {
  ASSERT_EQ(::symlink(P("src/a.csv").c_str(), P("link.csv").c_str()), 0);
  ASSERT_EQ(::symlink("relative-nowhere", P("dangling.csv").c_str()), 0);
  ASSERT_EQ(::symlink(P("src/dir.csv").c_str(), P("src/linked-dir").c_str()), 0);

  TShfOperation one = Op(TwFunc::foCOPY, {P("link.csv")}, P("out/copy.csv"));
  one.Options.NOCONFIRMATION = true;
  ASSERT_EQ(one.Execute(), 0);
  struct stat st {};
  ASSERT_EQ(::lstat(P("out/copy.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadFile(P("out/copy.csv")), "aaa");
  EXPECT_EQ(MTime(P("out/copy.csv")), kFileTime);

  TShfOperation dangling = Op(TwFunc::foCOPY, {P("dangling.csv")}, P("out/copy.csv"));
  dangling.Options.NOCONFIRMATION = true;
  EXPECT_EQ(dangling.Execute(), SHF_ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ReadFile(P("out/copy.csv")), "aaa");

  TShfOperation tree = Op(TwFunc::foCOPY, {P("src")}, P("tree"));
  tree.Options.NOCONFIRMATION = true;
  tree.Options.NOCONFIRMMKDIR = true;
  ASSERT_EQ(tree.Execute(), 0);
  ASSERT_EQ(::lstat(P("tree/linked-dir").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(ReadFile(P("tree/linked-dir/inner.txt")), "inner");

  ASSERT_EQ(::symlink(P("src").c_str(), P("src/dir.csv/loop").c_str()), 0);
  TShfOperation loop = Op(TwFunc::foCOPY, {P("src")}, P("tree2"));
  loop.Options.NOCONFIRMATION = true;
  loop.Options.NOCONFIRMMKDIR = true;
  EXPECT_EQ(loop.Execute(), SHF_DE_DESTSUBTREE);

  TShfOperation mv = Op(TwFunc::foMOVE, {P("link.csv")}, P("moved.csv"));
  mv.Options.NOCONFIRMATION = true;
  ASSERT_EQ(mv.Execute(), 0);
  ASSERT_EQ(::lstat(P("moved.csv").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}
