#include "foundation/options.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/program_paths.h"
#include "foundation/scramble.h"

namespace {

std::string StripTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

// A missing folder is created (one level); a failure shows the error box and start-up goes on.
void EnsureFolder(const std::string& dir) {
  if (dir.empty()) return;
  QDir d(QString::fromStdString(dir));
  if (d.exists()) return;
  if (!QDir().mkdir(QString::fromStdString(dir)))
    ShowMessageBox(TMsgKind::Error, "Quillmar", dir + "を作成できません");
}

// A byte as the file holds it: the low 8 bits of the integer.
std::uint8_t ReadByte(const TIniFile& ini, const char* section, const char* key, int def) {
  return static_cast<std::uint8_t>(ini.ReadInteger(section, key, def) & 0xFF);
}

// A byte that picks an entry of a table 0..max: the default when it lies beyond.
std::uint8_t ReadByte(const TIniFile& ini, const char* section, const char* key, int def, int max) {
  const int v = ReadByte(ini, section, key, def);
  return static_cast<std::uint8_t>(v > max ? def : v);
}

TColor ReadColor(const TIniFile& ini, const char* key, const char* def) {
  return HexToInt(ini.ReadString(SECTION_COLOR, key, def));
}

}  // namespace

TOptionData::TOptionData() : TOptionData(ProgramDir()) {}

TOptionData::TOptionData(const std::string& appDir) {
  AppDir = WithTrailingSlash(appDir);
  IniFileName = AppDir + INI_FILE_NAME;
  SetDefaults();
}

namespace {
int (*g_defaultDownSiteRule)() = nullptr;
}  // namespace

int DefaultDownSite() {
  const int site = g_defaultDownSiteRule ? g_defaultDownSiteRule() : 0;
  return site >= 0 && site <= kDownSiteMax ? site : 0;
}

void SetDefaultDownSiteRule(int (*Rule)()) { g_defaultDownSiteRule = Rule; }

void TOptionData::SetDefaults() {
  DownloadDir = AppDir + "Download";
  TemplateDir = AppDir + "Template";
  CssDir = AppDir + "css";
  ReadTimeout = 0;
  RecvBufferSize = 1;
  ReceiveTimeout = 0;
  UseLAN = false;
  ToolBarFlat = true;
  GridMaxWidth = 0;
  HelpOnline = false;
}

int* TOptionData::GridCellLine(int index) {
  switch (index) {
    case 0: return &GridCellLine0;
    case 1: return &GridCellLine1;
    case 2: return &GridCellLine2;
    case 3: return &GridCellLine3;
    case 4: return &GridCellLine4;
    default: return nullptr;
  }
}

std::string TOptionData::ResolvePath(const std::string& path) const {
  if (!DownloadRelativePath) return path;
  if (path.empty() || path[0] != '/') return path;  // already relative
  const bool slash = path.size() > 1 && path.back() == '/';
  std::string rel = QDir(QString::fromStdString(AppDir)).relativeFilePath(QString::fromStdString(path)).toStdString();
  if (rel.empty()) rel = ".";
  if (slash && rel.back() != '/') rel.push_back('/');
  return rel;
}

void TOptionData::Load() {
  std::vector<std::string> badFonts;
  {
    TIniFile ini(IniFileName);
    LoadWindow(ini);
    LoadNet(ini);
    badFonts = LoadFonts(ini);
    LoadColors(ini);
    LoadEditorStyles(ini);
    LoadGridAndEditor(ini);
    // The database folder is made before the paths are read.
    DBDir = AppDir + "DB";
    EnsureFolder(DBDir);
    LoadPaths(ini);
  }
  EnsureFolder(DownloadDir);

  if (!badFonts.empty()) {
    std::string keys;
    for (const std::string& k : badFonts) keys += (keys.empty() ? "" : ", ") + k;
    throw EConvertError("フォント設定が正しくないため既定値を使います: [" + std::string(SECTION_VIEW) + "] " + keys);
  }
}

