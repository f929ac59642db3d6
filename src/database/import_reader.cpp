#include "database/import_reader.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace {
constexpr size_t kBlock = 256 * 1024;
}  // namespace

bool IsValidUtf8(const char* s, size_t n, bool allowTruncatedEnd) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const int len = Utf8SequenceLength(p + i, n - i);
    if (len > 0) i += static_cast<size_t>(len);
    else return len < 0 && allowTruncatedEnd;
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
  if (f_) std::fclose(f_);
}

namespace {
bool StartsWithBom(const char* data, size_t n) { return n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0; }
}  // namespace

void TTextFileReader::Detect(const char* data, size_t n) {
  // Decides the encoding at the first non-ASCII byte (ASCII reads the same in both), so a
  // long ASCII start does not hide a UTF-8 file. A byte-order mark says UTF-8, but only text
  // that is UTF-8 is read so: a mark before CP932 text (a file saved by a tool that added it)
  // reads as CP932.
  if (enc_ != TTextEncoding::Auto) return;
  size_t i = 0;
  if (first_ && StartsWithBom(data, n)) {
    i = 3;
  } else {
    while (i < n && static_cast<unsigned char>(data[i]) < 0x80) ++i;
    if (i == n) return;  // still undecided
  }
  enc_ = IsValidUtf8(data + i, n - i, n == kBlock) ? TTextEncoding::Utf8 : TTextEncoding::Cp932;
}

void TTextFileReader::Convert(const char* data, size_t n, bool last) {
  if (first_ && StartsWithBom(data, n)) {
    data += 3;
    n -= 3;
  }
  // Auto: ASCII so far, which the UTF-8 check copies as it is.
  const bool utf8 = enc_ != TTextEncoding::Cp932;
  if (!decoder_ || decoder_->IsUtf8() != utf8) {
    decoder_ = std::make_unique<TTextDecoder>(utf8 ? "UTF-8" : "CP932");
    if (!decoder_->Available()) throw EImportFileError("iconv CP932 が使えません");
  }
  const size_t before = buf_.size();
  invalid_ += decoder_->Append(data, n, buf_, !last);
  if (last) invalid_ += decoder_->Finish(buf_);
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
  if (last) eof_ = true;
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
