#pragma once
// TDlgTekiyouCard: one row of a result grid as a card of lines "title: value", with the titles
// in blue; steps to the previous or next data row and copies its text.  Opened modally by a
// double click or Enter on a data row of the main window's grids and of the grid window.
#include <QDialog>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QPushButton;
class QTextEdit;
class QToolBar;
class QToolButton;
class TXlsStringGrid;

class TDlgTekiyouCard : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgTekiyouCard(QWidget* owner);

  // Set by the opener before showing: the grid, the strings of its title row and of the shown
  // row, and the shown row's index (grid rows: the first data row is the grid's FixedRows).
  TXlsStringGrid* Grid = nullptr;
  std::vector<std::string> TitleRow;
  std::vector<std::string> Row;
  int RowIndex = 0;

  // Fills the memo from TitleRow and Row; the title ranges coloured blue are kept in
  // TitleRanges (start and length in the memo's characters).
  void Fill();
  void bPrevClick();
  void bNextClick();
  void bCopyClick();
  void bCopyAllClick();
  std::vector<std::pair<int, int>> TitleRanges;

  QTextEdit* Memo = nullptr;
  QToolBar* ToolBar = nullptr;
  QToolButton *bPrev = nullptr, *bNext = nullptr, *bCopy = nullptr, *bCopyAll = nullptr;
  QPushButton* bOk = nullptr;

  void done(int r) override;

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* obj, QEvent* e) override;

 private:
  void Step(int delta);
  void UpdateButtons();
  int FirstRow() const;
  int LastRow() const;
};

// The card for a grid row: owned by `owner`, its top left corner at the screen position of the
// lower left corner of the row's current cell, pulled inside the screen; the memo in the grid's
// font; run modally (through the hook when one is installed) and freed.
void OpenUseCard(QWidget* owner, TXlsStringGrid* grid, int row);

// Tests play the user through this hook: it runs instead of the card's event loop and its
// result closes the card.  Returns the previous hook.
using TUseCardHook = std::function<int(TDlgTekiyouCard&)>;
TUseCardHook SetUseCardModalHook(TUseCardHook hook);
