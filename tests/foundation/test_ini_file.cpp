// The settings file reader/writer: layout kept, values round-trip, CP932 files read,
// concurrent writers keep each other's keys, failures surface.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "support_file_bytes.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::string Path(const char* name = "quillmar.ini") { return dir.path().toStdString() + "/" + name; }
};

TEST_F(IniFileTest, ReadsLikeTheProfileFunctionsAndKeepsLayoutWhenWriting) {
  const std::string original =
      "; comment line\r\n"
      "[WINDOW]\r\n"
      "Left=10\r\n"
      "  top = 20  \r\n"
      "DlgByochuWidth=500\r\n"
      "\r\n"
      "[Other]\r\n"
      "Quoted=\"  spaced  \"\r\n"
      "Single='x'\r\n"
      "Half=\"open\r\n"
      "Eq=a=b\r\n"
      "Dup=first\r\n"
      "Dup=second\r\n"
      "[window]\r\n"
      "Late=1\r\n";
  WriteAll(Path(), original);
  {
    TIniFile ini(Path());
    EXPECT_FALSE(ini.IsCp932());
    struct {
      const char *sec, *key, *want;
    } cases[] = {
        {"WINDOW", "Left", "10"},        {"window", "TOP", "20"},     {"Other", "Quoted", "  spaced  "},
        {"Other", "Single", "x"},        {"Other", "Half", "\"open"}, {"Other", "Eq", "a=b"},
        {"Other", "Dup", "first"},       {"WINDOW", "Late", "dflt"},  {"Missing", "Left", "dflt"},
        {"WINDOW", "comment line", "dflt"},
    };
    for (const auto& c : cases) EXPECT_EQ(ini.ReadString(c.sec, c.key, "dflt"), c.want) << c.sec << "/" << c.key;
    EXPECT_EQ(ini.ReadSection("WINDOW"), (std::vector<std::string>{"Left", "top", "DlgByochuWidth"}));
    EXPECT_FALSE(ini.Modified());
  }
  // Nothing written: the file is untouched, byte for byte.
  EXPECT_EQ(ReadAll(Path()), original);

  {
    TIniFile ini(Path());
    ini.WriteInteger("WINDOW", "TOP", 21);  // existing key: changed in place, spelling kept
    ini.WriteInteger("WINDOW", "Width", 640);  // new key: after the last key of the section
    ini.WriteString("NEWSEC", "A", "b");
    ini.UpdateFile();
  }
  EXPECT_EQ(ReadAll(Path()),
            "; comment line\n[WINDOW]\nLeft=10\ntop=21\nDlgByochuWidth=500\nWidth=640\n\n[Other]\n"
            "Quoted=\"  spaced  \"\nSingle='x'\nHalf=\"open\nEq=a=b\nDup=first\nDup=second\n[window]\nLate=1\n"
            "\n[NEWSEC]\nA=b\n");
}

