#pragma once
// TfrmAbout ("バージョン情報"): the program's name and release (the version of the build), the
// versions of the SQLite, archive and Qt libraries in use, and the operating system. Opens
// without a database.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

// The release of this build ("0.1.0").
std::string ProgramRelease();

class TfrmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmAbout(QWidget* parent = nullptr);

  QLabel *Image1 = nullptr, *Label5 = nullptr, *Label1 = nullptr, *lblVersion = nullptr, *Label2 = nullptr,
         *Label3 = nullptr, *lblUrl = nullptr, *SQLiteVer = nullptr, *lbl7zip = nullptr, *lblQt = nullptr,
         *Label4 = nullptr;
  QPushButton* btnOk = nullptr;

  // Opens the home page (the address label's click).
  void lblUrlClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
