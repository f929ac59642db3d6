#include "frontend/console/frm_template.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/message_sink.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/console/dlg_arg_save.h"
#include "frontend/console/frm_byochu.h"
#include "frontend/console/sql_console.h"
#include "frontend/crop/dlg_sakumotsu.h"
#include "frontend/frm_main.h"
#include "frontend/frm_yoto.h"
#include "frontend/frm_zaikei.h"
#include "frontend/grid_fill_target.h"
#include "frontend/main_widgets.h"
#include "frontend/picker_placement.h"
#include "frontend/search_tab.h"
#include "output/page_view.h"
#include "output/xls_string_grid.h"

using namespace MainWidgets;

namespace {

constexpr const char* kTemplateFilter = "定型処理テンプレートファイル(*.tpl)|*.tpl|全てのファイル(*.*)|*.*";
constexpr const char* kArgFilter = "定型処理設定ファイル(*.arg)|*.arg|全てのファイル(*.*)|*.*";
// Pages larger than this are navigated to instead of handed over as text.
constexpr qsizetype kSetHtmlLimit = 1500 * 1024;

// A file dialog of the page opened under its button.
void AtButton(TFileDialogPos& Dlg, const QWidget* Button) {
  const QPoint at = Button->mapToGlobal(QPoint(0, Button->height()));
  Dlg.Position.Option = dpDesigned;
  Dlg.Position.X = at.x();
  Dlg.Position.Y = at.y();
}

// The template tab's part of the main window's search actions: "条件消去" empties the
// arguments (the page runs its own SQL, so there is no search).
class TTemplateTabHandler : public TSearchTabHandler {
 public:
  explicit TTemplateTabHandler(TfrmTemplate* Page) : page_(Page) {}
  void Search() override {}
  bool CanSearch() const override { return false; }
  void FollowDatabase(bool Open) override {
    if (page_) page_->FollowDatabase(Open);
  }
  void ClearConditions() override {
    if (page_) page_->ClearArgs();
  }

