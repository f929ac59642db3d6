#include "update/xbiff.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "database/import_convert.h"
#include "update/structured_storage.h"

const char* const kXBiffOpenError = "ﾌｧｲﾙを開くことに失敗しました";
const char* const kXBiffUnknownFormat = "未知のフォーマット.";
const char* const kXBiffReadError = "ストリーム読込みエラー.";

namespace {

// Record types.
enum : uint16_t {
  kInteger2 = 0x0002,
  kNumber2 = 0x0003,
  kLabel2 = 0x0004,
  kBoolErr2 = 0x0005,
  kFormula = 0x0006,
  kString2 = 0x0007,
  kBof2 = 0x0009,
  kEof = 0x000A,
  kFilePass = 0x002F,
  kContinue = 0x003C,
  kCodePage = 0x0042,
  kColInfo = 0x007D,
  kBoundSheet = 0x0085,
  kMulRk = 0x00BD,
  kRString = 0x00D6,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kFormula3 = 0x0206,
  kString = 0x0207,
  kBof3 = 0x0209,
  kRk = 0x027E,
  kFormula4 = 0x0406,
  kBof4 = 0x0409,
  kBof = 0x0809,
};

constexpr uint16_t kWorksheet = 0x0010;  // substream type of a worksheet BOF
constexpr size_t kMaxSstPiece = 0x2020;  // largest SST or CONTINUE body a workbook may hold
constexpr int kMaxColumn = 255;          // BIFF sheets have 256 columns

inline uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t U24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
inline uint32_t U32(const uint8_t* p) { return U24(p) | uint32_t(p[3]) << 24; }
inline double F64(const uint8_t* p) {
  const uint64_t bits = uint64_t(U32(p)) | uint64_t(U32(p + 4)) << 32;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

inline bool IsBof(uint16_t type) { return type == kBof2 || type == kBof3 || type == kBof4 || type == kBof; }

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD.
void Utf16ToUtf8(const std::u16string& s, std::string& out) {
  out.clear();
  out.reserve(s.size() * 3);
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
}

// 8-bit text of BIFF2 to BIFF5 workbooks, in the workbook's code page (CP932 unless a
// CODEPAGE record names another one), through the one decoder of outside bytes: a byte the
// code page does not know becomes U+FFFD. A code page iconv lacks reads as CP932, and without
// that as Latin-1.
class TCodePageText {
 public:
  void SetCodePage(int codePage) {
    if (codePage == codePage_) return;
    decoder_.reset();
    codePage_ = codePage;
  }

  void Decode(const uint8_t* p, size_t n, std::string& out) {
    out.clear();
    size_t i = 0;
    while (i < n && p[i] < 0x80) ++i;
    if (i == n) {
      out.assign(reinterpret_cast<const char*>(p), n);
      return;
    }
    if (!decoder_) {
      decoder_ = std::make_unique<TTextDecoder>(IconvName(codePage_));
      if (!decoder_->Available()) decoder_ = std::make_unique<TTextDecoder>("CP932");
      if (!decoder_->Available()) decoder_ = std::make_unique<TTextDecoder>("LATIN1");
    }
    decoder_->Append(reinterpret_cast<const char*>(p), n, out);
    decoder_->Finish(out);
  }

 private:
  static const char* IconvName(int cp) {
    switch (cp) {
      case 437: return "CP437";
      case 850: return "CP850";
      case 874: return "CP874";
      case 936: return "CP936";
      case 949: return "CP949";
      case 950: return "CP950";
      case 1250: return "CP1250";
      case 1251: return "CP1251";
      case 1252: return "CP1252";
      case 1253: return "CP1253";
      case 1254: return "CP1254";
      case 1255: return "CP1255";
      case 1256: return "CP1256";
      case 1257: return "CP1257";
      case 1258: return "CP1258";
      case 10000:
      case 0x8000: return "MACINTOSH";
      case 65001: return "UTF-8";
      default: return "CP932";
    }
  }

  int codePage_ = 932;
  std::unique_ptr<TTextDecoder> decoder_;
};

const char* ErrorText(uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    default: return "#N/A";
  }
}

}  // namespace

