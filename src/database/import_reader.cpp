#include "database/import_reader.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {
constexpr size_t kBlock = 256 * 1024;
const char kReplacement[] = "\xEF\xBF\xBD";
}  // namespace

bool IsValidUtf8(const char* s, size_t n, bool allowTruncatedEnd) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  size_t i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    unsigned min;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + len > n) {
      if (!allowTruncatedEnd) return false;
      for (size_t k = i + 1; k < n; ++k)
        if ((p[k] & 0xC0) != 0x80) return false;
      return true;
    }
    unsigned cp = c & (0xFF >> (len + 1));
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

TTextFileReader::TTextFileReader(const std::string& path, TTextEncoding enc) : path_(path), enc_(enc) {
  f_ = std::fopen(path.c_str(), "rb");
  if (!f_) throw EImportFileError("ファイルを開けません: " + path + " (" + std::strerror(errno) + ")");
  if (std::fseek(f_, 0, SEEK_END) == 0) {
    long sz = std::ftell(f_);
    size_ = sz > 0 ? sz : 0;
    std::fseek(f_, 0, SEEK_SET);
  }
}

TTextFileReader::~TTextFileReader() {
  if (cd_) iconv_close(static_cast<iconv_t>(cd_));
  if (f_) std::fclose(f_);
}

void TTextFileReader::Detect(const char* data, size_t n) {
  // Decides the encoding at the first non-ASCII byte (ASCII reads the same in both), so a
  // long ASCII start does not hide a UTF-8 file.
  if (enc_ == TTextEncoding::Auto) {
    if (first_ && n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
      enc_ = TTextEncoding::Utf8;
    } else {
      size_t i = 0;
      while (i < n && static_cast<unsigned char>(data[i]) < 0x80) ++i;
      if (i == n) return;  // still undecided
      enc_ = IsValidUtf8(data + i, n - i, true) ? TTextEncoding::Utf8 : TTextEncoding::Cp932;
    }
  }
  if (enc_ == TTextEncoding::Cp932 && !cd_) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw EImportFileError("iconv CP932 が使えません");
    cd_ = cd;
  }
}

void TTextFileReader::Convert(const char* data, size_t n, bool last) {
  if (enc_ == TTextEncoding::Auto || enc_ == TTextEncoding::Utf8) {  // Auto: ASCII so far
    if (first_ && n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
      data += 3;
      n -= 3;
    }
    buf_.append(data, n);
    decodedTotal_ += static_cast<int64_t>(n);
    return;
  }
  std::string in;
  if (!pending_.empty()) {
    in.swap(pending_);
    in.append(data, n);
    data = in.data();
    n = in.size();
  }
  auto cd = static_cast<iconv_t>(cd_);
  char* src = const_cast<char*>(data);
  size_t left = n;
  const size_t before = buf_.size();
  while (left > 0) {
    size_t old = buf_.size();
    buf_.resize(old + left * 3 / 2 + 16);
    char* dst = buf_.data() + old;
    size_t room = buf_.size() - old;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    buf_.resize(static_cast<size_t>(dst - buf_.data()));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    if (errno == EINVAL && !last) {  // incomplete character at the end of the block
      pending_.assign(src, left);
      break;
    }
    // An invalid byte (or an incomplete character at the end of the file).
    buf_.append(kReplacement);
    ++invalid_;
    ++src;
    --left;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  decodedTotal_ += static_cast<int64_t>(buf_.size() - before);
}

bool TTextFileReader::Fill() {
  if (eof_) return false;
  std::vector<char> block(kBlock);
  size_t n = std::fread(block.data(), 1, kBlock, f_);
  if (n < kBlock && std::ferror(f_)) throw EImportFileError("ファイルを読めません: " + path_);
  Detect(block.data(), n);
  raw_ += static_cast<int64_t>(n);
  bool last = n < kBlock;
  // Drop what was handed out before appending.
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  Convert(block.data(), n, last);
  first_ = false;
  if (last) {
    eof_ = true;
    if (!pending_.empty()) {
      std::string rest;
      rest.swap(pending_);
      Convert(rest.data(), rest.size(), true);
    }
  }
  return true;
}

bool TTextFileReader::ReadLine(std::string& line) {
  while (true) {
    const char* start = buf_.data() + pos_;
    size_t avail = buf_.size() - pos_;
    const void* nl = avail ? std::memchr(start, '\n', avail) : nullptr;
    if (nl) {
      size_t len = static_cast<size_t>(static_cast<const char*>(nl) - start);
      line.assign(start, len);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos_ += len + 1;
      decodedGiven_ += static_cast<int64_t>(len + 1);
      return true;
    }
    if (!Fill()) {
      if (avail == 0) return false;
      line.assign(start, avail);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos_ += avail;
      decodedGiven_ += static_cast<int64_t>(avail);
      return true;
    }
  }
}

int64_t TTextFileReader::Position() const {
  if (decodedTotal_ <= 0) return 0;
  if (eof_ && decodedGiven_ >= decodedTotal_) return size_;
  return static_cast<int64_t>(static_cast<double>(raw_) * static_cast<double>(decodedGiven_) /
                              static_cast<double>(decodedTotal_));
}

int64_t LineCount(const std::string& fileName) {
  FILE* f = std::fopen(fileName.c_str(), "rb");
  if (!f) return -1;
  std::vector<char> block(kBlock);
  int64_t lines = 0;
  char lastChar = '\n';
  size_t n;
  while ((n = std::fread(block.data(), 1, kBlock, f)) > 0) {
    const char* p = block.data();
    const char* end = p + n;
    while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))))) {
      ++lines;
      ++p;
    }
    lastChar = block[n - 1];
  }
  bool err = std::ferror(f);
  std::fclose(f);
  if (err) return -1;
  if (lastChar != '\n') ++lines;
  return lines;
}

std::string ReadTextFile(const std::string& path, TTextEncoding enc) {
  TTextFileReader r(path, enc);
  std::string out, line;
  bool firstLine = true;
  while (r.ReadLine(line)) {
    if (!firstLine) out.push_back('\n');
    out.append(line);
    firstLine = false;
  }
  return out;
}
