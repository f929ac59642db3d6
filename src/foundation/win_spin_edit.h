#pragma once
// TWinSpinEdit: edit box with up and down arrows for a 64-bit integer Value.
//
// MinValue and MaxValue limit the value (equal values mean no limit); a value is clamped when
// the box loses focus and after each step.  A text that is not an integer reads as MinValue
// (and is rewritten so).  Typed characters: digits, "+", "-", the locale's decimal separator
// and control characters; others beep and are dropped.  With EditorEnabled false only the
// arrows change the value.  A read-only box only beeps at a step.
#include <QAbstractSpinBox>
#include <cstdint>

class TWinSpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit TWinSpinEdit(QWidget* parent = nullptr);

  int64_t Value();  // reading may rewrite a bad text to MinValue
  void SetValue(int64_t v);
  int64_t MinValue() const { return FMin; }
  int64_t MaxValue() const { return FMax; }
  void SetMinValue(int64_t v) { FMin = v; }
  void SetMaxValue(int64_t v) { FMax = v; }
  int64_t Increment() const { return FIncrement; }
  void SetIncrement(int64_t v) { FIncrement = v; }
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool on);
  // The value clamped into the limits (unchanged without limits).
  int64_t CheckValue(int64_t v) const;
  QString Text() const;
  void SetText(const QString& t);
  // Number of beeps so far (a refused key or step); QApplication::beep is called for each.
  int BeepCount() const { return FBeeps; }

  void stepBy(int steps) override;
  QValidator::State validate(QString& input, int& pos) const override;
  // Wide enough for the widest number of the limits (or a few digits without limits).
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void ValueChanged(qint64 value);

 protected:
  StepEnabled stepEnabled() const override;
  void keyPressEvent(QKeyEvent* ev) override;
  void focusOutEvent(QFocusEvent* ev) override;

 private:
  // A typed number past the limits becomes the limit (on leaving the box and on Enter).
  void KeepWithinLimits();
  int TextRoomWidth() const;
  void Beep();
  bool AllowedChar(QChar c) const;
  int64_t FMin = 0, FMax = 0, FIncrement = 1;
  bool FEditorEnabled = true;
  int FBeeps = 0;
};
