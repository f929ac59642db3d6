// The help page: the laid-out page holds the text of every section of the README it is made
// from (tables included), and F1 where the desktop cannot open the page says where the page
// is, through the message sink.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

#include <memory>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "frontend/frm_main.h"
#include "frontend/help_page.h"
#include "frontend/main_services.h"
#include "support_main_window.h"

namespace {

QString ReadmeText() {
  QFile f(QStringLiteral(QM_SOURCE_DIR "/README.md"));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// What a reader sees of a README line: the text without its Markdown marks.
QString Shown(QString line) {
  line.remove('`');
  line.replace("\\|", "|");
  line.remove(QRegularExpression("^\\s*(#+|-)\\s+"));
  return line.simplified();
}

// The cells of a table row ("| a | b |"), pipes escaped with "\|" kept inside their cell.
QStringList Cells(const QString& row) {
  QStringList cells;
  QString cell;
  for (qsizetype i = 0; i < row.size(); ++i) {
    if (row[i] == '\\' && i + 1 < row.size() && row[i + 1] == '|') {
      cell += "\\|";
      ++i;
    } else if (row[i] == '|') {
      cells << cell;
      cell.clear();
    } else {
      cell += row[i];
    }
  }
  cells << cell;
  return cells;
}

}  // namespace

TEST(HelpPage, TheLaidOutPageHoldsTheTextOfEverySection) {
  const QString readme = ReadmeText();
  ASSERT_FALSE(readme.isEmpty());
  QTextDocument page;
  page.setHtml(HelpPageHtml());
  const QString shown = page.toPlainText().simplified();
  int sections = 0, lines = 0;
  QString section;
  for (const QString& line : readme.split('\n')) {
    if (line.startsWith("## ")) {
      ++sections;
      section = line.mid(3);
    }
    if (line.trimmed().isEmpty()) continue;
    if (line.trimmed().startsWith('|')) {
      for (const QString& cell : Cells(line.trimmed())) {
        const QString text = Shown(cell);
        if (text.isEmpty() || text.contains(QRegularExpression("^[-:]+$"))) continue;
        ++lines;
        EXPECT_TRUE(shown.contains(text)) << "section \"" << section.toStdString() << "\": " << text.toStdString();
      }
      continue;
    }
    ++lines;
    EXPECT_TRUE(shown.contains(Shown(line))) << "section \"" << section.toStdString() << "\": " << line.toStdString();
  }
  EXPECT_GE(sections, 8);
  EXPECT_GT(lines, 100);
}

TEST(HelpPage, F1WhereTheDesktopCannotOpenThePageSaysWhereItIs) {
  TMainWindowFixture fx;
  auto& sink = static_cast<TLogMessageSink&>(MessageSink());
  SetMainWindowServices(std::make_unique<TStandInUpdate>(TStandInUpdate::Counts));
  {
    TfrmMain w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Pump();
    sink.Clear();
    // No opener: the platform here opens nothing (nor would a desktop without xdg-open).
    ASSERT_FALSE(QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(fx.AppDir) + "/probe.html")));
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : &w, Qt::Key_F1);
    Pump();
    const QString page = QString::fromStdString(OptionData->AppDir) + "quillmar-help.html";
    EXPECT_TRUE(QFile::exists(page));
    const std::vector<TMessage> said = sink.Messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].kind, TMsgKind::Error);
    EXPECT_NE(said[0].text.find(page.toStdString()), std::string::npos) << said[0].text;
    EXPECT_NE(said[0].text.find(QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded).toStdString()), std::string::npos)
        << said[0].text;
  }
  SetMainWindowServices(nullptr);
}
