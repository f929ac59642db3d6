#pragma once
// Streaming line reader for the published text files (CSV data and master scripts).
// The files come in CP932 (the public service, the mirror, the makers' scripts) or UTF-8;
// the reader detects which from the first block (valid UTF-8 at the first non-ASCII byte, a
// byte-order mark included), decodes through the one decoder of outside bytes (TTextDecoder:
// every invalid byte becomes U+FFFD) and hands out UTF-8 lines. The file is read
// in blocks, never whole, and the reader tells how far into the file the lines handed out
// reach, so callers can drive a progress bar by bytes.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "foundation/text_utils.h"

// A file that cannot be opened or read.
class EImportFileError : public std::runtime_error {
 public:
  explicit EImportFileError(const std::string& Msg) : std::runtime_error(VisibleNul(Msg)) {}
};

#include "database/import_convert.h"

enum class TTextEncoding { Auto, Cp932, Utf8 };

class TTextFileReader {
 public:
  // Opens the file; raises EImportFileError when it cannot be opened.
  explicit TTextFileReader(const std::string& path, TTextEncoding enc = TTextEncoding::Auto);
  ~TTextFileReader();
  TTextFileReader(const TTextFileReader&) = delete;
  TTextFileReader& operator=(const TTextFileReader&) = delete;

  // Next line without its line break (LF, CR LF or a lone CR at the end of the file's last
  // line); false at the end of the file. A read error raises EImportFileError.
  bool ReadLine(std::string& line);

  int64_t FileSize() const { return size_; }
  // Bytes of the file that the lines handed out so far came from (an estimate inside the
  // block being converted).
  int64_t Position() const;
  // The encoding found (Auto while everything read so far was ASCII).
  TTextEncoding Encoding() const { return enc_; }
  // Bytes that were not valid in the file's encoding (each became U+FFFD).
  size_t InvalidBytes() const { return invalid_; }
  const std::string& Path() const { return path_; }

 private:
  bool Fill();  // reads and converts one more block; false at the end of the file
  void Detect(const char* data, size_t n);
  void Convert(const char* data, size_t n, bool last);

  std::string path_;
  FILE* f_ = nullptr;
  std::unique_ptr<TTextDecoder> decoder_;
  TTextEncoding enc_;
  int64_t size_ = 0;
  int64_t raw_ = 0;            // raw bytes read from the file
  int64_t decodedTotal_ = 0;   // decoded bytes produced
  int64_t decodedGiven_ = 0;   // decoded bytes handed out as lines
  std::string buf_;            // decoded text not yet handed out
  size_t pos_ = 0;             // start of the undelivered text in buf_
  bool eof_ = false;
  bool first_ = true;
  size_t invalid_ = 0;
};

// Number of lines of a text file (a last line without a line break counts), -1 when the
// file does not exist or cannot be read.
int64_t LineCount(const std::string& fileName);

// Reads a whole text file as UTF-8 (encoding detected or given). Raises EImportFileError.
std::string ReadTextFile(const std::string& path, TTextEncoding enc = TTextEncoding::Auto);

// True when `s` is valid UTF-8; an incomplete sequence at the very end is allowed when
// `allowTruncatedEnd` is set.
bool IsValidUtf8(const char* s, size_t n, bool allowTruncatedEnd = false);
