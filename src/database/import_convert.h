#pragma once
// Value converters of the importers. A converted value is either text or NULL (nullopt).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using TOptText = std::optional<std::string>;

// An empty text stays empty; otherwise half-width katakana become full-width.
std::string NodoText(std::string_view s);
// An empty text gives NULL; otherwise the text.
TOptText TextOrNull(std::string_view s);
// An empty text or "NULL" gives NULL; otherwise "_" become blanks, then full-width ASCII
// look-alikes become ASCII.
TOptText CsvValueOrNull(std::string_view s);
// "NULL" gives NULL; any other text (the empty one too) stays.
TOptText QuoteUnlessNull(std::string_view s);
// Every "m2" becomes "㎡".
std::string SquareMetreText(std::string_view s);
// A whole number (blanks around it allowed, a ".0" fraction from a spreadsheet cell too);
// nullopt for anything else.
std::optional<int64_t> ParseWholeNumber(std::string_view s);

// The bytes of an outside file as UTF-8 text: the one decoding of every reader of outside
// files (the published CSV files and master scripts, the JPP-NET files, the spreadsheets), so
// that no invalid UTF-8 reaches the database. Text in a code page ("CP932", "CP1252", ...) is
// converted through iconv; text said to be UTF-8 is checked and copied. Every byte that is not
// valid there becomes U+FFFD.
class TTextDecoder {
 public:
  // CodePage: an iconv name; "UTF-8" checks only. Available() tells whether iconv knows it.
  explicit TTextDecoder(const std::string& CodePage = "CP932");
  ~TTextDecoder();
  TTextDecoder(const TTextDecoder&) = delete;
  TTextDecoder& operator=(const TTextDecoder&) = delete;

  bool Available() const;
  bool IsUtf8() const { return utf8_; }
  // Appends the text of Data[0, N) to Out. With More set, a character cut at the end is held
  // back and read with the next call's bytes (Finish ends it). Returns the bytes replaced.
  size_t Append(const char* Data, size_t N, std::string& Out, bool More = false);
  // The bytes held back, if any, each as U+FFFD; the decoder starts afresh.
  size_t Finish(std::string& Out);

 private:
  size_t Convert(const char* Data, size_t N, std::string& Out, bool More);
  bool utf8_;
  void* cd_;  // iconv_t, (iconv_t)-1 when none
  std::string pending_;
};

// The length of the valid UTF-8 sequence at S[0, N): 1 to 4; 0 when the first byte begins no
// valid sequence; -1 when the bytes so far are a valid beginning that N cuts off.
int Utf8SequenceLength(const unsigned char* S, size_t N);

// S with every byte that begins no valid UTF-8 sequence as U+FFFD (valid text comes back as
// it is).
std::string ValidUtf8(std::string_view S);
