#pragma once
// The layout of the crop tab's filter bar (pnlSearchParam): the pest and use half
// (pnlSakuLeft) at the left, the purpose and formulation half (pnlSakuRight) beside it and the
// option panel (pnlSakuOpt) at the right edge. Whenever the bar is resized the left half gets
// (bar width - option panel width) / 2, truncated toward zero; the right half takes what is
// left between the two.
//
// The bar asks for no width of its own: the splitter beside the crop frame may narrow it to
// nothing, the halves then clip their controls instead of pushing the window wider.
#include <QLayout>
#include <QPointer>

class TSakuBarLayout : public QLayout {
 public:
  TSakuBarLayout(QWidget* Bar, QWidget* Left, QWidget* Right, QWidget* Opt);
  ~TSakuBarLayout() override;

  // The left half's width for a bar of BarWidth with an option panel of OptWidth.
  static int LeftWidth(int BarWidth, int OptWidth);

  void addItem(QLayoutItem* Item) override;
  QLayoutItem* itemAt(int Index) const override;
  QLayoutItem* takeAt(int Index) override;
  int count() const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& Rect) override;
  Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }

 private:
  // Width of the option panel: 0 while it is hidden.
  int OptWidth() const;
  int RowHeight() const;
  QList<QLayoutItem*> FItems;  // left, right, option panel
};