// WINDOW: the main window's panes and bars.
void TOptionData::LoadWindow(const TIniFile& ini) {
  const char* W = SECTION_WINDOW;
  LogPaneHeight = ini.ReadInteger(W, "LogPaneHeight", 0);
  SQLEditHeight = ini.ReadInteger(W, "SQLEditHeight", 60);
  YakuzaiSidePanelWidth = ini.ReadInteger(W, "YakuzaiSidePanelWidth", 150);
  YakuzaiSideSeibunListHeight = ini.ReadInteger(W, "YakuzaiSideSeibunListHeight", 120);
  SQLSidePanelWidth = ini.ReadInteger(W, "SQLSidePanelWidth", 105);
  ToolBar1Top = ini.ReadInteger(W, "ToolBar1Top", 2);
  ToolBar1Left = ini.ReadInteger(W, "ToolBar1Loft", 11);
  ToolBarFlat = ini.ReadBool(W, "ToolBarFlat", ToolBarFlat);
  ToolBarKensakuTop = ini.ReadInteger(W, "ToolBarKensakuTop", 28);
  ToolBarKensakuLeft = ini.ReadInteger(W, "ToolBarKensakuLeft", 11);
  ToolBarVisible = ini.ReadBool(W, "ToolBarVisible", true);
  ToolBarCaption = ini.ReadBool(W, "ToolBarCaption", true);
  SearchPanelVisible = ini.ReadBool(W, "SearchPanelVisible", true);
  SearchPanelExpand = ini.ReadBool(W, "SearchPanelExpand", false);
  LogPaneVisible = ini.ReadBool(W, "LogPaneVisible", false);
  StatusBarVisible = ini.ReadBool(W, "StatusBarVisible", true);
}

// NET: time-outs, the data source and the proxy.
void TOptionData::LoadNet(const TIniFile& ini) {
  const char* N = SECTION_NET;
  ReadTimeout = ini.ReadInteger(N, "ReadTimeout", 0);
  RecvBufferSize = ini.ReadInteger(N, "RecvBufferSize", RecvBufferSize);
  // Above the range the medium buffer; a negative value stays (it picks the medium buffer).
  if (RecvBufferSize > kRecvBufferSizeMax) RecvBufferSize = 1;
  ReceiveTimeout = ini.ReadInteger(N, "ReceiveTimeout", 0);
  UseLAN = ini.ReadBool(N, "UseLAN", false);
  OffLine = ini.ReadBool(N, "OffLine", false);
  OoConnect = ini.ReadBool(N, "OoConnect", true);
  DownSite = ReadByte(ini, N, "DownSite", DefaultDownSite(), kDownSiteMax);
  DBDownSite = DownSite;
  DownSiteVeskDB = ReadByte(ini, N, "DownSiteVeskDB", 0, kDownSiteVeskDBMax);
  UserSite = ini.ReadString(N, "UserSite", "http://");
  UseProxyAuth = ini.ReadBool(N, "UseProxyAuth", false);
  ProxyUsername = ini.ReadString(N, "ProxyUsername", "");
  // Scrambled bytes, stored with unsafe bytes escaped; raw values of older files read too.
  ProxyPassword = ScrambleStr(DecodeIniBytes(ini.ReadRawString(N, "ProxyPassword", "")));
  ProxyManual = ini.ReadBool(N, "ProxyManual", false);
  ProxyName = ini.ReadString(N, "ProxyName", "");
  ProxyBypass = ini.ReadString(N, "ProxyBypass", "");

}

// VIEW: the six fonts. A bad font text leaves that font at its defaults; the keys of the bad
// ones come back, and the rest still loads.
std::vector<std::string> TOptionData::LoadFonts(const TIniFile& ini) {
  const char* V = SECTION_VIEW;
  std::vector<std::string> badFonts;
  const TFontRec defFont = DefaultFontRec();
  auto font = [&](const char* key, TFontRec& rec) {
    bool ok = true;
    rec = StrToFontRecDef(ini.ReadString(V, key, ""), defFont, &ok);
    if (!ok) badFonts.push_back(key);
  };
  font("SQLEditFont", SQLEditFont);
  font("TekiyouFont", TekiyouFont);
  font("Tekiyou2Font", Tekiyou2Font);
  font("SeibunGridFont", SeibunGridFont);
  font("LogFont", LogFont);
  font("MainFormFont", MainFormFont);
  return badFonts;
}

