// The settings the options dialog applies to the window are in force from the start: a
// window made on a settings file shows them as it would after the dialog's OK, the crop
// tree's indent among them.
#include <gtest/gtest.h>

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>
#include <sstream>
#include <string>

#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/frm_option.h"
#include "frontend/main_pages.h"
#include "frontend/picker_placement.h"
#include "output/xls_string_grid.h"
#include "support_main_window.h"

namespace {

std::string FontText(const QFont& f) {
  std::ostringstream s;
  s << f.pointSize() << (f.bold() ? " bold" : "") << (f.italic() ? " italic" : "");
  return s.str();
}

std::string Base(const QWidget* w) { return w ? w->palette().color(QPalette::Base).name().toStdString() : "-"; }

// What the window shows of the settings the options dialog edits, one line each.
std::string Shown(TfrmMain& w) {
  std::ostringstream s;
  auto* tree = w.findChild<QTreeView*>("tvSakumotsu");
  s << "tree indent " << (tree ? tree->indentation() : -1) << "\n";
  s << "tool bar images " << w.ToolBar->iconSize().width() << ", captions " << w.ToolBar->toolButtonStyle() << "\n";
  if (auto* frame = w.findChild<TfraSakumotsuBase*>())
    s << "crop frame images " << frame->tbSakumotsuTree->iconSize().width() << "\n";
  s << "main font " << FontText(w.font()) << "\n";
  for (TXlsStringGrid* g : {w.gdTekiyo, w.gdByochu, w.gdYakuzai, w.gdSQL, w.TemplateGrid})
    s << "grid " << (g ? g->objectName().toStdString() : "-") << " " << (g ? FontText(g->font()) : "") << " "
      << Base(g) << "\n";
  s << "ingredient grid " << FontText(w.gdSeibun->font()) << "\n";
  s << "even rows " << FontText(w.EvenRowFont) << "\n";
  s << "log " << FontText(w.mLog->font()) << " " << Base(w.mLog) << "\n";
  s << "SQL editor paper " << w.SQLHighlighter->paper(QsciLexerSQL::Default).name().toStdString() << ", font "
    << FontText(w.SQLHighlighter->font(QsciLexerSQL::Default)) << ", line numbers "
    << w.SQLEditor->marginLineNumbers(0) << ", edge " << w.SQLEditor->edgeMode() << "\n";
  s << "keywords " << w.SQLHighlighter->color(QsciLexerSQL::Keyword).name().toStdString() << " "
    << FontText(w.SQLHighlighter->font(QsciLexerSQL::Keyword)) << "\n";
  return s.str();
}

}  // namespace

TEST(SettingsAtStart, TheWindowStartsWithWhatTheOptionsDialogApplies) {
  TMainWindowFixture fx;
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  fx.WriteIni(
      "[VIEW]\n"
      "SakumotsuTreeIndent=30\n"
      "MenuImageSize=2\n"
      "BtnImageSize=1\n"
      "MainFormFont=Sans,128,-12,11,0,80000008\n"
      "TekiyouFont=Sans,128,-12,14,1,80000008\n"
      "Tekiyou2Font=Sans,128,-12,13,2,80000008\n"
      "SeibunGridFont=Sans,128,-12,12,0,80000008\n"
      "LogFont=Monospace,128,-12,15,0,80000008\n"
      "SQLEditFont=Monospace,128,-12,16,0,80000008\n"
      "SQLKeywordBold=0\n"
      "[COLOR]\n"
      "TekiyouColor=00D0E0F0\n"
      "LogColor=00C0C0FF\n"
      "SQLEditColor=00E0FFE0\n"
      "SQLKeywordColor=000000FF\n"
      "[WINDOW]\n"
      "ToolBarCaption=0\n"
      "[OPTIONS]\n"
      "SQLEditorLineNumber=0\n"
      "SQLEditorRightEdge=0\n");
  TfrmMain w;
  InstallSearchPages(w);
  w.show();
  Pump(100);
  const std::string atStart = Shown(w);
  EXPECT_NE(atStart.find("tree indent 30\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("tool bar images 24, captions 0\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("crop frame images 24\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("grid gdTekiyo 14 bold #f0e0d0\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("grid gdTemplate 14 bold #f0e0d0\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("ingredient grid 12\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("even rows 13 italic\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("log 15 #ffc0c0\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("SQL editor paper #e0ffe0, font 16, line numbers 0, edge 0\n"), std::string::npos) << atStart;
  EXPECT_NE(atStart.find("keywords #ff0000 16\n"), std::string::npos) << atStart;

  // The options dialog confirmed without a change applies the same settings: nothing moves.
  int shown = 0;
  TPickerModalHook prev = SetPickerModalHook([&](QDialog& dlg) {
    ++shown;
    auto* d = qobject_cast<TfrmOption*>(&dlg);
    if (!d) return int(QDialog::Rejected);
    d->show();  // the show fills the controls from the settings
    QTest::mouseClick(d->bOk, Qt::LeftButton);
    return d->result();
  });
  w.actOptionExecute();
  SetPickerModalHook(prev);
  Pump(50);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(Shown(w), atStart);
  EXPECT_EQ(OptionData->SakumotsuTreeIndent, 30);
  EXPECT_EQ(sink.Count(), 0u);
}