 private:
  QPointer<TfrmTemplate> page_;
};

// A memo argument box: a few lines high when its panel first shows, so that the description
// and the result below keep most of the page (the splitter below it makes it taller).
class TArgMemo : public QPlainTextEdit {
 public:
  static constexpr int kLines = 3;
  QSize sizeHint() const override {
    const int h = kLines * fontMetrics().lineSpacing() + 2 * frameWidth() + 2 * static_cast<int>(document()->documentMargin());
    return {QPlainTextEdit::sizeHint().width(), h};
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The argument boxes as the engine sees them

class TfrmTemplate::TBoxes : public TTemplateArgBoxes {
 public:
  explicit TBoxes(TfrmTemplate& Page) : page_(Page) {}
  std::string Text(int Arg) const override {
    if (QPlainTextEdit* m = Memo(Arg)) return m->toPlainText().toStdString();
    if (QLineEdit* e = Edit(Arg)) return e->text().toStdString();
    return {};
  }
  void SetText(int Arg, const std::string& T) override {
    if (QPlainTextEdit* m = Memo(Arg)) m->setPlainText(QString::fromStdString(T));
    if (QLineEdit* e = Edit(Arg)) e->setText(QString::fromStdString(T));
  }
  bool Shown(int Arg) const override { return Panel(Arg) && !Panel(Arg)->isHidden(); }
  void Show(int Arg, bool On) override {
    if (QWidget* p = Panel(Arg)) p->setVisible(On);
  }
  void ShowSpacer(bool On) override { page_.pnlTplLowerSpace->setVisible(On); }

 private:
  QPlainTextEdit* Memo(int Arg) const {
    switch (Arg) {
      case taSakumotsu: return page_.edtTplSakumotsu;
      case taByochu: return page_.edtTplByochu;
      case taSonota: return page_.edtTplSonota;
      default: return nullptr;
    }
  }
  QLineEdit* Edit(int Arg) const {
    return Arg == taYoto ? page_.edtTplYoto : (Arg == taZaikei ? page_.edtTplZaikei : nullptr);
  }
  QWidget* Panel(int Arg) const {
    const std::array<QWidget*, kTemplateArgCount> panels = {page_.pnlTplSakumotsu, page_.pnlTplByochu,
                                                            page_.pnlTplYoto, page_.pnlTplZaikei, page_.pnlTplSonota};
    return Arg >= 0 && Arg < kTemplateArgCount ? panels[Arg] : nullptr;
  }
  TfrmTemplate& page_;
};

// ---------------------------------------------------------------------------------------------
// Creation

TfrmTemplate::TfrmTemplate(TfrmMain& Main) : QWidget(nullptr), main_(Main), FBoxes(std::make_unique<TBoxes>(*this)) {
  setObjectName("frmTemplate");
  setWindowTitle("定型処理");
  gdTemplate = Main.TemplateGrid;
  BuildControls();
  // Nothing opened yet: the help page, no argument shown.
  FTpl.SetupTemplateArgs(HelpHtml().toStdString(), *FBoxes);
  pagTemplate->setCurrentWidget(tshTplSource);
  for (QPushButton* b : {btnTplArgSave, btnTplExec, btnTplEdit}) b->setEnabled(false);
  FollowDatabase(AcisDB != nullptr);
  if (OptionData && OptionData->TabletMode)
    pagTemplate->setStyleSheet(QString("QTabBar::tab { min-height: %1px; }").arg(std::max(10, OptionData->TabletTabHeight)));
}

TfrmTemplate::~TfrmTemplate() = default;

TTemplateArgBoxes& TfrmTemplate::Boxes() { return *FBoxes; }

QString TfrmTemplate::HelpHtml() {
  return "<html><head><meta charset=\"utf-8\"></head><body style=\"font-size:small\">"
         "<span style=\"border:2px outset #c0c0c0;background:#e8e8e8;padding:1px 6px\">テンプレート選択</span>"
         "をクリックして、実行したい処理を選択してください。</body></html>";
}

QWidget* TfrmTemplate::ArgPanel(const char* Name, QWidget* Caption, QWidget* Box) {
  QWidget* p = NewPanel(Name);
  auto* l = new QHBoxLayout(p);
  l->setContentsMargins(2, 1, 2, 1);
  l->setSpacing(4);
  Caption->setMinimumWidth(80);
  l->addWidget(Caption, 0, Qt::AlignTop);
  l->addWidget(Box, 1);
  return p;
}

void TfrmTemplate::BuildControls() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(2);

  pnlTplButtons = NewPanel("pnlTplButtons", this);
  auto* bl = new QHBoxLayout(pnlTplButtons);
  bl->setContentsMargins(2, 2, 2, 2);
  btnTplLoad = NewButton("テンプレート選択", "btnTplLoad");
  btnTplLoad->setToolTip("テンプレートファイルを開く");
  btnTplExec = NewButton("実行", "btnTplExec");
  btnTplEdit = NewButton("SQL編集", "btnTplEdit");
  btnTplArgLoad = NewButton("設定読込", "btnTplArgLoad");
  btnTplArgSave = NewButton("設定保存", "btnTplArgSave");
  for (QPushButton* b : {btnTplLoad, btnTplExec, btnTplEdit, btnTplArgLoad, btnTplArgSave}) bl->addWidget(b);
  bl->addStretch(1);
  lay->addWidget(pnlTplButtons);

  auto memo = [](const char* name) {
    QPlainTextEdit* m = Named(new TArgMemo, name);
    m->setTabChangesFocus(true);
    return m;
  };
  btnTplSakumotsu = NewButton("作物名", "btnTplSakumotsu");
  edtTplSakumotsu = memo("edtTplSakumotsu");
  pnlTplSakumotsu = ArgPanel("pnlTplSakumotsu", btnTplSakumotsu, edtTplSakumotsu);
  btnTplByochu = NewButton("病害虫名", "btnTplByochu");
  edtTplByochu = memo("edtTplByochu");
  pnlTplByochu = ArgPanel("pnlTplByochu", btnTplByochu, edtTplByochu);
  btnTplYoto = NewButton("用途", "btnTplYoto");
  edtTplYoto = NewEdit("edtTplYoto");
  pnlTplYoto = ArgPanel("pnlTplYoto", btnTplYoto, edtTplYoto);
  btnTplZaikei = NewButton("剤型", "btnTplZaikei");
  edtTplZaikei = NewEdit("edtTplZaikei");
  pnlTplZaikei = ArgPanel("pnlTplZaikei", btnTplZaikei, edtTplZaikei);
  lblTplSonota = Named(new QLabel("その他"), "lblTplSonota");
  lblTplSonota->setAlignment(Qt::AlignCenter);
  edtTplSonota = memo("edtTplSonota");
  pnlTplSonota = ArgPanel("pnlTplSonota", lblTplSonota, edtTplSonota);
  pnlTplLowerSpace = NewPanel("pnlTplLowerSpace");
  pnlTplLowerSpace->setFixedHeight(4);
  for (QWidget* p : {pnlTplYoto, pnlTplZaikei}) p->setFixedHeight(p->sizeHint().height());
  for (QPlainTextEdit* m : {edtTplSakumotsu, edtTplByochu, edtTplSonota}) m->setMinimumHeight(24);

  pagTemplate = Named(new QTabWidget, "pagTemplate");
  tshTplSource = NewPage(pagTemplate, "tshTplSource", "処理内容");
  auto* sl = new QVBoxLayout(tshTplSource);
  sl->setContentsMargins(0, 0, 0, 0);
  tshTplSource->installEventFilter(this);
  tshTplResult = NewPage(pagTemplate, "tshTplResult", "実行結果");
  auto* rl = new QVBoxLayout(tshTplResult);
  rl->setContentsMargins(0, 0, 0, 0);
  if (gdTemplate) rl->addWidget(gdTemplate);

  // The memo panels can be made taller with the splitter below them; the one-line boxes keep
  // their height. Every argument panel starts hidden.
  splTemplate = NewSplitter(Qt::Vertical, "splTemplate");
  for (QWidget* w : {pnlTplSakumotsu, pnlTplByochu, pnlTplYoto, pnlTplZaikei, pnlTplSonota, pnlTplLowerSpace,
                     static_cast<QWidget*>(pagTemplate)})
    splTemplate->addWidget(w);
  splTemplate->setStretchFactor(splTemplate->indexOf(pagTemplate), 1);
  splTemplate->setChildrenCollapsible(false);
  KeepPageRoom();
  splTemplate->handle(splTemplate->indexOf(pnlTplSakumotsu) + 1)->setObjectName("splTplSakumotsu");
  splTemplate->handle(splTemplate->indexOf(pnlTplByochu) + 1)->setObjectName("splTplByochu");
  splTemplate->handle(splTemplate->indexOf(pnlTplSonota) + 1)->setObjectName("splTplSonota");
  for (QWidget* p : {pnlTplSakumotsu, pnlTplByochu, pnlTplYoto, pnlTplZaikei, pnlTplSonota, pnlTplLowerSpace})
    p->hide();
  lay->addWidget(splTemplate, 1);

  connect(btnTplLoad, &QPushButton::clicked, this, [this] { btnTplLoadClick(); });
  connect(btnTplExec, &QPushButton::clicked, this, [this] { btnTplExecClick(); });
  connect(btnTplEdit, &QPushButton::clicked, this, [this] { btnTplEditClick(); });
  connect(btnTplArgLoad, &QPushButton::clicked, this, [this] { btnTplArgLoadClick(); });
  connect(btnTplArgSave, &QPushButton::clicked, this, [this] { btnTplArgSaveClick(); });
  connect(btnTplSakumotsu, &QPushButton::clicked, this, [this] { btnTplSakumotsuClick(); });
  connect(btnTplByochu, &QPushButton::clicked, this, [this] { btnTplByochuClick(); });
  connect(btnTplYoto, &QPushButton::clicked, this, [this] { btnTplYotoClick(); });
  connect(btnTplZaikei, &QPushButton::clicked, this, [this] { btnTplZaikeiClick(); });
}

void TfrmTemplate::KeepPageRoom() {
  constexpr int kPageLines = 6;
  pagTemplate->setMinimumHeight(pagTemplate->tabBar()->sizeHint().height() +
                                kPageLines * pagTemplate->fontMetrics().lineSpacing());
}

void TfrmTemplate::changeEvent(QEvent* Event) {
  QWidget::changeEvent(Event);
  if (Event->type() == QEvent::FontChange && pagTemplate) KeepPageRoom();
}

bool TfrmTemplate::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == tshTplSource && Event->type() == QEvent::Show && !wbTemplate) CreateBrowser();
  return QWidget::eventFilter(Watched, Event);
}