// COLOR: backgrounds and the highlighter's colours.
void TOptionData::LoadColors(const TIniFile& ini) {
  TekiyouColor = ReadColor(ini, "TekiyouColor", "80000005");
  TekiyouColor2 = ReadColor(ini, "TekiyouColor2", "00F3F1E2");
  LogColor = ReadColor(ini, "LogColor", "80000005");
  SQLEditColor = ReadColor(ini, "SQLEditColor", "80000005");
  SQLKeywordColor = ReadColor(ini, "SQLKeywordColor", "00FF0000");
  SQLCommentColor = ReadColor(ini, "SQLCommentColor", "00008000");
  SQLFunctionColor = ReadColor(ini, "SQLFunctionColor", "00FF0000");
  SQLDatatypeColor = ReadColor(ini, "SQLDatatypeColor", "00FF0000");
  SQLTableNameColor = ReadColor(ini, "SQLTableNameColor", "00FF0000");
  SQLNumberColor = ReadColor(ini, "SQLNumberColor", "00000000");
  SQLStringColor = ReadColor(ini, "SQLStringColor", "00000000");
  SQLPLsqlColor = ReadColor(ini, "SQLPLsqlColor", "00FF0000");
  SQLIdentifierColor = ReadColor(ini, "SQLIdentifierColor", "00000000");
  SQLPlusColor = ReadColor(ini, "SQLPlusColor", "00FF0000");
  SQLPragmasColor = ReadColor(ini, "SQLPragmasColor", "00FF0000");

}

// VIEW: the highlighter's styles, the image sizes and the crop tree's indent.
void TOptionData::LoadEditorStyles(const TIniFile& ini) {
  const char* V = SECTION_VIEW;
  SQLKeywordBold = ini.ReadBool(V, "SQLKeywordBold", true);
  SQLCommentBold = ini.ReadBool(V, "SQLCommentBold", false);
  SQLCommentItalic = ini.ReadBool(V, "SQLCommentItalic", false);
  SQLFunctionBold = ini.ReadBool(V, "SQLFunctionBold", true);
  SQLDatatypeBold = ini.ReadBool(V, "SQLDatatypeBold", false);
  SQLTableNameBold = ini.ReadBool(V, "SQLTableNameBold", false);
  SQLNumberBold = ini.ReadBool(V, "SQLNumberBold", false);
  SQLStringBold = ini.ReadBool(V, "SQLStringBold", false);
  SQLPLsqlBold = ini.ReadBool(V, "SQLPLsqlBold", true);
  SQLIdentifierBold = ini.ReadBool(V, "SQLIdentifierBold", false);
  SQLPlusBold = ini.ReadBool(V, "SQLPlusBold", true);
  SQLPragmasBold = ini.ReadBool(V, "SQLPragmasBold", true);
  MenuImageSize = ReadByte(ini, V, "MenuImageSize", 0, kImageSizeMax);
  BtnImageSize = ReadByte(ini, V, "BtnImageSize", 0, kImageSizeMax);
  SakumotsuTreeIndent = ini.ReadInteger(V, "SakumotsuTreeIndent", 19);

}

