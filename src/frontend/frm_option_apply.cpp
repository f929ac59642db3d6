// The options dialog's values: filling the controls from OptionData, the font, colour and
// folder buttons, "標準に戻す", and writing the fields back on OK and "適用".
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QTabWidget>

#include "foundation/browse_folder_box.h"
#include "foundation/color_box.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "foundation/win_spin_edit.h"
#include "frontend/frm_option.h"

std::function<bool(QFont&, QWidget*)> TfrmOption::ChooseFont;

namespace {

// The stored font of a font tag (nullptr for the input boxes' font, which is not stored).
TFontRec* FieldFont(TOptionData& o, int tag) {
  switch (tag) {
    case 1: return &o.TekiyouFont;
    case 2: return &o.Tekiyou2Font;
    case 3: return &o.SeibunGridFont;
    case 4: return &o.LogFont;
    case 6: return &o.MainFormFont;
    case 7: return &o.SQLEditFont;
    default: return nullptr;
  }
}

TColor* FieldColor(TOptionData& o, int tag) {
  switch (tag) {
    case 1: return &o.TekiyouColor;
    case 2: return &o.TekiyouColor2;
    case 4: return &o.LogColor;
    case 7: return &o.SQLEditColor;
    default: return nullptr;
  }
}

constexpr int kColorTags[] = {1, 2, 4, 7};

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// A folder text taken below the program folder when it is relative; no trailing separator.
QString AbsoluteBelowAppDir(const QString& text) {
  QString abs = QDir::cleanPath(QDir(Q(OptionData->AppDir)).absoluteFilePath(text));
  while (abs.size() > 1 && abs.endsWith('/')) abs.chop(1);
  return abs;
}

}  // namespace

void TfrmOption::showEvent(QShowEvent* event) {
  if (!FShown) FormShow();
  QDialog::showEvent(event);
}

void TfrmOption::SetSamples(const TOptionSamples& Samples) {
  eTekiyou->setFont(Samples.Tekiyou);
  eTekiyou2->setFont(Samples.Tekiyou2);
  eSeibun->setFont(Samples.Seibun);
  eLog->setFont(Samples.Log);
  eEdit->setFont(Samples.Edit);
  eMain->setFont(Samples.Main);
  eSQLEdit->setFont(Samples.SQLEdit);
}

void TfrmOption::SetSampleFont(int Tag, const TFontRec& Rec) {
  QLineEdit* e = Sample(Tag);
  if (!e) return;
  QFont f = e->font();
  FontRecToFont(Rec, f);
  e->setFont(f);
  FFontRecs[Tag] = Rec;
}

void TfrmOption::SetSampleColor(int Tag, TColor Color) {
  QLineEdit* e = Sample(Tag);
  if (!e) return;
  FColors[Tag] = Color;
  QPalette p = e->palette();
  p.setColor(QPalette::Base, ColorToQColor(Color));
  e->setPalette(p);
}