void TfrmTemplate::CreateBrowser() {
  // Made when the page is first shown, inside the main window already on the screen.
  wbTemplate = Named(CreatePageView(tshTplSource, TPageViewWindow::Own), "wbTemplate");
  tshTplSource->layout()->addWidget(wbTemplate);
  ShowInBrowser();
}

void TfrmTemplate::ShowInBrowser() {
  if (!wbTemplate) return;
  if (FFile.isEmpty()) {
    wbTemplate->SetHtml(HelpHtml(), QUrl("about:blank"));
    return;
  }
  // The page as the file's text decodes it (UTF-8 or CP932), its folder as the base of
  // relative links; a very large page is opened from its file.
  const QString html = QString::fromStdString(FHtml);
  if (html.toUtf8().size() < kSetHtmlLimit)
    wbTemplate->SetHtml(html, QUrl::fromLocalFile(FFile));
  else
    wbTemplate->Load(QUrl::fromLocalFile(FFile));
}

// ---------------------------------------------------------------------------------------------
// Commands

void TfrmTemplate::WriteLog(const QString& Line) { main_.WriteLog(Line); }

void TfrmTemplate::ClearArgs() {
  for (int i = 0; i < kTemplateArgCount; ++i) FBoxes->SetText(i, std::string());
}

void TfrmTemplate::EnableControls(bool Enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{btnTplLoad, btnTplExec, btnTplEdit, btnTplArgLoad, btnTplArgSave,
                                                    btnTplSakumotsu, btnTplByochu, btnTplYoto, btnTplZaikei,
                                                    edtTplSakumotsu, edtTplByochu, edtTplYoto, edtTplZaikei,
                                                    edtTplSonota})
    w->setEnabled(Enabled);
  if (Enabled) FollowDatabase(AcisDB != nullptr);
}

