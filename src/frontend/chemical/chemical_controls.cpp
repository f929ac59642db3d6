// The chemical tab's own controls and bindings: the selectors and lists of the related-product
// pages, the lists' popup menu, and the signals, keys and clear buttons of the side panel.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "foundation/check_list_box_ex.h"
#include "foundation/global.h"
#include "foundation/list_box_ex.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/chemical/product_sheet.h"
#include "frontend/frm_main.h"
#include "frontend/grid_state.h"
#include "frontend/main_widgets.h"

using namespace MainWidgets;

namespace {

QListWidget* NewList(const char* name) { return Named(new TListBoxEx, name); }

// A related page: its selector above its list.
void FillPage(QWidget* page, QWidget* selector, QWidget* list) {
  if (!page) return;
  delete page->layout();
  auto* l = new QVBoxLayout(page);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(2);
  l->addWidget(selector);
  l->addWidget(list, 1);
}

// Keys that type no character (the crop edit keeps its looked-up names for them).
bool IsNonCharacterKey(int Key) {
  switch (Key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Clear:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_Kana_Lock:
    case Qt::Key_Kana_Shift:
    case Qt::Key_Katakana:
    case Qt::Key_Hiragana:
    case Qt::Key_Hiragana_Katakana:
    case Qt::Key_Kanji:
    case Qt::Key_Zenkaku_Hankaku:
    case Qt::Key_Henkan:
    case Qt::Key_Muhenkan:
    case Qt::Key_Escape:
    case Qt::Key_Space:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Print:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Menu: return true;
    default: return Key >= Qt::Key_F1 && Key <= Qt::Key_F12;
  }
}

}  // namespace

void TChemicalSearch::BuildRelatedPages() {
  cbSeibun = NewCombo("cbSeibun", false);
  lstTsushoSeibun = NewList("lstTsushoSeibun");
  FillPage(m_.tabSeibun, cbSeibun, lstTsushoSeibun);
  cbYakuzaiTabKeito = NewCombo("cbYakuzaiTabKeito", false);
  lstTsushoKeito = NewList("lstTsushoKeito");
  FillPage(m_.tabKeito, cbYakuzaiTabKeito, lstTsushoKeito);
  cbSayoten = NewCombo("cbSayoten", false);
  lstSayoten = NewList("lstSayoten");
  FillPage(m_.tabSayoten, cbSayoten, lstSayoten);
  cbRac = NewCombo("cbRac", false);
  lstRac = NewList("lstRac");
  FillPage(m_.tabRac, cbRac, lstRac);
  cbRacKeito = NewCombo("cbRacKeito", false);
  lstRacKeito = NewList("lstRacKeito");
  FillPage(m_.tabRacKeito, cbRacKeito, lstRacKeito);
  // The ingredients to tick above the trade names holding all ticked ones.
  lstSeibunPluralCk = Named(new TCheckListBoxEx, "lstSeibunPluralCk");
  lstTsushoSeibunPlural = NewList("lstTsushoSeibunPlural");
  auto* split = NewSplitter(Qt::Vertical, "SplitterSeibunPlural");
  split->addWidget(lstSeibunPluralCk);
  split->addWidget(lstTsushoSeibunPlural);
  split->setStretchFactor(1, 1);
  if (QWidget* page = m_.tabSeibunPlural) {
    delete page->layout();
    auto* l = new QVBoxLayout(page);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(split);
  }
  if (QTabWidget* t = m_.pgYakuzaiSideSeibun) {
    const int i = t->indexOf(m_.tabSeibunPlural);
    if (i >= 0) t->setTabToolTip(i, "複数成分を含む剤");
  }
}