void TfrmOption::FormShow() {
  FShown = true;
  TOptionData& o = *OptionData;
  PageControl1->setCurrentWidget(tabView);
  o.FontChanged = true;

  // Samples: a stored font is shown as stored; without one the sample keeps the font of the
  // window's control and that font is what OK writes.
  for (int tag = 1; tag <= 7; ++tag) {
    const TFontRec* field = FieldFont(o, tag);
    if (field && !field->Name.empty()) {
      SetSampleFont(tag, *field);
    } else {
      TFontRec r = FontToFontRec(Sample(tag)->font(), Qt::black);
      r.Color = field ? field->Color : clWindowText;
      FFontRecs[tag] = r;
    }
  }
  for (int tag : kColorTags) SetSampleColor(tag, *FieldColor(o, tag));

  // 表示
  ckTekiyouEveryOtherLine->setChecked(o.TekiyouGridEveryOtherLine);
  ckToolBarFlat->setChecked(o.ToolBarFlat);
  ckToolbarCaption->setChecked(o.ToolBarCaption);
  cbMenuImageSize->setCurrentIndex(o.MenuImageSize <= 3 ? o.MenuImageSize : 0);
  cbBtnImageSize->setCurrentIndex(o.BtnImageSize <= 3 ? o.BtnImageSize : 0);
  seTreeIndent->SetValue(o.SakumotsuTreeIndent);
  // 接続
  cbBufferSize->setCurrentIndex(o.RecvBufferSize >= 0 && o.RecvBufferSize <= 2 ? o.RecvBufferSize : -1);
  eTimeOut->SetValue(o.ReadTimeout);
  eReceiveTimeOut->SetValue(o.ReceiveTimeout);
  ckOoConnect->setChecked(o.OoConnect);
  ckUseProxyAuth->setChecked(o.UseProxyAuth);
  edtProxyUsername->setText(Q(o.ProxyUsername));
  edtProxyPassword->setText(Q(o.ProxyPassword));
  ckProxyManual->setChecked(o.ProxyManual);
  edtProxyName->setText(Q(o.ProxyName));
  edtProxyBypass->setText(Q(o.ProxyBypass));
  // ダウンロードサイト
  if (QAbstractButton* b = rgDownSiteButtons->button(o.DownSite)) b->setChecked(true);
  cbVeskDBSite->setCurrentIndex(o.DownSiteVeskDB <= 3 ? o.DownSiteVeskDB : 0);
  eUserSite->setText(Q(o.UserSite));
  ckUseLAN->setChecked(o.UseLAN);
  edtSharedFolder->setText(Q(o.dirLAN));
  ckNoUpdateCheck->setChecked(o.NoUpdateCheck);
  edtSaveFolder->setText(Q(o.dirDownloadPath));
  ckRelativePath->setChecked(o.DownloadRelativePath);
  // 適用データ
  seGridMaxWidth->SetValue(o.GridMaxWidth);
  seGridLineSpace->SetValue(o.GridLineSpace);
  seGridLineAddSpace->SetValue(o.GridLineAddSpace);
  edtExportssCss->setText(Q(o.ExportssCssFile));
  // SQLエディタ
  const std::pair<TColorBox*, TColor> colors[] = {
      {cbSQLKeywordColor, o.SQLKeywordColor},   {cbSQLCommentColor, o.SQLCommentColor},
      {cbSQLFunctionColor, o.SQLFunctionColor}, {cbSQLDatatypeColor, o.SQLDatatypeColor},
      {cbTableNameColor, o.SQLTableNameColor},  {cbSQLPLsqlColor, o.SQLPLsqlColor},
      {cbSQLWindowFunctionColor, o.SQLPlusColor}, {cbSQLPragmasColor, o.SQLPragmasColor}};
  for (const auto& [box, color] : colors) box->SetSelected(color);
  const std::pair<QCheckBox*, bool> styles[] = {
      {ckSQLKeywordBold, o.SQLKeywordBold},   {ckSQLCommentBold, o.SQLCommentBold},
      {ckSQLCommentItalic, o.SQLCommentItalic}, {ckSQLFunctionBold, o.SQLFunctionBold},
      {ckSQLDatatypeBold, o.SQLDatatypeBold}, {ckTableNameBold, o.SQLTableNameBold},
      {ckSQLPLsqlBold, o.SQLPLsqlBold},       {ckSQLWindowFunctionBold, o.SQLPlusBold},
      {ckSQLPragmasBold, o.SQLPragmasBold}};
  for (const auto& [box, on] : styles) box->setChecked(on);
  seLineSpacing->SetValue(o.SQLEditorLineSpace);
  ckShowLineNumber->setChecked(o.SQLEditorLineNumber);
  seRightEdge->SetValue(o.SQLEditorRightEdge);
  ckWordwrap->setChecked(o.SQLEditorWordwrap);
  // タブレット
  ckTabletOn->setChecked(o.TabletMode);
  seSplitterWidth->SetValue(o.TabletSplitterWidth);
  seTabHeight->SetValue(o.TabletTabHeight);
  UpdateEnabled();
}

void TfrmOption::UpdateEnabled() {
  const bool other = ckTekiyouEveryOtherLine->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{eTekiyou2, bFont2, bColor2}) w->setEnabled(other);
  for (QWidget* w : std::initializer_list<QWidget*>{edtProxyUsername, edtProxyPassword})
    w->setEnabled(ckUseProxyAuth->isChecked());
  for (QWidget* w : std::initializer_list<QWidget*>{edtProxyName, edtProxyBypass})
    w->setEnabled(ckProxyManual->isChecked());
  const bool own = rgDownSiteButtons->checkedId() == 4;
  eUserSite->setEnabled(own);
  lblSite->setEnabled(own);
  for (QWidget* w : std::initializer_list<QWidget*>{lblFolder, edtSharedFolder, btnBrowse})
    w->setEnabled(ckUseLAN->isChecked());
}

void TfrmOption::FontButtonClick(int Tag) {
  QLineEdit* e = Sample(Tag);
  if (!e) return;
  QFont f = e->font();
  bool ok = false;
  if (ChooseFont) {
    ok = ChooseFont(f, this);
  } else {
    const QFont chosen = QFontDialog::getFont(&ok, f, this);
    if (ok) f = chosen;
  }
  if (!ok) return;
  e->setFont(f);
  TFontRec r = FontToFontRec(f, Qt::black);
  r.Color = FFontRecs[Tag].Color;
  FFontRecs[Tag] = r;
  OptionData->FontChanged = true;
}

