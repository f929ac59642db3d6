#include "foundation/message_sink.h"

#include <atomic>
#include <cstdio>

#include "foundation/text_utils.h"

namespace {
TLogMessageSink& DefaultSink() {
  static TLogMessageSink sink;
  return sink;
}
std::atomic<TMessageSink*> g_sink{nullptr};

const char* KindName(TMsgKind k) {
  switch (k) {
    case TMsgKind::Info: return "info";
    case TMsgKind::Warning: return "warning";
    case TMsgKind::Error: return "error";
    case TMsgKind::Confirm: return "confirm";
  }
  return "info";
}
}  // namespace

std::string TLogMessageSink::Format(const TMessage& msg) {
  std::string s = "[";
  s += msg.memo ? "memo" : KindName(msg.kind);
  s += "] ";
  s += msg.caption;
  s += ": ";
  if (!msg.title.empty()) {
    s += msg.title;
    s += ' ';
  }
  s += msg.text;
  return s;
}

TMsgAnswer TLogMessageSink::Show(const TMessage& msg, TMsgButtons, TMsgAnswer defaultAnswer) {
  {
    std::lock_guard<std::mutex> lk(mu_);
    seen_.push_back(msg);
  }
  Write(Format(msg));
  return defaultAnswer;
}

void TLogMessageSink::Log(const std::string& line) { Write(line); }

void TLogMessageSink::Write(const std::string& line) {
  Writer w;
  {
    std::lock_guard<std::mutex> lk(mu_);
    w = writer_;
  }
  if (w) {
    w(line);
  } else {
    const std::string text = VisibleNul(line);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
  }
}

std::vector<TMessage> TLogMessageSink::Messages() const {
  std::lock_guard<std::mutex> lk(mu_);
  return seen_;
}

void TLogMessageSink::Clear() {
  std::lock_guard<std::mutex> lk(mu_);
  seen_.clear();
}

size_t TLogMessageSink::Count() const {
  std::lock_guard<std::mutex> lk(mu_);
  return seen_.size();
}

TMessageSink& MessageSink() {
  TMessageSink* s = g_sink.load();
  return s ? *s : DefaultSink();
}

TMessageSink* SetMessageSink(TMessageSink* sink) { return g_sink.exchange(sink); }

void ShowMessageBox(TMsgKind kind, const std::string& caption, const std::string& text) {
  TMessage m;
  m.kind = kind;
  m.caption = caption;
  m.text = VisibleNul(text);  // a NUL in a quoted value must not cut the text
  MessageSink().Show(m, TMsgButtons::Ok, TMsgAnswer::Ok);
}

bool ConfirmBox(const std::string& caption, const std::string& text, bool defaultYes) {
  TMessage m;
  m.kind = TMsgKind::Confirm;
  m.caption = caption;
  m.text = VisibleNul(text);  // a NUL in a quoted value must not cut the text
  return MessageSink().Show(m, TMsgButtons::YesNo, defaultYes ? TMsgAnswer::Yes : TMsgAnswer::No) ==
         TMsgAnswer::Yes;
}

void ShowMemo(const std::string& caption, const std::string& title, const std::string& text) {
  TMessage m;
  m.kind = TMsgKind::Error;
  m.caption = caption;
  m.title = VisibleNul(title);
  m.text = VisibleNul(text);  // a NUL in a quoted value must not cut the text
  m.memo = true;
  MessageSink().Show(m, TMsgButtons::Ok, TMsgAnswer::Ok);
}
