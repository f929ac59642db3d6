#include "update/structured_storage.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct GObjectUnref {
  void operator()(void* p) const {
    if (p) g_object_unref(p);
  }
};
template <class T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

}  // namespace

bool SameNameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
  data.clear();
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) return false;
  // Only a regular file has a size to read (a folder opens too, with a nonsense size).
  struct stat st;
  if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  data.resize(static_cast<size_t>(st.st_size));
  if (!data.empty() && std::fread(data.data(), 1, data.size(), f.get()) != data.size()) {
    data.clear();
    return false;
  }
  return true;
}

TStorageResult ReadStorageStream(const std::string& path, std::initializer_list<std::string_view> names,
                                 std::vector<uint8_t>& data, std::string* found) {
  data.clear();
  if (found) found->clear();
  GError* err = nullptr;
  GPtr<GsfInput> input(gsf_input_stdio_new(path.c_str(), &err));
  if (!input) {
    if (err) g_error_free(err);
    return TStorageResult::OpenFailed;
  }
  const gsf_off_t fileSize = gsf_input_size(input.get());
  GPtr<GsfInfile> ole(gsf_infile_msole_new(input.get(), &err));
  if (!ole) {
    if (err) g_error_free(err);
    return TStorageResult::NotCompound;
  }

  // Pick the child by the order of `names`, each compared without regard to case.
  const int count = gsf_infile_num_children(ole.get());
  int index = -1;
  for (std::string_view want : names) {
    for (int i = 0; i < count && index < 0; ++i) {
      const char* name = gsf_infile_name_by_index(ole.get(), i);
      if (name && SameNameNoCase(name, want)) {
        index = i;
        if (found) *found = std::string(want);
      }
    }
    if (index >= 0) break;
  }
  if (index < 0) return TStorageResult::NoStream;

  GPtr<GsfInput> stream(gsf_infile_child_by_index(ole.get(), index));
  if (!stream) return TStorageResult::ReadFailed;
  const gsf_off_t size = gsf_input_size(stream.get());
  // A stream is never larger than the file that holds it; a larger claim is damage, not data.
  if (size < 0 || size > fileSize) return TStorageResult::ReadFailed;
  data.resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < data.size()) {
    const size_t chunk = std::min<size_t>(data.size() - done, size_t(1) << 20);
    if (!gsf_input_read(stream.get(), chunk, data.data() + done)) {
      data.clear();
      return TStorageResult::ReadFailed;
    }
    done += chunk;
  }
  return TStorageResult::Ok;
}