TEST_F(IniFileTest, EveryTextValueReadsBackAsWritten) {
  const std::vector<std::string> values = {
      "",           "plain",          " lead",       "trail ",     "\"quoted\"",   "'single'",
      "\"",         "a \"b\" c",      "key=value",   ";semicolon", "[section]",    "日本語の値",
      "ＭＳ ゴシック", "\"MS Gothic\",128,-12,-9,0,80000008", "\t tab \t", "%41 percent", "ends with \\",
  };
  {
    TIniFile ini(Path());
    for (size_t i = 0; i < values.size(); ++i) ini.WriteString("S", "K" + std::to_string(i), values[i]);
    ini.UpdateFile();
  }
  TIniFile back(Path());
  for (size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(back.ReadString("S", "K" + std::to_string(i), "?missing?"), values[i]) << i;

  // Line breaks and NULs cannot be stored: they become blanks instead of new keys.
  {
    TIniFile ini(Path());
    const char raw[] = "x\r\n[EVIL]\nKey=1\0y";
    ini.WriteString("S", "Inject", std::string(raw, sizeof raw - 1));
    ini.UpdateFile();
  }
  TIniFile after(Path());
  EXPECT_FALSE(after.SectionExists("EVIL"));
  EXPECT_EQ(after.ReadString("S", "Inject", ""), "x  [EVIL] Key=1 y");
}

TEST_F(IniFileTest, IntegersAndBooleans) {
  WriteAll(Path(), "[N]\na=12\nb= 7 \nc=-1\nd=$FF\ne=0x10\nf=abc\ng=12abc\nh=\ni=99999999999\nj=$FFFFFFFF\n"
                   "k=+5\nl=$123456789\nm=-\n");
  TIniFile ini(Path());
  struct {
    const char* key;
    int want;
  } cases[] = {{"a", 12}, {"b", 7},  {"c", -1}, {"d", 255},  {"e", 16},  {"f", -99}, {"g", -99},
               {"h", -99}, {"i", -99}, {"j", -1}, {"k", 5}, {"l", -99}, {"m", -99}, {"none", -99}};
  for (const auto& c : cases) EXPECT_EQ(ini.ReadInteger("N", c.key, -99), c.want) << c.key;
  EXPECT_TRUE(ini.ReadBool("N", "a", false));
  EXPECT_FALSE(ini.ReadBool("N", "h", false));  // not an integer: the default
  EXPECT_TRUE(ini.ReadBool("N", "f", true));
  EXPECT_TRUE(ini.ReadBool("N", "c", false));  // non-zero is true
  TIniFile w(Path());
  w.WriteBool("N", "t", true);
  w.WriteBool("N", "u", false);
  EXPECT_EQ(w.ReadString("N", "t", ""), "1");
  EXPECT_EQ(w.ReadString("N", "u", ""), "0");
}

TEST_F(IniFileTest, Cp932FileReadsAsUtf8AndIsRewrittenInUtf8) {
  // As the Windows program wrote it: Shift-JIS (CP932) text, CRLF line ends.
  const std::string sjis =
      "[VIEW]\r\n"
      "LogFont=\"\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E\",128,-12,-9,0,80000008\r\n"  // ＭＳ ゴシック
      "[PATH]\r\n"
      "dirLAN=\\\\server\\\x95\x5C\x83\x5C\r\n"  // 表ソ: second bytes are backslashes
      "[WINDOW]\r\n"
      "Kana=\xB6\xDE\xB2\r\n"  // half-width ｶﾞｲ
      "Broken=\x82\r\n";
  WriteAll(Path(), sjis);
  {
    TIniFile ini(Path());
    EXPECT_TRUE(ini.IsCp932());
    EXPECT_EQ(ini.ReadString("VIEW", "LogFont", ""), "\"ＭＳ ゴシック\",128,-12,-9,0,80000008");
    EXPECT_EQ(ini.ReadString("PATH", "dirLAN", ""), "\\\\server\\表ソ");
    EXPECT_EQ(ini.ReadString("WINDOW", "Kana", ""), "ｶﾞｲ");
    EXPECT_EQ(ini.ReadString("WINDOW", "Broken", ""), "?");
    EXPECT_EQ(ini.ReadRawString("WINDOW", "Kana", ""), "\xB6\xDE\xB2");
    ini.WriteInteger("WINDOW", "Left", 5);
    ini.UpdateFile();
  }
  const std::string now = ReadAll(Path());
  EXPECT_TRUE(IsValidUtf8(now));
  TIniFile again(Path());
  EXPECT_FALSE(again.IsCp932());
  EXPECT_EQ(again.ReadString("PATH", "dirLAN", ""), "\\\\server\\表ソ");
  EXPECT_EQ(again.ReadString("WINDOW", "Kana", ""), "ｶﾞｲ");
  EXPECT_EQ(again.ReadInteger("WINDOW", "Left", 0), 5);
}

TEST_F(IniFileTest, TwoObjectsOnOneFileKeepEachOthersKeys) {
  TIniFile a(Path());
  TIniFile b(Path());
  a.WriteInteger("WINDOW", "Left", 1);
  b.WriteInteger("WINDOW", "DlgTekiyouCardWidth", 300);
  b.WriteString("OPTIONS", "X", "y");
  a.UpdateFile();
  b.UpdateFile();
  a.DeleteKey("OPTIONS", "X");  // a's own change applies on top of b's
  a.UpdateFile();
  TIniFile c(Path());
  EXPECT_EQ(c.ReadInteger("WINDOW", "Left", 0), 1);
  EXPECT_EQ(c.ReadInteger("WINDOW", "DlgTekiyouCardWidth", 0), 300);
  EXPECT_FALSE(c.ValueExists("OPTIONS", "X"));
  c.EraseSection("window");
  c.UpdateFile();
  EXPECT_FALSE(TIniFile(Path()).SectionExists("WINDOW"));
}

TEST_F(IniFileTest, WriteFailuresSurfaceAndUnreadableFilesAreNeverReplaced) {
  // The folder does not exist.
  TIniFile missing(dir.path().toStdString() + "/no/such/folder/quillmar.ini");
  missing.WriteInteger("A", "b", 1);
  EXPECT_THROW(missing.UpdateFile(), std::runtime_error);

  // The "file" is a folder: it cannot be read, so it must not be overwritten either.
  ASSERT_TRUE(QDir(dir.path()).mkdir("adir.ini"));
  TIniFile unreadable(Path("adir.ini"));
  EXPECT_EQ(unreadable.ReadString("A", "b", "d"), "d");
  unreadable.WriteInteger("A", "b", 1);
  EXPECT_THROW(unreadable.UpdateFile(), std::runtime_error);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(Path("adir.ini"))).isDir());

  // A UTF-8 byte order mark is not part of the first line.
  WriteAll(Path("bom.ini"), "\xEF\xBB\xBF[S]\nk=v\n");
  EXPECT_EQ(TIniFile(Path("bom.ini")).ReadString("S", "k", ""), "v");
}

