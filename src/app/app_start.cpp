#include "app/app_start.h"

#include <QCloseEvent>
#include <QMainWindow>

#include "foundation/font_rec.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"

namespace {

// Plain main window used until the search window takes its place: settings are loaded when
// it is created and saved when it closes, like the real one does.
class TPlainMainWindow : public QMainWindow {
 public:
  TPlainMainWindow() {
    setWindowTitle("Quillmar");
    resize(800, 600);
    try {
      OptionData->Load();
    } catch (const EConvertError& e) {
      ShowMessageBox(TMsgKind::Error, "Quillmar", std::string(EConvertError::ClassName()) + "\n" + e.what());
    } catch (const std::exception& e) {
      ShowMessageBox(TMsgKind::Error, "Quillmar", std::string("Exception\n") + e.what());
    }
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    try {
      OptionData->Save();
    } catch (const std::exception& e) {
      ShowMessageBox(TMsgKind::Error, "Quillmar", e.what());
    }
    QMainWindow::closeEvent(event);
  }
};

}  // namespace

QMainWindow* CreateMainWindow() { return new TPlainMainWindow(); }

void BringToFront(QMainWindow* window) {
  if (!window) return;
  if (window->isMinimized()) window->showNormal();
  window->show();
  window->raise();
  window->activateWindow();
  MessageSink().Log("Quillmar: activated by a second start");
}

int RunUnattendedWithoutWindow() {
  // The update engine plugs in here; until then the data are taken as current.
  return kExitDataCurrent;
}

bool MainWindowRunsUnattended() { return false; }
