#include "update/leftover_cleanup.h"

#include "foundation/global.h"
#include "foundation/stale_files.h"

int CleanupLeftoversAtStart(const TOptionData& Options, const std::function<void(const std::string&)>& Log) {
  return RemoveStaleTempFilesIn({Options.DBDir, Options.DownloadDir}, Log);
}

int CleanupLeftoversAtStart(const std::function<void(const std::string&)>& Log) {
  if (!OptionData) return 0;
  return CleanupLeftoversAtStart(*OptionData, Log);
}
