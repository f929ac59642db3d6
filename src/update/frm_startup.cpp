#include "update/frm_startup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>
#include <QVBoxLayout>

#include "foundation/browse_folder_box.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "update/update_sources.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Folder boxes wide enough for a folder of the home ("/home/user/.local/share/Quillmar/...").
int FolderEditWidth(const QWidget* edit) { return edit->fontMetrics().horizontalAdvance(QString(60, QChar('n'))); }

constexpr int kCsidlDrives = 17;  // "My Computer": the file system's root here
constexpr unsigned kBifNewDialogStyle = 0x0040;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TfrmStartup

TfrmStartup::TfrmStartup(QWidget* Owner) : QDialog(Owner) {
  setObjectName("frmStartup");
  setWindowTitle("ダウンロードサイトの設定");
  if (Owner) setFont(Owner->font());
  auto* layout = new QVBoxLayout(this);

  rgDownSite = new QGroupBox("ダウンロードサイト", this);
  rgDownSite->setObjectName("rgDownSite");
  rgDownSiteButtons = new QButtonGroup(this);
  auto* sites = new QVBoxLayout(rgDownSite);
  static const char* const kItems[4] = {
      "FAMIC 農薬登録情報 CSV データ",
      "FAMIC 農薬登録情報 Excel データ",
      "Vesk ミラーサイト CSV データ",
      "Vesk ミラーサイト SQLite データベース (推奨)",
  };
  static const char* const kNotes[4] = {
      "農林水産消費安全技術センター (FAMIC) が公開する CSV ファイルからデータベースを作成します。",
      "FAMIC が公開する Excel ファイルからデータベースを作成します。変換に時間がかかります。",
      "ミラーサイトの CSV ファイルからデータベースを作成します。",
      "ミラーサイトで作成済みのデータベースを取得します。最も短い時間で更新できます。",
  };
  for (int i = 0; i < 4; ++i) {
    auto* r = new QRadioButton(kItems[i], rgDownSite);
    r->setObjectName(QString("rgDownSite%1").arg(i));
    rgDownSiteButtons->addButton(r, i);
    sites->addWidget(r);
    auto* note = new QLabel(kNotes[i], rgDownSite);
    note->setWordWrap(true);
    note->setIndent(20);
    sites->addWidget(note);
  }
  auto* mirrorRow = new QHBoxLayout;
  mirrorRow->addWidget(new QLabel("ミラーサイト", rgDownSite));
  cbVeskDBSite = new QComboBox(rgDownSite);
  cbVeskDBSite->setObjectName("cbVeskDBSite");
  for (int i = 0; i < 4; ++i) cbVeskDBSite->addItem(Q(MirrorDisplayName(i)));
  mirrorRow->addWidget(cbVeskDBSite, 1);
  sites->addLayout(mirrorRow);
  lblMirrorNote = new QLabel(Q(MirrorNotConfiguredText()), rgDownSite);
  lblMirrorNote->setObjectName("lblMirrorNote");
  lblMirrorNote->setWordWrap(true);
  sites->addWidget(lblMirrorNote);
  layout->addWidget(rgDownSite);

  auto* lan = new QWidget(this);
  lan->setObjectName("pnlLAN");
  auto* lanLayout = new QVBoxLayout(lan);
  ckUseLAN = new QCheckBox("LAN内の共有フォルダからダウンロードする", lan);
  ckUseLAN->setObjectName("ckUseLAN");
  lanLayout->addWidget(ckUseLAN);
  auto* folderRow = new QHBoxLayout;
  lblFolder = new QLabel("共有フォルダ名", lan);
  lblFolder->setObjectName("lblFolder");
  edtLAN = new QLineEdit(lan);
  edtLAN->setObjectName("edtLAN");
  edtLAN->setAcceptDrops(true);
  edtLAN->setMinimumWidth(FolderEditWidth(edtLAN));
  edtLAN->installEventFilter(this);
  btnLAN = new QPushButton("参照", lan);
  btnLAN->setObjectName("btnLAN");
  folderRow->addWidget(lblFolder);
  folderRow->addWidget(edtLAN, 1);
  folderRow->addWidget(btnLAN);
  lanLayout->addLayout(folderRow);
  layout->addWidget(lan);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  bDownSiteSet = new QPushButton("設定", this);
  bDownSiteSet->setObjectName("bDownSiteSet");
  bDownSiteSet->setDefault(true);
  bDownSiteCancel = new QPushButton("中止", this);
  bDownSiteCancel->setObjectName("bDownSiteCancel");
  buttons->addWidget(bDownSiteSet);
  buttons->addWidget(bDownSiteCancel);
  layout->addLayout(buttons);

  // On creation: nothing cancelled, the folder row off, mirror 0, and the source a new user
  // should start with (the mirrors' databases only once a mirror host is known).
  Cancelled = false;
  lblFolder->setEnabled(false);
  edtLAN->setEnabled(false);
  btnLAN->setEnabled(false);
  cbVeskDBSite->setCurrentIndex(0);
  SetDownSiteIndex(std::min(DefaultDownSite(), 3));

  connect(ckUseLAN, &QCheckBox::clicked, this, [this] { ckUseLANClick(); });
  connect(btnLAN, &QPushButton::clicked, this, [this] { btnLANClick(); });
  connect(bDownSiteSet, &QPushButton::clicked, this, [this] { bDownSiteSetClick(); });
  connect(bDownSiteCancel, &QPushButton::clicked, this, [this] { bDownSiteCancelClick(); });
  connect(rgDownSiteButtons, &QButtonGroup::idClicked, this, [this] { ShowMirrorNote(); });
  connect(cbVeskDBSite, qOverload<int>(&QComboBox::activated), this, [this] { ShowMirrorNote(); });
}