void TfrmOption::ColorButtonClick(int Tag) {
  if (!Sample(Tag) || (Tag != 1 && Tag != 2 && Tag != 4 && Tag != 7)) return;
  QColor c = ColorToQColor(FColors[Tag]);
  if (ChooseColorDialog(c, this)) SetSampleColor(Tag, QColorToColor(c));
}

void TfrmOption::btnDefaultViewClick() {
  TFontRec standard;
  standard.Name = "ＭＳ Ｐゴシック";
  standard.Charset = 128;
  standard.Height = -12;
  standard.Size = 9;
  standard.Style = 0;
  standard.Color = clWindowText;
  for (int tag = 1; tag <= 7; ++tag) SetSampleFont(tag, standard);
  ckTekiyouEveryOtherLine->setChecked(true);
  ckToolBarFlat->setChecked(true);
  ckToolbarCaption->setChecked(true);
  cbMenuImageSize->setCurrentIndex(0);
  cbBtnImageSize->setCurrentIndex(0);
  seTreeIndent->SetValue(19);
  ckSQLKeywordBold->setChecked(true);
  cbSQLKeywordColor->SetSelected(0xFF0000);
  for (int tag : {7, 1, 4}) SetSampleColor(tag, clWindow);
  SetSampleColor(2, 0x00F3F1E2);
  ckNoUpdateCheck->setChecked(false);
  UpdateEnabled();
}

void TfrmOption::btnBrowseClick() {
  TBrowseFolderBox box;
  box.Owner = this;
  box.Root = CSIDL_NETWORK;
  box.Title = "共有PC の quillmar.exe 下の Download フォルダを指定して下さい";
  box.Flags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_SHAREABLE;
  box.InitialFolder = edtSharedFolder->text();
  const QPoint origin = mapToGlobal(QPoint(16, 16));
  box.Placement.Left = origin.x();
  box.Placement.Top = origin.y();
  box.PlacementSet = true;
  if (box.Execute()) edtSharedFolder->setText(box.Folder);
}

void TfrmOption::btnSaveFolderClick() {
  TBrowseFolderBox box;
  box.Owner = this;
  box.Root = 17;  // the computer
  box.InitialFolder = Q(OptionData->DownloadDir);
  box.Title = "ダウンロードファイル保存フォルダを指定して下さい";
  box.Caption = "ダウンロードフォルダの選択";
  box.Flags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  const QPoint origin = mapToGlobal(QPoint(16, 16));
  box.Placement.Left = origin.x();
  box.Placement.Top = origin.y();
  box.PlacementSet = true;
  if (!box.Execute()) return;
  QString folder = box.Folder;
  // A relative choice stays relative.
  if (ckRelativePath->isChecked()) folder = QDir(Q(OptionData->AppDir)).relativeFilePath(folder);
  edtSaveFolder->setText(folder);
}

void TfrmOption::ckRelativePathClick() {
  const QString text = edtSaveFolder->text();
  if (text.isEmpty()) return;
  const QDir app(Q(OptionData->AppDir));
  // The program folder is the base either way; the process's working folder is left alone.
  if (ckRelativePath->isChecked()) {
    if (QFileInfo(text).isAbsolute()) {
      QString rel = app.relativeFilePath(text);
      edtSaveFolder->setText(rel.isEmpty() ? QString(".") : rel);
    }
  } else if (QFileInfo(text).isRelative()) {
    edtSaveFolder->setText(AbsoluteBelowAppDir(text));
  }
}

void TfrmOption::btnExportssCssClick() {
  TOpenDialogPos dlg;
  dlg.InitialDir = Q(OptionData->CssDir);
  dlg.Filter = "スタイルシート (*.css)|*.css";
  dlg.DefaultExt = "css";
  if (dlg.Execute(this)) edtExportssCss->setText(QFileInfo(dlg.FileName).fileName());
}

