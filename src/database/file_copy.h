#pragma once
// Copying one file safely: the copy goes to a temporary name beside the destination and is
// renamed over it only when every byte arrived, with the source's permissions and times
// (access and modification, to the nanosecond). A failed or cancelled copy leaves the
// destination as it was. Used by the master-table refresh and by the update layer's shell copy.
#include <cstdint>
#include <functional>
#include <string>

enum class TFileCopyResult {
  Ok,
  SourceMissing,     // the source does not exist
  SourceError,       // the source cannot be opened or read
  DestinationError,  // the temporary file cannot be written or renamed
  Cancelled,         // the progress callback asked to stop
};

// OnPiece (may be empty) gets the bytes of each piece copied and whether it is the first piece
// of the file; returning false cancels.
TFileCopyResult CopyFileAtomic(const std::string& Source, const std::string& Destination,
                               const std::function<bool(uint64_t Bytes, bool First)>& OnPiece = {});
