// The settings object against the settings file: every key's name, section, default and
// stored form; bad values; the Windows program's CP932 files; folders.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "foundation/scramble.h"
#include "support_file_bytes.h"

namespace {

using Getter = std::function<std::string(const TOptionData&)>;

struct Field {
  const char* section;
  const char* key;
  std::string loadDefault;  // stored text Load falls back to
  std::string other;        // a distinct valid value, in its stored form
  Getter get;               // the field in its stored form
};

std::string B(bool b) { return b ? "1" : "0"; }

#define INT(sec, key, field, def, oth) {sec, key, def, oth, [](const TOptionData& o) { return std::to_string(o.field); }}
#define BOOL(sec, key, field, def, oth) {sec, key, def, oth, [](const TOptionData& o) { return B(o.field); }}
#define STR(sec, key, field, def, oth) {sec, key, def, oth, [](const TOptionData& o) { return o.field; }}
#define COLOR(key, field, def, oth) {"COLOR", key, def, oth, [](const TOptionData& o) { return ColorToHex(o.field); }}
#define FONT(key, field, oth) {"VIEW", key, ",128,-12,-9,0,80000008", oth, [](const TOptionData& o) { return FontRecToStr(o.field); }}

// Every stored key but the proxy password (scrambled; tested on its own). Keys are spelled
// here independently of the code under test, so a typo on either side shows.
std::vector<Field> Fields() {
  return {
      INT("WINDOW", "ToolBar1Top", ToolBar1Top, "2", "7"),
      INT("WINDOW", "ToolBar1Loft", ToolBar1Left, "11", "-3"),
      INT("WINDOW", "ToolBarKensakuTop", ToolBarKensakuTop, "28", "29"),
      INT("WINDOW", "ToolBarKensakuLeft", ToolBarKensakuLeft, "11", "12"),
      BOOL("WINDOW", "ToolBarFlat", ToolBarFlat, "1", "0"),
      BOOL("WINDOW", "ToolBarVisible", ToolBarVisible, "1", "0"),
      BOOL("WINDOW", "ToolBarCaption", ToolBarCaption, "1", "0"),
      BOOL("WINDOW", "SearchPanelVisible", SearchPanelVisible, "1", "0"),
      BOOL("WINDOW", "SearchPanelExpand", SearchPanelExpand, "0", "1"),
      BOOL("WINDOW", "LogPaneVisible", LogPaneVisible, "0", "1"),
      BOOL("WINDOW", "StatusBarVisible", StatusBarVisible, "1", "0"),
      INT("WINDOW", "YakuzaiSidePanelWidth", YakuzaiSidePanelWidth, "150", "151"),
      INT("WINDOW", "LogPaneHeight", LogPaneHeight, "0", "99"),
      INT("WINDOW", "SQLEditHeight", SQLEditHeight, "60", "61"),
      INT("WINDOW", "YakuzaiSideSeibunListHeight", YakuzaiSideSeibunListHeight, "120", "121"),
      INT("WINDOW", "SQLSidePanelWidth", SQLSidePanelWidth, "105", "106"),
      STR("PATH", "dirDownloadPath", dirDownloadPath, "", "dl2"),
      BOOL("PATH", "DownloadRelativePath", DownloadRelativePath, "0", "1"),
      STR("PATH", "dirLAN", dirLAN, "", "/srv/共有 data"),
      STR("PATH", "CssFile", CssFile, "standard.css", "dark.css"),
      STR("PATH", "ExportssCssFile", ExportssCssFile, "excel.css", "calc.css"),
      FONT("SQLEditFont", SQLEditFont, "\"ＭＳ ゴシック\",128,-13,10,3,00FF00FF"),
      FONT("TekiyouFont", TekiyouFont, "メイリオ,1,-16,12,1,80000008"),
      FONT("Tekiyou2Font", Tekiyou2Font, "Arial,0,-11,0,15,000000FF"),
      FONT("SeibunGridFont", SeibunGridFont, "\"Noto Sans CJK JP\",128,-12,-9,2,80000012"),
      FONT("LogFont", LogFont, "Courier,128,-20,15,4,00ABCDEF"),
      FONT("MainFormFont", MainFormFont, "\"a,b \"\"c\"\"\",128,-12,-9,8,00000001"),
      INT("VIEW", "MenuImageSize", MenuImageSize, "0", "2"),
      INT("VIEW", "BtnImageSize", BtnImageSize, "0", "3"),
      INT("VIEW", "SakumotsuTreeIndent", SakumotsuTreeIndent, "19", "20"),
      COLOR("SQLEditColor", SQLEditColor, "80000005", "00010203"),
      COLOR("TekiyouColor", TekiyouColor, "80000005", "00112233"),
      COLOR("TekiyouColor2", TekiyouColor2, "00F3F1E2", "00F3F1E3"),
      COLOR("LogColor", LogColor, "80000005", "8000000F"),
      INT("NET", "ReadTimeout", ReadTimeout, "0", "5000"),
      INT("NET", "RecvBufferSize", RecvBufferSize, "1", "2"),
      INT("NET", "ReceiveTimeout", ReceiveTimeout, "0", "6000"),
      BOOL("NET", "UseLAN", UseLAN, "0", "1"),
      BOOL("NET", "OffLine", OffLine, "0", "1"),
      BOOL("NET", "OoConnect", OoConnect, "1", "0"),
      INT("NET", "DownSite", DownSite, "0", "4"),
      INT("NET", "DownSiteVeskDB", DownSiteVeskDB, "0", "3"),
      STR("NET", "UserSite", UserSite, "http://", "https://example.org/データ/"),
      BOOL("NET", "UseProxyAuth", UseProxyAuth, "0", "1"),
      STR("NET", "ProxyUsername", ProxyUsername, "", " user name "),
      BOOL("NET", "ProxyManual", ProxyManual, "0", "1"),
      STR("NET", "ProxyName", ProxyName, "", "proxy.example:8080"),
      STR("NET", "ProxyBypass", ProxyBypass, "", "*.local;<local>"),
      INT("OPTIONS", "GridMaxWidth", GridMaxWidth, "300", "301"),
      INT("OPTIONS", "GridLineSpace", GridLineSpace, "4", "5"),
      INT("OPTIONS", "GridLineAddSpace", GridLineAddSpace, "0", "2"),
      INT("OPTIONS", "GridFixedCol", GridFixedCol, "0", "1"),
      INT("OPTIONS", "GridSeibunFixedCol", GridSeibunFixedCol, "0", "2"),
      INT("OPTIONS", "GridCellLine0", GridCellLine0, "1", "2"),
      INT("OPTIONS", "GridCellLine1", GridCellLine1, "1", "3"),
      INT("OPTIONS", "GridCellLine2", GridCellLine2, "1", "4"),
      INT("OPTIONS", "GridCellLine3", GridCellLine3, "1", "5"),
      INT("OPTIONS", "GridCellLine4", GridCellLine4, "1", "6"),
      BOOL("OPTIONS", "GridRowSelect", GridRowSelect, "0", "1"),
      BOOL("OPTIONS", "HelpOnline", HelpOnline, "0", "1"),
      BOOL("OPTIONS", "TekiyouGridEveryOtherLine", TekiyouGridEveryOtherLine, "1", "0"),
      BOOL("OPTIONS", "TushoMode", TushoMode, "1", "0"),
      BOOL("OPTIONS", "DlgSakuBunruiCheckUpper", DlgSakuBunruiCheckUpper, "0", "1"),
      BOOL("OPTIONS", "DlgSakuSearchCheckUpper", DlgSakuSearchCheckUpper, "0", "1"),
      BOOL("OPTIONS", "UpperGroup", UpperGroup, "0", "1"),
      INT("OPTIONS", "SpreadSheet", SpreadSheet, "0", "2"),
      BOOL("OPTIONS", "NoUpdateCheck", NoUpdateCheck, "0", "1"),
      INT("OPTIONS", "SQLEditorLineSpace", SQLEditorLineSpace, "0", "3"),
      BOOL("OPTIONS", "SQLEditorLineNumber", SQLEditorLineNumber, "1", "0"),
      INT("OPTIONS", "SQLEditorRightEdge", SQLEditorRightEdge, "80", "120"),
      BOOL("OPTIONS", "SQLEditorWordwrap", SQLEditorWordwrap, "0", "1"),
      BOOL("VIEW", "SQLKeywordBold", SQLKeywordBold, "1", "0"),
      BOOL("VIEW", "SQLCommentBold", SQLCommentBold, "0", "1"),
      BOOL("VIEW", "SQLCommentItalic", SQLCommentItalic, "0", "1"),
      COLOR("SQLKeywordColor", SQLKeywordColor, "00FF0000", "00FF0001"),
      COLOR("SQLCommentColor", SQLCommentColor, "00008000", "00008001"),
      COLOR("SQLFunctionColor", SQLFunctionColor, "00FF0000", "00FF0002"),
      BOOL("VIEW", "SQLFunctionBold", SQLFunctionBold, "1", "0"),
      COLOR("SQLDatatypeColor", SQLDatatypeColor, "00FF0000", "00FF0003"),
      BOOL("VIEW", "SQLDatatypeBold", SQLDatatypeBold, "0", "1"),
      COLOR("SQLTableNameColor", SQLTableNameColor, "00FF0000", "00FF0004"),
      BOOL("VIEW", "SQLTableNameBold", SQLTableNameBold, "0", "1"),
      COLOR("SQLNumberColor", SQLNumberColor, "00000000", "00000005"),
      BOOL("VIEW", "SQLNumberBold", SQLNumberBold, "0", "1"),
      COLOR("SQLStringColor", SQLStringColor, "00000000", "00000006"),
      BOOL("VIEW", "SQLStringBold", SQLStringBold, "0", "1"),
      COLOR("SQLPLsqlColor", SQLPLsqlColor, "00FF0000", "00FF0007"),
      BOOL("VIEW", "SQLPLsqlBold", SQLPLsqlBold, "1", "0"),
      COLOR("SQLIdentifierColor", SQLIdentifierColor, "00000000", "00000008"),
      BOOL("VIEW", "SQLIdentifierBold", SQLIdentifierBold, "0", "1"),
      COLOR("SQLPlusColor", SQLPlusColor, "00FF0000", "00FF0009"),
      BOOL("VIEW", "SQLPlusBold", SQLPlusBold, "1", "0"),
      COLOR("SQLPragmasColor", SQLPragmasColor, "00FF0000", "00FF000A"),
      BOOL("VIEW", "SQLPragmasBold", SQLPragmasBold, "1", "0"),
      INT("OPTIONS", "SeibunViewMode", SeibunViewMode, "0", "4"),
      INT("OPTIONS", "KeitoViewMode", KeitoViewMode, "0", "1"),
      BOOL("OPTIONS", "TabletMode", TabletMode, "0", "1"),
      INT("OPTIONS", "TabletSplitterWidth", TabletSplitterWidth, "10", "11"),
      INT("OPTIONS", "TabletTabHeight", TabletTabHeight, "25", "26"),
  };
}

TLogMessageSink& Sink() { return dynamic_cast<TLogMessageSink&>(MessageSink()); }

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp.isValid());
    appDir = tmp.path().toStdString() + "/";
    Sink().Clear();
  }
  QTemporaryDir tmp;
  std::string appDir;
};

