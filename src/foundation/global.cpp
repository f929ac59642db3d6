#include "foundation/global.h"

#include "foundation/message_sink.h"

#include <algorithm>
#include <cctype>

TOptionData* OptionData = nullptr;
bool CmdAutoUpdate = false;
bool CmdAutoDownload = false;
bool CmdOffline = false;
bool CmdDirectSql = false;
int BatchExitCode = 0;
bool DebugMode = false;
bool StopRequested = false;
float ScaleFactor = 0.0f;

void InitGlobals(const std::string& appDir) {
  DebugMode = false;
  StopRequested = false;
  CmdAutoUpdate = false;
  CmdAutoDownload = false;
  CmdOffline = false;
  CmdDirectSql = false;
  BatchExitCode = 0;
  ScaleFactor = 0.0f;
  delete OptionData;
  OptionData = appDir.empty() ? new TOptionData() : new TOptionData(appDir);
}

int FinalizeGlobals() {
  delete OptionData;
  OptionData = nullptr;
  return IsUnattendedRun() ? BatchExitCode : 0;
}

void ParseCommandLine(const std::vector<std::string>& params) {
  for (std::string p : params) {
    std::transform(p.begin(), p.end(), p.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (p == "/u") CmdAutoUpdate = true;
    else if (p == "/r") CmdAutoDownload = true;
    else if (p == "/f") CmdOffline = true;
    else if (p == "/d") CmdDirectSql = true;
  }
}

bool IsUnattendedRun() { return CmdAutoUpdate || CmdAutoDownload; }

int RunUnattendedGuarded(const std::function<int()>& step) {
  try {
    return step();
  } catch (const std::exception& e) {
    MessageSink().Log(std::string("unattended run failed: ") + e.what());
  } catch (...) {
    MessageSink().Log("unattended run failed: unknown exception");
  }
  return kExitAborted;
}
