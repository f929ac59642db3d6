#pragma once
// TDlgArgSave: the confirmation before an argument set of the template page is saved. Its
// memo mArgs shows the lines the ".arg" file will hold (the user may edit them); "はい" asks
// for the file and saves the memo's lines, "いいえ" saves nothing. The dialog's size is kept in
// section "WINDOW" ("DlgArgSaveWidth", "DlgArgSaveHeight").
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TDlgArgSave : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgArgSave(QWidget* Owner);
  ~TDlgArgSave() override;

  QLabel* lblQuestion = nullptr;
  QPlainTextEdit* mArgs = nullptr;
  QPushButton *btnYes = nullptr, *btnNo = nullptr;

  // The file dialog at "はい", then the memo's lines into the chosen file; the dialog closes
  // with OK either way. The chosen file ("" when the dialog was cancelled).
  void btnYesClick();
  QString SavedFile;
};
