// Texts that look like markup ("a<b and c>d", a crop name in angle brackets) are shown as
// they are: the hover-hint helper, message boxes, the memo dialog's title and list hints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <functional>

#include "app/dialog_sink.h"
#include "foundation/dlg_memo.h"
#include "foundation/list_box_ex.h"
#include "foundation/list_hint_window.h"
#include "foundation/plain_hint.h"

namespace {

const QString kLessGreater = QStringLiteral("a<b and c>d");
const QString kTag = QStringLiteral("<sakumotsu>");
const QString kLines = QStringLiteral("トマト <b>\n【上位分類】\n\n  なす科 & <i>果菜類</i>\n");

// What a user reads when a rich-text capable widget shows the text.
QString Rendered(const QString& html) {
  QTextDocument doc;
  doc.setHtml(html);
  return doc.toPlainText();
}

// Looks at the next modal dialog once it is up, then closes it, so Show() returns.
void LookAtNextModal(std::function<void(QWidget*)> look) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, look] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    timer->stop();
    timer->deleteLater();
    look(w);
    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
  });
  timer->start();
}

}  // namespace

TEST(PlainHint, ShowsEveryTextAsItIs) {
  for (const QString& text : {kLessGreater, kTag, kLines, QStringLiteral("\nleading break"),
                              QStringLiteral("tab\there,  two spaces, &amp; \"quoted\" 'single'")}) {
    const QString hint = PlainHint(text);
    // Always read as HTML (so Qt's guess cannot go either way), and rendering gives the text.
    EXPECT_TRUE(Qt::mightBeRichText(hint)) << hint.toStdString();
    EXPECT_EQ(Rendered(hint), text) << hint.toStdString();
  }
  // Windows line breaks count once; no text gives no hint.
  EXPECT_EQ(Rendered(PlainHint(QStringLiteral("a<b\r\nc>d\re"))), QStringLiteral("a<b\nc>d\ne"));
  EXPECT_TRUE(PlainHint(QString()).isEmpty());

  // Shown as a tooltip, the hint comes out whole and is not wrapped into a narrow box.
  QWidget w;
  w.resize(100, 100);
  w.show();
  QString longLine;
  for (int i = 0; i < 40; ++i) longLine += QStringLiteral("<c%1> ").arg(i);
  QToolTip::showText(w.mapToGlobal(QPoint(5, 5)), PlainHint(longLine), &w);
  EXPECT_EQ(Rendered(QToolTip::text()), longLine);
  QLabel* tip = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->inherits("QTipLabel") && top->isVisible()) tip = static_cast<QLabel*>(top);
  ASSERT_NE(tip, nullptr);
  EXPECT_GE(tip->width(), tip->fontMetrics().horizontalAdvance(longLine));
  QToolTip::hideText();
}

TEST(PlainTexts, MessageBoxesAndTheMemoTitleShowTextsAsTheyAre) {
  for (const QString& text : {kLessGreater, kTag, kLines}) {
    QMessageBox box;
    TMessage msg;
    msg.kind = TMsgKind::Warning;
    msg.text = text.toStdString();
    SetUpMessageBox(box, msg, TMsgButtons::YesNo, TMsgAnswer::No);
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    EXPECT_EQ(box.text(), text);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Quillmar"));
    EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));

    QPointer<TDlgMemo> memo = TDlgMemo::Open(nullptr, "SQL エラー", text, "body");
    EXPECT_EQ(memo->lblTitle->textFormat(), Qt::PlainText);
    EXPECT_EQ(memo->lblTitle->text(), text);
    memo->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(memo.isNull());
  }

  // The same through the dialog sink an interactive run installs: a heading and a body.
  TDialogMessageSink sink;
  int seen = 0;
  LookAtNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    ++seen;
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), kTag + "\n" + kLessGreater);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("作物 <検索>"));
  });
  TMessage msg;
  msg.caption = "作物 <検索>";
  msg.title = kTag.toStdString();
  msg.text = kLessGreater.toStdString();
  sink.Show(msg, TMsgButtons::Ok, TMsgAnswer::Ok);
  EXPECT_EQ(seen, 1);

  LookAtNextModal([&](QWidget* w) {
    auto* memo = qobject_cast<TDlgMemo*>(w);
    ASSERT_NE(memo, nullptr);
    ++seen;
    EXPECT_EQ(memo->lblTitle->textFormat(), Qt::PlainText);
    EXPECT_EQ(memo->lblTitle->text(), kLessGreater);
  });
  msg.memo = true;
  msg.title = kLessGreater.toStdString();
  sink.Show(msg, TMsgButtons::Ok, TMsgAnswer::Ok);
  EXPECT_EQ(seen, 2);
}

TEST(PlainTexts, ListHintsShowClippedItemsAsTheyAre) {
  TListBoxEx lb;
  lb.resize(100, 100);
  const QString item = kTag + " " + kLessGreater + " とても長い作物名がリストの幅に入りきらない";
  lb.addItem(item);
  lb.show();
  const QRect r = lb.visualItemRect(lb.item(0));
  QHelpEvent tip(QEvent::ToolTip, r.center(), lb.viewport()->mapToGlobal(r.center()));
  QApplication::sendEvent(lb.viewport(), &tip);
  auto* win = lb.findChild<TListBoxHintWindow*>();
  ASSERT_NE(win, nullptr);
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->textFormat(), Qt::PlainText);
  EXPECT_EQ(win->text(), item);
  // The window sizes itself to the characters it shows.
  EXPECT_EQ(win->width(), QFontMetrics(lb.font()).horizontalAdvance(item) + 5);
  win->hide();
}