TEST_F(OptionsTest, ConstructionSetsFoldersAndInitialValuesWithoutReadingTheFile) {
  WriteAll(appDir + "quillmar.ini", "[WINDOW]\nToolBar1Top=77\n");
  TOptionData o(appDir);
  EXPECT_EQ(o.AppDir, appDir);
  EXPECT_EQ(o.IniFileName, appDir + "quillmar.ini");
  EXPECT_EQ(o.DownloadDir, appDir + "Download");
  EXPECT_EQ(o.TemplateDir, appDir + "Template");
  EXPECT_EQ(o.CssDir, appDir + "css");
  EXPECT_EQ(o.DBDir, "");
  EXPECT_EQ(o.ToolBar1Top, 0);  // not read
  EXPECT_TRUE(o.ToolBarFlat);
  EXPECT_EQ(o.RecvBufferSize, 1);
  EXPECT_FALSE(o.ToolBarVisible);
  EXPECT_EQ(o.GridCellLine3, 0);
  EXPECT_EQ(o.SQLEditFont, TFontRec{});  // all zero until loaded
  EXPECT_FALSE(QDir(QString::fromStdString(appDir + "DB")).exists());
  // A trailing separator is added once.
  EXPECT_EQ(TOptionData(tmp.path().toStdString()).AppDir, appDir);
  EXPECT_EQ(TOptionData(appDir + "/").AppDir, appDir);
}