bool TfrmOption::Apply(bool Close) {
  TOptionData& o = *OptionData;
  // Checks first: a refused value writes nothing.
  const QString shared = edtSharedFolder->text().trimmed();
  if (ckUseLAN->isChecked() && shared.isEmpty()) {
    ShowMessageBox(TMsgKind::Warning, "設定", "共有フォルダを使うときは共有フォルダ名を指定して下さい");
    PageControl1->setCurrentWidget(TabSheet1);
    edtSharedFolder->setFocus();
    return false;
  }
  const QString save = edtSaveFolder->text().trimmed();
  QString downloadDir;
  if (!save.isEmpty()) {
    downloadDir = AbsoluteBelowAppDir(save);
    if (!QFileInfo(downloadDir).isDir() && !QDir().mkpath(downloadDir)) {
      ShowMessageBox(TMsgKind::Error, "設定", S(downloadDir) + " を作成できません");
      PageControl1->setCurrentWidget(TabSheet1);
      edtSaveFolder->setFocus();
      return false;
    }
  }

  // 1. Fonts.
  if (o.FontChanged) {
    for (int tag = 1; tag <= 7; ++tag)
      if (TFontRec* f = FieldFont(o, tag)) *f = FFontRecs[tag];
    if (OnEditFont) OnEditFont(eEdit->font());
  }
  // 2. Colours and every other field.
  for (int tag : kColorTags) *FieldColor(o, tag) = FColors[tag];
  o.TekiyouGridEveryOtherLine = ckTekiyouEveryOtherLine->isChecked();
  o.ToolBarFlat = ckToolBarFlat->isChecked();
  o.ToolBarCaption = ckToolbarCaption->isChecked();
  o.MenuImageSize = static_cast<std::uint8_t>(std::max(0, cbMenuImageSize->currentIndex()));
  o.BtnImageSize = static_cast<std::uint8_t>(std::max(0, cbBtnImageSize->currentIndex()));
  o.SakumotsuTreeIndent = static_cast<int>(seTreeIndent->Value());

  o.RecvBufferSize = cbBufferSize->currentIndex();
  o.ReadTimeout = static_cast<int>(eTimeOut->Value());
  o.ReceiveTimeout = static_cast<int>(eReceiveTimeOut->Value());
  o.OoConnect = ckOoConnect->isChecked();
  o.UseProxyAuth = ckUseProxyAuth->isChecked();
  o.ProxyUsername = S(edtProxyUsername->text());
  o.ProxyPassword = S(edtProxyPassword->text());
  o.ProxyManual = ckProxyManual->isChecked();
  o.ProxyName = S(edtProxyName->text());
  o.ProxyBypass = S(edtProxyBypass->text());

  if (rgDownSiteButtons->checkedId() >= 0) o.DownSite = static_cast<std::uint8_t>(rgDownSiteButtons->checkedId());
  o.DownSiteVeskDB = static_cast<std::uint8_t>(std::max(0, cbVeskDBSite->currentIndex()));
  o.UserSite = S(eUserSite->text());
  o.NoUpdateCheck = ckNoUpdateCheck->isChecked();

  o.GridMaxWidth = static_cast<int>(seGridMaxWidth->Value());
  o.GridLineSpace = static_cast<int>(seGridLineSpace->Value());
  o.GridLineAddSpace = static_cast<int>(seGridLineAddSpace->Value());
  o.ExportssCssFile = S(edtExportssCss->text());

  o.SQLKeywordColor = cbSQLKeywordColor->Selected();
  o.SQLKeywordBold = ckSQLKeywordBold->isChecked();
  o.SQLCommentColor = cbSQLCommentColor->Selected();
  o.SQLCommentBold = ckSQLCommentBold->isChecked();
  o.SQLCommentItalic = ckSQLCommentItalic->isChecked();
  o.SQLFunctionColor = cbSQLFunctionColor->Selected();
  o.SQLFunctionBold = ckSQLFunctionBold->isChecked();
  o.SQLDatatypeColor = cbSQLDatatypeColor->Selected();
  o.SQLDatatypeBold = ckSQLDatatypeBold->isChecked();
  o.SQLTableNameColor = cbTableNameColor->Selected();
  o.SQLTableNameBold = ckTableNameBold->isChecked();
  o.SQLPLsqlColor = cbSQLPLsqlColor->Selected();
  o.SQLPLsqlBold = ckSQLPLsqlBold->isChecked();
  o.SQLPlusColor = cbSQLWindowFunctionColor->Selected();
  o.SQLPlusBold = ckSQLWindowFunctionBold->isChecked();
  o.SQLPragmasColor = cbSQLPragmasColor->Selected();
  o.SQLPragmasBold = ckSQLPragmasBold->isChecked();
  o.SQLEditorLineSpace = static_cast<int>(seLineSpacing->Value());
  o.SQLEditorLineNumber = ckShowLineNumber->isChecked();
  o.SQLEditorRightEdge = static_cast<int>(seRightEdge->Value());
  o.SQLEditorWordwrap = ckWordwrap->isChecked();

  o.TabletMode = ckTabletOn->isChecked();
  o.TabletSplitterWidth = static_cast<int>(seSplitterWidth->Value());
  o.TabletTabHeight = static_cast<int>(seTabHeight->Value());

  // 4. The shared folder (unticking works with an empty box; an emptied box keeps the stored
  // folder) and the download folder (only when one is given).
  o.UseLAN = ckUseLAN->isChecked();
  if (!shared.isEmpty()) o.dirLAN = S(shared);
  if (!save.isEmpty()) {
    o.dirDownloadPath = S(save);
    o.DownloadRelativePath = ckRelativePath->isChecked();
    o.DownloadDir = S(downloadDir);
  }

  // 3. The window takes the new settings at once.
  if (OnApplied) OnApplied();
  // 5.
  if (Close) accept();
  return true;
}
