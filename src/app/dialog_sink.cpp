#include "app/dialog_sink.h"

#include <QApplication>
#include <QMessageBox>
#include "foundation/dlg_memo.h"
#include <cstdio>

namespace {

QMessageBox::StandardButton ToButton(TMsgAnswer a) {
  switch (a) {
    case TMsgAnswer::Ok: return QMessageBox::Ok;
    case TMsgAnswer::Cancel: return QMessageBox::Cancel;
    case TMsgAnswer::Yes: return QMessageBox::Yes;
    case TMsgAnswer::No: return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

}  // namespace

void SetUpMessageBox(QMessageBox& box, const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) {
  box.setWindowTitle(QString::fromStdString(msg.caption.empty() ? std::string("Quillmar") : msg.caption));
  switch (msg.kind) {
    case TMsgKind::Info: box.setIcon(QMessageBox::Information); break;
    case TMsgKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgKind::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgKind::Confirm: box.setIcon(QMessageBox::Question); break;
  }
  // Messages quote data (crop names, SQL, file names): never read as markup.
  box.setTextFormat(Qt::PlainText);
  std::string text = msg.title.empty() ? msg.text : msg.title + "\n" + msg.text;
  box.setText(QString::fromStdString(text));
  switch (buttons) {
    case TMsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case TMsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case TMsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case TMsgButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  box.setDefaultButton(ToButton(defaultAnswer));
}

TMsgAnswer TDialogMessageSink::Show(const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) {
  QWidget* parent = QApplication::activeWindow();
  const QString caption = QString::fromStdString(msg.caption.empty() ? std::string("Quillmar") : msg.caption);
  if (msg.memo) {
    // Long texts (SQL errors and the like) in the copyable memo dialog; it frees itself.
    TDlgMemo::ShowModal(parent, caption, QString::fromStdString(msg.title), QString::fromStdString(msg.text));
    return defaultAnswer;
  }
  QMessageBox box(parent);
  SetUpMessageBox(box, msg, buttons, defaultAnswer);
  switch (box.exec()) {
    case QMessageBox::Ok: return TMsgAnswer::Ok;
    case QMessageBox::Cancel: return TMsgAnswer::Cancel;
    case QMessageBox::Yes: return TMsgAnswer::Yes;
    case QMessageBox::No: return TMsgAnswer::No;
    default:
      // Closed by the window button: the answer that changes nothing.
      return buttons == TMsgButtons::YesNo ? TMsgAnswer::No
             : buttons == TMsgButtons::Ok  ? TMsgAnswer::Ok
                                           : TMsgAnswer::Cancel;
  }
}

void TDialogMessageSink::Log(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}