// A write that failed does not silence the writes that follow on the same object: once the
// folder is there, the object's end writes every change, the earlier ones too.  The failure is
// said once per streak of failures: after a write that succeeds, a new failure is said again.
TEST_F(IniFileTest, AFailedWriteNeitherDropsLaterChangesNorSilencesLaterFailures) {
  std::vector<std::string> said;
  TLogMessageSink sink([&](const std::string& l) { said.push_back(l); });
  TScopedMessageSink scoped(&sink);
  const std::string sub = dir.path().toStdString() + "/later";
  const std::string file = sub + "/quillmar.ini";
  {
    TIniFile ini(file);
    ini.WriteInteger("A", "first", 1);
    EXPECT_THROW(ini.UpdateFile(), std::runtime_error);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(sub)));
    ini.WriteInteger("A", "second", 2);
  }
  TIniFile back(file);
  EXPECT_EQ(back.ReadInteger("A", "first", 0), 1);
  EXPECT_EQ(back.ReadInteger("A", "second", 0), 2);
  EXPECT_TRUE(said.empty());

  const auto failAtEnd = [&] {
    TIniFile ini(dir.path().toStdString() + "/no/such/folder/quillmar.ini");
    ini.WriteInteger("A", "b", 1);
  };
  const auto countSaid = [&] {
    size_t n = 0;
    for (const std::string& l : said) n += l.find("設定を保存できません") != std::string::npos;
    return n;
  };
  back.WriteInteger("A", "third", 3);
  back.UpdateFile();
  failAtEnd();
  failAtEnd();
  EXPECT_EQ(countSaid(), 1u);
  back.WriteInteger("A", "fourth", 4);
  back.UpdateFile();
  failAtEnd();
  failAtEnd();
  EXPECT_EQ(countSaid(), 2u);
}