void TChemicalSearch::BuildListPopup() {
  pmnYakuzaiListbox = new QMenu(&m_);
  pmnYakuzaiListbox->setObjectName("pmnYakuzaiListbox");
  QAction* copy = pmnYakuzaiListbox->addAction("コピー");
  copy->setObjectName("pmnYakuzaiListboxCopy");
  copy->setShortcut(QKeySequence("Ctrl+C"));
  copy->setShortcutContext(Qt::WidgetShortcut);  // shown in the menu; the lists take the key
  QAction* all = pmnYakuzaiListbox->addAction("リストを全てコピー");
  all->setObjectName("pmnYakuzaiListboxCopyAll");
  auto target = [this] { return qobject_cast<QListWidget*>(pmnYakuzaiListbox->property("list").value<QObject*>()); };
  connect(copy, &QAction::triggered, this, [target] {
    if (QListWidget* l = target(); l && l->currentItem()) QApplication::clipboard()->setText(l->currentItem()->text());
  });
  connect(all, &QAction::triggered, this, [target] {
    QListWidget* l = target();
    if (!l) return;
    QStringList lines;
    for (int i = 0; i < l->count(); ++i) lines << l->item(i)->text();
    QApplication::clipboard()->setText(lines.join("\r\n"));
  });
  for (QListWidget* l : {m_.lstTsusho, m_.lstBango, lstTsushoSeibun, lstTsushoKeito, lstSayoten, lstRac,
                         lstTsushoSeibunPlural, lstRacKeito}) {
    l->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(l, &QWidget::customContextMenuRequested, this, [this, l](const QPoint& pos) {
      pmnYakuzaiListbox->setProperty("list", QVariant::fromValue<QObject*>(l));
      pmnYakuzaiListbox->popup(l->viewport()->mapToGlobal(pos));
    });
  }
}

void TChemicalSearch::ConnectControls() {
  // Enter in a candidate edit runs the pickup; the edit keeps the focus.
  m_.eYakuzai->setProperty("Tag", 0);
  m_.eYakuzaiTabSakumotsu->setProperty("Tag", 1);
  for (QLineEdit* e : {m_.eYakuzai, m_.eYakuzaiTabSakumotsu}) {
    connect(e, &QLineEdit::returnPressed, this, [this, e] {
      YakuzaiPickup();
      (e->property("Tag").toInt() == 1 ? m_.eYakuzaiTabSakumotsu : m_.eYakuzai)->setFocus();
    });
    connect(e, &QLineEdit::textChanged, this, [this, e] { EditChanged(e); });
  }
  m_.eYakuzaiTabSakumotsu->installEventFilter(this);
  connect(m_.bYakuzaiTabYakuzaiClear, &QToolButton::clicked, this, [this] {
    m_.eYakuzai->clear();
    m_.bYakuzaiTabYakuzaiClear->hide();
  });
  connect(m_.bYakuzaiTabSakumotsuClear, &QToolButton::clicked, this, [this] {
    m_.eYakuzaiTabSakumotsu->clear();
    m_.bYakuzaiTabSakumotsuClear->hide();
  });
  connect(m_.btnYakuzaiSel, &QPushButton::clicked, this, [this] { btnYakuzaiSelClick(); });
  connect(m_.bYakuzaiTabSakuSel, &QPushButton::clicked, this, [this] { bYakuzaiTabSakuSelClick(); });
  connect(m_.cbYotoTabYakuzai, &QComboBox::activated, this, [this] { cbYotoTabYakuzaiChange(); });

  // The found products: a click, or the release of the key that moved the selection.
  connect(m_.lstTsusho, &QListWidget::itemClicked, this, [this] { lstTsushoClick(); });
  connect(m_.lstBango, &QListWidget::itemClicked, this, [this] { lstBangoClick(); });
  for (QListWidget* l : {lstTsushoSeibun, lstTsushoKeito, lstSayoten, lstRac, lstTsushoSeibunPlural, lstRacKeito})
    connect(l, &QListWidget::itemClicked, this, [this, l] { RelatedListClick(l); });
  for (QListWidget* l : {m_.lstTsusho, m_.lstBango, lstTsushoSeibun, lstTsushoKeito, lstSayoten, lstRac,
                         lstTsushoSeibunPlural, lstRacKeito}) {
    l->installEventFilter(this);
    // One line per item: thousands of items are laid out without measuring each.
    l->setUniformItemSizes(true);
  }

  connect(cbSeibun, &QComboBox::activated, this, [this] { cbSeibunChange(); });
  connect(cbYakuzaiTabKeito, &QComboBox::activated, this, [this] { cbYakuzaiTabKeitoChange(); });
  connect(cbSayoten, &QComboBox::activated, this, [this] { cbSayotenChange(); });
  connect(cbRac, &QComboBox::activated, this, [this] { cbRacChange(); });
  connect(cbRacKeito, &QComboBox::activated, this, [this] { cbRacKeitoChange(); });
  connect(lstSeibunPluralCk, &QListWidget::itemChanged, this, [this] { lstSeibunPluralCkClickCheck(); });

  // The search action follows the edits whenever this tab comes to the front (the other tabs
  // apply their own rule).
  connect(m_.pgSearch, &QTabWidget::currentChanged, this, [this](int tab) {
    if (tab == tiYakuzai) EditChanged(nullptr);
  });
}