TEST_F(OptionsTest, LoadWithoutFileGivesEveryDefaultAndCreatesFolders) {
  TOptionData o(appDir);
  o.Load();
  for (const Field& f : Fields()) EXPECT_EQ(f.get(o), f.loadDefault) << f.section << "/" << f.key;
  EXPECT_EQ(o.ProxyPassword, "");
  EXPECT_EQ(o.DBDownSite, 0);
  EXPECT_EQ(o.DBDir, appDir + "DB");
  EXPECT_EQ(o.DownloadDir, appDir + "Download");
  EXPECT_TRUE(QDir(QString::fromStdString(o.DBDir)).exists());
  EXPECT_TRUE(QDir(QString::fromStdString(o.DownloadDir)).exists());
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(o.IniFileName)));  // Load writes nothing
}

TEST_F(OptionsTest, EveryKeyRoundTripsThroughSaveAndLoad) {
  const std::vector<Field> fields = Fields();
  // A file with every key at a non-default value, written as the Windows program would.
  std::map<std::string, std::string> bySection;
  for (const Field& f : fields) bySection[f.section] += std::string(f.key) + "=" + f.other + "\r\n";
  std::string text;
  for (const auto& [sec, body] : bySection) text += "[" + sec + "]\r\n" + body;
  // Values with outer blanks are quoted the way the profile functions read them.
  size_t at = text.find(" user name ");
  text.replace(at, 11, "\" user name \"");
  WriteAll(appDir + "quillmar.ini", text);

  TOptionData o(appDir);
  o.Load();
  for (const Field& f : fields) EXPECT_EQ(f.get(o), f.other) << "Load " << f.section << "/" << f.key;
  EXPECT_EQ(o.DBDownSite, o.DownSite);
  EXPECT_EQ(o.DownloadDir, appDir + "dl2");

  // Save into a fresh file: every key appears in its section with the same text.
  QFile::remove(QString::fromStdString(o.IniFileName));
  o.Save();
  TIniFile ini(o.IniFileName);
  std::map<std::string, size_t> keysPerSection;
  for (const Field& f : fields) {
    EXPECT_EQ(ini.ReadString(f.section, f.key, "<missing>"), f.other) << "Save " << f.section << "/" << f.key;
    keysPerSection[f.section]++;
  }
  keysPerSection["NET"]++;   // ProxyPassword
  for (const auto& [sec, n] : keysPerSection) EXPECT_EQ(ini.ReadSection(sec).size(), n) << sec;
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"WINDOW", "PATH", "NET", "VIEW", "COLOR", "OPTIONS"}));
  EXPECT_FALSE(ini.ValueExists("WINDOW", "ToolBar1Left"));

  // And a second object loads what the first saved.
  TOptionData back(appDir);
  back.Load();
  for (const Field& f : fields) EXPECT_EQ(f.get(back), f.other) << "reload " << f.key;
}

