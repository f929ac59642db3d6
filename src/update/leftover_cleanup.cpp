#include "update/leftover_cleanup.h"

#include <algorithm>

#include "database/db_swap_journal.h"
#include "database/db_swap_lock.h"
#include "foundation/global.h"
#include "foundation/stale_files.h"

int CleanupLeftoversAtStart(const TOptionData& Options, const std::function<void(const std::string&)>& Log) {
  int done = 0;
  if (!Options.DBDir.empty()) {
    // The database folder only while no other run updates it: what is there then may be that
    // run's, whatever its process id or its files' times say.
    TDbUpdateLock lock(Options.DBDir);
    if (!lock.Held()) {
      if (Log) Log(Options.DBDir + " は別の更新で使用中のため、前回の一時ファイルの確認を省きます");
    } else {
      done += std::max(0, RecoverDatabaseFolder(Options.DBDir, Log));
    }
  }
  // Downloads and unpacking: each name carries its writer's process id.
  return done + RemoveStaleTempFilesIn({Options.DownloadDir}, Log);
}

int CleanupLeftoversAtStart(const std::function<void(const std::string&)>& Log) {
  if (!OptionData) return 0;
  return CleanupLeftoversAtStart(*OptionData, Log);
}