void TfrmTemplate::FollowDatabase(bool Open) {
  btnTplLoad->setEnabled(Open);
  btnTplArgLoad->setEnabled(Open && !FFile.isEmpty());
}

void TfrmTemplate::btnTplLoadClick() {
  if (!AcisDB) return;
  TOpenDialogPos dlg;
  dlg.Title = "定型処理テンプレートファイル読込";
  dlg.Filter = kTemplateFilter;
  dlg.DefaultExt = "tpl";
  dlg.InitialDir = QString::fromStdString(OptionData->TemplateDir);
  AtButton(dlg, btnTplLoad);
  if (dlg.Execute(this)) LoadTemplateFile(dlg.FileName);
}

bool TfrmTemplate::LoadTemplateFile(const QString& FileName) {
  std::string text;
  if (!LoadTextFile(FileName.toStdString(), text)) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", FileName.toStdString() + " を読み込めません");
    return false;
  }
  FHtml = std::move(text);
  FFile = FileName;
  ShowInBrowser();
  pagTemplate->setCurrentWidget(tshTplSource);
  for (QPushButton* b : {btnTplArgSave, btnTplExec, btnTplEdit}) b->setEnabled(true);
  FollowDatabase(AcisDB != nullptr);
  FTpl.SetupTemplateArgs(FHtml, *FBoxes);
  return true;
}

std::string TfrmTemplate::BuildSql() { return FTpl.BuildTemplateSql(FHtml, *FBoxes, AcisDB.get()); }

