#pragma once
// TfrmOption ("設定"): edits the settings object OptionData page by page. "OK" writes the
// fields and closes, "適用" writes them and stays open, "キャンセル" closes without writing.
// The settings file is written by the main window when it closes, not here.
//
// The dialog knows nothing of the main window: the window hands it the fonts of its controls
// (SetSamples) and re-applies the settings when told (OnApplied); the font of the input boxes,
// which is not stored, comes back through OnEditFont.
#include <QDialog>
#include <QFont>
#include <array>
#include <functional>

#include "foundation/font_rec.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TColorBox;
class TWinSpinEdit;

// The fonts of the main window's controls that the sample edits show.
struct TOptionSamples {
  QFont Tekiyou, Tekiyou2, Seibun, Log, Edit, Main, SQLEdit;
};

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOption(QWidget* parent = nullptr);

  // The sample edits' fonts (before FormShow; without it they keep the dialog's font, or the
  // stored font where one is stored).
  void SetSamples(const TOptionSamples& Samples);
  // Fills every control from OptionData (the dialog's show runs it once).
  void FormShow();
  // OK (Close = true) and "適用": writes the fields. False when a value was refused (a message
  // says why); then nothing is written and the dialog stays open.
  bool Apply(bool Close);

  // After the fields were written: the window applies them (fonts, colours, tool bars, SQL
  // editor, grids).
  std::function<void()> OnApplied;
  // The chosen font of the input boxes (not stored).
  std::function<void(const QFont&)> OnEditFont;
  // The font chooser of the font buttons (Font in: the sample's font; true when one was
  // chosen). Empty: QFontDialog. Tests set it so that nothing modal opens.
  static std::function<bool(QFont& Font, QWidget* Owner)> ChooseFont;

  // Font buttons by tag 1..7 (eTekiyou, eTekiyou2, eSeibun, eLog, eEdit, eMain, eSQLEdit) and
  // colour buttons by tag 1, 2, 4, 7.
  void FontButtonClick(int Tag);
  void ColorButtonClick(int Tag);
  void btnDefaultViewClick();
  void btnBrowseClick();
  void btnSaveFolderClick();
  void ckRelativePathClick();
  void btnExportssCssClick();
  // The enabled state of the controls that depend on a check box or the data source.
  void UpdateEnabled();

  // The sample edit of a font tag (nullptr for another tag), its stored font and colour.
  QLineEdit* Sample(int Tag) const;
  const TFontRec& SampleFontRec(int Tag) const { return FFontRecs[Tag]; }
  TColor SampleColor(int Tag) const { return FColors[Tag]; }

  // ---- controls ----
  QTabWidget* PageControl1 = nullptr;
  QWidget *tabView = nullptr, *tabNetwork = nullptr, *TabSheet1 = nullptr, *tabTekiyo = nullptr,
          *tabSQLEdit = nullptr, *TabSheet2 = nullptr;
  // 表示
  QLineEdit *eTekiyou = nullptr, *eTekiyou2 = nullptr, *eLog = nullptr, *eMain = nullptr, *eSeibun = nullptr,
            *eEdit = nullptr;
  QPushButton *bFont1_ = nullptr, *bColor1_ = nullptr, *bFont2 = nullptr, *bColor2 = nullptr, *bFont4 = nullptr,
              *bColor4 = nullptr, *bFontMain = nullptr, *bSeibun = nullptr, *bEditFont = nullptr;
  QCheckBox *ckTekiyouEveryOtherLine = nullptr, *ckToolBarFlat = nullptr, *ckToolbarCaption = nullptr;
  QLabel *lblMenuImageSize = nullptr, *lblBtnImageSize = nullptr, *lblTreeIndent = nullptr;
  QComboBox *cbMenuImageSize = nullptr, *cbBtnImageSize = nullptr;
  TWinSpinEdit* seTreeIndent = nullptr;
  QPushButton* btnDefaultView = nullptr;
  // 接続
  QComboBox* cbBufferSize = nullptr;
  TWinSpinEdit *eTimeOut = nullptr, *eReceiveTimeOut = nullptr;
  QCheckBox *ckOoConnect = nullptr, *ckUseProxyAuth = nullptr, *ckProxyManual = nullptr;
  QLineEdit *edtProxyUsername = nullptr, *edtProxyPassword = nullptr, *edtProxyName = nullptr,
            *edtProxyBypass = nullptr;
  // ダウンロードサイト
  QGroupBox* rgDownSite = nullptr;
  QButtonGroup* rgDownSiteButtons = nullptr;
  QComboBox* cbVeskDBSite = nullptr;
  QLabel *lblSite = nullptr, *lblFolder = nullptr;
  QLineEdit *eUserSite = nullptr, *edtSharedFolder = nullptr, *edtSaveFolder = nullptr;
  QCheckBox *ckUseLAN = nullptr, *ckNoUpdateCheck = nullptr, *ckRelativePath = nullptr;
  QPushButton *btnBrowse = nullptr, *btnSaveFolder = nullptr;
  // 適用データ
  TWinSpinEdit *seGridMaxWidth = nullptr, *seGridLineSpace = nullptr, *seGridLineAddSpace = nullptr;
  QLineEdit* edtExportssCss = nullptr;
  QPushButton* btnExportssCss = nullptr;
  // SQLエディタ
  QLineEdit* eSQLEdit = nullptr;
  QPushButton *bFont3 = nullptr, *bColor3 = nullptr;
  TColorBox *cbSQLKeywordColor = nullptr, *cbSQLCommentColor = nullptr, *cbSQLFunctionColor = nullptr,
            *cbSQLDatatypeColor = nullptr, *cbTableNameColor = nullptr, *cbSQLPLsqlColor = nullptr,
            *cbSQLWindowFunctionColor = nullptr, *cbSQLPragmasColor = nullptr;
  QCheckBox *ckSQLKeywordBold = nullptr, *ckSQLCommentBold = nullptr, *ckSQLCommentItalic = nullptr,
            *ckSQLFunctionBold = nullptr, *ckSQLDatatypeBold = nullptr, *ckTableNameBold = nullptr,
            *ckSQLPLsqlBold = nullptr, *ckSQLWindowFunctionBold = nullptr, *ckSQLPragmasBold = nullptr;
  TWinSpinEdit *seLineSpacing = nullptr, *seRightEdge = nullptr;
  QCheckBox *ckShowLineNumber = nullptr, *ckWordwrap = nullptr;
  // タブレット
  QCheckBox* ckTabletOn = nullptr;
  TWinSpinEdit *seSplitterWidth = nullptr, *seTabHeight = nullptr;
  // bottom panel
  QPushButton *bOk = nullptr, *bUpdate = nullptr, *bCancel = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildViewPage();
  void BuildNetworkPage();
  void BuildSitePage();
  void BuildTekiyoPage();
  void BuildSqlPage();
  void BuildTabletPage();
  void SetSampleFont(int Tag, const TFontRec& Rec);
  void SetSampleColor(int Tag, TColor Color);

  // Per font tag 1..7: the record written on OK, and per colour tag the background colour.
  std::array<TFontRec, 8> FFontRecs{};
  std::array<TColor, 8> FColors{};
  bool FShown = false;
};