// OPTIONS: result grids, display modes, the SQL editor and the tablet layout.
void TOptionData::LoadGridAndEditor(const TIniFile& ini) {
  const char* O = SECTION_OPTIONS;
  GridMaxWidth = ini.ReadInteger(O, "GridMaxWidth", 300);
  GridLineSpace = ini.ReadInteger(O, "GridLineSpace", 4);
  GridLineAddSpace = ini.ReadInteger(O, "GridLineAddSpace", 0);
  for (int i = 0; i < 5; ++i) {
    int& v = *GridCellLine(i);
    v = ini.ReadInteger(O, "GridCellLine" + std::to_string(i), 1);
    v = std::clamp(v, 1, kGridCellLineMax);
  }
  GridFixedCol = ini.ReadInteger(O, "GridFixedCol", 0);
  GridSeibunFixedCol = ini.ReadInteger(O, "GridSeibunFixedCol", 0);
  GridRowSelect = ini.ReadBool(O, "GridRowSelect", false);
  TekiyouGridEveryOtherLine = ini.ReadBool(O, "TekiyouGridEveryOtherLine", true);
  TushoMode = ini.ReadBool(O, "TushoMode", true);
  HelpOnline = ini.ReadBool(O, "HelpOnline", false);
  DlgSakuBunruiCheckUpper = ini.ReadBool(O, "DlgSakuBunruiCheckUpper", false);
  DlgSakuSearchCheckUpper = ini.ReadBool(O, "DlgSakuSearchCheckUpper", false);
  UpperGroup = ini.ReadBool(O, "UpperGroup", false);
  SpreadSheet = ReadByte(ini, O, "SpreadSheet", 0);
  NoUpdateCheck = ini.ReadBool(O, "NoUpdateCheck", false);
  SQLEditorLineSpace = ini.ReadInteger(O, "SQLEditorLineSpace", 0);
  SQLEditorLineNumber = ini.ReadBool(O, "SQLEditorLineNumber", true);
  SQLEditorRightEdge = ini.ReadInteger(O, "SQLEditorRightEdge", 80);
  SQLEditorWordwrap = ini.ReadBool(O, "SQLEditorWordwrap", false);
  SeibunViewMode = ReadByte(ini, O, "SeibunViewMode", 0);
  KeitoViewMode = ReadByte(ini, O, "KeitoViewMode", 0);
  TabletMode = ini.ReadBool(O, "TabletMode", false);
  TabletSplitterWidth = ini.ReadInteger(O, "TabletSplitterWidth", 10);
  TabletTabHeight = ini.ReadInteger(O, "TabletTabHeight", 25);

}

// PATH: the shared folder, the style sheets and the download folder.
void TOptionData::LoadPaths(const TIniFile& ini) {
  const char* P = SECTION_PATH;
  dirLAN = ini.ReadString(P, "dirLAN", "");
  CssFile = ini.ReadString(P, "CssFile", "standard.css");
  ExportssCssFile = ini.ReadString(P, "ExportssCssFile", "excel.css");
  DownloadRelativePath = ini.ReadBool(P, "DownloadRelativePath", false);
  dirDownloadPath = ini.ReadString(P, "dirDownloadPath", "");
  if (!dirDownloadPath.empty()) {
    // A relative folder is taken below the program folder, not the current folder.
    const QString resolved = QString::fromStdString(ResolvePath(dirDownloadPath));
    const QString abs = QFileInfo(resolved).isAbsolute()
                            ? resolved
                            : QString::fromStdString(AppDir) + resolved;
    DownloadDir = StripTrailingSlash(QDir::cleanPath(abs).toStdString());
  }
}

