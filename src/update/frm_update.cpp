#include "update/frm_update.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "foundation/xp_tool_bar.h"

namespace {

constexpr int kImageSizes[4] = {16, 24, 36, 48};

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLabel* FileLabel(const std::string& text, QWidget* parent) {
  auto* l = new QLabel(Q(text), parent);
  l->setObjectName(Q("lbl" + text));
  return l;
}

}  // namespace

TfrmUpdate::TfrmUpdate(QWidget* Owner) : QDialog(Owner) {
  TUpdateSinks sinks;
  sinks.Log = [this](const std::string& line) {
    mLog->appendPlainText(Q(line));
    // mLogChange: the last line stays in view.
    mLog->verticalScrollBar()->setValue(mLog->verticalScrollBar()->maximum());
  };
  sinks.Progress = [this](int64_t pos, int64_t max) {
    const int m = static_cast<int>(std::clamp<int64_t>(max, 1, 1 << 30));
    ProgressBar->setMaximum(m);
    ProgressBar->setValue(static_cast<int>(std::clamp<int64_t>(pos, 0, m)));
  };
  // Every event, so that "中止" can be pressed while a step runs.
  sinks.Pump = [] { QCoreApplication::processEvents(); };
  sinks.Busy = [this](bool on) { SetBusy(on); };
  sinks.Highlight = [this](const std::string& label, bool bold) {
    const int page = runner_->Mode <= 2 ? runner_->Mode : 3;
    auto [from, to] = labels_[page].equal_range(label);
    for (auto it = from; it != to; ++it) {
      QFont f = it->second->font();
      f.setBold(bold);
      it->second->setFont(f);
    }
  };
  sinks.Buttons = [this](bool on) { EnableButtons(on); };
  // An automatic window closes itself once its run is over (a posted close).
  sinks.Close = [this] { QMetaObject::invokeMethod(this, &QDialog::close, Qt::QueuedConnection); };
  runner_ = std::make_unique<TUpdateRunner>(*OptionData, sinks);
  FormCreate();
}

TfrmUpdate::~TfrmUpdate() {
  SetBusy(false);
  if (AcisDB) AcisDB->FProgressBar = nullptr;
}

