#include "frontend/main_dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <Qsci/qscilexersql.h>
#include <Qsci/qsciscintilla.h>

#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/frm_about.h"
#include "frontend/frm_main.h"
#include "frontend/frm_option.h"
#include "frontend/picker_placement.h"
#include "output/xls_string_grid.h"

namespace {

// The input boxes of the window (edit boxes, the editable parts of its lists and the text boxes
// of several lines one types into, such as the template page's arguments; the read-only log
// and notes keep their fonts).  Dialogs and result windows the window owns are its children
// too: their boxes (the options dialog's font samples among them) keep their own fonts.
QList<QWidget*> InputBoxes(TfrmMain& m) {
  QList<QWidget*> out;
  for (QLineEdit* e : m.findChildren<QLineEdit*>())
    if (e->window() == &m && !qobject_cast<QAbstractItemView*>(e->parentWidget()) &&
        !e->parentWidget()->inherits("QAbstractSpinBox"))
      out.push_back(e);
  for (QPlainTextEdit* e : m.findChildren<QPlainTextEdit*>())
    if (e->window() == &m && !e->isReadOnly()) out.push_back(e);
  return out;
}

}  // namespace

void InstallOptionAndAboutDialogs(TfrmMain& Main) {
  TfrmMain* m = &Main;
  Main.OnOptionDialog = [m] {
    TfrmOption dlg(m);
    TOptionSamples s;
    s.Main = m->font();
    s.Tekiyou = m->gdTekiyo ? m->gdTekiyo->font() : m->font();
    s.Tekiyou2 = m->EvenRowFont;
    s.Seibun = m->gdSeibun ? m->gdSeibun->font() : m->font();
    s.Log = m->mLog ? m->mLog->font() : m->font();
    s.Edit = m->eYakuzai ? m->eYakuzai->font() : m->font();
    s.SQLEdit = m->SQLHighlighter ? m->SQLHighlighter->font(QsciLexerSQL::Default) : m->font();
    dlg.SetSamples(s);
    dlg.OnApplied = [m] { m->ApplyViewSettings(); };
    dlg.OnEditFont = [m](const QFont& f) {
      for (QWidget* e : InputBoxes(*m)) e->setFont(f);
    };
    ExecPicker(dlg);
  };
  Main.OnAboutBox = [m] {
    TfrmAbout dlg(m);
    ExecPicker(dlg);
  };
  // The menu items work from now on.
  if (Main.actOption) Main.actOption->setEnabled(true);
  if (Main.mnAbout) Main.mnAbout->setEnabled(true);
}