TfrmStartup::~TfrmStartup() {
  // Dropping onto the box ends with the dialog.
  if (edtLAN) edtLAN->removeEventFilter(this);
}

int TfrmStartup::DownSiteIndex() const { return std::max(0, rgDownSiteButtons->checkedId()); }

void TfrmStartup::SetDownSiteIndex(int Index) {
  if (QAbstractButton* b = rgDownSiteButtons->button(Index)) b->setChecked(true);
  ShowMirrorNote();
}

bool TfrmStartup::MirrorUnusable() const {
  const int site = DownSiteIndex();
  if ((site != 2 && site != 3) || ckUseLAN->isChecked()) return false;
  return !MirrorHostConfigured(cbVeskDBSite->currentIndex());
}

void TfrmStartup::ShowMirrorNote() { lblMirrorNote->setVisible(MirrorUnusable()); }

void TfrmStartup::ckUseLANClick() {
  const bool on = ckUseLAN->isChecked();
  lblFolder->setEnabled(on);
  edtLAN->setEnabled(on);
  btnLAN->setEnabled(on);
  ShowMirrorNote();
}

void TfrmStartup::btnLANClick() {
  TBrowseFolderBox box;
  box.Owner = this;
  box.Root = CSIDL_NETWORK;
  box.Title = "共有フォルダの選択";
  box.InitialFolder = edtLAN->text();
  box.Flags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_SHAREABLE;
  const QPoint at = btnLAN->mapToGlobal(QPoint(16, 16));
  box.Placement.Left = at.x();
  box.Placement.Top = at.y();
  box.PlacementSet = true;
  if (box.Execute()) edtLAN->setText(box.Folder);
}

void TfrmStartup::DropFolder(const QString& Path) { edtLAN->setText(Path.left(260)); }

