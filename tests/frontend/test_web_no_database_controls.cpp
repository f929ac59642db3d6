// The program as a new user meets it: a program folder without a database. Every tab is
// visited, and on each every enabled button, tool-bar button and menu item is pressed as a
// user presses it (mouse clicks on the tab bar, the buttons, the menu bar and its menus).
// Nothing may crash, nothing modal may be left waiting, and every control that is enabled
// must do something a user can see: a message, a dialog, a page opened, or a change in the
// window. The one exception is "条件消去" on a tab with nothing to clear, which stays enabled
// after every search. (A mode button or menu mode chosen while its mode is in force keeps it,
// as radio buttons do; that is no command.)
#include <gtest/gtest.h>

#include <Qsci/qsciscintilla.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <map>
#include <memory>
#include <set>

#include "database/acis_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/message_sink.h"
#include "frontend/data_update_services.h"
#include "frontend/frm_main.h"
#include "frontend/main_pages.h"
#include "frontend/picker_placement.h"
#include "support_main_window.h"

// Chromium inside Qt WebEngine (the template page's browser) frees some of its objects through
// a base with a smaller size; AddressSanitizer would stop at that mismatch inside the library.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

class TPageCatcher : public QObject {
  Q_OBJECT

 public:
  int Opened = 0;
 public slots:
  void Open(const QUrl&) { ++Opened; }
};

namespace {

TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }

QString Id(const QObject* O) {
  return QString("%1:%2:%3").arg(O->metaObject()->className(), O->objectName()).arg(quintptr(O), 0, 16);
}

// What a user can see of the window: every widget's visibility, enabled state and content,
// every action's state, the caption, the windows on the screen and the clipboard.
std::map<QString, QString> Snapshot(TfrmMain& W) {
  std::map<QString, QString> out;
  QList<QWidget*> widgets = W.findChildren<QWidget*>();
  widgets.prepend(&W);
  for (QWidget* c : widgets) {
    QString s = QString("%1%2").arg(c->isHidden() ? 'h' : 'v').arg(c->isEnabled() ? 'e' : 'd');
    if (auto* b = qobject_cast<QAbstractButton*>(c)) s += b->text() + (b->isChecked() ? "+" : "-");
    if (auto* e = qobject_cast<QLineEdit*>(c)) s += e->text();
    if (auto* cb = qobject_cast<QComboBox*>(c)) s += cb->currentText() + QString::number(cb->count());
    if (auto* p = qobject_cast<QPlainTextEdit*>(c)) s += p->toPlainText();
    if (auto* q = qobject_cast<QsciScintilla*>(c)) s += q->text();
    if (auto* t = qobject_cast<QTabWidget*>(c)) s += QString::number(t->currentIndex());
    if (auto* l = qobject_cast<QLabel*>(c)) s += l->text();
    if (auto* v = qobject_cast<QAbstractItemView*>(c); v && v->model())
      s += QString("%1/%2/%3").arg(v->model()->rowCount()).arg(v->model()->columnCount()).arg(v->selectionBehavior());
    out[Id(c)] = s;
  }
  for (QAction* a : W.findChildren<QAction*>())
    out[Id(a)] = QString("%1%2%3").arg(a->isEnabled()).arg(a->isChecked()).arg(a->isVisible());
  out["title"] = W.windowTitle();
  QStringList shown;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (t->isVisible() && qstrcmp(t->metaObject()->className(), "QTipLabel") != 0) shown << Id(t);
  shown.sort();
  out["windows"] = shown.join(',');
  out["clipboard"] = QApplication::clipboard()->text();
  return out;
}

// The window without a database, every dialog it opens answered with "cancel" and counted.
struct TNoDatabaseWindow : TMainWindowFixture {
  std::unique_ptr<TfrmMain> W;
  TPageCatcher Pages;
  int Dialogs = 0;
  QStringList DialogNames;
  // Modal windows that went round the message sink, the picker hook and the file dialogs' hook.
  QStringList Stray;
  QTimer Watcher;
  TPickerModalHook PreviousHook;

