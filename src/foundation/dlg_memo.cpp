#include "foundation/dlg_memo.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/screen_placement.h"

TDlgMemo::TDlgMemo(QWidget* parent) : QDialog(parent) {
  setObjectName("DlgMemo");
  resize(560, 360);
  lblTitle = new QLabel(this);
  lblTitle->setObjectName("lblTitle");
  lblTitle->setTextFormat(Qt::PlainText);
  mMessage = new QPlainTextEdit(this);
  mMessage->setObjectName("mMessage");
  mMessage->setReadOnly(true);
  mMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
  mMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont f(QStringLiteral("ＭＳ ゴシック"));
  f.setStyleHint(QFont::Monospace);
  f.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
  f.setPixelSize(13);
  mMessage->setFont(f);
  Button1 = new QPushButton(QStringLiteral("閉じる"), this);
  Button1->setObjectName("Button1");
  btnCopyAll = new QPushButton(QStringLiteral("全てコピー"), this);
  btnCopyAll->setObjectName("btnCopyAll");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCopyAll);
  buttons->addWidget(Button1);
  auto* lay = new QVBoxLayout(this);
  lay->addWidget(lblTitle);
  lay->addWidget(mMessage, 1);
  lay->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCopyAll, &QPushButton::clicked, this, &TDlgMemo::CopyAll);
}

void TDlgMemo::SetContent(const QString& caption, const QString& title, const QString& text) {
  setWindowTitle(caption);
  lblTitle->setText(title);
  mMessage->setPlainText(text);
}

void TDlgMemo::CopyAll() {
  mMessage->selectAll();
  QApplication::clipboard()->setText(mMessage->toPlainText());
}

namespace {

// Centred on the owner's window, kept inside the work area.
void CentreOn(TDlgMemo* d, QWidget* parent) {
  QWidget* owner = parent ? parent->window() : nullptr;
  QPoint pos;
  if (owner) {
    const QRect g = owner->frameGeometry();
    pos = g.topLeft() + QPoint((g.width() - d->width()) / 2, (g.height() - d->height()) / 2);
  } else {
    const QRect a = WorkAreaAt(QPoint(0, 0));
    pos = a.topLeft() + QPoint((a.width() - d->width()) / 2, (a.height() - d->height()) / 2);
  }
  MoveInsideWorkArea(d, pos);
}

}  // namespace

void TDlgMemo::ShowModal(QWidget* parent, const QString& caption, const QString& title, const QString& text) {
  TDlgMemo dlg(parent);
  dlg.SetContent(caption, title, text);
  CentreOn(&dlg, parent);
  dlg.exec();
}

TDlgMemo* TDlgMemo::Open(QWidget* parent, const QString& caption, const QString& title, const QString& text) {
  auto* dlg = new TDlgMemo(parent);
  dlg->setAttribute(Qt::WA_DeleteOnClose);
  dlg->SetContent(caption, title, text);
  CentreOn(dlg, parent);
  dlg->show();
  return dlg;
}
