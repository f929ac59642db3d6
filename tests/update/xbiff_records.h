#pragma once
// Builds BIFF record streams byte by byte for the spreadsheet reader's tests, and collects
// what the reader reports.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "update/xbiff.h"

struct TBytes {
  std::vector<uint8_t> v;
  TBytes& u8(unsigned x) {
    v.push_back(uint8_t(x));
    return *this;
  }
  TBytes& u16(unsigned x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
  TBytes& u32(uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
  TBytes& f64(double d) {
    uint64_t b;
    std::memcpy(&b, &d, 8);
    return u32(uint32_t(b)).u32(uint32_t(b >> 32));
  }
  TBytes& raw(std::string_view s) {
    v.insert(v.end(), s.begin(), s.end());
    return *this;
  }
  TBytes& utf16(std::u16string_view s) {
    for (char16_t c : s) u16(c);
    return *this;
  }
  TBytes& bytes(const std::vector<uint8_t>& b) {
    v.insert(v.end(), b.begin(), b.end());
    return *this;
  }
};

struct TRecords {
  std::vector<uint8_t> data;
  TRecords& rec(uint16_t type, const TBytes& body) {
    TBytes h;
    h.u16(type).u16(unsigned(body.v.size()));
    data.insert(data.end(), h.v.begin(), h.v.end());
    data.insert(data.end(), body.v.begin(), body.v.end());
    return *this;
  }
  // BOF of a BIFF8 (version 0x0600) or BIFF5 (0x0500) substream of type dt.
  TRecords& bof8(unsigned dt) { return rec(0x0809, TBytes().u16(0x0600).u16(dt).u16(0x0DBB).u16(0x07CC).u32(0).u32(6)); }
  TRecords& bof5(unsigned dt) { return rec(0x0809, TBytes().u16(0x0500).u16(dt).u16(0x096C).u16(0x07C9)); }
  TRecords& eof() { return rec(0x000A, TBytes()); }
  TRecords& number(int row, int col, double v) { return rec(0x0203, TBytes().u16(row).u16(col).u16(15).f64(v)); }
  TRecords& labelsst(int row, int col, uint32_t index) {
    return rec(0x00FD, TBytes().u16(row).u16(col).u16(15).u32(index));
  }
  // A BIFF8 worksheet directory entry with a compressed (8-bit) name.
  TRecords& boundsheet8(std::string_view name, unsigned type = 0) {
    return rec(0x0085, TBytes().u32(0).u8(0).u8(type).u8(unsigned(name.size())).u8(0).raw(name));
  }
};

struct TCell {
  int sheet, row, col, attr;
  std::string text;
  bool operator==(const TCell& o) const {
    return std::tie(sheet, row, col, attr, text) == std::tie(o.sheet, o.row, o.col, o.attr, o.text);
  }
};

// Connects to every event of a reader and keeps what arrives.
struct TCollector {
  std::vector<TCell> cells;
  std::vector<std::string> sheets;
  std::vector<std::tuple<int, int, int>> widths;  // sheet, column, width
  std::vector<int> progress;
  int cancelAfter = -1;  // set Cancel on this many cells (1 = the first)

  void Attach(TXBiff& x) {
    x.OnReadCell = [this](TXBiff*, int s, int r, int c, int a, const std::string& d, bool& cancel) {
      cells.push_back({s, r, c, a, d});
      if (cancelAfter > 0 && int(cells.size()) >= cancelAfter) cancel = true;
    };
    x.OnReadSheetName = [this](TXBiff*, const std::string& n) { sheets.push_back(n); };
    x.OnReadColW = [this](TXBiff*, int s, int c, int w) { widths.emplace_back(s, c, w); };
    x.OnProgress = [this](TXBiff*, int p) { progress.push_back(p); };
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& c : cells) t.push_back(c.text);
    return t;
  }
};

// Reads a record stream; returns the exception text, or "" when it read through.
inline std::string ReadStream(const std::vector<uint8_t>& stream, TCollector& col, int version = 5) {
  TXBiff x;
  col.Attach(x);
  try {
    x.LoadFromStream(stream, version);
  } catch (const EXBiffError& e) {
    return e.what();
  }
  return "";
}
