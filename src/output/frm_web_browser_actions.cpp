// The HTML view's tool bar: save, zoom, style sheet, markup view and the spreadsheet exports
// (printing is in frm_web_browser_print.cpp).
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QMimeData>
#include <QSlider>
#include <QToolButton>
#include <QUrl>

#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "output/frm_web_browser.h"
#include "output/grid_export.h"
#include "output/html_spreadsheet.h"
#include "output/page_view.h"
#include "output/result_page.h"
#include "output/temp_files.h"
#include "output/web_lookup.h"

// ---- save ----------------------------------------------------------------------------------

void TfrmWebBrowser::bSaveClick() {
  QPointer<TfrmWebBrowser> self(this);
  // Page mode saves the page as built; post mode the document as it stands.
  std::string bytes = Html;
  if (!PostData.empty() || bytes.empty()) {
    std::string markup;
    if (!CurrentMarkup(markup) || !self) return;
    bytes = SpreadsheetPage(markup);
  }
  TSaveDialogPos dlg;
  dlg.Title = "名前を付けて保存";
  dlg.Filter = "HTMLﾌｧｲﾙ(*.html;*.htm)|*.html;*.htm|ﾃｷｽﾄ (*.txt)|*.txt";
  dlg.DefaultExt = "html";
  dlg.OverwritePrompt = true;
  dlg.InitialDir = QString::fromStdString(GetSpecialFolderPath(CSIDL_PERSONAL));
  dlg.FileName = "result.html";
  if (!dlg.Execute(this) || !self) return;
  std::string error;
  const std::string path = dlg.FileName.toStdString();
  if (WriteTextFile(path, bytes, &error) != 0)
    ShowMessageBox(TMsgKind::Error, "Quillmar", "HTMLファイルを保存できませんでした。\r\n" + path + "\r\n" + error);
}

void TfrmWebBrowser::trkZoomChange(int position) { WebBrowser->SetZoom(ZoomFactorOf(position)); }

// ---- style sheet and markup view -------------------------------------------------------------

void TfrmWebBrowser::cbCssFileChange(int index) {
  if (index < 0 || Body.empty() || !OptionData) return;
  const std::string name = cbCssFile->itemText(index).toStdString();
  const std::string path = OptionData->CssDir + "/" + name;
  std::string css, error;
  if (!ReadPageTextFile(path, css, &error)) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "スタイルシートを読めません。\r\n" + error);
    return;
  }
  OptionData->CssFile = path;
  ShowHtml(PageWithStyleSheet(css, Head, Body));
}

void TfrmWebBrowser::btnInnerHTMLViewClick() {
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return;
  if (!MarkupFile.empty()) {
    RemoveTempFile(MarkupFile);
    std::erase(FTempFiles, MarkupFile);
  }
  // A text file, so that the desktop opens it in its text editor.
  MarkupFile = NewTempFile(".txt");
  std::string error = "一時ファイルを作成できません。";
  if (MarkupFile.empty() || WriteTextFile(MarkupFile, markup, &error) != 0) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", error);
    return;
  }
  ShellEditFile(this, MarkupFile);
}

// ---- exports ---------------------------------------------------------------------------------

int TfrmWebBrowser::PasteMarkupToSpreadsheet(QAction* action, int kind) {
  SetExportAction(action);
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  // As HTML for programs that paste it as cells, and as the markup text itself.
  auto* mime = new QMimeData;
  mime->setHtml(QString::fromStdString(markup));
  mime->setText(QString::fromStdString(markup));
  QApplication::clipboard()->setMimeData(mime);
  return PasteClipboardToSpreadsheet(static_cast<TSpreadSheetKind>(kind));
}

int TfrmWebBrowser::actExportExcelExecute() { return PasteMarkupToSpreadsheet(actExportExcel, sskExcel); }

int TfrmWebBrowser::actExportWPSExecute() { return PasteMarkupToSpreadsheet(actExportWPS, sskKingsoft); }

int TfrmWebBrowser::actExportJustCalcExecute() {
  SetExportAction(actExportJustCalc);
  // Post mode has no page file of its own: nothing to hand over.
  if (!PostData.empty() || TempFile.empty() || !QFileInfo::exists(QString::fromStdString(TempFile))) return 0;
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  std::string error;
  if (WriteTextFile(TempFile, SpreadsheetPage(markup), &error) != 0) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", SpreadsheetFailureText(sskJustCalc) + "\r\n" + error);
    return -2;
  }
  return OpenFileInSpreadsheet(sskJustCalc, TempFile);
}

int TfrmWebBrowser::actExportCalcExecute() {
  SetExportAction(actExportCalc);
  QPointer<TfrmWebBrowser> self(this);
  std::string markup;
  if (!CurrentMarkup(markup) || !self) return 0;
  return PasteHtmlToCalc(markup, "Quillmar");
}