TEST_F(OptionsTest, BadAndOutOfRangeValues) {
  struct Case {
    const char* section;
    const char* key;
    const char* stored;
    std::string want;
    Getter get;
  };
  auto I = [](int TOptionData::*m) { return Getter([m](const TOptionData& o) { return std::to_string(o.*m); }); };
  auto U = [](std::uint8_t TOptionData::*m) {
    return Getter([m](const TOptionData& o) { return std::to_string(o.*m); });
  };
  auto C = [](TColor TOptionData::*m) { return Getter([m](const TOptionData& o) { return ColorToHex(o.*m); }); };
  const std::vector<Case> cases = {
      {"WINDOW", "ToolBar1Left", "44", "11", I(&TOptionData::ToolBar1Left)},  // only "ToolBar1Loft" counts
      {"NET", "RecvBufferSize", "7", "1", I(&TOptionData::RecvBufferSize)},
      {"NET", "RecvBufferSize", "-1", "-1", I(&TOptionData::RecvBufferSize)},
      {"NET", "RecvBufferSize", "x", "1", I(&TOptionData::RecvBufferSize)},
      {"OPTIONS", "GridCellLine3", "0", "1", I(&TOptionData::GridCellLine3)},
      {"OPTIONS", "GridCellLine4", "-5", "1", I(&TOptionData::GridCellLine4)},
      {"OPTIONS", "GridCellLine0", "1000", "9", I(&TOptionData::GridCellLine0)},
      // Bytes: the low 8 bits.  Beyond the range, values that pick a table entry give the
      // default; the others stay as stored (their users change nothing for them).
      {"NET", "DownSite", "258", "2", U(&TOptionData::DownSite)},
      {"NET", "DownSite", "7", "0", U(&TOptionData::DownSite)},  // the default source
      {"NET", "DownSite", "-1", "0", U(&TOptionData::DownSite)},
      {"NET", "DownSiteVeskDB", "200", "0", U(&TOptionData::DownSiteVeskDB)},
      {"VIEW", "MenuImageSize", "9", "0", U(&TOptionData::MenuImageSize)},
      {"VIEW", "BtnImageSize", "4", "0", U(&TOptionData::BtnImageSize)},
      {"VIEW", "BtnImageSize", "258", "2", U(&TOptionData::BtnImageSize)},
      {"OPTIONS", "SpreadSheet", "255", "255", U(&TOptionData::SpreadSheet)},
      {"OPTIONS", "SpreadSheet", "261", "5", U(&TOptionData::SpreadSheet)},
      {"OPTIONS", "SeibunViewMode", "7", "7", U(&TOptionData::SeibunViewMode)},
      {"OPTIONS", "KeitoViewMode", "2", "2", U(&TOptionData::KeitoViewMode)},
      {"COLOR", "TekiyouColor", "zz", "00000000", C(&TOptionData::TekiyouColor)},
      {"COLOR", "TekiyouColor", "1A2b3C", "001A2B3C", C(&TOptionData::TekiyouColor)},
      {"COLOR", "LogColor", "123456789A", "3456789A", C(&TOptionData::LogColor)},
      {"COLOR", "LogColor", "0x10", "00000000", C(&TOptionData::LogColor)},  // no prefix accepted
      {"COLOR", "SQLEditColor", "12g4", "00000012", C(&TOptionData::SQLEditColor)},
      {"OPTIONS", "GridMaxWidth", "99999999999", "300", I(&TOptionData::GridMaxWidth)},
      {"OPTIONS", "GridMaxWidth", "12px", "300", I(&TOptionData::GridMaxWidth)},
  };
  for (const Case& c : cases) {
    WriteAll(appDir + "quillmar.ini", std::string("[") + c.section + "]\n" + c.key + "=" + c.stored + "\n");
    TOptionData o(appDir);
    o.Load();
    EXPECT_EQ(c.get(o), c.want) << c.key << "=" << c.stored;
  }
  // Saved back as loaded: a corrected value corrected, a kept one as it was.
  WriteAll(appDir + "quillmar.ini",
           "[COLOR]\nTekiyouColor=1A2b3C\n[NET]\nDownSite=9\n[OPTIONS]\nSeibunViewMode=7\nSpreadSheet=5\n");
  TOptionData o(appDir);
  o.Load();
  o.Save();
  TIniFile ini(o.IniFileName);
  EXPECT_EQ(ini.ReadString("COLOR", "TekiyouColor", ""), "001A2B3C");
  EXPECT_EQ(ini.ReadString("NET", "DownSite", ""), "0");
  EXPECT_EQ(ini.ReadString("OPTIONS", "SeibunViewMode", ""), "7");
  EXPECT_EQ(ini.ReadString("OPTIONS", "SpreadSheet", ""), "5");
}

