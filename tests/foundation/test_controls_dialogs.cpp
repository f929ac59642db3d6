// Dialog placement inside the work area, the positioned file dialogs, the folder chooser and
// the memo dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "foundation/browse_folder_box.h"
#include "foundation/dlg_memo.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/screen_placement.h"

TEST(Placement, ClampsIntoTheWorkAreaPerAxis) {
  const QRect area(0, 30, 1000, 700);  // a task bar above
  struct Case {
    QPoint pos;
    QSize size;
    QPoint want;
  } cases[] = {
      {{100, 100}, {200, 100}, {100, 100}},    // inside: unchanged
      {{900, 100}, {200, 100}, {800, 100}},    // past the right edge: flush with it
      {{100, 680}, {200, 100}, {100, 630}},    // past the bottom
      {{-50, 0}, {200, 100}, {0, 30}},         // before the start: at the start
      {{500, 500}, {1200, 900}, {0, 30}},      // larger than the area: at its start
      {{-5000, 5000}, {10, 10}, {0, 720}},
  };
  for (const Case& c : cases) EXPECT_EQ(ClampToArea(c.pos, c.size, area), c.want) << c.pos.x() << "," << c.pos.y();
}

TEST(Placement, DialogPlaceByOption) {
  const QRect area(0, 40, 800, 560);
  const QSize size(300, 200);
  TDlgPosition p;
  p.Option = dpDesigned;
  p.X = 700;
  p.Y = 100;
  EXPECT_EQ(DialogPlace(p, size, area, nullptr), QPoint(500, 100));  // flush with the right edge
  p.Option = dpCenter;
  EXPECT_EQ(DialogPlace(p, size, area, nullptr), QPoint(250, 40 + 180));  // centred in the work area
  p.Option = dpDefault;
  const QPoint origin(650, 500);
  EXPECT_EQ(DialogPlace(p, size, area, &origin), QPoint(500, 400));
  EXPECT_EQ(DialogPlace(p, size, area, nullptr), QPoint(500, 100));
  TDlgPosition q;
  q.Assign(p);
  EXPECT_EQ(q.Option, dpDefault);
  EXPECT_EQ(q.X, 700);
  // A caption that names its patterns shows them once; another one gets them appended.
  EXPECT_EQ(ConvertDialogFilter("CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄ (*.txt)|*.txt;*.text"),
            QStringLiteral("CSVﾌｧｲﾙ(*.csv);;ﾃｷｽﾄ (*.txt) (*.txt *.text)"));
  EXPECT_EQ(ConvertDialogFilter("HTMLﾌｧｲﾙ(*.html;*.htm)|*.html;*.htm|全てのファイル(*.*)|*"),
            QStringLiteral("HTMLﾌｧｲﾙ(*.html *.htm);;全てのファイル(*.*) (*)"));
}

TEST(Placement, WindowsOffScreenComeBackInside) {
  const QRect area = WorkAreaAt(QPoint(-20000, -20000));
  ASSERT_FALSE(area.isEmpty());
  QWidget w;
  w.resize(200, 150);
  MoveInsideWorkArea(&w, QPoint(30000, 30000));
  EXPECT_TRUE(area.contains(QRect(w.pos(), w.size()))) << w.pos().x() << "," << w.pos().y();
}

TEST(FileDialogPos, SaveDialogOpensFlushWithTheRightEdgeAndReturnsTheChoice) {
  QTemporaryDir dir;
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  TSaveDialogPos dlg;
  dlg.Position.Option = dpDesigned;
  dlg.Position.X = area.right() - 10;
  dlg.Position.Y = area.top() + 5;
  dlg.InitialDir = dir.path();
  dlg.Filter = "CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄ (*.txt)|*.txt";
  dlg.DefaultExt = "csv";
  QRect placed;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    placed = d.frameGeometry();
    d.selectFile(dir.filePath("result"));
    QMetaObject::invokeMethod(&d, "accept");
  };
  EXPECT_TRUE(dlg.Execute());
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(placed.right(), area.right());
  EXPECT_EQ(placed.top(), area.top() + 5);
  EXPECT_EQ(dlg.FileName, dir.filePath("result.csv"));

  TOpenDialogPos open;
  open.Position.Option = dpCenter;
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    placed = d.frameGeometry();
    d.reject();
  };
  EXPECT_FALSE(open.Execute());
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_LE(std::abs(placed.center().x() - area.center().x()), 1);
}

TEST(BrowseFolderBox, CancelGivesFalseAndNoFolderAChoiceGivesThePath) {
  QTemporaryDir dir;
  TBrowseFolderBox box;
  box.InitialFolder = dir.path();
  box.Title = "共有フォルダの選択";
  TFileDialogPos::AfterShow = [](QFileDialog& d) { d.reject(); };
  EXPECT_FALSE(box.Execute());
  EXPECT_TRUE(box.Folder.isEmpty());
  TFileDialogPos::AfterShow = [&](QFileDialog& d) {
    d.setDirectory(dir.path());
    d.selectFile(dir.path());
    QMetaObject::invokeMethod(&d, "accept");
  };
  box.PlacementSet = true;
  box.Placement = {16, 16, 40, 30};
  EXPECT_TRUE(box.Execute());
  TFileDialogPos::AfterShow = nullptr;
  EXPECT_EQ(box.Folder, QDir::cleanPath(dir.path()));
  EXPECT_FALSE(box.DisplayName.isEmpty());
}

TEST(DlgMemo, CopiesTheWholeTextAndIsFreedExactlyOnce) {
  // Modeless: closing frees it, once.
  int destroyed = 0;
  QPointer<TDlgMemo> memo = TDlgMemo::Open(nullptr, "SQL エラー", "AcisDB.SetGrid ", "ESQLiteException\n---------\nno such table: x");
  QObject::connect(memo.data(), &QObject::destroyed, [&] { ++destroyed; });
  EXPECT_EQ(memo->windowTitle(), QStringLiteral("SQL エラー"));
  EXPECT_EQ(memo->lblTitle->text(), QStringLiteral("AcisDB.SetGrid "));
  EXPECT_EQ(memo->Button1->text(), QStringLiteral("閉じる"));
  EXPECT_EQ(memo->btnCopyAll->text(), QStringLiteral("全てコピー"));
  EXPECT_TRUE(memo->mMessage->isReadOnly());
  // Copy all copies the whole text even with only a part selected.
  QTextCursor c = memo->mMessage->textCursor();
  c.setPosition(0);
  c.setPosition(3, QTextCursor::KeepAnchor);
  memo->mMessage->setTextCursor(c);
  memo->btnCopyAll->click();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ESQLiteException\n---------\nno such table: x"));
  memo->Button1->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  EXPECT_TRUE(memo.isNull());
  EXPECT_EQ(destroyed, 1);

  // Modal: answered by its close button, freed when ShowModal returns.
  int shown = 0;
  QTimer::singleShot(0, [&] {
    if (auto* d = qobject_cast<TDlgMemo*>(QApplication::activeModalWidget())) {
      ++shown;
      QObject::connect(d, &QObject::destroyed, [&] { ++destroyed; });
      d->Button1->click();
    }
  });
  TDlgMemo::ShowModal(nullptr, "SQL エラー", "", "text");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(destroyed, 2);
}
