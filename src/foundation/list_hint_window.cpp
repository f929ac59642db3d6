#include "foundation/list_hint_window.h"

#include <QFontMetrics>

TListBoxHintWindow::TListBoxHintWindow(QWidget* owner) : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint) {
  setObjectName("ListBoxHintWindow");
  setTextFormat(Qt::PlainText);  // an item's text as it is, also when it looks like markup
  setAttribute(Qt::WA_ShowWithoutActivating);
  setForegroundRole(QPalette::ToolTipText);
  setBackgroundRole(QPalette::ToolTipBase);
  setAutoFillBackground(true);
  setMargin(0);
  setIndent(2);
}

QSize TListBoxHintWindow::HintSize(const QString& text, const QFont& font, int extraHeight) {
  const QFontMetrics fm(font);
  return QSize(fm.horizontalAdvance(text) + 5, fm.height() + extraHeight);
}

void TListBoxHintWindow::ShowHint(const QString& text, const QFont& font, const QPoint& globalPos, int extraHeight) {
  if (text.isEmpty()) {
    hide();
    return;
  }
  setFont(font);
  setText(text);
  setFixedSize(HintSize(text, font, extraHeight));
  move(globalPos);
  show();
  raise();
}
