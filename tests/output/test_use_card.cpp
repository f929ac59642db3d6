// The per-use card: its lines and blue titles, stepping with the buttons and the arrow keys on
// OK, copying, its size in the settings and its place on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "output/dlg_tekiyou_card.h"
#include "output/xls_string_grid.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

void FillSample(TXlsStringGrid& g) {
  g.Fill({"番号", "作物名", "", "備考", "適用病害虫雑草名"},
         {{"101", "トマト", "untitled", "作物名: 施設栽培", "アブラムシ類"},
          {"102", "きゅうり", "x", "", "うどんこ病"},
          {"103", "", "y", "注意", "べと病"}});
}

// Runs the card on a row with a hook that plays the user.
void WithCard(TXlsStringGrid& g, int row, const std::function<void(TDlgTekiyouCard&)>& play) {
  TUseCardHook old = SetUseCardModalHook([&](TDlgTekiyouCard& c) {
    play(c);
    return static_cast<int>(QDialog::Accepted);
  });
  OpenUseCard(nullptr, &g, row);
  SetUseCardModalHook(old);
}

bool IsBlue(const QTextEdit* memo, int pos) {
  QTextCursor c(memo->document());
  c.setPosition(pos + 1);  // the format of the character before the cursor
  return c.charFormat().foreground().color() == QColor(0, 0, 255);
}

}  // namespace

TEST(UseCard, LinesOfFilledColumnsWithEveryTitleColonInBlue) {
  TXlsStringGrid g;
  FillSample(g);
  bool ran = false;
  WithCard(g, 1, [&](TDlgTekiyouCard& c) {
    ran = true;
    EXPECT_EQ(c.windowTitle(), "詳細");
    const QString text = c.Memo->toPlainText();
    // The untitled column and empty cells are left out.
    EXPECT_EQ(text, "番号: 101\n作物名: トマト\n備考: 作物名: 施設栽培\n適用病害虫雑草名: アブラムシ類");
    // "作物名:" inside the remark's value is coloured too.
    const int inValue = static_cast<int>(text.indexOf("備考: 作物名:")) + 4;
    std::vector<std::pair<int, int>> expected = {{0, 3}, {8, 4}, {static_cast<int>(text.indexOf("備考:")), 3},
                                                 {inValue, 4}, {static_cast<int>(text.indexOf("適用")), 9}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(c.TitleRanges, expected);
    for (auto [at, len] : expected)
      for (int k = 0; k < len; ++k) EXPECT_TRUE(IsBlue(c.Memo, at + k)) << at + k;
    EXPECT_FALSE(IsBlue(c.Memo, 4));  // "101"
    EXPECT_FALSE(IsBlue(c.Memo, inValue + 5));  // "施設栽培"
    EXPECT_EQ(c.Memo->textCursor().position(), 0);
    EXPECT_TRUE(c.Memo->isReadOnly());
  });
  EXPECT_TRUE(ran);
}

TEST(UseCard, ButtonsAndArrowKeysStepThroughDataRowsOnly) {
  TXlsStringGrid g;
  FillSample(g);
  WithCard(g, 1, [&](TDlgTekiyouCard& c) {
    EXPECT_FALSE(c.bPrev->isEnabled());
    EXPECT_TRUE(c.bNext->isEnabled());
    EXPECT_TRUE(c.bOk->hasFocus() || QApplication::focusWidget() == nullptr);
    c.bNext->click();
    EXPECT_EQ(c.RowIndex, 2);
    EXPECT_TRUE(c.bPrev->isEnabled());
    EXPECT_EQ(c.Memo->toPlainText(), "番号: 102\n作物名: きゅうり\n適用病害虫雑草名: うどんこ病");
    // The next row's values are not painted in the titles' blue.
    EXPECT_TRUE(IsBlue(c.Memo, 0));
    for (int k : {4, 5, 6, 12, 13}) EXPECT_FALSE(IsBlue(c.Memo, k)) << k;
    c.bNext->click();
    EXPECT_EQ(c.RowIndex, 3);
    EXPECT_FALSE(c.bNext->isEnabled());
    c.bNext->click();  // disabled: nothing
    EXPECT_EQ(c.RowIndex, 3);
    // The arrows on OK: Left goes up, Right down, never past either end, focus stays.
    c.bOk->setFocus();
    QTest::keyClick(c.bOk, Qt::Key_Right);
    EXPECT_EQ(c.RowIndex, 3);
    QTest::keyClick(c.bOk, Qt::Key_Left);
    QTest::keyClick(c.bOk, Qt::Key_Left);
    EXPECT_EQ(c.RowIndex, 1);
    QTest::keyClick(c.bOk, Qt::Key_Left);
    EXPECT_EQ(c.RowIndex, 1);  // not the title row
    EXPECT_EQ(c.Memo->toPlainText().left(7), "番号: 101");
    EXPECT_FALSE(c.bPrev->isEnabled());
    EXPECT_TRUE(c.bNext->isEnabled());
    // Enter on OK closes the card.
    QSignalSpy accepted(&c, &QDialog::accepted);
    QTest::keyClick(c.bOk, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
  });

  // One data row: both step buttons off.
  TXlsStringGrid one;
  one.Fill({"番号"}, {{"1"}});
  WithCard(one, 1, [&](TDlgTekiyouCard& c) {
    EXPECT_FALSE(c.bPrev->isEnabled());
    EXPECT_FALSE(c.bNext->isEnabled());
  });
  // The title row never opens a card.
  bool opened = false;
  WithCard(one, 0, [&](TDlgTekiyouCard&) { opened = true; });
  EXPECT_FALSE(opened);
}

TEST(UseCard, CopiesSizeInSettingsAndPlaceOnScreen) {
  QTemporaryDir dir;
  InitGlobals(dir.path().toStdString() + "/");
  TXlsStringGrid g;
  FillSample(g);
  WithCard(g, 2, [&](TDlgTekiyouCard& c) {
    c.bCopyAll->click();
    EXPECT_EQ(QApplication::clipboard()->text(), c.Memo->toPlainText());
    EXPECT_FALSE(c.Memo->textCursor().hasSelection());
    QTextCursor sel(c.Memo->document());
    sel.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
    c.Memo->setTextCursor(sel);
    c.bCopy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "番号");
    c.resize(400, 300);
  });
  {
    TIniFile ini(OptionData->IniFileName);
    EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgTekiyouCardWidth", 0), 400);
    EXPECT_EQ(ini.ReadInteger("WINDOW", "DlgTekiyouCardHeight", 0), 300);
  }

  // A grid at the bottom right of the screen: the card is pulled fully into view.
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  g.resize(300, 200);
  g.move(area.right() - 150, area.bottom() - 100);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  g.SetCurrentCell(1, 3);
  WithCard(g, 3, [&](TDlgTekiyouCard& c) {
    EXPECT_EQ(c.size(), QSize(400, 300));
    EXPECT_TRUE(area.contains(QRect(c.pos(), c.size()))) << c.pos().x() << "," << c.pos().y();
    EXPECT_EQ(c.Memo->font(), g.font());
  });
  FinalizeGlobals();
}
