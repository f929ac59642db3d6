#pragma once
// One way out for every message box, confirmation and error memo of the program.
// The GUI installs a sink that shows dialogs; unattended runs ("/u", "/r"), the developer
// tool and the tests use a sink that writes log lines and answers with the default, so
// nothing modal can ever block a run that nobody watches.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

enum class TMsgKind { Info, Warning, Error, Confirm };

// Buttons a message offers; the answer is one of them.
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMsgAnswer { Ok, Cancel, Yes, No };

struct TMessage {
  TMsgKind kind = TMsgKind::Info;
  std::string caption;  // window caption
  std::string title;    // heading line (memo dialogs); may be empty
  std::string text;     // body, UTF-8
  bool memo = false;    // long text shown in the memo dialog
};

class TMessageSink {
 public:
  virtual ~TMessageSink() = default;
  // A message box. Returns the chosen button; a sink that cannot ask returns defaultAnswer.
  virtual TMsgAnswer Show(const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) = 0;
  // A trace or log line that is not a message box (never modal).
  virtual void Log(const std::string& line) { (void)line; }
};

// Writes each message as one log line (to stderr, or to the callback when one is set) and
// answers with the default. Keeps the messages it saw so tests can check them.
class TLogMessageSink : public TMessageSink {
 public:
  using Writer = std::function<void(const std::string&)>;
  explicit TLogMessageSink(Writer writer = nullptr) : writer_(std::move(writer)) {}
  TMsgAnswer Show(const TMessage& msg, TMsgButtons buttons, TMsgAnswer defaultAnswer) override;
  void Log(const std::string& line) override;

  std::vector<TMessage> Messages() const;
  void Clear();
  size_t Count() const;

  // The log line a message becomes: "[kind] caption: title text" with line breaks kept.
  static std::string Format(const TMessage& msg);

 private:
  void Write(const std::string& line);
  mutable std::mutex mu_;
  Writer writer_;
  std::vector<TMessage> seen_;
};

// The sink in force. Never null: until one is installed, a TLogMessageSink writing to stderr.
TMessageSink& MessageSink();
// Installs a sink (not owned) and returns the previous one; nullptr restores the default.
TMessageSink* SetMessageSink(TMessageSink* sink);

// Short forms used all over the program.
void ShowMessageBox(TMsgKind kind, const std::string& caption, const std::string& text);
bool ConfirmBox(const std::string& caption, const std::string& text, bool defaultYes);
// The memo dialog for long error texts ("SQL エラー" and others).
void ShowMemo(const std::string& caption, const std::string& title, const std::string& text);

// Installs a sink for the lifetime of the object.
class TScopedMessageSink {
 public:
  explicit TScopedMessageSink(TMessageSink* sink) : prev_(SetMessageSink(sink)) {}
  ~TScopedMessageSink() { SetMessageSink(prev_); }
  TScopedMessageSink(const TScopedMessageSink&) = delete;
  TScopedMessageSink& operator=(const TScopedMessageSink&) = delete;

 private:
  TMessageSink* prev_;
};
