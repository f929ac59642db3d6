#pragma once
// TDlgMemo: read-only text dialog for long messages (database errors and the like) with
// "閉じる" and "全てコピー".  ShowModal frees the dialog when it returns; Open shows it without
// blocking and the dialog frees itself when closed.  Either way it is freed exactly once.
#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TDlgMemo : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgMemo(QWidget* parent = nullptr);

  QLabel* lblTitle;
  QPlainTextEdit* mMessage;
  QPushButton* Button1;     // "閉じる"
  QPushButton* btnCopyAll;  // "全てコピー"

  void SetContent(const QString& caption, const QString& title, const QString& text);
  // Whole text to the clipboard, whatever is selected.
  void CopyAll();

  // Creates, shows modally and frees.
  static void ShowModal(QWidget* parent, const QString& caption, const QString& title, const QString& text);
  // Creates and shows without blocking; the dialog deletes itself on close.  Returns it.
  static TDlgMemo* Open(QWidget* parent, const QString& caption, const QString& title, const QString& text);
};