void TOptionData::Save() {
  const char* W = SECTION_WINDOW;
  const char* N = SECTION_NET;
  const char* V = SECTION_VIEW;
  const char* O = SECTION_OPTIONS;
  const char* P = SECTION_PATH;
  const char* C = SECTION_COLOR;
  TIniFile ini(IniFileName);
  // Sections in the file's usual order: WINDOW, PATH, NET, VIEW, COLOR, OPTIONS.

  ini.WriteInteger(W, "LogPaneHeight", LogPaneHeight);
  ini.WriteInteger(W, "SQLEditHeight", SQLEditHeight);
  ini.WriteInteger(W, "YakuzaiSidePanelWidth", YakuzaiSidePanelWidth);
  ini.WriteInteger(W, "YakuzaiSideSeibunListHeight", YakuzaiSideSeibunListHeight);
  ini.WriteInteger(W, "SQLSidePanelWidth", SQLSidePanelWidth);
  ini.WriteInteger(W, "ToolBar1Top", ToolBar1Top);
  ini.WriteInteger(W, "ToolBar1Loft", ToolBar1Left);
  ini.WriteBool(W, "ToolBarFlat", ToolBarFlat);
  ini.WriteInteger(W, "ToolBarKensakuTop", ToolBarKensakuTop);
  ini.WriteInteger(W, "ToolBarKensakuLeft", ToolBarKensakuLeft);
  ini.WriteBool(W, "ToolBarVisible", ToolBarVisible);
  ini.WriteBool(W, "ToolBarCaption", ToolBarCaption);
  ini.WriteBool(W, "SearchPanelVisible", SearchPanelVisible);
  ini.WriteBool(W, "SearchPanelExpand", SearchPanelExpand);
  ini.WriteBool(W, "LogPaneVisible", LogPaneVisible);
  ini.WriteBool(W, "StatusBarVisible", StatusBarVisible);

  ini.WriteString(P, "dirLAN", dirLAN);
  ini.WriteString(P, "CssFile", CssFile);
  ini.WriteString(P, "ExportssCssFile", ExportssCssFile);
  ini.WriteBool(P, "DownloadRelativePath", DownloadRelativePath);
  ini.WriteString(P, "dirDownloadPath", dirDownloadPath);

  ini.WriteInteger(N, "ReadTimeout", ReadTimeout);
  ini.WriteInteger(N, "RecvBufferSize", RecvBufferSize);
  ini.WriteInteger(N, "ReceiveTimeout", ReceiveTimeout);
  ini.WriteBool(N, "UseLAN", UseLAN);
  ini.WriteBool(N, "OffLine", OffLine);
  ini.WriteBool(N, "OoConnect", OoConnect);
  ini.WriteInteger(N, "DownSite", DownSite);
  ini.WriteInteger(N, "DownSiteVeskDB", DownSiteVeskDB);
  ini.WriteString(N, "UserSite", UserSite);
  ini.WriteBool(N, "UseProxyAuth", UseProxyAuth);
  ini.WriteString(N, "ProxyUsername", ProxyUsername);
  ini.WriteString(N, "ProxyPassword", EncodeIniBytes(ScrambleStr(ProxyPassword)));
  ini.WriteBool(N, "ProxyManual", ProxyManual);
  ini.WriteString(N, "ProxyName", ProxyName);
  ini.WriteString(N, "ProxyBypass", ProxyBypass);

  ini.WriteString(V, "SQLEditFont", FontRecToStr(SQLEditFont));
  ini.WriteString(V, "TekiyouFont", FontRecToStr(TekiyouFont));
  ini.WriteString(V, "Tekiyou2Font", FontRecToStr(Tekiyou2Font));
  ini.WriteString(V, "SeibunGridFont", FontRecToStr(SeibunGridFont));
  ini.WriteString(V, "LogFont", FontRecToStr(LogFont));
  ini.WriteString(V, "MainFormFont", FontRecToStr(MainFormFont));

  ini.WriteBool(V, "SQLKeywordBold", SQLKeywordBold);
  ini.WriteBool(V, "SQLCommentBold", SQLCommentBold);
  ini.WriteBool(V, "SQLCommentItalic", SQLCommentItalic);
  ini.WriteBool(V, "SQLFunctionBold", SQLFunctionBold);
  ini.WriteBool(V, "SQLDatatypeBold", SQLDatatypeBold);
  ini.WriteBool(V, "SQLTableNameBold", SQLTableNameBold);
  ini.WriteBool(V, "SQLNumberBold", SQLNumberBold);
  ini.WriteBool(V, "SQLStringBold", SQLStringBold);
  ini.WriteBool(V, "SQLPLsqlBold", SQLPLsqlBold);
  ini.WriteBool(V, "SQLIdentifierBold", SQLIdentifierBold);
  ini.WriteBool(V, "SQLPlusBold", SQLPlusBold);
  ini.WriteBool(V, "SQLPragmasBold", SQLPragmasBold);
  ini.WriteInteger(V, "MenuImageSize", MenuImageSize);
  ini.WriteInteger(V, "BtnImageSize", BtnImageSize);
  ini.WriteInteger(V, "SakumotsuTreeIndent", SakumotsuTreeIndent);

  ini.WriteString(C, "TekiyouColor", ColorToHex(TekiyouColor));
  ini.WriteString(C, "TekiyouColor2", ColorToHex(TekiyouColor2));
  ini.WriteString(C, "LogColor", ColorToHex(LogColor));
  ini.WriteString(C, "SQLEditColor", ColorToHex(SQLEditColor));
  ini.WriteString(C, "SQLKeywordColor", ColorToHex(SQLKeywordColor));
  ini.WriteString(C, "SQLCommentColor", ColorToHex(SQLCommentColor));
  ini.WriteString(C, "SQLFunctionColor", ColorToHex(SQLFunctionColor));
  ini.WriteString(C, "SQLDatatypeColor", ColorToHex(SQLDatatypeColor));
  ini.WriteString(C, "SQLTableNameColor", ColorToHex(SQLTableNameColor));
  ini.WriteString(C, "SQLNumberColor", ColorToHex(SQLNumberColor));
  ini.WriteString(C, "SQLStringColor", ColorToHex(SQLStringColor));
  ini.WriteString(C, "SQLPLsqlColor", ColorToHex(SQLPLsqlColor));
  ini.WriteString(C, "SQLIdentifierColor", ColorToHex(SQLIdentifierColor));
  ini.WriteString(C, "SQLPlusColor", ColorToHex(SQLPlusColor));
  ini.WriteString(C, "SQLPragmasColor", ColorToHex(SQLPragmasColor));

  ini.WriteInteger(O, "GridMaxWidth", GridMaxWidth);
  ini.WriteInteger(O, "GridLineSpace", GridLineSpace);
  ini.WriteInteger(O, "GridLineAddSpace", GridLineAddSpace);
  for (int i = 0; i < 5; ++i) ini.WriteInteger(O, "GridCellLine" + std::to_string(i), *GridCellLine(i));
  ini.WriteInteger(O, "GridFixedCol", GridFixedCol);
  ini.WriteInteger(O, "GridSeibunFixedCol", GridSeibunFixedCol);
  ini.WriteBool(O, "GridRowSelect", GridRowSelect);
  ini.WriteBool(O, "TekiyouGridEveryOtherLine", TekiyouGridEveryOtherLine);
  ini.WriteBool(O, "TushoMode", TushoMode);
  ini.WriteBool(O, "HelpOnline", HelpOnline);
  ini.WriteBool(O, "DlgSakuBunruiCheckUpper", DlgSakuBunruiCheckUpper);
  ini.WriteBool(O, "DlgSakuSearchCheckUpper", DlgSakuSearchCheckUpper);
  ini.WriteBool(O, "UpperGroup", UpperGroup);
  ini.WriteInteger(O, "SpreadSheet", SpreadSheet);
  ini.WriteBool(O, "NoUpdateCheck", NoUpdateCheck);
  ini.WriteInteger(O, "SQLEditorLineSpace", SQLEditorLineSpace);
  ini.WriteBool(O, "SQLEditorLineNumber", SQLEditorLineNumber);
  ini.WriteInteger(O, "SQLEditorRightEdge", SQLEditorRightEdge);
  ini.WriteBool(O, "SQLEditorWordwrap", SQLEditorWordwrap);
  ini.WriteInteger(O, "SeibunViewMode", SeibunViewMode);
  ini.WriteInteger(O, "KeitoViewMode", KeitoViewMode);
  ini.WriteBool(O, "TabletMode", TabletMode);
  ini.WriteInteger(O, "TabletSplitterWidth", TabletSplitterWidth);
  ini.WriteInteger(O, "TabletTabHeight", TabletTabHeight);

  ini.UpdateFile();
}
