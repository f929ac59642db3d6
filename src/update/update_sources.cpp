#include "update/update_sources.h"

#include <sys/stat.h>

#include <cstdlib>

#include "database/import_reader.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "foundation/text_utils.h"

namespace {

std::string EnvValue(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string TrimSlashes(std::string s) {
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

// A mirror base from an override: "/data/" appended unless it is there.
std::string MirrorBaseFrom(const std::string& value) {
  if (EndsWith(value, "/data/")) return value;
  if (EndsWith(value, "/data")) return value + "/";
  return TrimSlashes(value) + "/data/";
}

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

const TOptionData& GlobalOptions() {
  static const TOptionData defaults{std::string("/")};
  return OptionData ? *OptionData : defaults;
}

}  // namespace

std::string MirrorDisplayName(int index) {
  static const char* const kNames[4] = {"メインサイト", "ミラーサイト1", "ミラーサイト2", "ミラーサイト3"};
  if (index < 0 || index > 3) index = 0;
  if (!MirrorHostConfigured(index)) return std::string(kNames[index]) + " (アドレス未設定)";
  std::string url = MirrorSiteUrl(index);
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  size_t end = url.find('/', start);
  return std::string(kNames[index]) + " (" + url.substr(start, end == std::string::npos ? end : end - start) + ")";
}

std::string PublicServiceUrl(std::string_view path) { return PublicServiceBase() + UrlEncodePath(path); }

std::string MirrorSiteUrl(int index) {
  if (index < 0 || index > 3) index = 0;
  std::string one = EnvValue(("QUILLMAR_MIRROR_BASE_" + std::to_string(index)).c_str());
  if (!one.empty()) return MirrorBaseFrom(one);
  std::string all = EnvValue("QUILLMAR_MIRROR_BASE");
  if (!all.empty()) return MirrorBaseFrom(all);
  return kMirrorBases[index];
}

bool MirrorHostConfigured(int index) {
  if (index < 0 || index > 3) index = 0;
  if (!EnvValue(("QUILLMAR_MIRROR_BASE_" + std::to_string(index)).c_str()).empty()) return true;
  if (!EnvValue("QUILLMAR_MIRROR_BASE").empty()) return true;
  // The built-in names end in ".invalid" until the real hosts are filled in.
  const std::string_view base = kMirrorBases[index];
  return base.find(".invalid/") == std::string_view::npos;
}

std::string MirrorNotConfiguredText() {
  return "ミラーサイトのアドレスが設定されていないため、ミラーサイトからはデータを取得できません。"
         "FAMIC のデータ (CSV または Excel) を選ぶか、環境変数 QUILLMAR_MIRROR_BASE に"
         "ミラーサイトのアドレスを設定してください。";
}

int DefaultDataSource() { return MirrorHostConfigured(0) ? 3 : 0; }

std::string DownloadBaseUrl(const TOptionData& options) {
  if (options.DownSite == 3) return MirrorSiteUrl(options.DownSiteVeskDB);
  if (options.DownSite == 4) {
    std::string site = options.UserSite;
    if (!site.empty() && site.back() != '/') site += '/';
    return site;
  }
  return {};
}

std::string DownloadBaseUrl() { return DownloadBaseUrl(GlobalOptions()); }

std::string UrlEncodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (Unreserved(c) || c == '/') {
      out += static_cast<char>(c);
    } else if (c == '%' && i + 2 < path.size() && IsHex(path[i + 1]) && IsHex(path[i + 2])) {
      out += '%';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string JoinUrl(const std::string& base, std::string_view name) { return base + UrlEncodePath(name); }

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool IsSafeDownloadName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name.front() == '.') return false;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return IsValidUtf8(name.data(), name.size());
}

int ParseCsvFileNameLine(const std::string& line, TCsvNames& names) {
  static const std::string kMarkerHead = std::string("zip") + '"' + " target =" + '"' + "_blank" + '"' + ">";
  static const std::string kFolder = "datacsv/";
  int found = 0;
  for (int i = 0; i < 3; ++i) {
    const std::string marker = kMarkerHead + kCsvLabels[i];
    size_t m = line.find(marker);
    if (m == std::string::npos) continue;
    // The link that ends at this marker: its last "datacsv/".
    size_t f = line.rfind(kFolder, m);
    if (f == std::string::npos) continue;
    size_t start = f + kFolder.size();
    size_t end = m + 3;  // up to and including "zip"
    if (end <= start) continue;
    std::string name = line.substr(start, end - start);
    if (!IsSafeDownloadName(name)) continue;
    names[size_t(i)] = name;
    ++found;
  }
  return found;
}

void ParseCsvFileNames(const std::string& downloadDir, TCsvNames& names) {
  std::string text;
  // A page larger than any page the service publishes is not read.
  if (!PageWithinBound(JoinFolder(downloadDir, kPageCsv))) return;
  try {
    text = ReadTextFile(JoinFolder(downloadDir, kPageCsv));
  } catch (const EImportFileError&) {
    return;
  }
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    ParseCsvFileNameLine(line, names);
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
}

void ParseCsvFileNames(TCsvNames& names) { ParseCsvFileNames(GlobalOptions().DownloadDir, names); }

// ---------------------------------------------------------------------------------------------
// Size bounds

namespace {

std::int64_t BoundFromEnv(const char* name, std::int64_t fallback) {
  const std::string v = EnvValue(name);
  if (v.empty()) return fallback;
  char* end = nullptr;
  const long long n = std::strtoll(v.c_str(), &end, 10);
  return end && *end == '\0' && n > 0 ? std::int64_t(n) : fallback;
}

std::string LowerBaseName(std::string_view s) {
  const size_t q = s.find_first_of("?#");
  if (q != std::string_view::npos) s = s.substr(0, q);
  const size_t slash = s.find_last_of('/');
  if (slash != std::string_view::npos) s = s.substr(slash + 1);
  return AsciiLowerCase(std::string(s));
}

}  // namespace

std::int64_t MaxPageBytes() { return BoundFromEnv("QUILLMAR_MAX_PAGE_BYTES", std::int64_t(4) << 20); }
std::int64_t MaxScriptBytes() { return BoundFromEnv("QUILLMAR_MAX_SCRIPT_BYTES", std::int64_t(64) << 20); }
std::int64_t MaxArchiveBytes() { return BoundFromEnv("QUILLMAR_MAX_ARCHIVE_BYTES", std::int64_t(512) << 20); }

std::int64_t DownloadSizeBound(std::string_view urlOrName) {
  const std::string name = LowerBaseName(urlOrName);
  if (name == "index.htm" || name == "index2.htm" || name == kPageMirror || name == kPageXls || name == kPageCsv ||
      name.empty())
    return MaxPageBytes();
  if (EndsWith(name, ".zip") || EndsWith(name, ".lzh")) return MaxArchiveBytes();
  return MaxScriptBytes();
}

bool PageWithinBound(const std::string& fileName) {
  struct stat st {};
  return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) && std::int64_t(st.st_size) <= MaxPageBytes();
}
