// Qt's own dialog texts in Japanese, like the rest of the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <memory>

#include "foundation/qt_texts.h"

TEST(QtTexts, MessageBoxButtonsAndEditMenusSpeakJapanese) {
  ASSERT_TRUE(InstallQtJapaneseTexts(*QCoreApplication::instance()));
  QMessageBox box(QMessageBox::Question, "Quillmar", "自動更新処理を実行します。",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")))
      << box.button(QMessageBox::Yes)->text().toStdString();
  EXPECT_TRUE(box.button(QMessageBox::No)->text().contains(QStringLiteral("いいえ")))
      << box.button(QMessageBox::No)->text().toStdString();
  EXPECT_FALSE(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("Cancel")));
  // The menu of an edit box (right click in a search box).
  QLineEdit edit;
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  bool english = false;
  for (QAction* a : menu->actions())
    if (a->text().contains(QStringLiteral("Copy")) || a->text().contains(QStringLiteral("Paste"))) english = true;
  EXPECT_FALSE(english);
}