// A value written reads back, by a new object too, whatever the file starts with: no mark,
// one or two byte-order marks, UTF-8 or CP932 text.  The section is found, not appended again.
TEST_F(IniFileTest, AWrittenValueReadsBackWhateverTheFileStartsWith) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string cp932Key = "\x95\x5C\x8E\xA6";  // 表示 in CP932
  const struct {
    const char* what;
    std::string bytes;
  } starts[] = {
      {"no mark", "[A]\r\nk=old\r\n"},
      {"one mark", bom + "[A]\r\nk=old\r\n"},
      {"two marks", bom + bom + "[A]\r\nk=old\r\n"},
      {"three marks", bom + bom + bom + "[A]\r\nk=old\r\n"},
      {"two marks, UTF-8 text", bom + bom + "[A]\r\nk=old\r\nname=表示\r\n"},
      {"CP932 text", "[A]\r\nk=old\r\nname=" + cp932Key + "\r\n"},
      {"a mark, then CP932 text", bom + "[A]\r\nk=old\r\nname=" + cp932Key + "\r\n"},
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.what);
    WriteAll(Path(), start.bytes);
    {
      TIniFile ini(Path());
      EXPECT_EQ(ini.ReadString("A", "k", ""), "old");
      EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"A"});
      ini.WriteString("A", "k", "new");
      EXPECT_EQ(ini.ReadString("A", "k", ""), "new");
      ini.UpdateFile();
    }
    TIniFile again(Path());
    EXPECT_EQ(again.ReadString("A", "k", ""), "new");
    EXPECT_EQ(again.ReadSections(), std::vector<std::string>{"A"});
    EXPECT_EQ(again.ReadSection("A").front(), "k");
    const std::string now = ReadAll(Path());
    EXPECT_EQ(now.find("[A]"), now.rfind("[A]")) << now;
  }
}

// Non-ASCII section and key names in a file the Windows program wrote in CP932: a name that
// one call lists is found by every other, and a write changes the key in place.
TEST_F(IniFileTest, NonAsciiNamesOfACp932FileAreFoundByEveryCall) {
  const std::string section = "\x8D\xEC\x95\xA8";  // 作物
  const std::string key = "\x95\x5C\x8E\xA6\x95\x9D";  // 表示幅
  WriteAll(Path(), "[" + section + "]\r\n" + key + "=120\r\n[B]\r\nx=1\r\n");
  {
    TIniFile ini(Path());
    ASSERT_TRUE(ini.IsCp932());
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"作物", "B"}));
    EXPECT_EQ(ini.ReadSection("作物"), std::vector<std::string>{"表示幅"});
    EXPECT_TRUE(ini.SectionExists("作物"));
    EXPECT_TRUE(ini.ValueExists("作物", "表示幅"));
    EXPECT_EQ(ini.ReadInteger("作物", "表示幅", 0), 120);
    ini.WriteInteger("作物", "表示幅", 240);
    ini.UpdateFile();
  }
  TIniFile again(Path());
  EXPECT_EQ(again.ReadSections(), (std::vector<std::string>{"作物", "B"}));
  EXPECT_EQ(again.ReadSection("作物"), std::vector<std::string>{"表示幅"});
  EXPECT_EQ(again.ReadInteger("作物", "表示幅", 0), 240);
  again.DeleteKey("作物", "表示幅");
  again.EraseSection("B");
  again.UpdateFile();
  TIniFile last(Path());
  EXPECT_FALSE(last.ValueExists("作物", "表示幅"));
  EXPECT_FALSE(last.SectionExists("B"));
}

// A section name with outer blanks is the same section in every call: written, read,
// listed, erased.
TEST_F(IniFileTest, ASectionNameWithOuterBlanksIsOneSectionInEveryCall) {
  {
    TIniFile ini(Path());
    ini.WriteString(" S ", "k", "v");
    EXPECT_EQ(ini.ReadString(" S ", "k", ""), "v");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
    EXPECT_TRUE(ini.SectionExists(" S "));
    ini.WriteString("S", "k2", "w");
    ini.UpdateFile();
  }
  TIniFile again(Path());
  EXPECT_EQ(again.ReadSections(), std::vector<std::string>{"S"});
  EXPECT_EQ(again.ReadString("\tS ", "k", ""), "v");
  EXPECT_EQ(again.ReadSection(" S ").size(), 2u);
  again.EraseSection(" S");
  EXPECT_FALSE(again.SectionExists("S"));
}

}  // namespace