bool TfrmStartup::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == edtLAN) {
    if (Event->type() == QEvent::DragEnter) {
      auto* e = static_cast<QDragEnterEvent*>(Event);
      if (e->mimeData()->hasUrls()) {
        e->acceptProposedAction();
        return true;
      }
    } else if (Event->type() == QEvent::Drop) {
      auto* e = static_cast<QDropEvent*>(Event);
      const QList<QUrl> urls = e->mimeData()->urls();
      if (!urls.isEmpty() && urls.first().isLocalFile()) {
        DropFolder(urls.first().toLocalFile());
        e->acceptProposedAction();
        return true;
      }
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

void TfrmStartup::bDownSiteSetClick() {
  if (MirrorUnusable()) {
    // Said in plain words; the user chooses another source (or a shared folder).
    ShowMessageBox(TMsgKind::Warning, "ダウンロードサイトの設定", MirrorNotConfiguredText());
    return;
  }
  OptionData->DownSite = static_cast<std::uint8_t>(DownSiteIndex());
  OptionData->DownSiteVeskDB = static_cast<std::uint8_t>(std::max(0, cbVeskDBSite->currentIndex()));
  OptionData->UseLAN = ckUseLAN->isChecked();
  OptionData->dirLAN = edtLAN->text().toStdString();
  accept();
}

void TfrmStartup::bDownSiteCancelClick() { reject(); }

void TfrmStartup::reject() {
  Cancelled = true;
  QDialog::reject();
}

// ---------------------------------------------------------------------------------------------
// TfrmStartup2

TfrmStartup2::TfrmStartup2(QWidget* Owner) : QDialog(Owner) {
  setObjectName("frmStartup2");
  setWindowTitle("ダウンロードフォルダの設定");
  if (Owner) setFont(Owner->font());
  auto* layout = new QVBoxLayout(this);
  GroupBox1 = new QGroupBox("ダウンロードファイル保存フォルダ", this);
  auto* g = new QVBoxLayout(GroupBox1);
  auto* row = new QHBoxLayout;
  edtSaveFolder = new QLineEdit(GroupBox1);
  edtSaveFolder->setObjectName("edtSaveFolder");
  edtSaveFolder->setMinimumWidth(FolderEditWidth(edtSaveFolder));
  btnSaveFolder = new QPushButton("参照", GroupBox1);
  btnSaveFolder->setObjectName("btnSaveFolder");
  row->addWidget(edtSaveFolder, 1);
  row->addWidget(btnSaveFolder);
  g->addLayout(row);
  ckRelativePath = new QCheckBox("相対パス", GroupBox1);
  ckRelativePath->setObjectName("ckRelativePath");
  g->addWidget(ckRelativePath);
  layout->addWidget(GroupBox1);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setPlainText(
      "ダウンロードしたデータファイル (圧縮ファイル) は、ここで指定したフォルダに保存されます。\n"
      "指定しない場合は、プログラムのフォルダの下の \"Download\" フォルダに保存されます。");
  layout->addWidget(Memo1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnOK = new QPushButton("設定", this);
  btnOK->setObjectName("btnOK");
  btnOK->setDefault(true);
  Button2 = new QPushButton("中止", this);
  Button2->setObjectName("Button2");
  buttons->addWidget(btnOK);
  buttons->addWidget(Button2);
  layout->addLayout(buttons);

  Cancelled = false;
  edtSaveFolder->setText(Q(OptionData->dirDownloadPath.empty() ? OptionData->DownloadDir : OptionData->dirDownloadPath));
  ckRelativePath->setChecked(OptionData->DownloadRelativePath);

  connect(btnSaveFolder, &QPushButton::clicked, this, [this] { btnSaveFolderClick(); });
  connect(ckRelativePath, &QCheckBox::clicked, this, [this] { ckRelativePathClick(); });
  connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void TfrmStartup2::btnSaveFolderClick() {
  TBrowseFolderBox box;
  box.Owner = this;
  box.Root = kCsidlDrives;
  box.InitialFolder = Q(OptionData->DownloadDir);
  box.Title = "ダウンロードフォルダの選択";
  box.Flags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | kBifNewDialogStyle;
  if (box.Execute()) edtSaveFolder->setText(box.Folder);
}

void TfrmStartup2::ckRelativePathClick() {
  const QString text = edtSaveFolder->text();
  if (text.isEmpty()) return;
  const QDir app(Q(OptionData->AppDir));
  if (ckRelativePath->isChecked()) {
    edtSaveFolder->setText(app.relativeFilePath(QFileInfo(text).isAbsolute() ? text : app.absoluteFilePath(text)));
  } else {
    // The program folder is the base of a relative text.
    QDir::setCurrent(app.path());
    edtSaveFolder->setText(QDir::cleanPath(app.absoluteFilePath(text)));
  }
}

void TfrmStartup2::btnOKClick() {
  const std::string text = edtSaveFolder->text().toStdString();
  if (!text.empty()) {
    TOptionData& o = *OptionData;
    o.dirDownloadPath = text;
    o.DownloadRelativePath = ckRelativePath->isChecked();
    const QString resolved = Q(o.ResolvePath(text));
    const QString abs = QFileInfo(resolved).isAbsolute() ? resolved : Q(o.AppDir) + resolved;
    o.DownloadDir = QDir::cleanPath(abs).toStdString();
    const QString dir = Q(o.DownloadDir);
    if (!QDir(dir).exists() && !QDir().mkdir(dir)) ShowMessageBox(TMsgKind::Error, "Quillmar", o.DownloadDir + "を作成できません");
  }
  accept();
}

void TfrmStartup2::Button2Click() { reject(); }

void TfrmStartup2::reject() {
  Cancelled = true;
  QDialog::reject();
}
