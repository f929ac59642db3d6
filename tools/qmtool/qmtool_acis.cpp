#include "qmtool_acis.h"

#include <cstdio>

#include "database/acis_db.h"
#include "foundation/message_sink.h"

std::unique_ptr<TAcisDB> OpenAcisDB(const std::string& Dir) {
  TAcisDBSettings s;
  s.DBDir = Dir;
  s.DownloadDir = Dir;
  s.DBDownSite = 3;  // prebuilt: the master tables stay as they are
  TLogMessageSink quiet([](const std::string&) {});
  TScopedMessageSink scoped(&quiet);
  auto db = std::make_unique<TAcisDB>(Dir + "/acis.db", s);
  if (db->TableExists("m_tekiyo")) db->CreateSessionViews();
  for (const TMessage& m : quiet.Messages())
    std::fprintf(stderr, "warning: %s\n", TLogMessageSink::Format(m).c_str());
  return db;
}
