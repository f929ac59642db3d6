#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Quillmar");
  QMainWindow w;
  w.setWindowTitle("Quillmar");
  w.show();
  return app.exec();
}