void TfrmUpdate::SetBusy(bool On) {
  if (On == busy_) return;
  busy_ = On;
  if (On)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------
// Construction

QWidget* TfrmUpdate::BuildPage(const std::vector<std::string>& Files, QPushButton** Down, QPushButton** Unpack,
                               QPushButton** Convert, const char* ConvertCaption, int Page) {
  auto* page = new QWidget(pgSite);
  auto* grid = new QGridLayout(page);
  auto* files = new QHBoxLayout;
  for (const std::string& f : Files) {
    QLabel* l = FileLabel(f, page);
    labels_[Page].emplace(f, l);
    files->addWidget(l);
  }
  files->addStretch(1);
  grid->addLayout(files, 0, 0, 1, 3);
  int row = 1;
  auto step = [&](const char* caption, QPushButton** button, const char* name) {
    grid->addWidget(new QLabel(caption, page), row, 0);
    *button = new QPushButton("実行", page);
    (*button)->setObjectName(name);
    (*button)->setEnabled(false);
    grid->addWidget(*button, row, 1);
    stepButtons_.push_back(*button);
    ++row;
  };
  static const char* const kDownNames[4] = {"btnAcisCsvDown", "bDown", "bVeskDown", "btnSQLiteDBDown"};
  static const char* const kUnpackNames[4] = {"btnAcisZipUnpack", "bUnpack", "bZipUnpack", "btnUnpackDB"};
  static const char* const kConvertNames[3] = {"btnAcisCsvToDb", "bXlsCnv", "bCsvToDB"};
  step("ダウンロード", Down, kDownNames[Page]);
  downButtons_.push_back(*Down);
  step("圧縮ファイル解凍", Unpack, kUnpackNames[Page]);
  if (Convert) step(ConvertCaption, Convert, kConvertNames[Page]);
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

void TfrmUpdate::BuildSQLiteDBPage() {
  TabSheet1 = BuildPage({"acis.zip", "spec.zip"}, &btnSQLiteDBDown, &btnUnpackDB, nullptr, nullptr, 3);
  auto* grid = static_cast<QGridLayout*>(TabSheet1->layout());
  auto* site = new QWidget(TabSheet1);
  auto* v = new QVBoxLayout(site);
  v->setContentsMargins(0, 0, 0, 0);
  auto* radios = new QHBoxLayout;
  rdVesk = new QRadioButton("Vesk ミラーサイト", site);
  rdVesk->setObjectName("rdVesk");
  rdCustum = new QRadioButton("独自接続サイト", site);
  rdCustum->setObjectName("rdCustum");
  radios->addWidget(rdVesk);
  radios->addWidget(rdCustum);
  radios->addStretch(1);
  v->addLayout(radios);
  auto* row = new QHBoxLayout;
  lblSiteName = new QLabel("ダウンロードサイト", site);
  lblSiteName->setObjectName("lblSiteName");
  cbVeskDBSite = new QComboBox(site);
  cbVeskDBSite->setObjectName("cbVeskDBSite");
  for (int i = 0; i < 4; ++i) cbVeskDBSite->addItem(Q(MirrorDisplayName(i)));
  edtDownloadSite = new QLineEdit(site);
  edtDownloadSite->setObjectName("edtDownloadSite");
  row->addWidget(lblSiteName);
  row->addSpacing(4);
  row->addWidget(cbVeskDBSite, 1);
  row->addWidget(edtDownloadSite, 1);
  v->addLayout(row);
  lblMirrorNote = new QLabel(Q(MirrorNotConfiguredText()), site);
  lblMirrorNote->setObjectName("lblMirrorNote");
  lblMirrorNote->setWordWrap(true);
  v->addWidget(lblMirrorNote);
  grid->addWidget(site, grid->rowCount(), 0, 1, 3);
  connect(rdVesk, &QRadioButton::clicked, this, [this] { rdVeskClick(); });
  connect(rdCustum, &QRadioButton::clicked, this, [this] { rdCustumClick(); });
  connect(cbVeskDBSite, qOverload<int>(&QComboBox::activated), this, [this] { cbVeskDBSiteChange(); });
}

void TfrmUpdate::FormCreate() {
  setObjectName("frmUpdate");
  setWindowTitle(OptionData->UseLAN ? "データ更新 - 共有フォルダからの更新" : "データ更新");
  if (parentWidget()) setFont(parentWidget()->font());
  labels_.resize(4);
  auto* layout = new QVBoxLayout(this);

  ToolBar = new TXPToolBar(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  const int px = kImageSizes[std::min<int>(OptionData->BtnImageSize, 3)];
  ToolBar->setIconSize(QSize(px, px));
  QStyle* st = style();
  auto tool = [&](const char* caption, const char* name, QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(ToolBar);
    b->setText(caption);
    b->setObjectName(name);
    b->setIcon(st->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar->addWidget(b);
    return b;
  };
  bAuto = tool("自動更新", "bAuto", QStyle::SP_BrowserReload);
  ckManual = tool("手動更新", "ckManual", QStyle::SP_FileDialogDetailedView);
  ckManual->setCheckable(true);
  bExt = tool("拡張機能", "bExt", QStyle::SP_FileDialogContentsView);
  pmnExt = new QMenu(bExt);
  pmnExt->setObjectName("pmnExt");
  pmnJppSeizai = pmnExt->addAction("JPP-NET 剤の概要 CSV からテーブルを作成");
  pmnJppSeizai->setObjectName("btnDokusei");
  pmnJppSeibun = pmnExt->addAction("JPP-NET 有効成分 CSV からテーブルを作成");
  pmnJppSeibun->setObjectName("pmnJppSeibun");
  bExt->setMenu(pmnExt);
  bExt->setPopupMode(QToolButton::InstantPopup);
  bAbort = tool("中止", "bAbort", QStyle::SP_BrowserStop);
  bClose = tool("閉じる", "bClose", QStyle::SP_DialogCloseButton);
  layout->addWidget(ToolBar);

  pgSite = new QTabWidget(this);
  pgSite->setObjectName("pgSite");
  tabAcisCsv = BuildPage({"登録基本部", "登録適用部一", "登録適用部二"}, &btnAcisCsvDown, &btnAcisZipUnpack,
                         &btnAcisCsvToDb, "CSV->データベース更新", 0);
  tabAcis = BuildPage({"登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"}, &bDown, &bUnpack,
                      &bXlsCnv, "XLS->データベース更新", 1);
  tabVesk = BuildPage({"toroku.zip", "登録基本部", "登録適用部"}, &bVeskDown, &bZipUnpack, &bCsvToDB,
                      "CSV->データベース更新", 2);
  BuildSQLiteDBPage();
  tabAcisCsv->setObjectName("tabAcisCsv");
  tabAcis->setObjectName("tabAcis");
  tabVesk->setObjectName("tabVesk");
  TabSheet1->setObjectName("TabSheet1");
  pgSite->addTab(tabAcisCsv, "FAMIC CSV");
  pgSite->addTab(tabAcis, "FAMIC Excel");
  pgSite->addTab(tabVesk, "Vesk CSV");
  pgSite->addTab(TabSheet1, "SQLiteDB");
  layout->addWidget(pgSite);

  mLog = new QPlainTextEdit(this);
  mLog->setObjectName("mLog");
  mLog->setReadOnly(true);
  layout->addWidget(mLog, 1);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  layout->addWidget(ProgressBar);
  resize(560, 480);

  connect(bAuto, &QToolButton::clicked, this, [this] { bAutoClick(); });
  connect(ckManual, &QToolButton::clicked, this, [this] { ckManualClick(); });
  connect(bAbort, &QToolButton::clicked, this, [this] { bAbortClick(); });
  connect(bClose, &QToolButton::clicked, this, [this] { bCloseClick(); });
  for (QPushButton* b : {btnAcisCsvDown, bDown, bVeskDown, btnSQLiteDBDown})
    connect(b, &QPushButton::clicked, this, [this] { bDownClick(); });
  connect(btnAcisZipUnpack, &QPushButton::clicked, this, [this] { btnAcisZipUnpackClick(); });
  connect(bUnpack, &QPushButton::clicked, this, [this] { bUnpackClick(); });
  connect(bZipUnpack, &QPushButton::clicked, this, [this] { bZipUnpackClick(); });
  connect(btnUnpackDB, &QPushButton::clicked, this, [this] { btnUnpackDBClick(); });
  connect(bXlsCnv, &QPushButton::clicked, this, [this] { bXlsCnvClick(); });
  connect(btnAcisCsvToDb, &QPushButton::clicked, this, [this] { bXlsCnvClick(); });
  connect(bCsvToDB, &QPushButton::clicked, this, [this] { bCsvToDBClick(); });
  connect(pmnJppSeizai, &QAction::triggered, this, [this] { btnDokuseiClick(); });
  connect(pmnJppSeibun, &QAction::triggered, this, [this] { pmnJppSeibunClick(); });

  // The state of the window when it opens.
  TUpdateRunner& r = *runner_;
  r.Abort = false;
  r.InSequence = false;
  bAuto->setEnabled(!OptionData->OffLine && !CmdOffline);
  bAbort->setEnabled(false);
  rdVesk->setChecked(true);
  cbVeskDBSite->setCurrentIndex(r.MirrorIndex);
  edtDownloadSite->setText(Q(OptionData->UserSite));
  edtDownloadSite->hide();
  r.Mode = OptionData->DownSite;
  if (r.Mode == 4) {
    rdCustum->setChecked(true);
    cbVeskDBSite->hide();
    edtDownloadSite->show();
  }
  pgSite->setCurrentIndex(std::min(r.Mode, 3));
  ShowMirrorNote();
  // Follow the tab only once the window is set up.
  connect(pgSite, &QTabWidget::currentChanged, this, [this] { pgSiteChange(); });
}

void TfrmUpdate::ShowMirrorNote() {
  const TUpdateRunner& r = *runner_;
  const bool mirror = r.Mode == 2 || r.Mode == 3;
  const int index = r.Mode == 3 ? r.MirrorIndex : OptionData->DownSiteVeskDB;
  lblMirrorNote->setVisible(mirror && !OptionData->UseLAN && !MirrorHostConfigured(index));
}

// ---------------------------------------------------------------------------------------------
// Buttons

void TfrmUpdate::SetManualButtons(bool Enable) {
  const bool offline = OptionData->OffLine || CmdOffline;
  for (QPushButton* b : stepButtons_) {
    const bool down = std::find(downButtons_.begin(), downButtons_.end(), b) != downButtons_.end();
    b->setEnabled(down && offline ? false : Enable);
  }
}

void TfrmUpdate::EnableButtons(bool Enable) {
  SetManualButtons(Enable);
  for (QToolButton* b : {bAuto, bExt, bClose, ckManual}) b->setEnabled(Enable);
  if (Enable && (OptionData->OffLine || CmdOffline)) bAuto->setEnabled(false);
  bAbort->setEnabled(!Enable);
  // The step buttons follow "手動更新" again.
  if (Enable) SetManualButtons(ckManual->isChecked());
}

template <class F>
bool TfrmUpdate::Step(F&& f) {
  if (running_ > 0) return false;
  ++running_;
  bool result = false;
  try {
    result = f();
  } catch (const std::exception& e) {
    runner_->Log(std::string("エラー: ") + e.what());
    runner_->DoAbort();
  }
  --running_;
  return result;
}

void TfrmUpdate::bAutoClick() { AutoUpdate(); }
void TfrmUpdate::ckManualClick() { SetManualButtons(ckManual->isChecked()); }

void TfrmUpdate::bDownClick() {
  Step([this] {
    runner_->Abort = false;
    runner_->SiteText = edtDownloadSite->text().toStdString();
    return OptionData->UseLAN ? runner_->CopyFromShare() : runner_->Download();
  });
}

void TfrmUpdate::btnAcisZipUnpackClick() { Step([this] { return runner_->UnpackAcisCsv(); }); }
void TfrmUpdate::bUnpackClick() { Step([this] { return runner_->UnpackXls(); }); }
void TfrmUpdate::bZipUnpackClick() { Step([this] { return runner_->UnpackToroku(); }); }
void TfrmUpdate::btnUnpackDBClick() { Step([this] { return runner_->UnpackDB(); }); }
void TfrmUpdate::bXlsCnvClick() { Step([this] { return runner_->RebuildDB(); }); }
void TfrmUpdate::bCsvToDBClick() { Step([this] { return runner_->RebuildDB(); }); }

void TfrmUpdate::bAbortClick() { runner_->DoAbort(); }
void TfrmUpdate::bCloseClick() { close(); }

void TfrmUpdate::pgSiteChange() {
  TUpdateRunner& r = *runner_;
  const int tab = pgSite->currentIndex();
  if (tab < 3)
    r.Mode = tab;
  else
    r.Mode = rdCustum->isChecked() && !OptionData->UserSite.empty() ? 4 : 3;
  ShowMirrorNote();
}

void TfrmUpdate::rdVeskClick() {
  cbVeskDBSite->setCurrentIndex(OptionData->DownSiteVeskDB <= 3 ? OptionData->DownSiteVeskDB : 0);
  runner_->MirrorIndex = cbVeskDBSite->currentIndex();
  cbVeskDBSite->show();
  edtDownloadSite->hide();
  runner_->Mode = 3;
  ShowMirrorNote();
}

void TfrmUpdate::rdCustumClick() {
  cbVeskDBSite->hide();
  edtDownloadSite->setText(Q(OptionData->UserSite));
  edtDownloadSite->show();
  runner_->Mode = 4;
  ShowMirrorNote();
}

void TfrmUpdate::cbVeskDBSiteChange() {
  runner_->MirrorIndex = std::clamp(cbVeskDBSite->currentIndex(), 0, 3);
  ShowMirrorNote();
}

void TfrmUpdate::ImportJpp(bool Seizai) {
  TOpenDialogPos dlg;
  dlg.Title = Seizai ? "JPP-NET「剤の概要」CSVファイルを選択して下さい" : "JPP-NET「有効成分」CSVファイルを選択して下さい";
  dlg.Filter = Seizai ? "ﾃｷｽﾄﾌｧｲﾙ (n_trk*_1.txt)|n_trk*_1.TXT" : "ﾃｷｽﾄﾌｧｲﾙ (n_trk*_3.txt)|n_trk*_3.TXT";
  dlg.InitialDir = Q(OptionData->AppDir);
  if (!dlg.Execute(this)) return;
  const std::string file = dlg.FileName.toStdString();
  if (!QFileInfo::exists(dlg.FileName)) return;
  if (!AcisDB) {
    runner_->Log("データベースがありません。先にデータを更新してください");
    return;
  }
  Step([&] {
    SetBusy(true);
    ProgressBar->show();
    TAcisDB& db = *AcisDB;
    db.FProgressBar = [this](int64_t pos, int64_t max) {
      ProgressBar->setMaximum(static_cast<int>(std::clamp<int64_t>(max, 1, 1 << 30)));
      ProgressBar->setValue(static_cast<int>(std::clamp<int64_t>(pos, 0, ProgressBar->maximum())));
    };
    TUpdateRunner* r = runner_.get();
    const TAcisLogFn previousLog = db.FLog;
    db.FLog = [r](const std::string& l) { r->Log(l); };
    const bool ok = Seizai ? db.ImportJppSeizaiCsv(file) : db.ImportJppSeibunCsv(file);
    if (ok) {
      runner_->Log(Seizai ? "テーブル作成 jpp.tJppSeizai" : "テーブル作成 jpp.tJppSeibun");
      FJppImported = true;
    }
    db.FLog = previousLog;
    db.FProgressBar = nullptr;
    ProgressBar->setValue(0);
    SetBusy(false);
    return ok;
  });
}

void TfrmUpdate::btnDokuseiClick() { ImportJpp(true); }
void TfrmUpdate::pmnJppSeibunClick() { ImportJpp(false); }

bool TfrmUpdate::LabelBold(int Page, const std::string& Label) const {
  if (Page < 0 || Page >= static_cast<int>(labels_.size())) return false;
  auto it = labels_[Page].find(Label);
  return it != labels_[Page].end() && it->second->font().bold();
}

// ---------------------------------------------------------------------------------------------
// Sequences and the window's life

bool TfrmUpdate::AutoUpdate() {
  return Step([this] {
    runner_->SiteText = edtDownloadSite->text().toStdString();
    return runner_->AutoUpdate();
  });
}

bool TfrmUpdate::DownloadCheck() {
  return Step([this] { return runner_->DownloadCheck(); });
}

bool TfrmUpdate::OneStopUpdate() {
  return Step([this] { return runner_->OneStopUpdate(); });
}

void TfrmUpdate::FormActivate() {
  if (activated_) return;
  activated_ = true;
  if (runner_->AutoStart)
    AutoUpdate();
  else if (runner_->OneStop)
    OneStopUpdate();
}

void TfrmUpdate::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  // The automatic run starts once the window is on the screen.
  if (!activated_ && (runner_->AutoStart || runner_->OneStop))
    QTimer::singleShot(0, this, [this] { FormActivate(); });
}

bool TfrmUpdate::FormCloseQuery() {
  // Not while a sequence or a single step runs (a step lets events through).
  return (!runner_->InSequence && running_ == 0) || runner_->AutoUpdateRun;
}

void TfrmUpdate::closeEvent(QCloseEvent* Event) {
  if (!FormCloseQuery()) {
    Event->ignore();
    return;
  }
  // FormClose: the database object no longer moves this window's bar.
  if (AcisDB) AcisDB->FProgressBar = nullptr;
  QDialog::closeEvent(Event);
}

void TfrmUpdate::reject() {
  // Escape closes the window like its close button: not during a sequence.
  if (FormCloseQuery()) QDialog::reject();
}
