// Extraction of archives made by real tools: Info-ZIP's zip, libarchive's writer and jLHA.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/test_support.h"
#include "update/archive_7zip.h"
#include "update_test_support.h"

using namespace updtest;

namespace {

// Every name below `dir`, relative, sorted ("sub/", "sub/f.txt").
std::vector<std::string> Tree(const std::string& dir) {
  std::vector<std::string> out;
  QDir root(QString::fromStdString(dir));
  std::vector<QString> todo{""};
  while (!todo.empty()) {
    QString rel = todo.back();
    todo.pop_back();
    QDir d(root.filePath(rel));
    for (const auto& info : d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)) {
      QString name = rel.isEmpty() ? info.fileName() : rel + "/" + info.fileName();
      if (info.isDir() && !info.isSymLink()) {
        out.push_back(name.toStdString() + "/");
        todo.push_back(name);
      } else {
        out.push_back(name.toStdString());
      }
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct Member {
  Member(std::string n, std::string d = "", mode_t t = AE_IFREG, std::string l = "")
      : name(std::move(n)), data(std::move(d)), type(t), link(std::move(l)) {}
  std::string name;
  std::string data;
  mode_t type;
  std::string link;                // symbolic link target
  std::time_t mtime = 1546862400;  // 2019-01-07 12:00:00 UTC
};

// Writes a ZIP with libarchive's writer; with cp932 the UTF-8 names are stored in CP932 as
// Japanese Windows tools do.
void WriteZip(const std::string& path, const std::vector<Member>& members, bool cp932, bool store = false) {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  ASSERT_NE(utf8, locale_t(0));
  locale_t prev = uselocale(utf8);
  archive* a = archive_write_new();
  archive_write_set_format_zip(a);
  if (cp932) {
    ASSERT_EQ(archive_write_set_options(a, "hdrcharset=CP932"), ARCHIVE_OK) << archive_error_string(a);
  }
  if (store) archive_write_set_options(a, "compression=store");
  ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
  for (const auto& m : members) {
    archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, m.name.c_str());
    archive_entry_set_filetype(e, m.type);
    archive_entry_set_perm(e, m.type == AE_IFDIR ? 0755 : 0644);
    archive_entry_set_mtime(e, m.mtime, 0);
    if (m.type == AE_IFLNK) archive_entry_set_symlink(e, m.link.c_str());
    if (m.type == AE_IFREG) archive_entry_set_size(e, la_int64_t(m.data.size()));
    ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK) << m.name << ": " << archive_error_string(a);
    if (m.type == AE_IFREG && !m.data.empty()) archive_write_data(a, m.data.data(), m.data.size());
    archive_entry_free(e);
  }
  archive_write_close(a);
  archive_write_free(a);
  uselocale(prev);
  freelocale(utf8);
}

std::string Cp932(const char* utf8) {
  // The few CP932 byte strings the tests need, spelled out.
  std::string s = utf8;
  if (s == "表") return "\x95\x5c";
  if (s == "登録基本部") return "\x93\x6f\x98\x5e\x8a\xee\x96\x7b\x95\x94";
  if (s == "ソ") return "\x83\x5c";
  return s;
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
  std::string P(const std::string& rel) const { return tmp_.path().toStdString() + "/" + rel; }
  QTemporaryDir tmp_;
};

}  // namespace