  TNoDatabaseWindow() {
    QDesktopServices::setUrlHandler("https", &Pages, "Open");
    QDesktopServices::setUrlHandler("http", &Pages, "Open");
    QDesktopServices::setUrlHandler("file", &Pages, "Open");
    PreviousHook = SetPickerModalHook([this](QDialog& d) {
      Note(&d);
      return int(QDialog::Rejected);
    });
    TFileDialogPos::AfterShow = [this](QFileDialog& d) {
      Note(&d);
      QMetaObject::invokeMethod(&d, "reject");
    };
    // A dialog or menu opened in a way no hook sees is closed by the watcher.
    Watcher.setInterval(20);
    QObject::connect(&Watcher, &QTimer::timeout, [this] { CloseWhatIsOpen(); });
    Watcher.start();
  }
  ~TNoDatabaseWindow() {
    Watcher.stop();
    W.reset();
    SetPickerModalHook(PreviousHook);
    TFileDialogPos::AfterShow = nullptr;
    for (const char* s : {"https", "http", "file"}) QDesktopServices::unsetUrlHandler(s);
  }
  void Note(QWidget* d) {
    ++Dialogs;
    DialogNames << Id(d);
  }
  void CloseWhatIsOpen() {
    if (QWidget* p = QApplication::activePopupWidget()) {
      Note(p);
      p->close();
    }
    if (QWidget* m = QApplication::activeModalWidget(); m && m != W.get()) {
      if (qobject_cast<QFileDialog*>(m)) return;  // answered by its own hook
      Note(m);
      Stray << Id(m);
      if (auto* d = qobject_cast<QDialog*>(m))
        d->reject();
      else
        m->close();
    }
  }
  bool Open() {
    // The program's own data-update side, its services at a loopback port where nothing
    // listens: the first-run dialogs and the update window are answered by the picker hook.
    qputenv("QUILLMAR_ACIS_BASE", "http://127.0.0.1:9");
    qputenv("QUILLMAR_MIRROR_BASE", "http://127.0.0.1:9");
    InstallDataUpdateServices();
    W = std::make_unique<TfrmMain>();
    InstallSearchPages(*W);
    W->resize(1100, 800);
    W->show();
    W->activateWindow();
    if (!QTest::qWaitForWindowActive(W.get())) return false;
    Pump(100);
    return !AcisDB;
  }
};

// Whether a button is one of the window's own controls (not the scroll arrows of a tab bar,
// the extension arrows of tool and menu bars, or the insides of a spin box).
bool IsControl(QAbstractButton* B) {
  if (B->objectName().startsWith("qt_")) return false;
  for (QWidget* p = B->parentWidget(); p; p = p->parentWidget())
    if (qobject_cast<QTabBar*>(p) || qobject_cast<QMenuBar*>(p) || qobject_cast<QAbstractSpinBox*>(p)) return false;
  // The clear button of an empty edit box is not drawn.
  if (auto* e = qobject_cast<QLineEdit*>(B->parentWidget())) return !e->text().isEmpty();
  return true;
}

struct TPress {
  QString What;
  int Tab;
};

}  // namespace

