#pragma once
// Every setting of the program in one object, and the settings file quillmar.ini.
//
// Folders: AppDir ends with "/"; DBDir, DownloadDir, TemplateDir and CssDir carry no trailing
// separator (join with "/"). IniFileName is AppDir + "quillmar.ini". Forms that keep keys of
// their own open a TIniFile (ini_file.h) on IniFileName and use the section constants below.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/font_rec.h"

class TIniFile;

// Section names of the settings file.
inline constexpr const char* SECTION_WINDOW = "WINDOW";
inline constexpr const char* SECTION_PATH = "PATH";
inline constexpr const char* SECTION_NET = "NET";
inline constexpr const char* SECTION_VIEW = "VIEW";
inline constexpr const char* SECTION_COLOR = "COLOR";
inline constexpr const char* SECTION_OPTIONS = "OPTIONS";

inline constexpr const char* INI_FILE_NAME = "quillmar.ini";

// Valid ranges of the stored enumerations.  Load puts the default in place of a value beyond
// the range where the value picks an entry of a table (a source, a mirror, an image size);
// the display modes and the spreadsheet target keep what the file holds (their users leave
// everything as it is for a value they do not know).
inline constexpr int kDownSiteMax = 4;        // data source 0..4
inline constexpr int kDownSiteVeskDBMax = 3;  // Vesk mirror 0..3
inline constexpr int kImageSizeMax = 3;       // MenuImageSize, BtnImageSize: 16, 24, 36, 48 px
inline constexpr int kSpreadSheetMax = 3;     // TSpreadSheetKind 0..3
inline constexpr int kSeibunViewModeMax = 4;
inline constexpr int kKeitoViewModeMax = 1;
inline constexpr int kRecvBufferSizeMax = 2;  // 0 large, 1 medium, 2 small
inline constexpr int kGridCellLineMax = 9;    // lines per cell 1..9

// The data source (DownSite) of a settings file that names none. The update side installs its
// rule at start-up (the mirrors' prebuilt databases only once a mirror host is known); without
// a rule it is 0, the public service's CSV archives.
int DefaultDownSite();
void SetDefaultDownSiteRule(int (*Rule)());

class TOptionData {
 public:
  // AppDir is the program folder (program_paths.h); the file is not read.
  TOptionData();
  // Same with an explicit program folder (a trailing "/" is added when missing).
  explicit TOptionData(const std::string& appDir);

  // Folders and the few non-zero defaults; every other field keeps its initial value.
  void SetDefaults();
  // Reads quillmar.ini. Every key is read and the folders are always set and created, even
  // when a value is bad; bad font texts leave the font at its defaults and are reported
  // afterwards by an EConvertError naming the keys (the caller shows it and goes on).
  void Load();
  // Writes every stored key (to a temporary file first, then replaces quillmar.ini).
  // Throws std::runtime_error when the file cannot be written.
  void Save();
  // With DownloadRelativePath: `path` relative to AppDir ("../x" steps where needed; an
  // already relative path comes back unchanged). Otherwise `path` unchanged.
  std::string ResolvePath(const std::string& path) const;