TEST(ArchiveNames, Cp932AndUtf8NamesAndPathSafety) {
  const std::pair<std::string, std::string> names[] = {
      {"plain/a.txt", "plain/a.txt"},
      {"登録基本部.csv", "登録基本部.csv"},  // UTF-8 stays
      {Cp932("登録基本部") + ".csv", "登録基本部.csv"},
      {"dir\\" + Cp932("ソ") + ".txt", "dir/ソ.txt"},  // 0x5C inside a character is no separator
      {Cp932("表") + "\\x", "表/x"},
      {"bad\xff.txt", "bad_.txt"},
  };
  for (const auto& [raw, utf8] : names) EXPECT_EQ(ArchiveNameToUtf8(raw), utf8) << utf8;

  struct Case {
    const char* name;
    bool ok;
    std::vector<std::string> parts;
  } cases[] = {
      {"a/b.txt", true, {"a", "b.txt"}},
      {"./a//b/./c", true, {"a", "b", "c"}},
      {"/etc/passwd", true, {"etc", "passwd"}},
      {"C:/data/x.csv", true, {"data", "x.csv"}},
      {"a/..b/c..", true, {"a", "..b", "c.."}},
      {"../evil", false, {}},
      {"a/../../evil", false, {}},
      {"a/..", false, {}},
      {"..", false, {}},
      {"", true, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> parts{"stale"};
    EXPECT_EQ(SafeArchivePath(c.name, parts), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(parts, c.parts) << c.name;
    }
  }
  TplArchiever7ZIP arc;
  EXPECT_TRUE(arc.Loaded());
  EXPECT_EQ(arc.VersionText().rfind("Ver. 3.", 0), 0u) << arc.VersionText();
}

TEST_F(ArchiveTest, ZipFromInfoZipKeepsNamesContentsAndTimes) {
  ASSERT_EQ(::mkdir(P("src").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(P("src/フォルダ").c_str(), 0755), 0);
  WriteFile(P("src/登録適用部一.csv"), "a,b\r\n1,2\r\n");
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char('a' + (i * 7919) % 26);
  WriteFile(P("src/フォルダ/big.bin"), big);
  std::string cmd = "cd '" + P("src") + "' && touch -d '2019-01-07 12:00:00 UTC' 登録適用部一.csv フォルダ/big.bin" +
                    " && zip -q -r '" + P("my data.zip") + "' 登録適用部一.csv フォルダ";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  TplArchiever7ZIP arc;
  std::string msg;
  // Blanks in both paths reach the archiver whole.
  ASSERT_TRUE(arc.Extract(P("my data.zip"), P("out dir"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out dir/登録適用部一.csv")), "a,b\r\n1,2\r\n");
  EXPECT_EQ(ReadFile(P("out dir/フォルダ/big.bin")), big);
  EXPECT_EQ(MTime(P("out dir/登録適用部一.csv")), 1546862400);
  EXPECT_EQ(MTime(P("out dir/フォルダ/big.bin")), 1546862400);
  EXPECT_EQ(arc.ExtractedNames(), (std::vector<std::string>{"登録適用部一.csv", "フォルダ/big.bin"}));
  EXPECT_NE(msg.find("フォルダ/big.bin"), std::string::npos);
  EXPECT_EQ(Tree(P("out dir")), (std::vector<std::string>{"フォルダ/", "フォルダ/big.bin", "登録適用部一.csv"}));

  // Extracting again overwrites without asking.
  WriteFile(P("out dir/登録適用部一.csv"), "changed locally");
  ASSERT_TRUE(arc.Extract(P("my data.zip"), P("out dir"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out dir/登録適用部一.csv")), "a,b\r\n1,2\r\n");
}

TEST_F(ArchiveTest, Cp932ZipAndLzhUnderAZipName) {
  WriteZip(P("cp932.zip"),
           {{"登録基本部.csv", "kihon"}, {"表/", "", AE_IFDIR}, {"表/適用.txt", "tekiyo"}}, true);
  // The names really are CP932 in the file (the writer did not fall back to UTF-8).
  std::string raw = ReadFile(P("cp932.zip"));
  ASSERT_NE(raw.find(Cp932("登録基本部") + ".csv"), std::string::npos);
  TplArchiever7ZIP arc;
  std::string msg;
  ASSERT_TRUE(arc.Extract(P("cp932.zip"), P("out"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out/登録基本部.csv")), "kihon");
  EXPECT_EQ(ReadFile(P("out/表/適用.txt")), "tekiyo");
  EXPECT_EQ(MTime(P("out/表/適用.txt")), 1546862400);

  // An LHA archive (jLHA, CP932 names, -lh5-) saved under a ".zip" name, as the public
  // service delivers some of its files.
  std::string lzh = ReadFile(SourcePath("tests/update/archive_fixtures/cp932_names.lzh"));
  ASSERT_FALSE(lzh.empty());
  WriteFile(P("登録適用部二.zip"), lzh);
  ASSERT_TRUE(arc.Extract(P("登録適用部二.zip"), P("lzh"), msg)) << msg;
  EXPECT_EQ(arc.ExtractedNames(), (std::vector<std::string>{"登録基本部.csv", "サブ/ソース.txt"}));
  std::string csv = ReadFile(P("lzh/登録基本部.csv"));
  EXPECT_EQ(csv.size(), 972u);
  EXPECT_EQ(csv.substr(0, 8), "\x93\x6f\x98\x5e\x94\xd4\x8d\x86");  // "登録番号" in CP932
  EXPECT_EQ(ReadFile(P("lzh/サブ/ソース.txt")), "abc\n");
  EXPECT_EQ(MTime(P("lzh/登録基本部.csv")), 1546862400);
}

TEST_F(ArchiveTest, NamesOutsideTheFolderLinksAndDamageNeverReachTheDisk) {
  ASSERT_EQ(::mkdir(P("out").c_str(), 0755), 0);
  WriteFile(P("out/keep.txt"), "old");

  // "../evil" next to harmless members: nothing at all is written.
  WriteZip(P("evil.zip"), {{"ok.txt", "fine"}, {"../evil.txt", "gotcha"}, {"a/../../evil2.txt", "x"}}, false);
  TplArchiever7ZIP arc;
  std::string msg;
  EXPECT_FALSE(arc.Extract(P("evil.zip"), P("out"), msg));
  EXPECT_NE(msg.find("../evil.txt"), std::string::npos) << msg;
  EXPECT_FALSE(Exists(P("evil.txt")));
  EXPECT_FALSE(Exists(P("evil2.txt")));
  EXPECT_EQ(Tree(P("out")), std::vector<std::string>{"keep.txt"});
  EXPECT_TRUE(arc.ExtractedNames().empty());

  // Absolute names land inside the folder; link members are never created.
  WriteZip(P("links.zip"),
           {{"/abs.txt", "abs"}, {"link", "", AE_IFLNK, "/etc"}, {"inside.txt", "in"}}, false);
  ASSERT_TRUE(arc.Extract(P("links.zip"), P("out"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out/abs.txt")), "abs");
  EXPECT_FALSE(Exists(P("out/link")));
  EXPECT_NE(msg.find("link"), std::string::npos);
  EXPECT_EQ(Tree(P("out")), (std::vector<std::string>{"abs.txt", "inside.txt", "keep.txt"}));

  // A symbolic link already in the folder is not followed out of it.
  ASSERT_EQ(::mkdir(P("elsewhere").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(P("elsewhere").c_str(), P("out/sub").c_str()), 0);
  WriteZip(P("through.zip"), {{"sub/f.txt", "x"}}, false);
  EXPECT_FALSE(arc.Extract(P("through.zip"), P("out"), msg));
  EXPECT_EQ(Tree(P("elsewhere")), std::vector<std::string>{});

  // A truncated archive and one with a damaged member: the folder keeps its old files.
  std::string body(200000, 'z');
  for (size_t i = 0; i < body.size(); i += 13) body[i] = char(i);
  WriteZip(P("good.zip"), {{"keep.txt", "new"}, {"data.bin", body}}, false, true);
  std::string zip = ReadFile(P("good.zip"));
  WriteFile(P("cut.zip"), zip.substr(0, zip.size() / 2));
  EXPECT_FALSE(arc.Extract(P("cut.zip"), P("out"), msg));
  EXPECT_FALSE(msg.empty());
  std::string bad = zip;
  size_t at = bad.find(body.substr(1000, 64));
  ASSERT_NE(at, std::string::npos);
  bad[at] ^= 0x55;
  WriteFile(P("crc.zip"), bad);
  EXPECT_FALSE(arc.Extract(P("crc.zip"), P("out"), msg));
  EXPECT_EQ(ReadFile(P("out/keep.txt")), "old");
  EXPECT_FALSE(Exists(P("out/data.bin")));
  EXPECT_EQ(Tree(P("out")), (std::vector<std::string>{"abs.txt", "inside.txt", "keep.txt", "sub"}));

  // Not an archive, or no file at all.
  WriteFile(P("text.zip"), "this is not an archive");
  EXPECT_FALSE(arc.Extract(P("text.zip"), P("out"), msg));
  EXPECT_FALSE(msg.empty());
  EXPECT_FALSE(arc.Extract(P("missing.zip"), P("out"), msg));
  EXPECT_FALSE(arc.Extract(P("good.zip"), "", msg));
  // And the sound archive does go in.
  ASSERT_TRUE(arc.Extract(P("good.zip"), P("out"), msg)) << msg;
  EXPECT_EQ(ReadFile(P("out/data.bin")), body);
  EXPECT_EQ(ReadFile(P("out/keep.txt")), "new");
}

TEST_F(ArchiveTest, CancelFromThePumpWritesNothing) {
  std::string body(4 << 20, 'q');
  WriteZip(P("big.zip"), {{"a.bin", body}, {"b.bin", body}, {"c.bin", body}}, false);
  TplArchiever7ZIP arc;
  int calls = 0;
  arc.OnPump = [&](bool& cancel) {
    ++calls;
    cancel = true;
  };
  std::string msg;
  bool ok = arc.Extract(P("big.zip"), P("out"), msg);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Tree(P("out")), std::vector<std::string>{});
}