double RKToDouble(uint32_t RK) {
  double v;
  if (RK & 2) {
    v = double(int32_t(RK) >> 2);  // arithmetic shift keeps the sign of the 30-bit integer
  } else {
    const uint64_t bits = uint64_t(RK & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  if (RK & 1) v /= 100;
  return v;
}

namespace {
size_t FormatNumberTo(double v, char* buf, size_t cap) {
  if (v == 0) {  // also -0
    buf[0] = '0';
    return 1;
  }
  const double a = std::fabs(v);
  // Plain digits where a person would write them; exponents only for the very large or small.
  const auto fmt = (a >= 1e-5 && a < 1e17) ? std::chars_format::fixed : std::chars_format::scientific;
  const auto r = std::to_chars(buf, buf + cap, v, fmt);
  if (r.ec != std::errc()) {
    const auto g = std::to_chars(buf, buf + cap, v);
    return size_t(g.ptr - buf);
  }
  return size_t(r.ptr - buf);
}
}  // namespace

std::string FormatCellNumber(double value) {
  char buf[400];
  return std::string(buf, FormatNumberTo(value, buf, sizeof buf));
}

// ---------------------------------------------------------------------------------------

struct TXBiff::Impl {
  TXBiff& self;
  const uint8_t* d;
  size_t size;
  int biff = 8;  // 2, 3, 4, 5 or 8: the record layouts of the first BOF
  bool cancel = false;
  int sheetNo = 0;
  std::vector<uint16_t> substreams;  // substream types of the open BOF records
  std::vector<std::string> sst;
  TCodePageText codePage;
  std::string text;
  std::u16string units;
  std::vector<uint8_t> joined;  // a record body with its CONTINUE records
  std::vector<size_t> bounds;   // where each CONTINUE body starts in `joined`
  bool pendingString = false;   // a FORMULA with a text result waits for its STRING
  int pendingRow = 0, pendingCol = 0, pendingAttr = 0;

  Impl(TXBiff& s, const uint8_t* data, size_t n) : self(s), d(data), size(n) {}

  bool InWorksheet() const { return !substreams.empty() && substreams.back() == kWorksheet; }

  void Cell(int row, int col, int attr, const std::string& value) {
    if (cancel || !InWorksheet() || !self.OnReadCell) return;
    self.OnReadCell(&self, sheetNo, row, col, attr, value, cancel);
  }

  void NumberCell(int row, int col, int attr, double v) {
    if (cancel || !InWorksheet() || !self.OnReadCell) return;
    char buf[400];
    text.assign(buf, FormatNumberTo(v, buf, sizeof buf));
    Cell(row, col, attr, text);
  }

  // 8-bit text: BIFF8 compressed characters are the low bytes of UTF-16 (Latin-1); older
  // versions store the workbook's code page.
  void Text8(const uint8_t* p, size_t n, std::string& out) {
    if (biff == 8) {
      out.clear();
      for (size_t i = 0; i < n; ++i) AppendUtf8(out, p[i]);
    } else {
      codePage.Decode(p, n, out);
    }
  }

  // A BIFF8 string at `pos` of buf[0, total): character count (16 or 8 bits), option byte
  // (bit 0 16-bit characters, bit 2 extension data, bit 3 rich-text runs), the run count
  // and extension size when flagged, the characters, then runs and extension data (skipped).
  // Characters that run past a piece boundary (`bounds`) continue after a fresh option byte.
  // Returns false when the data end inside the string; `out` then holds what was there.
  bool ReadUnicode(const uint8_t* buf, size_t total, size_t& k, size_t& pos, bool count16, std::string& out) {
    out.clear();
    const size_t header = count16 ? 3 : 2;
    if (pos > total || total - pos < header) return false;
    size_t remaining = count16 ? U16(buf + pos) : buf[pos];
    pos += count16 ? 2 : 1;
    const uint8_t flags = buf[pos++];
    size_t runs = 0, ext = 0;
    if (flags & 8) {
      if (total - pos < 2) return false;
      runs = U16(buf + pos);
      pos += 2;
    }
    if (flags & 4) {
      if (total - pos < 4) return false;
      ext = U32(buf + pos);
      pos += 4;
    }
    bool wide = flags & 1;
    units.clear();
    bool ok = true;
    while (remaining > 0) {
      while (k < bounds.size() && bounds[k] < pos) ++k;
      const size_t end = k < bounds.size() ? std::min(bounds[k], total) : total;
      if (end == pos) {
        if (pos >= total) {
          ok = false;
          break;
        }
        wide = buf[pos++] & 1;  // the continuing piece's option byte
        continue;
      }
      const size_t unit = wide ? 2 : 1;
      const size_t n = std::min(remaining, (end - pos) / unit);
      if (n == 0) {  // half a character before the boundary
        ok = false;
        break;
      }
      const uint8_t* p = buf + pos;
      if (wide) {
        for (size_t i = 0; i < n; ++i) units.push_back(char16_t(U16(p + 2 * i)));
      } else {
        for (size_t i = 0; i < n; ++i) units.push_back(char16_t(p[i]));
      }
      pos += n * unit;
      remaining -= n;
    }
    Utf16ToUtf8(units, out);
    if (!ok) return false;
    const uint64_t skip = uint64_t(runs) * 4 + ext;
    if (skip > total - pos) {
      pos = total;
      return false;
    }
    pos += size_t(skip);
    return true;
  }

  // A string inside one record (no continuation): what is present is taken.
  void RecordUnicode(const uint8_t* p, size_t n, bool count16, std::string& out) {
    bounds.clear();
    size_t k = 0, pos = 0;
    ReadUnicode(p, n, k, pos, count16, out);
  }

  // Joins the body at `body` (length `len`) with the CONTINUE records right after it.
  // Returns the stream position after the last of them.
  size_t Collect(size_t body, size_t len, size_t maxPiece) {
    if (len > maxPiece) throw EXBiffError(kXBiffUnknownFormat);
    joined.assign(d + body, d + body + len);
    bounds.clear();
    size_t pos = body + len;
    while (size - pos >= 4 && U16(d + pos) == kContinue) {
      const size_t n = U16(d + pos + 2);
      if (n > size - pos - 4) throw EXBiffError(kXBiffReadError);
      if (n > maxPiece) throw EXBiffError(kXBiffUnknownFormat);
      bounds.push_back(joined.size());
      joined.insert(joined.end(), d + pos + 4, d + pos + 4 + n);
      pos += 4 + n;
    }
    return pos;
  }

  void ReadSst() {
    sst.clear();
    const uint8_t* buf = joined.data();
    const size_t total = joined.size();
    if (total < 8) throw EXBiffError(kXBiffReadError);
    const uint32_t unique = U32(buf + 4);
    sst.reserve(std::min<size_t>(unique, total / 3));
    size_t pos = 8, k = 0;
    std::string s;
    while (pos < total && sst.size() < unique) {
      if (!ReadUnicode(buf, total, k, pos, true, s)) throw EXBiffError(kXBiffReadError);
      sst.push_back(s);
    }
  }

  void FirstPass() {
    size_t pos = 0;
    while (size - pos >= 4) {
      const uint16_t type = U16(d + pos);
      const size_t len = U16(d + pos + 2);
      if (len > size - pos - 4) break;
      if (IsBof(type)) {
        const uint16_t vers = len >= 2 ? U16(d + pos + 4) : 0;
        switch (type) {
          case kBof2: biff = 2; break;
          case kBof3: biff = 3; self.versionCode_ = 3; break;
          case kBof4: biff = 4; break;
          default:
            biff = vers == 0x0600 ? 8 : 5;
            if (biff == 8) self.versionCode_ = 8;
        }
        return;
      }
      pos += 4 + len;
    }
    throw EXBiffError(kXBiffUnknownFormat);  // no BOF: not a workbook stream
  }

  void Formula(uint16_t type, const uint8_t* r, size_t len) {
    const bool attr3 = biff == 2 && type == kFormula;
    const size_t resultAt = attr3 ? 7 : 6;
    if (len < resultAt + 8) return;
    const int row = U16(r), col = U16(r + 2);
    const int attr = int(attr3 ? U24(r + 4) : U16(r + 4));
    const uint8_t* res = r + resultAt;
    pendingString = false;
    if (U16(res + 6) != 0xFFFF) {
      NumberCell(row, col, attr, F64(res));
      return;
    }
    switch (res[0]) {
      case 0:  // text: the STRING record that follows carries it
        pendingString = true;
        pendingRow = row;
        pendingCol = col;
        pendingAttr = attr;
        break;
      case 1: text = res[2] ? "TRUE" : "FALSE"; Cell(row, col, attr, text); break;
      case 2: text = ErrorText(res[2]); Cell(row, col, attr, text); break;
      case 3: text.clear(); Cell(row, col, attr, text); break;  // empty text
      default: break;
    }
  }

  void Run() {
    FirstPass();
    size_t pos = 0;
    while (!cancel && pos < size) {
      if (size - pos < 4) {
        if (!substreams.empty()) throw EXBiffError(kXBiffReadError);
        break;
      }
      const uint16_t type = U16(d + pos);
      const size_t len = U16(d + pos + 2);
      const size_t body = pos + 4;
      if (len > size - body) {
        // A record cut off inside a sheet is a damaged file; junk after the last EOF is not.
        if (!substreams.empty()) throw EXBiffError(kXBiffReadError);
        break;
      }
      const uint8_t* r = d + body;
      size_t next = body + len;
      switch (type) {
        case kBof2:
        case kBof3:
        case kBof4:
        case kBof: {
          const uint16_t dt = len >= 4 ? U16(r + 2) : 0;
          substreams.push_back(dt);
          if (dt == kWorksheet) ++sheetNo;
          pendingString = false;
          break;
        }
        case kEof:
          if (!substreams.empty()) substreams.pop_back();
          pendingString = false;
          break;
        case kFilePass:  // encrypted: every record body that follows would read as junk
          throw EXBiffError(kXBiffUnknownFormat);
        case kCodePage:
          if (len >= 2) codePage.SetCodePage(U16(r));
          break;
        case kInteger2:
          if (len >= 9) NumberCell(U16(r), U16(r + 2), int(U24(r + 4)), U16(r + 7));
          break;
        case kNumber2:
          if (len >= 15) NumberCell(U16(r), U16(r + 2), int(U24(r + 4)), F64(r + 7));
          break;
        case kLabel2:
          if (len >= 8 && InWorksheet()) {
            Text8(r + 8, std::min<size_t>(r[7], len - 8), text);
            Cell(U16(r), U16(r + 2), int(U24(r + 4)), text);
          }
          break;
        case kLabel:
        case kRString:
          if (len >= 8 && InWorksheet()) {
            if (biff == 8)
              RecordUnicode(r + 6, len - 6, true, text);
            else
              Text8(r + 8, std::min<size_t>(U16(r + 6), len - 8), text);
            Cell(U16(r), U16(r + 2), U16(r + 4), text);
          }
          break;
        case kBoolErr2:
          if (len >= 9) {
            text = r[8] ? ErrorText(r[7]) : (r[7] ? "TRUE" : "FALSE");
            Cell(U16(r), U16(r + 2), int(U24(r + 4)), text);
          }
          break;
        case kBoolErr:
          if (len >= 8) {
            text = r[7] ? ErrorText(r[6]) : (r[6] ? "TRUE" : "FALSE");
            Cell(U16(r), U16(r + 2), U16(r + 4), text);
          }
          break;
        case kFormula:
        case kFormula3:
        case kFormula4:
          Formula(type, r, len);
          break;
        case kString2:
        case kString: {
          if (biff == 8) {
            next = Collect(body, len, size_t(-1));
            size_t k = 0, p = 0;
            ReadUnicode(joined.data(), joined.size(), k, p, true, text);
          } else if (biff == 2) {
            Text8(r + 1, len >= 1 ? std::min<size_t>(r[0], len - 1) : 0, text);
          } else {
            Text8(r + 2, len >= 2 ? std::min<size_t>(U16(r), len - 2) : 0, text);
          }
          if (pendingString) {
            pendingString = false;
            Cell(pendingRow, pendingCol, pendingAttr, text);
          }
          break;
        }
        case kColInfo:
          if (len >= 6 && self.OnReadColW && InWorksheet()) {
            const int first = U16(r), last = std::min<int>(U16(r + 2), kMaxColumn), width = U16(r + 4);
            for (int c = first; c <= last; ++c) self.OnReadColW(&self, sheetNo, c, width);
          }
          break;
        case kBoundSheet:
          if (len >= 7 && r[5] == 0 && self.OnReadSheetName) {
            // BIFF8 names carry an option byte after the count; BIFF5 names are plain 8-bit.
            if (biff == 8)
              RecordUnicode(r + 6, len - 6, false, text);
            else
              Text8(r + 7, std::min<size_t>(r[6], len - 7), text);
            self.OnReadSheetName(&self, text);
          }
          break;
        case kMulRk:
          if (len >= 6) {
            const int row = U16(r), first = U16(r + 2);
            // one cell per 6 bytes, in consecutive columns that stay within 16 bits
            const size_t n = std::min<size_t>((len - 6) / 6, size_t(0x10000 - first));
            for (size_t i = 0; i < n && !cancel; ++i) {
              const uint8_t* e = r + 4 + 6 * i;
              NumberCell(row, first + int(i), U16(e), RKToDouble(U32(e + 2)));
            }
          }
          break;
        case kSst:
          next = Collect(body, len, kMaxSstPiece);
          ReadSst();
          break;
        case kLabelSst:
          if (len >= 10) {
            const uint32_t index = U32(r + 6);
            if (index < sst.size()) Cell(U16(r), U16(r + 2), U16(r + 4), sst[index]);
          }
          break;
        case kNumber:
          if (len >= 14) NumberCell(U16(r), U16(r + 2), U16(r + 4), F64(r + 6));
          break;
        case kRk:
          if (len >= 10) NumberCell(U16(r), U16(r + 2), U16(r + 4), RKToDouble(U32(r + 6)));
          break;
        default:
          break;
      }
      pos = next;
      const int pct = int(uint64_t(pos) * 100 / size);
      if (pct != self.progress_) {
        self.progress_ = pct;
        if (self.OnProgress) self.OnProgress(&self, pct);
      }
    }
  }
};

TXBiff::TXBiff() = default;
TXBiff::~TXBiff() = default;

void TXBiff::LoadFromFile(const std::string& FileName) {
  fileName_ = FileName;
  std::vector<uint8_t> data;
  std::string found;
  int version = 2;
  switch (ReadStorageStream(FileName, {"Workbook", "Book"}, data, &found)) {
    case TStorageResult::Ok:
      version = SameNameNoCase(found, "Workbook") ? 5 : 4;
      break;
    case TStorageResult::NotCompound:
    case TStorageResult::NoStream:
      if (!ReadWholeFile(FileName, data)) throw EXBiffError(kXBiffOpenError);
      break;
    case TStorageResult::OpenFailed:
      throw EXBiffError(kXBiffOpenError);
    case TStorageResult::ReadFailed:
      throw EXBiffError(kXBiffReadError);
  }
  LoadFromStream(std::move(data), version);
}

void TXBiff::LoadFromStream(std::vector<uint8_t> stream, int versionCode) {
  stream_ = std::move(stream);
  versionCode_ = versionCode;
  progress_ = 0;
  struct Release {  // the stream copy goes on every path
    std::vector<uint8_t>& s;
    ~Release() { std::vector<uint8_t>().swap(s); }
  } release{stream_};
  Parse();
}

void TXBiff::Parse() {
  try {
    if (stream_.empty()) throw EXBiffError(kXBiffUnknownFormat);
    Impl impl(*this, stream_.data(), stream_.size());
    impl.Run();
  } catch (const std::bad_alloc&) {
    progress_ = 0;
    throw EXBiffError(kXBiffReadError);
  } catch (...) {
    progress_ = 0;
    throw;
  }
  progress_ = 0;
  if (OnProgress) OnProgress(this, 0);
}
