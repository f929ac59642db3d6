#include "frontend/frm_about.h"

#include <QApplication>
#include <QMouseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "foundation/text_utils.h"
#include "frontend/help_page.h"
#include "update/archive_7zip.h"

#ifndef QM_RELEASE
#define QM_RELEASE "0.0.0"
#endif

std::string ProgramRelease() { return QM_RELEASE; }

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("バージョン情報");
  // 1. The main window's font.
  if (parent) setFont(parent->font());
  auto named = [this](QLabel*& l, const char* name, const QString& text) {
    l = new QLabel(text, this);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  };
  named(Image1, "Image1", QString());
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
  Image1->setPixmap(icon.pixmap(48, 48));
  named(Label5, "Label5", "Quillmar");
  QFont big = font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  Label5->setFont(big);
  named(Label1, "Label1", "農薬登録情報検索クライアント");
  // 2. The release of this build.
  named(lblVersion, "lblVersion", QString::fromStdString("Releace " + ProgramRelease()));
  named(Label2, "Label2", "農薬登録情報は FAMIC が公開するデータを元にしています。");
  named(Label3, "Label3", "使用の前にラベルと最新の登録内容を確認して下さい。");
  // 3. The address, clickable, in the form's font size: the program's own page (the settings'
  // help address, else the help shipped with the program), never an address nobody serves.
  named(lblUrl, "lblUrl", HelpPageUrl().toString());
  lblUrl->setVisible(!lblUrl->text().isEmpty());
  lblUrl->setTextInteractionFlags(Qt::NoTextInteraction);
  lblUrl->setCursor(Qt::PointingHandCursor);
  QFont link = font();
  link.setUnderline(true);
  lblUrl->setFont(link);
  QPalette p = lblUrl->palette();
  p.setColor(QPalette::WindowText, p.color(QPalette::Link));
  lblUrl->setPalette(p);
  lblUrl->installEventFilter(this);
  // 4.-6. Libraries and system; the SQLite version is the one the open database runs on, and
  // unknown before a database is open.
  named(SQLiteVer, "SQLiteVer",
        QString::fromStdString("SQLite version : " + (AcisDB ? AcisDB->SQLiteVersion() : std::string("不明"))));
  named(lbl7zip, "lbl7zip", QString::fromStdString("libarchive : " + TplArchiever7ZIP().VersionText()));
  named(lblQt, "lblQt", QString("Qt : %1").arg(QString::fromLatin1(qVersion())));
  named(Label4, "Label4", QString::fromStdString("OS: " + GetOSVersionName()));
  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

  auto* top = new QHBoxLayout;
  top->addWidget(Image1, 0, Qt::AlignTop);
  auto* text = new QVBoxLayout;
  for (QLabel* l : {Label5, Label1, lblVersion, Label2, Label3, lblUrl}) text->addWidget(l);
  text->addSpacing(8);
  for (QLabel* l : {SQLiteVer, lbl7zip, lblQt, Label4}) text->addWidget(l);
  top->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  layout->addLayout(buttons);
}

void TfrmAbout::lblUrlClick() { QDesktopServices::openUrl(QUrl(lblUrl->text())); }

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lblUrl && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    lblUrlClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
