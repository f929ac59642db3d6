#include "foundation/form_panel.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>

TFormPanel::TFormPanel(QWidget* parent) : QFrame(parent) {
  FInner = new QWidget(this);
  FInner->setObjectName("pnlInner");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(FInner);
  FLayout = new QVBoxLayout(FInner);
  FLayout->setContentsMargins(0, 0, 0, 0);
}

TFormPanel::~TFormPanel() { Release(); }

QWidget* TFormPanel::FindForm() const {
  const auto tops = QApplication::topLevelWidgets();
  for (QWidget* w : tops) {
    if (w == window()) continue;
    if (!FFormName.isEmpty() && w->objectName() == FFormName) return w;
  }
  for (QWidget* w : tops) {
    if (w == window()) continue;
    if (!FFormCaption.isEmpty() && w->windowTitle() == FFormCaption) return w;
  }
  return nullptr;
}

void TFormPanel::SetFormName(const QString& name) {
  FFormName = name;
  if (!FLoading) Apply(FindForm());
}

void TFormPanel::SetFormCaption(const QString& caption) {
  FFormCaption = caption;
  if (!FLoading) Apply(FindForm());
}

void TFormPanel::EndLoad() {
  FLoading = false;
  Apply(FindForm());
}

void TFormPanel::Release() {
  if (!FForm) return;
  QWidget* form = FForm;
  FForm = nullptr;
  if (auto* owner = qobject_cast<QMainWindow*>(window()))
    for (QAction* a : FMergedMenus) owner->menuBar()->removeAction(a);
  FMergedMenus.clear();
  FLayout->removeWidget(form);
  form->setParent(FOldParent, FOldFlags);
  if (auto* mw = qobject_cast<QMainWindow*>(form)) mw->menuBar()->show();
}

void TFormPanel::Apply(QWidget* form) {
  if (form == FForm) return;
  Release();
  if (!form) return;
  FForm = form;
  FOldParent = form->parentWidget();
  FOldFlags = form->windowFlags();
  form->setParent(FInner, Qt::Widget);
  FLayout->addWidget(form);
  if (auto* mw = qobject_cast<QMainWindow*>(form)) {
    const auto menus = mw->menuBar()->actions();
    if (!menus.isEmpty()) {
      if (auto* owner = qobject_cast<QMainWindow*>(window())) {
        for (QAction* a : menus) owner->menuBar()->addAction(a);
        FMergedMenus = menus;
      }
      mw->menuBar()->hide();
    }
  }
  form->show();
}
