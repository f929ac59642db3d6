#pragma once
// A window's command keys (search, export, data update, help...) run their command wherever
// the focus is inside the window.  Without this a focused text box or editor that binds the
// same key for its own editing takes it first and the command never runs: a line edit's redo
// (Ctrl+Y) or delete-line (Ctrl+U) of the desktop's key scheme, the SQL editor's redo (Ctrl+Y)
// and lower case (Ctrl+U).  The editing keys proper (copy, cut, paste, select all, undo) are
// not commands in this sense and stay with the box.
#include <QObject>
#include <QPointer>
#include <vector>

class QAction;
class QWidget;

class TWindowCommandKeys : public QObject {
 public:
  // Watches the key events of the application for the widgets inside `Window` (owned by it).
  TWindowCommandKeys(QWidget* Window, const std::vector<QAction*>& Commands);

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  QWidget* window_;
  std::vector<QPointer<QAction>> commands_;
};
