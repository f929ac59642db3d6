#include "foundation/win_spin_edit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <limits>

TWinSpinEdit::TWinSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
  lineEdit()->setText(QStringLiteral("0"));
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
  connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& t) {
    bool ok = false;
    const qint64 v = t.trimmed().toLongLong(&ok);
    if (ok) emit ValueChanged(v);
  });
}

QString TWinSpinEdit::Text() const { return lineEdit()->text(); }
void TWinSpinEdit::SetText(const QString& t) { lineEdit()->setText(t); }

void TWinSpinEdit::Beep() {
  ++FBeeps;
  QApplication::beep();
}

int64_t TWinSpinEdit::CheckValue(int64_t v) const {
  if (FMin == FMax) return v;
  if (v < FMin) return FMin;
  if (v > FMax) return FMax;
  return v;
}

int64_t TWinSpinEdit::Value() {
  bool ok = false;
  const qint64 v = lineEdit()->text().trimmed().toLongLong(&ok);
  if (!ok) {
    SetValue(FMin);
    return FMin;
  }
  return v;
}

void TWinSpinEdit::SetValue(int64_t v) { lineEdit()->setText(QString::number(static_cast<qlonglong>(v))); }

void TWinSpinEdit::SetEditorEnabled(bool on) {
  FEditorEnabled = on;
  lineEdit()->setReadOnly(!on || isReadOnly());
}

void TWinSpinEdit::stepBy(int steps) {
  if (isReadOnly()) {
    Beep();
    return;
  }
  const int64_t v = Value();
  // Saturating arithmetic: a step never wraps around the 64-bit range.
  __int128 next = static_cast<__int128>(v) + static_cast<__int128>(FIncrement) * steps;
  if (next > std::numeric_limits<int64_t>::max()) next = std::numeric_limits<int64_t>::max();
  if (next < std::numeric_limits<int64_t>::min()) next = std::numeric_limits<int64_t>::min();
  SetValue(CheckValue(static_cast<int64_t>(next)));
}

QAbstractSpinBox::StepEnabled TWinSpinEdit::stepEnabled() const {
  return isEnabled() ? (StepUpEnabled | StepDownEnabled) : StepNone;
}

bool TWinSpinEdit::AllowedChar(QChar c) const {
  if (c.isDigit() && c.unicode() < 128) return true;
  if (c == QLatin1Char('+') || c == QLatin1Char('-')) return true;
  return c == QLocale().decimalPoint().at(0);
}

QValidator::State TWinSpinEdit::validate(QString& input, int&) const {
  // Pasted text is held to the same characters as typed text.
  for (QChar c : input)
    if (!AllowedChar(c) && c != QLatin1Char(' ')) return QValidator::Invalid;
  return QValidator::Acceptable;
}

void TWinSpinEdit::keyPressEvent(QKeyEvent* ev) {
  const QString t = ev->text();
  const bool printable = !t.isEmpty() && t.at(0).unicode() >= 32 && t.at(0).unicode() != 127;
  const bool paste = ev->matches(QKeySequence::Paste) || ev->matches(QKeySequence::Cut);
  if (paste && (!FEditorEnabled || isReadOnly())) return;
  if (ev->key() == Qt::Key_Backspace && !FEditorEnabled) {
    Beep();
    return;
  }
  if (printable && !(ev->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    if (!FEditorEnabled || !AllowedChar(t.at(0))) {
      Beep();
      return;
    }
  }
  // Enter confirms the number as leaving the box does (a dialog's default button reads it
  // next, with the focus still here).
  if (ev->key() == Qt::Key_Return || ev->key() == Qt::Key_Enter) KeepWithinLimits();
  QAbstractSpinBox::keyPressEvent(ev);
}

void TWinSpinEdit::KeepWithinLimits() {
  const int64_t v = Value();
  const int64_t c = CheckValue(v);
  if (c != v) SetValue(c);
}

void TWinSpinEdit::focusOutEvent(QFocusEvent* ev) {
  KeepWithinLimits();
  QAbstractSpinBox::focusOutEvent(ev);
}

int TWinSpinEdit::TextRoomWidth() const {
  // The widest number the box can hold (its limits, or a few digits without limits) and the
  // text it shows now, plus room for the cursor; the arrows come on top of it.
  const QFontMetrics fm(font());
  int w = std::max(fm.horizontalAdvance(QString::number(FMin)), fm.horizontalAdvance(QString::number(FMax)));
  if (FMin == FMax) w = std::max(w, fm.horizontalAdvance(QStringLiteral("000000")));
  w = std::max(w, fm.horizontalAdvance(lineEdit()->text())) + 2;
  QStyleOptionSpinBox opt;
  initStyleOption(&opt);
  return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, QSize(w, fm.height()), this).width();
}

QSize TWinSpinEdit::sizeHint() const {
  QSize s = QAbstractSpinBox::sizeHint();
  s.setWidth(std::max(s.width(), TextRoomWidth()));
  return s;
}

QSize TWinSpinEdit::minimumSizeHint() const {
  QSize s = QAbstractSpinBox::minimumSizeHint();
  s.setWidth(std::max(s.width(), TextRoomWidth()));
  const QFontMetrics fm(font());
  const QFontMetrics sys(QApplication::font());
  const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const int h = fm.height() + std::min(sys.height(), fm.height()) / 4 + 4 * border + 2;
  s.setHeight(std::max(s.height(), h));
  return s;
}
