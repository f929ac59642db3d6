#pragma once
// Small builders of the main window's named controls: every control gets the object name the
// rest of the program finds it by. Shared by the window and the pages built in their own files.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

namespace MainWidgets {

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

inline QSplitter* NewSplitter(Qt::Orientation o, const char* name, QWidget* parent = nullptr) {
  auto* s = Named(new QSplitter(o, parent), name);
  s->setChildrenCollapsible(false);
  s->setHandleWidth(5);
  return s;
}

inline QWidget* NewPanel(const char* name, QWidget* parent = nullptr) { return Named(new QWidget(parent), name); }

// A panel that keeps a grid's place while the grid is hidden (grids show with their first
// result), so the splitter around it keeps its layout.
inline QWidget* GridHolder(QWidget* grid, const char* name) {
  QWidget* holder = NewPanel(name);
  auto* l = new QVBoxLayout(holder);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(grid);
  return holder;
}

inline QPushButton* NewButton(const QString& caption, const char* name, QWidget* parent = nullptr) {
  return Named(new QPushButton(caption, parent), name);
}

inline QComboBox* NewCombo(const char* name, bool editable, QWidget* parent = nullptr) {
  auto* c = Named(new QComboBox(parent), name);
  c->setEditable(editable);
  c->setMaxVisibleItems(12);
  return c;
}

inline QLineEdit* NewEdit(const char* name, QWidget* parent = nullptr) { return Named(new QLineEdit(parent), name); }

inline QWidget* NewPage(QTabWidget* pages, const char* name, const QString& caption, const QString& hint = {}) {
  QWidget* page = NewPanel(name);
  const int i = pages->addTab(page, caption);
  if (!hint.isEmpty()) pages->setTabToolTip(i, hint);
  return page;
}

}  // namespace MainWidgets