TEST(NoDatabaseControls, EveryEnabledControlOnEveryTabDoesSomethingAndLeavesNothingOpen) {
  TNoDatabaseWindow t;
  ASSERT_TRUE(t.Open());
  TfrmMain& w = *t.W;
  QTabBar* tabs = w.pgSearch->tabBar();
  int presses = 0;
  std::vector<TPress> idle;

  // Presses one control and checks what came of it.
  auto press = [&](const QString& what, QObject* control, int tab, const std::function<void()>& act) {
    const auto before = Snapshot(w);
    const int messages = static_cast<int>(Sink().Count()), dialogs = t.Dialogs, pages = t.Pages.Opened;
    auto* button = qobject_cast<QAbstractButton*>(control);
    const bool checked = button && button->isCheckable() && button->isChecked();
    act();
    if (!t.Watcher.isActive()) t.Watcher.start();
    Pump(30);
    ++presses;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << what.toStdString();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << what.toStdString();
    t.CloseWhatIsOpen();
    const bool seen = static_cast<int>(Sink().Count()) != messages || t.Dialogs != dialogs ||
                      t.Pages.Opened != pages || Snapshot(w) != before;
    // A mode button pressed while its mode is in force keeps it, as a chosen menu mode does
    // (the crop frame's "主作物" while no neighbour crops can be chosen).
    const bool modeInForce = checked && button && button->isChecked();
    if (!seen && control != w.actSearchStrClear && !modeInForce)
      idle.push_back({what, tab});
  };

  // Every menu item of the menu bar, through its menu: the menu opened by a click on its title,
  // a sub-menu by a click on its entry, then the item clicked.
  auto pressMenus = [&](int tab, bool exitToo) {
    for (QAction* top : w.menuBar()->actions()) {
      QMenu* menu = top->menu();
      if (!menu || !top->isVisible() || !top->isEnabled()) continue;
      std::vector<std::pair<QAction*, QAction*>> items;  // (sub-menu entry or null, item)
      for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible() || !a->isEnabled()) continue;
        if (a->menu()) {
          for (QAction* s : a->menu()->actions())
            if (!s->isSeparator() && s->isVisible() && s->isEnabled()) items.push_back({a, s});
        } else {
          items.push_back({nullptr, a});
        }
      }
      for (auto [entry, item] : items) {
        if ((item == w.mnExit) != exitToo) continue;
        // Choosing the mode in force is no command.
        if (item->actionGroup() && item->actionGroup()->isExclusive() && item->isChecked()) continue;
        const QString what = top->text() + " > " + (entry ? entry->text() + " > " : QString()) + item->text();
        const int repeat = item->isCheckable() && !item->actionGroup() ? 2 : 1;  // a switch is put back
        for (int r = 0; r < repeat; ++r) {
          if (!item->isEnabled()) break;
          press(what, item, tab, [&] {
            // The menus stay open while the test walks them; whatever the item opens is closed.
            t.Watcher.stop();
            QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(top).center());
            Pump(10);
            QMenu* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_EQ(open, menu) << what.toStdString();
            if (entry) {
              // The arrow keys down to the sub-menu's entry, then the one that opens it.
              for (int i = 0; i < menu->actions().size() && menu->activeAction() != entry; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
              ASSERT_EQ(menu->activeAction(), entry) << what.toStdString();
              QTest::keyClick(menu, Qt::Key_Right);
              Pump(10);
              open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
              ASSERT_EQ(open, entry->menu()) << what.toStdString();
            }
            t.Watcher.start();
            QTest::mouseClick(open, Qt::LeftButton, {}, open->actionGeometry(item).center());
          });
        }
      }
    }
  };

  // Every enabled button the user sees on this tab, the pages of the tab's inner page
  // controls visited one after another.
  auto pressButtons = [&](int tab) {
    std::set<QAbstractButton*> done;
    auto sweep = [&] {
      // Checked buttons come last: a mode button pressed while its mode is in force keeps it,
      // so it is pressed after another mode was chosen.
      std::vector<QPointer<QAbstractButton>> order, modes;
      for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        (b->isCheckable() && b->isChecked() ? modes : order).push_back(b);
      order.insert(order.end(), modes.begin(), modes.end());
      for (QPointer<QAbstractButton> guard : order) {
        QAbstractButton* b = guard;
        if (!b || done.count(b) || !b->isVisible() || !b->isEnabled() || !IsControl(b)) continue;
        done.insert(b);
        QString what = b->objectName() + " \"" + b->text() + "\"";
        for (QWidget* p = b->parentWidget(); p && p != &w; p = p->parentWidget())
          if (!p->objectName().isEmpty()) what = p->objectName() + "/" + what;
        auto* tool = qobject_cast<QToolButton*>(b);
        QObject* control = tool && tool->defaultAction() == w.actSearchStrClear ? static_cast<QObject*>(w.actSearchStrClear) : b;
        press(what, control, tab, [&] {
          QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
        });
        if (!guard) continue;
        // The items of the button's drop-down menu, chosen in the menu it opens.
        if (tool && tool->menu() && tool->popupMode() != QToolButton::DelayedPopup && tool->isEnabled())
          for (QAction* item : tool->menu()->actions()) {
            if (item->isSeparator() || !item->isVisible() || !item->isEnabled()) continue;
            if (item->actionGroup() && item->actionGroup()->isExclusive() && item->isChecked()) continue;
            press(what + " > " + item->text(), item, tab, [&] {
              t.Watcher.stop();
              QPointer<QMenu> menu = tool->menu();
              TNoDatabaseWindow* window = &t;
              QTimer::singleShot(0, [window, menu, item] {
                window->Watcher.start();
                if (menu && QApplication::activePopupWidget() == menu)
                  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
              });
              const bool arrow = tool->popupMode() == QToolButton::MenuButtonPopup;
              QTest::mouseClick(tool, Qt::LeftButton, {}, QPoint(arrow ? tool->width() - 4 : 4, tool->height() / 2));
            });
          }
      }
    };
    sweep();
    for (QTabWidget* inner : w.findChildren<QTabWidget*>()) {
      if (inner == w.pgSearch || !inner->isVisible()) continue;
      for (int i = 0; i < inner->count(); ++i) {
        if (!inner->isTabEnabled(i)) continue;
        QTest::mouseClick(inner->tabBar(), Qt::LeftButton, {}, inner->tabBar()->tabRect(i).center());
        Pump(10);
        sweep();
      }
    }
  };

  for (int tab = 0; tab < w.pgSearch->count(); ++tab) {
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    Pump(50);
    ASSERT_EQ(w.pgSearch->currentIndex(), tab);
    pressButtons(tab);
    pressMenus(tab, false);
  }
  // Last of all "終了(&X)": the window closes.
  pressMenus(w.pgSearch->currentIndex(), true);
  EXPECT_FALSE(w.isVisible());

  for (const TPress& p : idle) ADD_FAILURE() << "enabled and does nothing on tab " << p.Tab << ": " << p.What.toStdString();
  EXPECT_TRUE(t.Stray.isEmpty()) << t.Stray.join(' ').toStdString();
  std::cerr << presses << " presses, " << t.Dialogs << " dialogs and menus: " << t.DialogNames.join(' ').toStdString()
            << "; " << Sink().Count() << " messages\n";
  EXPECT_GT(presses, 100);
  EXPECT_FALSE(AcisDB);
}

#include "test_web_no_database_controls.moc"
