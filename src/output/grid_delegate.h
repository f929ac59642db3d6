#pragma once
// Cell painter of the result grids: alternate row colours (with the even rows' own font), the
// light-green tint of rows that mention a neighbouring crop, word wrap inside the row height
// that the lines per cell give, "番号" right-aligned, the focused cell in highlight colours.
// A text longer than the lines the row holds runs on in its last whole line, cut at the cell's
// right edge: no line is ever shown cut in half (the hint gives the whole text).
#include <QColor>
#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <QStyledItemDelegate>
#include <optional>
#include <vector>

class TGridModel;

class TGridDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TGridDelegate(QObject* parent = nullptr);

  bool EveryOtherLine = false;  // TekiyouGridEveryOtherLine
  QColor OddRowColor;           // TekiyouColor: odd grid rows (the first data row is row 1)
  QColor EvenRowColor;          // TekiyouColor2
  std::optional<QFont> EvenRowFont;  // Tekiyou2Font
  QColor HighlightColor = QColor(0xC0, 0xDC, 0xC0);  // the neighbour tint
  int LineSpace = 0;            // GridLineSpace: half of it is left free above and below the text

  // What a data cell gets painted with (for the tests and the use card).
  struct TCellLook {
    QColor Background;  // invalid: the view's own
    bool Tinted = false;
    bool EvenFont = false;
  };
  TCellLook LookOf(const TGridModel& m, int gridRow, bool selected) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Pixels a cell's text moves down so that it sits on the baseline of Japanese text in the
  // same font (0 for text that needs a fallback font itself).
  int BaselineDrop(const QFont& font, const QString& text) const;

  // One line of a cell as the painter lays it out: its text and its left edge and top within
  // the text rectangle.
  struct TCellLine {
    QString Text;
    qreal X = 0;
    qreal Y = 0;
  };
  // The lines of `text` in a text rectangle of `width` × `height` pixels: wrapped at the width,
  // as many as fit whole in the height (at least one), the last of them holding the rest of the
  // text unwrapped; right-aligned lines end at the width.
  static std::vector<TCellLine> CellLines(const QString& text, const QFont& font, int width, int height,
                                          bool rightAligned);

 private:
  struct TDrop {
    QRawFont Raw;    // the font itself, without its fallbacks
    int Pixels = 0;
  };
  mutable QHash<QString, TDrop> FDrops;  // per font key
};