void TChemicalSearch::EditChanged(QLineEdit* Edit) {
  if (Edit == m_.eYakuzai) m_.bYakuzaiTabYakuzaiClear->setVisible(!Edit->text().isEmpty());
  if (Edit == m_.eYakuzaiTabSakumotsu) {
    m_.bYakuzaiTabSakumotsuClear->setVisible(!Edit->text().isEmpty());
    if (Edit->text().isEmpty()) {
      // The sheet no longer narrows its uses to the crops of the last pickup.
      CandidateCropNames.clear();
      Sheet->CandidateCrops.clear();
    }
  }
  m_.UpdateSearchAction();
}

bool TChemicalSearch::CanSearch() const {
  return !m_.eYakuzai->text().isEmpty() || !m_.eYakuzaiTabSakumotsu->text().isEmpty();
}

void TChemicalSearch::EnableInputs(bool Enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{m_.eYakuzai, m_.eYakuzaiTabSakumotsu, m_.btnYakuzaiSel,
                                                    m_.bYakuzaiTabYakuzaiClear, m_.bYakuzaiTabSakumotsuClear,
                                                    m_.pgYakuzaiSide, m_.pgYakuzaiSideSeibun})
    w->setEnabled(Enabled);
}

bool TChemicalSearch::IsKeyHeld(const QListWidget* List) const { return keyDownRow_.count(List) != 0; }

bool TChemicalSearch::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == m_.eYakuzaiTabSakumotsu) {
    // Typed characters make the crop text search words again, to be looked up at the next pickup.
    bool typed = false;
    if (Event->type() == QEvent::KeyPress)
      typed = !IsNonCharacterKey(static_cast<QKeyEvent*>(Event)->key());
    else if (Event->type() == QEvent::InputMethod)
      typed = !static_cast<QInputMethodEvent*>(Event)->commitString().isEmpty();
    if (typed && CropTextResolved) {
      CropTextResolved = false;
      if (DebugMode) m_.WriteLog("eYakuzaiKeyPress 直接入力と判断-> " + m_.eYakuzaiTabSakumotsu->text());
    }
    return false;
  }
  auto* list = qobject_cast<QListWidget*>(Watched);
  if (!list) return false;
  switch (Event->type()) {
    case QEvent::ShortcutOverride: {
      // Ctrl+C in a list copies its item, not the result grid.
      auto* k = static_cast<QKeyEvent*>(Event);
      if (k->matches(QKeySequence::Copy)) {
        Event->accept();
        return true;
      }
      break;
    }
    case QEvent::KeyPress: {
      auto* k = static_cast<QKeyEvent*>(Event);
      if (k->matches(QKeySequence::Copy)) {
        if (list->currentItem()) QApplication::clipboard()->setText(list->currentItem()->text());
        return true;
      }
      if (!IsKeyHeld(list)) keyDownRow_[list] = list->currentRow();
      break;
    }
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(Event);
      if (k->isAutoRepeat()) break;
      auto it = keyDownRow_.find(list);
      if (it == keyDownRow_.end()) break;
      const int before = it->second;
      keyDownRow_.erase(it);
      // The product opens once, for the item the keys stopped on.
      const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
      if (enter || list->currentRow() != before) RunClick(list);
      break;
    }
    case QEvent::FocusOut: keyDownRow_.erase(list); break;
    default: break;
  }
  return false;
}

void TChemicalSearch::RunClick(QListWidget* List) {
  if (List == m_.lstTsusho)
    lstTsushoClick();
  else if (List == m_.lstBango)
    lstBangoClick();
  else
    RelatedListClick(List);
}
