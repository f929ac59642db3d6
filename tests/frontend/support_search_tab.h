#pragma once
// Shared by the search-tab fixtures (crop, pest, chemical): the main window on the sample
// register, made the way each tab's tests need it, and independent look-ups in the database
// the window opened.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "database/acis_db.h"
#include "foundation/message_sink.h"
#include "frontend/frm_main.h"
#include "frontend/support_main_window.h"

struct TSearchTab {
  TMainWindowFixture Fx;
  std::unique_ptr<TfrmMain> W;

  ~TSearchTab() { W.reset(); }

  // Builds the sample register, writes the settings Ini (none when empty), makes the main
  // window, lets Install put in the searches before the window shows, and shows it; true when
  // the window opened the register.
  bool OpenWindow(const std::string& Ini, const std::function<void(TfrmMain&)>& Install = {}) {
    if (!Fx.BuildSampleDb()) return false;
    if (!Ini.empty()) Fx.WriteIni(Ini);
    W = std::make_unique<TfrmMain>();
    if (Install) Install(*W);
    W->show();
    Pump();
    return AcisDB != nullptr;
  }

  static std::vector<std::vector<std::string>> Rows(const std::string& Sql) {
    std::vector<std::vector<std::string>> out;
    auto t = AcisDB->FDb->GetTable(Sql);
    for (; !t->Eof(); t->Next()) {
      std::vector<std::string> r;
      for (int c = 0; c < t->ColCount(); ++c) r.push_back(t->Fields(c));
      out.push_back(std::move(r));
    }
    return out;
  }
  static std::vector<std::string> Column(const std::string& Sql) {
    std::vector<std::string> out;
    for (auto& r : Rows(Sql)) out.push_back(r.at(0));
    return out;
  }
  static int64_t Count(const std::string& Sql) { return std::stoll(Column(Sql).at(0)); }

  static TLogMessageSink& Sink() { return static_cast<TLogMessageSink&>(MessageSink()); }
  static std::string LastMessage() {
    auto m = Sink().Messages();
    return m.empty() ? std::string() : m.back().text;
  }
};