void TfrmTemplate::btnTplExecClick() {
  if (!AcisDB) return;
  const std::string sql = BuildSql();
  if (sql.empty()) return;
  EnableControls(false);
  {
    TBusyGuard busy(main_, false);
    WriteLog("SQL>");
    WriteLog(QString::fromStdString(sql));
    AcisDB->SetMultiStatement(true);
    TXlsGridTarget target(*gdTemplate);
    if (AcisDB->SetGrid(target, sql)) {
      tshTplResult->setEnabled(true);
      pagTemplate->setCurrentWidget(tshTplResult);
      gdTemplate->show();
      if (QLayout* l = tshTplResult->layout()) l->activate();
      main_.AdjustGridColumnWidths(gdTemplate);
      TGridState& g = main_.GridStates[tiTemplate];
      g.CountText = QString::number(AcisDB->FTbl ? AcisDB->FTbl->Count() : gdTemplate->RowCount() - 1) + "件";
      g.SortText.clear();
      if (main_.CurrentGrid == gdTemplate) {
        main_.SetStatusText(3, g.CountText);
        main_.SetStatusText(2, QString());
      }
      main_.EnableResultActions(true);
    }
  }
  EnableControls(true);
}

void TfrmTemplate::btnTplEditClick() {
  const std::string sql = BuildSql();
  if (sql.empty()) return;
  QString text = QString::fromStdString(sql);
  text.replace("\r\n", "\n");
  main_.SQLEditor->setText(text);
  main_.pgSearch->setCurrentWidget(main_.tabSQL);
  if (TSqlConsole* c = SqlConsoleOf(main_)) c->SQLEditorChange();
}

void TfrmTemplate::btnTplArgLoadClick() {
  if (!AcisDB) return;
  TOpenDialogPos dlg;
  dlg.Title = "定型処理設定ファイル読込";
  dlg.Filter = kArgFilter;
  dlg.DefaultExt = "arg";
  dlg.InitialDir = QString::fromStdString(OptionData->TemplateDir);
  AtButton(dlg, btnTplArgLoad);
  if (!dlg.Execute(this)) return;
  if (!LoadTemplateArgFile(dlg.FileName.toStdString(), *FBoxes))
    ShowMessageBox(TMsgKind::Error, "Quillmar", dlg.FileName.toStdString() + " を読み込めません");
}

void TfrmTemplate::btnTplArgSaveClick() {
  TDlgArgSave dlg(this);
  dlg.setFont(font());
  dlg.setWindowTitle("定型処理設定保存");
  dlg.lblQuestion->setText("この内容で保存しますか？");
  QStringList lines;
  for (const std::string& line : TemplateArgFileLines(*FBoxes)) lines << QString::fromStdString(line);
  QString text = lines.join('\n');
  text.replace("\r\n", "\n");
  dlg.mArgs->setPlainText(text);
  PlacePickerAtButton(&dlg, btnTplArgSave);
  ExecPicker(dlg);
}

void TfrmTemplate::btnTplSakumotsuClick() {
  ShowCropPicker(this, btnTplSakumotsu, 3, edtTplSakumotsu,
                 [this](const std::string& line) { WriteLog(QString::fromStdString(line)); });
}

void TfrmTemplate::btnTplByochuClick() {
  ShowTemplatePestPicker(this, btnTplByochu, edtTplSakumotsu->toPlainText(), edtTplByochu);
}

void TfrmTemplate::btnTplYotoClick() {
  TfrmYoto dlg(this);
  dlg.setFont(font());
  PickIntoBox(dlg, btnTplYoto, edtTplYoto);
}

void TfrmTemplate::btnTplZaikeiClick() {
  TfrmZaikei dlg(this);
  dlg.setFont(font());
  PickIntoBox(dlg, btnTplZaikei, edtTplZaikei);
}

// ---------------------------------------------------------------------------------------------
// Installation

TfrmTemplate* InstallTemplatePage(TfrmMain& Main) {
  QWidget* panel = NewPanel("fplTemplate");
  auto* l = new QVBoxLayout(panel);
  l->setContentsMargins(0, 0, 0, 0);
  auto* page = new TfrmTemplate(Main);  // takes the template grid out of the placeholder
  page->setFont(Main.font());
  if (page->gdTemplate) page->gdTemplate->setFont(Main.gdTekiyo->font());
  l->addWidget(page);
  Main.fplTemplate = Main.ReplaceControl(Main.fplTemplate, panel);
  Main.SetSearchHandler(tiTemplate, std::make_unique<TTemplateTabHandler>(page));
  return page;
}
