#pragma once
// Message boxes of an interactive run: every message of the message sink becomes a dialog.
// Unattended runs keep the log sink, so nothing modal can wait for a user who is not there.
#include "foundation/message_sink.h"

class QMessageBox;

// Fills a message box for a message: caption, icon, text, buttons and the default button.
void SetUpMessageBox(QMessageBox& box, const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer);

class TDialogMessageSink : public TMessageSink {
 public:
  TMsgAnswer Show(const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) override;
  void Log(const std::string& line) override;
};
