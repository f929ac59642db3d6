#pragma once
// Compound documents (OLE structured storage) read through libgsf: just enough to find a
// stream of the root storage by name and copy it into memory.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

enum class TStorageResult {
  Ok,           // the stream was found and copied
  NotCompound,  // the file opened but is not a compound document
  NoStream,     // a compound document without any of the wanted streams
  OpenFailed,   // the file could not be opened
  ReadFailed,   // the document is damaged: the stream could not be read whole
};

// Looks in the root storage of `path` for the first of `names` (compared without regard to
// ASCII case; earlier names win) and copies that stream into `data`. `found` receives the
// name from `names` that matched.
TStorageResult ReadStorageStream(const std::string& path, std::initializer_list<std::string_view> names,
                                 std::vector<uint8_t>& data, std::string* found = nullptr);

// Copies a whole file into `data`; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);

// ASCII case-insensitive comparison (stream names).
bool SameNameNoCase(std::string_view a, std::string_view b);
