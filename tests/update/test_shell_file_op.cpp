// File copies, moves, deletions and renames on a real file system.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "foundation/message_sink.h"
#include "update/shell_file_op.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& data, std::time_t mtime = 1546862400) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
  }
  struct timespec t[2] = {{mtime, 0}, {mtime, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), t, 0);
}

std::time_t MTime(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> List(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& n : QDir(QString::fromStdString(dir)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
    out.push_back(n.toStdString());
  std::sort(out.begin(), out.end());
  return out;
}

// Answers every question with a fixed button and counts them.
class TAnsweringSink : public TMessageSink {
 public:
  explicit TAnsweringSink(TMsgAnswer a) : answer_(a) {}
  TMsgAnswer Show(const TMessage&, TMsgButtons, TMsgAnswer) override {
    ++asked;
    return answer_;
  }
  int asked = 0;

 private:
  TMsgAnswer answer_;
};

class ShellOpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    ::mkdir(P("src").c_str(), 0755);
    WriteFile(P("src/a.csv"), "aaa");
    WriteFile(P("src/b.csv"), "bbb");
    WriteFile(P("src/note.txt"), "note");
    ::mkdir(P("src/dir.csv").c_str(), 0755);  // a folder the wildcard also matches
    WriteFile(P("src/dir.csv/inner.txt"), "inner", 1262304000);
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
  WriteFile(P("target.csv"), "old", 1700000000);
  TShfOperation op;
  op.OperationF = TwFunc::foCOPY;
  op.FromFFList = {P("src/a.csv")};
  op.ToFolder = P("target.csv");
  op.Options.NOCONFIRMATION = true;
  ASSERT_EQ(op.Execute(), 0);
  EXPECT_EQ(ReadFile(P("target.csv")), "aaa");
  EXPECT_EQ(MTime(P("target.csv")), 1546862400);
  EXPECT_FALSE(op.fAbort());

  // Wildcards into a folder that does not exist yet; FILESONLY leaves the matching folder out.
  TShfOperation wild;
  wild.OperationF = TwFunc::foCOPY;
  wild.FromFFList = {P("src/*.csv")};
  wild.ToFolder = P("dest");
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
  TShfOperation again;
  again.OperationF = TwFunc::foCOPY;
  again.FromFFList = {P("src/a.csv")};
  again.ToFolder = P("dest");
  again.Options.RENAMEONCOLLISION = true;
  ASSERT_EQ(again.Execute(), 0);
  ASSERT_EQ(again.Execute(), 0);
  EXPECT_EQ(ReadFile(P("dest/a (2).csv")), "aaa");
  EXPECT_EQ(ReadFile(P("dest/a (3).csv")), "aaa");
  TShfOperation self;
  self.OperationF = TwFunc::foCOPY;
  self.FromFFList = {P("src/a.csv")};
  self.ToFolder = P("src");
  self.Options.NOCONFIRMATION = true;
  EXPECT_EQ(self.Execute(), SHF_DE_SAMEFILE);

  // One destination per source.
  TShfOperation multi;
  multi.OperationF = TwFunc::foCOPY;
  multi.FromFFList = {P("src/a.csv"), P("src/b.csv")};
  multi.ToFiles = {P("m1.csv"), P("m2.csv")};
  multi.Options.MUILIDESTFILES = true;
  ASSERT_EQ(multi.Execute(), 0);
  EXPECT_EQ(ReadFile(P("m1.csv")), "aaa");
  EXPECT_EQ(ReadFile(P("m2.csv")), "bbb");
  multi.ToFiles = {P("m3.csv")};
  EXPECT_EQ(multi.Execute(), SHF_DE_INVALIDFILES);

  // Missing sources.
  TShfOperation missing;
  missing.OperationF = TwFunc::foCOPY;
  missing.FromFFList = {P("src/none.csv")};
  missing.ToFolder = P("dest");
  EXPECT_EQ(missing.Execute(), SHF_ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(std::none_of(List(P("dest")).begin(), List(P("dest")).end(),
                           [](const std::string& n) { return n.find("qmcopy") != std::string::npos; }));
}

TEST_F(ShellOpTest, QuestionsAndCancelLeaveTheTargetAsItWas) {
  WriteFile(P("target.csv"), "old", 1700000000);
  {
    TAnsweringSink no(TMsgAnswer::No);
    TScopedMessageSink scoped(&no);
    TShfOperation op;
    op.OperationF = TwFunc::foCOPY;
    op.FromFFList = {P("src/a.csv")};
    op.ToFolder = P("target.csv");
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
    TShfOperation del;
    del.OperationF = TwFunc::foDELETE;
    del.FromFFList = {P("src/note.txt")};
    EXPECT_EQ(del.Execute(), SHF_DE_OPCANCELLED);
    EXPECT_TRUE(Exists(P("src/note.txt")));
  }

  // Cancel in the middle of a large copy: the old target stays whole, no temporary is left.
  std::string big(24 << 20, 'x');
  WriteFile(P("src/big.bin"), big);
  WriteFile(P("big.bin"), "previous");
  std::vector<std::string> titles;
  TShfOperation op;
  op.OperationF = TwFunc::foCOPY;
  op.FromFFList = {P("src/big.bin")};
  op.ToFolder = P("big.bin");
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
  TShfOperation mv;
  mv.OperationF = TwFunc::foMOVE;
  mv.FromFFList = {P("src/a.csv"), P("src/dir.csv")};
  mv.ToFolder = P("moved");
  mv.Options.NOCONFIRMMKDIR = true;
  ASSERT_EQ(mv.Execute(), 0);
  EXPECT_FALSE(Exists(P("src/a.csv")));
  EXPECT_EQ(ReadFile(P("moved/a.csv")), "aaa");
  EXPECT_EQ(MTime(P("moved/a.csv")), 1546862400);
  EXPECT_EQ(ReadFile(P("moved/dir.csv/inner.txt")), "inner");
  // A folder cannot go into itself.
  mv.FromFFList = {P("moved")};
  mv.ToFolder = P("moved/dir.csv");
  EXPECT_EQ(mv.Execute(), SHF_DE_DESTSUBTREE);
  EXPECT_TRUE(Exists(P("moved/a.csv")));

  TShfOperation ren;
  ren.OperationF = TwFunc::foRENAME;
  ren.FromFFList = {P("src/b.csv")};
  ren.ToFolder = "renamed.csv";  // a bare name stays in the source's folder
  ASSERT_EQ(ren.Execute(), 0);
  EXPECT_EQ(ReadFile(P("src/renamed.csv")), "bbb");
  ren.FromFFList = {P("src/note.txt")};
  EXPECT_EQ(ren.Execute(), SHF_ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadFile(P("src/renamed.csv")), "bbb");
  ren.FromFFList = {P("src/note.txt"), P("src/renamed.csv")};
  EXPECT_EQ(ren.Execute(), SHF_DE_INVALIDFILES);

  // A symbolic link is deleted, not what it points to.
  ASSERT_EQ(::symlink(P("moved").c_str(), P("src/link").c_str()), 0);
  TShfOperation del;
  del.OperationF = TwFunc::foDELETE;
  del.FromFFList = {P("src/*"), P("src/none")};
  del.Options.NOCONFIRMATION = true;
  EXPECT_EQ(del.Execute(), SHF_ERROR_FILE_NOT_FOUND);  // checked before anything goes
  EXPECT_TRUE(Exists(P("src/note.txt")));
  del.FromFFList = {P("src/*")};
  ASSERT_EQ(del.Execute(), 0);
  EXPECT_EQ(List(P("src")), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(P("moved/a.csv")), "aaa");
}