TEST_F(OptionsTest, BadFontTextDoesNotStopLoadBeforeTheFolders) {
  WriteAll(appDir + "quillmar.ini",
           "[VIEW]\nSQLEditFont=Arial,128\nTekiyouFont=\"ＭＳ 明朝\",128,-12,-9,1,80000008\n"
           "LogFont=Arial,x,-12,-9,0,80000008\nMainFormFont=\n"
           "[OPTIONS]\nGridMaxWidth=123\n[PATH]\nCssFile=late.css\n");
  TOptionData o(appDir);
  try {
    o.Load();
    ADD_FAILURE() << "bad fonts must be reported";
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("SQLEditFont"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("LogFont"), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).find("TekiyouFont"), std::string::npos) << e.what();
  }
  // Everything after the bad values was still read, and the folders are set and made.
  EXPECT_EQ(o.SQLEditFont, DefaultFontRec());
  EXPECT_EQ(o.LogFont, DefaultFontRec());
  EXPECT_EQ(o.MainFormFont, DefaultFontRec());
  EXPECT_EQ(o.TekiyouFont.Name, "ＭＳ 明朝");
  EXPECT_EQ(o.TekiyouFont.Style, 1);
  EXPECT_EQ(o.GridMaxWidth, 123);
  EXPECT_EQ(o.CssFile, "late.css");
  EXPECT_EQ(o.DBDir, appDir + "DB");
  EXPECT_TRUE(QDir(QString::fromStdString(o.DBDir)).exists());
  EXPECT_TRUE(QDir(QString::fromStdString(o.DownloadDir)).exists());
  // Saving writes the fonts in good form, so the next start is quiet.
  o.Save();
  TOptionData again(appDir);
  EXPECT_NO_THROW(again.Load());
  EXPECT_EQ(again.TekiyouFont.Name, "ＭＳ 明朝");
}

