// Member names of the archives: their encoding (the zip UTF-8 flag, CP932 by convention
// otherwise) and the safe path they may take below the target folder.
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "database/import_reader.h"  // IsValidUtf8
#include "update/archive_7zip.h"

namespace {

// Converts CP932 bytes; strict: false when a byte sequence is no CP932.
bool Cp932ToUtf8Strict(const std::string& raw, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) return false;
  out.assign(raw.size() * 3 + 8, '\0');
  char* in = const_cast<char*>(raw.data());
  size_t inLeft = raw.size();
  char* o = out.data();
  size_t oLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &o, &oLeft) != size_t(-1) && iconv(cd, nullptr, nullptr, &o, &oLeft) != size_t(-1);
  out.resize(out.size() - oLeft);
  iconv_close(cd);
  return ok;
}

// CP932 with every byte that is no CP932 made "_", so a damaged name stays usable.
std::string Cp932ToUtf8Lenient(const std::string& raw) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == iconv_t(-1)) return raw;
  std::string out(raw.size() * 3 + 8, '\0');
  char* in = const_cast<char*>(raw.data());
  size_t inLeft = raw.size();
  char* o = out.data();
  size_t oLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &o, &oLeft) != size_t(-1)) break;
    if (errno == E2BIG) break;  // cannot happen with 3 bytes per input byte
    *o++ = '_';
    --oLeft;
    ++in;
    --inLeft;
  }
  out.resize(out.size() - oLeft);
  iconv_close(cd);
  return out;
}

// The code points of a valid UTF-8 text.
std::vector<char32_t> CodePoints(const std::string& s) {
  std::vector<char32_t> out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += size_t(n);
  }
  return out;
}

// Text a Japanese file name is made of: ASCII, Japanese punctuation, kana, kanji, full- and
// half-width forms, general punctuation.
bool JapaneseNameChar(char32_t cp) {
  return cp < 0x80 || (cp >= 0x2010 && cp <= 0x206F) || (cp >= 0x3000 && cp <= 0x30FF) ||
         (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFF00 && cp <= 0xFFEF);
}

uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

bool ReadAt(int fd, off_t at, void* buf, size_t n) {
  auto* p = static_cast<char*>(buf);
  while (n > 0) {
    ssize_t r = ::pread(fd, p, n, at);
    if (r <= 0) {
      if (r < 0 && errno == EINTR) continue;
      return false;
    }
    p += r;
    at += r;
    n -= size_t(r);
  }
  return true;
}

}  // namespace

std::string ArchiveNameToUtf8(const std::string& raw) {
  std::string name = IsValidUtf8(raw.data(), raw.size()) ? raw : Cp932ToUtf8Lenient(raw);
  for (char& c : name)
    if (c == '\\') c = '/';  // after the conversion: a CP932 trail byte may be 0x5C
  return name;
}

std::string ZipNameToUtf8(const std::string& raw, bool utf8Flag) {
  std::string name;
  if (utf8Flag && IsValidUtf8(raw.data(), raw.size())) {
    name = raw;
  } else if (utf8Flag) {
    name = Cp932ToUtf8Lenient(raw);  // flagged, yet no UTF-8: the flag is wrong
  } else {
    // Without the flag a name is CP932, as Japanese Windows tools write it, even when its
    // bytes happen to form valid UTF-8 too (half-width "ﾃｽ" is C3 BD, which UTF-8 reads as
    // "ý"). Only a name that is no CP932, or whose UTF-8 reading is plainly Japanese text
    // (tools that write UTF-8 without saying so), is taken as UTF-8.
    std::string cp932;
    const bool isCp932 = Cp932ToUtf8Strict(raw, cp932);
    const bool isUtf8 = IsValidUtf8(raw.data(), raw.size());
    bool utf8Japanese = false;
    if (isUtf8) {
      bool multibyte = false, allJapanese = true;
      for (char32_t cp : CodePoints(raw)) {
        if (cp >= 0x80) multibyte = true;
        if (!JapaneseNameChar(cp)) allJapanese = false;
      }
      utf8Japanese = multibyte && allJapanese;
    }
    if (isUtf8 && (utf8Japanese || !isCp932))
      name = raw;
    else if (isCp932)
      name = cp932;
    else
      name = Cp932ToUtf8Lenient(raw);
  }
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

std::map<std::string, bool> ZipNameFlags(const std::string& archivePath) {
  std::map<std::string, bool> out;
  const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 22) return out;
  // The end-of-central-directory record: within the last 22 + 65535 bytes.
  const off_t tail = std::min<off_t>(st.st_size, 22 + 65535);
  std::vector<unsigned char> buf(static_cast<size_t>(tail));
  if (!ReadAt(fd, st.st_size - tail, buf.data(), buf.size())) return out;
  size_t eocd = std::string::npos;
  for (size_t i = buf.size() - 22 + 1; i-- > 0;) {
    if (Le32(&buf[i]) == 0x06054b50) {
      eocd = i;
      break;
    }
  }
  if (eocd == std::string::npos) return out;
  const uint16_t entries = Le16(&buf[eocd + 10]);
  const uint32_t cdSize = Le32(&buf[eocd + 12]), cdOffset = Le32(&buf[eocd + 16]);
  if (cdOffset == 0xFFFFFFFFu || off_t(cdOffset) + off_t(cdSize) > st.st_size || cdSize > (64u << 20)) return out;
  std::vector<unsigned char> cd(cdSize);
  if (!ReadAt(fd, off_t(cdOffset), cd.data(), cd.size())) return out;
  size_t p = 0;
  for (unsigned n = 0; n < entries && p + 46 <= cd.size(); ++n) {
    if (Le32(&cd[p]) != 0x02014b50) break;
    const uint16_t flags = Le16(&cd[p + 8]);
    const size_t nameLen = Le16(&cd[p + 28]), extraLen = Le16(&cd[p + 30]), commentLen = Le16(&cd[p + 32]);
    if (p + 46 + nameLen > cd.size()) break;
    const std::string raw(reinterpret_cast<const char*>(&cd[p + 46]), nameLen);
    out.emplace(raw, (flags & 0x0800) != 0);
    p += 46 + nameLen + extraLen + commentLen;
  }
  return out;
}

bool SafeArchivePath(const std::string& name, std::vector<std::string>& parts) {
  parts.clear();
  size_t p = 0;
  bool first = true;
  while (p <= name.size()) {
    size_t e = name.find('/', p);
    if (e == std::string::npos) e = name.size();
    std::string part = name.substr(p, e - p);
    p = e + 1;
    if (first && part.size() == 2 && part[1] == ':' && std::isalpha(static_cast<unsigned char>(part[0]))) {
      first = false;
      continue;  // "C:" of a Windows absolute name
    }
    first = false;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    parts.push_back(part);
  }
  return true;
}
