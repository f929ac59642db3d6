#pragma once
// TOpenDialogPos and TSaveDialogPos: file dialogs opened at a stored place (TDlgPosition)
// and kept inside the work area of the screen they open on.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

class QFileDialog;
class QWidget;

enum TDlgPosOption { dpDefault, dpCenter, dpDesigned };

class TDlgPosition {
 public:
  TDlgPosOption Option = dpDefault;
  int X = 0;
  int Y = 0;
  void Assign(const TDlgPosition& src) {
    Option = src.Option;
    X = src.X;
    Y = src.Y;
  }
};

// Where a dialog of `size` goes: from (X, Y); dpDefault: the owner's client origin when there
// is an owner; dpCenter: centred in the work area; dpDesigned: (X, Y).  Then pulled inside the
// work area (a dialog larger than the area sits at its start).
QPoint DialogPlace(const TDlgPosition& pos, QSize size, const QRect& workArea, const QPoint* ownerOrigin);
// Moves a shown dialog window there, in the work area of the screen of its start point;
// size, stacking and activation are left alone.
void PositionDialog(QWidget* window, const TDlgPosition& pos, QWidget* owner);

// "CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄ (*.txt)|*.txt" in Qt's form "... (*.csv);;... (*.txt)".
QString ConvertDialogFilter(const QString& filter);

class TFileDialogPos {
 public:
  virtual ~TFileDialogPos() = default;
  TDlgPosition Position;
  QString Title;
  QString InitialDir;
  QString FileName;       // in: proposed name; out: the chosen file
  QString Filter;         // "description|pattern|..." as the forms write it
  int FilterIndex = 1;    // 1-based
  QString DefaultExt;     // without the dot
  bool OverwritePrompt = false;
  bool AllowMultiSelect = false;
  QStringList Files;      // every chosen file
  // Shows the dialog modally; true when the user chose a file.
  bool Execute(QWidget* owner = nullptr);
  // Called with the dialog once it is shown and placed (tests answer the dialog here).
  static std::function<void(QFileDialog&)> AfterShow;

 protected:
  virtual bool IsSave() const = 0;
};

class TOpenDialogPos : public TFileDialogPos {
 protected:
  bool IsSave() const override { return false; }
};

class TSaveDialogPos : public TFileDialogPos {
 protected:
  bool IsSave() const override { return true; }
};