TEST_F(OptionsTest, ProxyPasswordSurvivesEveryByteValue) {
  std::string every;
  for (int i = 0; i < 256; ++i) every.push_back(static_cast<char>(i));
  const std::vector<std::string> passwords = {
      "Secr3tPassword", every, " spaced ", "\"quoted\"", "pa:ss`w%rd", "パスワード", "\n", std::string(1, '\0'),
      "a\r\nb"};
  for (const std::string& pw : passwords) {
    TOptionData o(appDir);
    o.ProxyPassword = pw;
    o.ProxyName = "after";
    o.Save();
    const std::string file = ReadAll(o.IniFileName);
    EXPECT_TRUE(IsValidUtf8(file));
    TOptionData back(appDir);
    back.Load();
    EXPECT_EQ(back.ProxyPassword, pw) << "password of " << pw.size() << " bytes";
    EXPECT_EQ(back.ProxyName, "after");
    EXPECT_EQ(TIniFile(o.IniFileName).ReadSection("NET").size(), 15u);  // no key injected
  }
  // A plain password is stored scrambled, with its own length.
  TOptionData o(appDir);
  o.ProxyPassword = "Secr3tPassword";
  o.Save();
  const std::string stored = TIniFile(o.IniFileName).ReadString("NET", "ProxyPassword", "");
  EXPECT_EQ(stored.size(), o.ProxyPassword.size());
  EXPECT_NE(stored, o.ProxyPassword);
  // A raw scrambled value, as a program without the escaping wrote it, still reads.
  WriteAll(appDir + "quillmar.ini", "[NET]\r\nProxyPassword=" + ScrambleStr("\xB1\x83\x41xyz") + "\r\n");
  TOptionData raw(appDir);
  raw.Load();
  EXPECT_EQ(raw.ProxyPassword, "\xB1\x83\x41xyz");
}

TEST_F(OptionsTest, Cp932FileFromTheWindowsProgram) {
  // Shift-JIS text: a font name with a blank, a shared folder with a trail byte 0x5C, an
  // unknown window key and an unknown section that must survive the rewrite.
  WriteAll(appDir + "quillmar.ini",
           "[WINDOW]\r\nLeft=100\r\nDlgByochuWidth=480\r\nToolBar1Loft=30\r\n"
           "[VIEW]\r\nLogFont=\"\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E\",128,-12,-9,0,80000008\r\n"
           "[PATH]\r\ndirLAN=\\\\nas\\\x95\x5C\r\n"
           "[NET]\r\nUserSite=http://example.jp/\x83\x66\x81\x5B\x83\x5E/\r\n"
           "[MyTool]\r\nMemo=\x93\xFA\x96\x7B\r\n");
  TOptionData o(appDir);
  o.Load();
  EXPECT_EQ(o.LogFont.Name, "ＭＳ ゴシック");
  EXPECT_EQ(o.LogFont.Charset, 128);
  EXPECT_EQ(o.dirLAN, "\\\\nas\\表");
  EXPECT_EQ(o.UserSite, "http://example.jp/データ/");
  EXPECT_EQ(o.ToolBar1Left, 30);
  o.Save();
  const std::string file = ReadAll(o.IniFileName);
  EXPECT_TRUE(IsValidUtf8(file));
  TIniFile ini(o.IniFileName);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "Left", 0), 100);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgByochuWidth", 0), 480);
  EXPECT_EQ(ini.ReadString("MyTool", "Memo", ""), "日本");
  EXPECT_EQ(ini.ReadString("VIEW", "LogFont", ""), "\"ＭＳ ゴシック\",128,-12,-9,0,80000008");
  TOptionData back(appDir);
  back.Load();
  EXPECT_EQ(back.dirLAN, "\\\\nas\\表");
}