  // ---- fields in declared order (settings key in brackets where it differs) ----
  std::string IniFileName;
  int ToolBar1Top = 0;
  int ToolBar1Left = 0;  // key "ToolBar1Loft"
  int ToolBarKensakuTop = 0;
  int ToolBarKensakuLeft = 0;
  bool ToolBarFlat = false;
  bool ToolBarVisible = false;
  bool ToolBarCaption = false;
  bool SearchPanelVisible = false;
  bool SearchPanelExpand = false;
  bool LogPaneVisible = false;
  bool StatusBarVisible = false;
  int YakuzaiSidePanelWidth = 0;
  int LogPaneHeight = 0;
  int SQLEditHeight = 0;
  int YakuzaiSideSeibunListHeight = 0;
  int SQLSidePanelWidth = 0;
  std::string AppDir;
  std::string DownloadDir;
  std::string dirDownloadPath;
  bool DownloadRelativePath = false;
  std::string DBDir;
  std::string TemplateDir;
  std::string CssDir;
  std::string dirLAN;
  TFontRec SQLEditFont;
  TFontRec TekiyouFont;
  TFontRec Tekiyou2Font;
  TFontRec SeibunGridFont;
  TFontRec LogFont;
  TFontRec MainFormFont;
  std::uint8_t MenuImageSize = 0;
  std::uint8_t BtnImageSize = 0;
  int SakumotsuTreeIndent = 0;
  TColor SQLEditColor = 0;
  TColor TekiyouColor = 0;
  TColor TekiyouColor2 = 0;
  TColor LogColor = 0;
  int ReadTimeout = 0;     // connect time-out, ms; 0 = system default
  int RecvBufferSize = 0;  // 0..2
  int ReceiveTimeout = 0;  // ms; 0 = system default
  bool UseLAN = false;
  bool OffLine = false;
  bool OoConnect = false;
  std::uint8_t DownSite = 0;        // 0..4
  std::uint8_t DBDownSite = 0;      // not stored; Load sets it to DownSite
  std::uint8_t DownSiteVeskDB = 0;  // 0..3
  std::string UserSite;
  bool UseProxyAuth = false;
  std::string ProxyUsername;
  std::string ProxyPassword;  // plain in memory, scrambled in the file
  bool ProxyManual = false;
  std::string ProxyName;
  std::string ProxyBypass;
  bool FontChanged = false;  // not stored
  int GridMaxWidth = 0;
  int GridLineSpace = 0;
  int GridLineAddSpace = 0;
  int GridFixedCol = 0;
  int GridSeibunFixedCol = 0;
  int GridCellLine0 = 0;
  int GridCellLine1 = 0;
  int GridCellLine2 = 0;
  int GridCellLine3 = 0;
  int GridCellLine4 = 0;
  bool GridRowSelect = false;
  bool HelpOnline = false;
  bool TekiyouGridEveryOtherLine = false;
  bool TushoMode = false;
  bool DlgSakuBunruiCheckUpper = false;
  bool DlgSakuSearchCheckUpper = false;
  std::string CssFile;
  std::string ExportssCssFile;
  bool UpperGroup = false;
  std::uint8_t SpreadSheet = 0;  // TSpreadSheetKind 0..3
  bool NoUpdateCheck = false;
  int SQLEditorLineSpace = 0;
  bool SQLEditorLineNumber = false;
  int SQLEditorRightEdge = 0;
  bool SQLEditorWordwrap = false;
  bool SQLKeywordBold = false;
  bool SQLCommentBold = false;
  bool SQLCommentItalic = false;
  TColor SQLKeywordColor = 0;
  TColor SQLCommentColor = 0;
  TColor SQLFunctionColor = 0;
  bool SQLFunctionBold = false;
  TColor SQLDatatypeColor = 0;
  bool SQLDatatypeBold = false;
  TColor SQLTableNameColor = 0;
  bool SQLTableNameBold = false;
  TColor SQLNumberColor = 0;
  bool SQLNumberBold = false;
  TColor SQLStringColor = 0;
  bool SQLStringBold = false;
  TColor SQLPLsqlColor = 0;
  bool SQLPLsqlBold = false;
  TColor SQLIdentifierColor = 0;
  bool SQLIdentifierBold = false;
  TColor SQLPlusColor = 0;
  bool SQLPlusBold = false;
  TColor SQLPragmasColor = 0;
  bool SQLPragmasBold = false;
  std::uint8_t SeibunViewMode = 0;  // 0..4
  std::uint8_t KeitoViewMode = 0;   // 0..1
  bool TabletMode = false;
  int TabletSplitterWidth = 0;
  int TabletTabHeight = 0;

  // Lines per cell of result tab 0..4 (GridCellLine0..4); other indexes give nullptr.
  int* GridCellLine(int index);

 private:
  // The parts of Load, in the order it reads them.
  void LoadWindow(const TIniFile& ini);
  void LoadNet(const TIniFile& ini);
  std::vector<std::string> LoadFonts(const TIniFile& ini);  // keys of unreadable fonts
  void LoadColors(const TIniFile& ini);
  void LoadEditorStyles(const TIniFile& ini);
  void LoadGridAndEditor(const TIniFile& ini);
  void LoadPaths(const TIniFile& ini);
};
