#pragma once
// TListBoxHintWindow: the hint window of TListBoxEx and TCheckListBoxEx.  It takes the list's
// font and sizes itself to one item's text: text width + 5 and text height + the list's
// extra height (2 for the check list box, 0 for the list box).  One window per list.
#include <QLabel>

class TListBoxHintWindow : public QLabel {
  Q_OBJECT

 public:
  explicit TListBoxHintWindow(QWidget* owner);
  // Shows `text` at a screen position in `font`; an empty text hides the window.
  void ShowHint(const QString& text, const QFont& font, const QPoint& globalPos, int extraHeight);
  // The size the window takes for a text (what ShowHint gives it).
  static QSize HintSize(const QString& text, const QFont& font, int extraHeight);
};
