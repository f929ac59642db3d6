#pragma once
// TXBiff: reads spreadsheet files (.xls, BIFF2 to BIFF8) without a spreadsheet program and
// reports sheet names, column widths and every cell value as UTF-8 text through events.
// It builds no cell model of its own: the caller stores what it wants from the events.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TXBiff;

// Percentage (0..100) of the workbook stream read; fired whenever it changes and once more
// with 0 at the end.
using TOnProgressEvent = std::function<void(TXBiff* Sender, int Progress)>;
// One cell value. SheetNo counts worksheets from 1; Row and Col are 0-based; rgbAttr is the
// cell's format index (the attribute bytes for BIFF2). Setting Cancel stops the reading.
using TOnReadCellEvent =
    std::function<void(TXBiff* Sender, int SheetNo, int Row, int Col, int rgbAttr, const std::string& Data, bool& Cancel)>;
// One column of a column-information record; Width in 1/256 of a character.
using TOnReadColWEvent = std::function<void(TXBiff* Sender, int SheetNo, int Col, int Width)>;
// Each worksheet entry of the workbook directory, in directory order.
using TOnReadSheetNameEvent = std::function<void(TXBiff* Sender, const std::string& SheetName)>;

// Failures of the reader; what() is the Japanese message in UTF-8.
class EXBiffError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

extern const char* const kXBiffOpenError;      // "ﾌｧｲﾙを開くことに失敗しました"
extern const char* const kXBiffUnknownFormat;  // "未知のフォーマット."
extern const char* const kXBiffReadError;      // "ストリーム読込みエラー."

// The BIFF RK number: bit 1 set means bits 31..2 are a signed 30-bit integer, otherwise they
// are the upper 32 bits of an IEEE double; bit 0 set divides by 100.
double RKToDouble(uint32_t RK);

// A number as cell text: the shortest text that reads back as the same double, without
// locale ("43472", "0.1", "123456789012", "1e+21").
std::string FormatCellNumber(double value);

class TXBiff {
 public:
  TXBiff();
  ~TXBiff();
  TXBiff(const TXBiff&) = delete;
  TXBiff& operator=(const TXBiff&) = delete;

  TOnProgressEvent OnProgress;
  TOnReadCellEvent OnReadCell;
  TOnReadColWEvent OnReadColW;
  TOnReadSheetNameEvent OnReadSheetName;

  // Opens the file (a compound document's "Workbook" or "Book" stream, else the whole file
  // as a plain BIFF stream) and reads it, firing the events. Throws EXBiffError.
  void LoadFromFile(const std::string& FileName);
  // Reads a workbook stream already in memory (versionCode as LoadFromFile would set it:
  // 2 plain file, 4 "Book" stream, 5 "Workbook" stream). Throws EXBiffError.
  void LoadFromStream(std::vector<uint8_t> stream, int versionCode = 2);

  const std::string& FileName() const { return fileName_; }
  int Progress() const { return progress_; }
  // 2 plain BIFF file, 3 first BOF of type 0x0209, 4 "Book" stream, 5 "Workbook" stream,
  // 8 first BOF with version 0x0600 (BIFF8 string layout).
  int VersionCode() const { return versionCode_; }

 private:
  struct Impl;
  void Parse();

  std::string fileName_;
  int progress_ = 0;
  int versionCode_ = 2;
  std::vector<uint8_t> stream_;
};
