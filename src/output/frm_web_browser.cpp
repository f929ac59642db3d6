#include "output/frm_web_browser.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenu>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>
#include <optional>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/screen_placement.h"
#include "output/grid_export.h"
#include "output/page_view.h"
#include "output/temp_files.h"

TfrmWebBrowser::TDialogHook TfrmWebBrowser::DialogHook;

namespace {

constexpr int kDesignedLeft = 120, kDesignedTop = 80, kDesignedWidth = 900, kDesignedHeight = 640;
constexpr int kMarkupWaitMs = 30000;

}  // namespace

bool TfrmWebBrowser::WaitFor(QPointer<TfrmWebBrowser> self, int timeoutMs, const std::function<bool()>& done) {
  if (!self) return false;
  if (done()) return true;
  QEventLoop loop;
  QObject::connect(self.data(), &TfrmWebBrowser::Woken, &loop, &QEventLoop::quit);
  QObject::connect(self.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(timeoutMs);
  while (self && !done() && timer.isActive()) loop.exec();
  return !self.isNull();
}

TfrmWebBrowser::TfrmWebBrowser(QWidget* owner) : QWidget(nullptr, Qt::Window) {
  setObjectName("frmWebBrowser");
  setAttribute(Qt::WA_DeleteOnClose);
  // An open view does not keep the program running once the main window has closed.
  setAttribute(Qt::WA_QuitOnClose, false);
  // A window of its own (own task-bar button), freed with its owner.
  if (owner) connect(owner, &QObject::destroyed, this, &QObject::deleteLater);
  BuildControls();
  ReadPlacement();
  const int spread = OptionData ? OptionData->SpreadSheet : 0;
  QAction* acts[] = {actExportExcel, actExportCalc, actExportWPS, actExportJustCalc};
  SetExportAction(spread >= 0 && spread <= 3 ? acts[spread] : actExportExcel);
  ListCssFiles();
  btnInnerHTMLView->setVisible(CmdDirectSql);
}

TfrmWebBrowser::~TfrmWebBrowser() {
  FClosing = true;
  // The view goes after this window's own fields: it reports nothing more.
  if (WebBrowser) WebBrowser->SetEvents({});
  RemoveTempFiles();
}

void TfrmWebBrowser::BuildControls() {
  QStyle* st = style();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  static const int kSizes[] = {16, 24, 36, 48};
  const int sizeIndex = OptionData ? OptionData->BtnImageSize : 0;
  ToolBar->setIconSize(QSize(kSizes[sizeIndex >= 0 && sizeIndex <= 3 ? sizeIndex : 0],
                             kSizes[sizeIndex >= 0 && sizeIndex <= 3 ? sizeIndex : 0]));
  auto act = [&](const char* name, const QString& text, const QString& hint, QStyle::StandardPixmap icon) {
    auto* a = new QAction(st->standardIcon(icon), text, this);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    return a;
  };
  bSave = act("bSave", "保存", "名前を付けて保存", QStyle::SP_DialogSaveButton);
  bPreview = act("bPreview", "プレビュー", "プレビュー", QStyle::SP_FileDialogContentsView);
  bPrint = act("bPrint", "印刷", "印刷", QStyle::SP_FileIcon);
  bPageSetup = act("bPageSetup", "ページ設定", "ページ設定", QStyle::SP_FileDialogDetailedView);
  btnInnerHTMLView = act("btnInnerHTMLView", "innerHTML", "innerHTML", QStyle::SP_FileDialogInfoView);
  actExportExcel = act("actExportExcel", "Excel出力", "Excel へ出力", QStyle::SP_ArrowRight);
  actExportCalc = act("actExportCalc", "OpenOffice Calc出力", "LibreOffice Calc へ出力", QStyle::SP_ArrowRight);
  actExportWPS = act("actExportWPS", "WPS 出力", "WPS SpreadSheets へ出力", QStyle::SP_ArrowRight);
  actExportJustCalc = act("actExportJustCalc", "JustCalc 出力", "JustCalc へ出力", QStyle::SP_ArrowRight);
  actCopy = act("actCopy", "コピー(&C)", "コピー", QStyle::SP_FileLinkIcon);
  actSelectAll = act("actSelectAll", "全て選択(&A)", "全て選択", QStyle::SP_FileDialogListView);
  actCopy->setShortcut(QKeySequence::Copy);
  actSelectAll->setShortcut(QKeySequence::SelectAll);
  addAction(actCopy);
  addAction(actSelectAll);

  dmCalc = new QMenu(this);
  dmCalc->setObjectName("dmCalc");
  const std::pair<const char*, QAction*> items[] = {{"pmnExcelExport", actExportExcel},
                                                    {"pmnOOoExport", actExportCalc},
                                                    {"pmnWpsExport", actExportWPS},
                                                    {"pmnJustCalcExport", actExportJustCalc}};
  for (const auto& [name, a] : items) {
    dmCalc->addAction(a);
    dmCalc->actions().back()->setObjectName(name);
  }
  btnExcel = new QToolButton(this);
  btnExcel->setObjectName("btnExcel");
  btnExcel->setMenu(dmCalc);
  btnExcel->setPopupMode(QToolButton::MenuButtonPopup);
  btnExcel->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

  cbCssFile = new QComboBox(this);
  cbCssFile->setObjectName("cbCssFile");
  cbCssFile->setToolTip("スタイルシートを選択");
  cbCssFile->setMinimumContentsLength(12);
  trkZoom = new QSlider(Qt::Horizontal, this);
  trkZoom->setObjectName("trkZoom");
  trkZoom->setRange(0, 4);
  trkZoom->setValue(2);
  trkZoom->setPageStep(1);
  trkZoom->setTickPosition(QSlider::TicksBelow);
  trkZoom->setFixedWidth(90);
  trkZoom->setToolTip("文字サイズ変更");

  ToolBar->addAction(bSave);
  ToolBar->addAction(bPreview);
  ToolBar->addAction(bPrint);
  ToolBar->addAction(bPageSetup);
  ToolBar->addSeparator();
  ToolBar->addWidget(btnExcel);
  ToolBar->addSeparator();
  ToolBar->addWidget(cbCssFile);
  ToolBar->addWidget(trkZoom);
  ToolBar->addAction(btnInnerHTMLView);
  layout->addWidget(ToolBar);

  auto* panel = new QWidget(this);
  panel->setObjectName("Panel1");
  auto* pl = new QVBoxLayout(panel);
  pl->setContentsMargins(0, 0, 0, 0);
  WebBrowser = CreatePageView(panel);
  WebBrowser->setObjectName("WebBrowser");
  pl->addWidget(WebBrowser);
  layout->addWidget(panel, 1);
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  layout->addWidget(StatusBar);

  connect(bSave, &QAction::triggered, this, [this] { bSaveClick(); });
  connect(bPreview, &QAction::triggered, this, [this] { bPreviewClick(); });
  connect(bPrint, &QAction::triggered, this, [this] { bPrintClick(); });
  connect(bPageSetup, &QAction::triggered, this, [this] { bPageSetupClick(); });
  connect(btnInnerHTMLView, &QAction::triggered, this, [this] { btnInnerHTMLViewClick(); });
  connect(actExportExcel, &QAction::triggered, this, [this] { actExportExcelExecute(); });
  connect(actExportCalc, &QAction::triggered, this, [this] { actExportCalcExecute(); });
  connect(actExportWPS, &QAction::triggered, this, [this] { actExportWPSExecute(); });
  connect(actExportJustCalc, &QAction::triggered, this, [this] { actExportJustCalcExecute(); });
  connect(actCopy, &QAction::triggered, this, [this] { WebBrowser->Copy(); });
  connect(actSelectAll, &QAction::triggered, this, [this] { WebBrowser->SelectAll(); });
  connect(trkZoom, &QSlider::valueChanged, this, [this](int v) { trkZoomChange(v); });
  connect(cbCssFile, &QComboBox::activated, this, [this](int i) { cbCssFileChange(i); });
  TPageView::TEvents events;
  events.LoadStarted = [this] {
    FRendererGone = false;
    FLoading = true;
    DocumentComplete = false;
    InnerHtml.clear();
  };
  events.LoadFinished = [this](const QUrl& url, bool ok) {
    // The end of an earlier load that the page's own load replaced is not this page.
    if (!FExpectedUrl.isEmpty() && url != FExpectedUrl) return;
    FExpectedUrl.clear();
    LoadFinished(ok);
  };
  // The engine's page process can end (out of memory on a very large page, a crash): the page
  // is then as complete as it will get, and nobody may wait for it.
  events.ProcessGone = [this](int status, int code) {
    if (FClosing) return;
    FRendererGone = true;
    FLoading = false;
    DocumentComplete = true;
    emit DocumentCompleted();
    emit Woken();
    MessageSink().Log("HTML view: page process ended (" + std::to_string(status) + ", " +
                      std::to_string(code) + ")");
    // The page went blank: a user looking at it is told why and what still works (a
    // view that only runs an export has nobody to tell: its export goes on).
    if (!ExportOnly && isVisible()) {
      std::string text = "ページを表示できませんでした。";
      if (PostData.empty())
        text += "\r\n表示する結果が大きすぎる可能性があります。\r\n"
                "保存と表計算ソフトへの出力は、作成したページで行えます。";
      StatusBar->showMessage(QString::fromStdString(text).replace("\r\n", " "));
      QPointer<TfrmWebBrowser> self(this);
      QTimer::singleShot(0, this, [self, text] {
        if (self && !self->FClosing) ShowMessageBox(TMsgKind::Error, "Quillmar", text);
      });
    }
  };
  events.LinkHovered = [this](const QString& url) { StatusBar->showMessage(url); };
  WebBrowser->SetEvents(std::move(events));
}

double TfrmWebBrowser::ZoomFactorOf(int position) {
  static const double kFactors[] = {0.7, 0.85, 1.0, 1.25, 1.5};
  return kFactors[position < 0 ? 0 : position > 4 ? 4 : position];
}

void TfrmWebBrowser::ReadPlacement() {
  QRect r(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight);
  if (OptionData && !OptionData->IniFileName.empty()) {
    TIniFile ini(OptionData->IniFileName);
    r = QRect(ini.ReadInteger(SECTION_WINDOW, "WebBrowserLeft", kDesignedLeft),
              ini.ReadInteger(SECTION_WINDOW, "WebBrowserTop", kDesignedTop),
              ini.ReadInteger(SECTION_WINDOW, "WebBrowserWidth", kDesignedWidth),
              ini.ReadInteger(SECTION_WINDOW, "WebBrowserHeight", kDesignedHeight));
  }
  if (r.width() < 200) r.setWidth(kDesignedWidth);
  if (r.height() < 150) r.setHeight(kDesignedHeight);
  resize(r.size());
  move(ClampToWorkArea(r.topLeft(), r.size()));
}

void TfrmWebBrowser::WritePlacement() {
  if (!OptionData || OptionData->IniFileName.empty()) return;
  // A minimised or maximised window keeps the normal rectangle.
  const QRect r = (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) ? normalGeometry() : geometry();
  if (!r.isValid()) return;
  TIniFile ini(OptionData->IniFileName);
  ini.WriteInteger(SECTION_WINDOW, "WebBrowserTop", r.top());
  ini.WriteInteger(SECTION_WINDOW, "WebBrowserLeft", r.left());
  ini.WriteInteger(SECTION_WINDOW, "WebBrowserWidth", r.width());
  ini.WriteInteger(SECTION_WINDOW, "WebBrowserHeight", r.height());
  try {
    ini.UpdateFile();
  } catch (const std::exception& e) {
    MessageSink().Log(std::string("WebBrowser placement: ") + e.what());
  }
}

void TfrmWebBrowser::SetExportAction(QAction* action) {
  btnExcel->setDefaultAction(action);
  btnExcel->setMenu(dmCalc);
  btnExcel->setPopupMode(QToolButton::MenuButtonPopup);
}

void TfrmWebBrowser::ListCssFiles() {
  QSignalBlocker block(cbCssFile);
  cbCssFile->clear();
  const QString dir = OptionData ? QString::fromStdString(OptionData->CssDir) : QString();
  if (!dir.isEmpty()) {
    const QStringList names = QDir(dir).entryList({"*.css"}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    cbCssFile->addItems(names);
    const QString current = QFileInfo(QString::fromStdString(OptionData->CssFile).replace('\\', '/')).fileName();
    cbCssFile->setCurrentIndex(current.isEmpty() ? -1 : names.indexOf(current));
  }
}

std::string TfrmWebBrowser::NewTempFile(const std::string& ext) {
  std::string path = MakeTempFilePath(ext);
  if (!path.empty()) FTempFiles.push_back(path);
  return path;
}

void TfrmWebBrowser::RemoveTempFiles() {
  std::vector<std::string> kept;
  for (const auto& f : FTempFiles)
    if (!RemoveTempFile(f)) kept.push_back(f);  // stays behind; nothing is reported
  FTempFiles.swap(kept);
}

int TfrmWebBrowser::RunDialog(QDialog& dialog) { return DialogHook ? DialogHook(dialog) : dialog.exec(); }

// ---- loading ----------------------------------------------------------------------------

void TfrmWebBrowser::showEvent(QShowEvent* ev) {
  QWidget::showEvent(ev);
  if (!FStarted) {
    FStarted = true;
    // Loading starts once the window is up; Show() waits for it.
    QTimer::singleShot(0, this, [this] { StartLoad(); });
  }
}

void TfrmWebBrowser::StartLoad() {
  if (FClosing) return;
  if (!PostData.empty()) {
    NavigatePost();
    return;
  }
  const std::string path = NewTempFile(".html");
  std::string error = "一時ファイルを作成できません。";
  if (path.empty() || WriteTextFile(path, Html, &error) != 0) {
    ShowMessageBox(TMsgKind::Error, windowTitle().toStdString(), "ページを表示できません。\r\n" + error);
    DocumentComplete = true;  // nothing to wait for
    FLoading = false;
    emit DocumentCompleted();
    emit Woken();
    return;
  }
  TempFile = path;
  setWindowTitle(QString::fromStdString(TempFile));
  DocumentComplete = false;
  ++FLoadSerial;
  FExpectedUrl = QUrl::fromLocalFile(QString::fromStdString(TempFile));
  WebBrowser->Load(FExpectedUrl);
}

bool TfrmWebBrowser::Show() {
  QPointer<TfrmWebBrowser> self(this);
  show();
  if (!self) return false;
  if (!PostData.empty()) return true;
  // The load starts from the event loop; wait for it and for the page.
  if (!WaitFor(self, kLoadWaitMs, [self] {
        return !self || self->FClosing || (self->FStarted && self->DocumentComplete && !self->FLoading);
      }))
    return false;
  return DocumentComplete && !FClosing;
}

bool TfrmWebBrowser::ShowHtml(const std::string& page) {
  Html = page;
  if (!FStarted) return Show();
  StartLoad();
  return WaitForDocument();
}

void TfrmWebBrowser::NavigatePost() {
  DocumentComplete = false;
  ++FLoadSerial;
  FExpectedUrl.clear();
  WebBrowser->Post(QUrl::fromEncoded(PostUrl.toUtf8()), "application/x-www-form-urlencoded",
                   QByteArray::fromStdString(PostData));
}

void TfrmWebBrowser::LoadFinished(bool ok) {
  if (FClosing) return;
  if (!ok) {
    // A page that failed shows the engine's own error page: complete all the same, so that
    // nobody waits for it; its markup follows when the script answers.
    FLoading = false;
    DocumentComplete = true;
    emit DocumentCompleted();
    emit Woken();
  }
  WebBrowser->SetZoom(ZoomFactorOf(trkZoom->value()));
  const int serial = FLoadSerial;
  QPointer<TfrmWebBrowser> self(this);
  WebBrowser->RunScript("document.documentElement.innerHTML", [self, serial](const QVariant& v) {
    if (!self || self->FClosing || serial != self->FLoadSerial) return;
    self->InnerHtml = v.toString().toStdString();
    self->FLoading = false;
    self->DocumentComplete = true;
    emit self->DocumentCompleted();
    emit self->Woken();
  });
}

bool TfrmWebBrowser::WaitForDocument(int timeoutMs) {
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitFor(self, timeoutMs,
               [self] { return !self || self->FClosing || (self->DocumentComplete && !self->FLoading); }))
    return false;
  return DocumentComplete && !FClosing;
}

bool TfrmWebBrowser::MarkupIsPage() const {
  // Cells are escaped, so a script element in the page is one of the page's own.
  return PostData.empty() && !Html.empty() && Html.find("<script") == std::string::npos &&
         Html.find("<SCRIPT") == std::string::npos;
}

bool TfrmWebBrowser::CurrentMarkup(std::string& markup) {
  if (FClosing) return false;
  if (MarkupIsPage()) {
    markup = PageMarkup(Html);
    return true;
  }
  QPointer<TfrmWebBrowser> self(this);
  if (!WaitForDocument() && (!self || FClosing)) return false;
  if (!FRendererGone) {
    auto result = std::make_shared<std::optional<std::string>>();
    WebBrowser->RunScript("document.documentElement.innerHTML", [self, result](const QVariant& v) {
      *result = v.toString().toStdString();
      if (self) emit self->Woken();
    });
    if (!WaitFor(self, kMarkupWaitMs, [self, result] {
          return !self || self->FClosing || self->FRendererGone || result->has_value();
        }))
      return false;
    if (FClosing) return false;
    if (result->has_value() && !(*result)->empty()) {
      markup = **result;
      return true;
    }
  }
  // The engine could not give the live document (its page process ended): a page of our own
  // is handed over as it was built.
  if (PostData.empty() && !Html.empty()) {
    markup = PageMarkup(Html);
    return true;
  }
  ShowMessageBox(TMsgKind::Error, "Quillmar", "ページの内容を取得できませんでした。");
  return false;
}

std::string TfrmWebBrowser::PageMarkup(const std::string& page) {
  // What the document element holds: everything between "<html...>" and "</html>".
  size_t start = page.find("<html");
  start = start == std::string::npos ? 0 : page.find('>', start);
  start = start == std::string::npos ? 0 : start + 1;
  while (start < page.size() && (page[start] == '\r' || page[start] == '\n')) ++start;
  size_t end = page.rfind("</html>");
  if (end == std::string::npos || end < start) end = page.size();
  return page.substr(start, end - start);
}

void TfrmWebBrowser::closeEvent(QCloseEvent* ev) {
  FClosing = true;
  emit Woken();
  // The zoom goes back to the middle for the next view.
  trkZoom->setValue(2);
  WebBrowser->SetZoom(1.0);
  WritePlacement();
  WebBrowser->Stop();
  RemoveTempFiles();
  ev->accept();
}