TEST_F(OptionsTest, DownloadFolderAndRelativePaths) {
  TOptionData o(appDir);
  o.DownloadRelativePath = false;
  EXPECT_EQ(o.ResolvePath("/x/y"), "/x/y");
  o.DownloadRelativePath = true;
  EXPECT_EQ(o.ResolvePath(appDir + "Download"), "Download");
  EXPECT_EQ(o.ResolvePath(appDir + "a/b/"), "a/b/");
  EXPECT_EQ(o.ResolvePath("already/rel"), "already/rel");
  EXPECT_EQ(o.ResolvePath(QDir(tmp.path()).absoluteFilePath("../sib").toStdString()).substr(0, 3), "../");

  struct {
    std::string stored;
    bool relative;
    std::string want;
  } cases[] = {
      {"", false, appDir + "Download"},
      {appDir + "elsewhere", false, appDir + "elsewhere"},
      {appDir + "rel1", true, appDir + "rel1"},   // kept relative in the file, used below AppDir
      {"rel2", false, appDir + "rel2"},            // a relative entry never means the current folder
      {appDir + "withslash/", false, appDir + "withslash"},
  };
  for (const auto& c : cases) {
    WriteAll(appDir + "quillmar.ini", "[PATH]\ndirDownloadPath=" + c.stored +
                                          "\nDownloadRelativePath=" + (c.relative ? "1" : "0") + "\n");
    TOptionData l(appDir);
    l.Load();
    EXPECT_EQ(l.DownloadDir, c.want) << c.stored;
    EXPECT_TRUE(QDir(QString::fromStdString(c.want)).exists()) << c.want;
    EXPECT_EQ(l.dirDownloadPath, c.stored);  // stored as entered
  }
}

TEST_F(OptionsTest, FolderThatCannotBeCreatedIsReportedAndLoadGoesOn) {
  WriteAll(appDir + "DB", "a file where the folder should be");
  WriteAll(appDir + "quillmar.ini", "[PATH]\ndirDownloadPath=" + appDir + "no/such/dl\n[OPTIONS]\nGridLineSpace=9\n");
  TOptionData o(appDir);
  o.Load();
  EXPECT_EQ(o.DBDir, appDir + "DB");
  EXPECT_EQ(o.DownloadDir, appDir + "no/such/dl");
  EXPECT_EQ(o.GridLineSpace, 9);
  const auto msgs = Sink().Messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].kind, TMsgKind::Error);
  EXPECT_EQ(msgs[0].text, appDir + "DBを作成できません");
  EXPECT_EQ(msgs[1].text, appDir + "no/such/dlを作成できません");
}

TEST_F(OptionsTest, SaveKeepsOtherWindowsKeysAndReportsWriteFailures) {
  WriteAll(appDir + "quillmar.ini", "[WINDOW]\nLeft=5\nDlgTekiyouCardWidth=321\n[OPTIONS]\nSakumotsuForwardMatch=0\n");
  TOptionData o(appDir);
  o.Load();
  o.ToolBar1Left = 42;
  o.Save();
  TIniFile ini(o.IniFileName);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgTekiyouCardWidth", 0), 321);
  EXPECT_EQ(ini.ReadInteger("OPTIONS", "SakumotsuForwardMatch", 1), 0);
  EXPECT_EQ(ini.ReadInteger("WINDOW", "ToolBar1Loft", 0), 42);
  EXPECT_EQ(ini.ReadSection("WINDOW").front(), "Left");  // other keys keep their place

  TOptionData gone(appDir + "missing-folder/");
  EXPECT_THROW(gone.Save(), std::runtime_error);
}

}  // namespace
