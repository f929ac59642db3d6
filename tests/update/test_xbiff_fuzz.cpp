// Mutated and truncated workbooks: the reader must raise its own error or read through,
// never read outside the stream (run under AddressSanitizer), hang or deliver broken UTF-8.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "common/test_support.h"
#include "update/structured_storage.h"
#include "update/xbiff.h"
#include "update/xbiff_records.h"

namespace {

bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = s[i];
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n;
  }
  return true;
}

// Record header offsets of a stream (as long as the headers chain up).
std::vector<size_t> RecordOffsets(const std::vector<uint8_t>& d) {
  std::vector<size_t> at;
  size_t p = 0;
  while (p + 4 <= d.size()) {
    const size_t len = d[p + 2] | d[p + 3] << 8;
    if (p + 4 + len > d.size()) break;
    at.push_back(p);
    p += 4 + len;
  }
  return at;
}

std::vector<uint8_t> SyntheticStream() {
  TRecords r;
  r.bof8(0x0005).boundsheet8("One").boundsheet8("Two", 2);
  TBytes sst;
  sst.u32(3).u32(3).u16(3).u8(1).utf16(u"一二三").u16(5).u8(9).u16(1).utf16(u"適用");
  TBytes c1;
  c1.u8(0).raw("ABC").u32(0).u16(2).u8(4).u32(3).raw("xy").raw("ext");
  r.rec(0x00FC, sst).rec(0x003C, c1).eof();
  r.bof8(0x0010).labelsst(0, 0, 0).labelsst(0, 1, 1).labelsst(0, 2, 2).number(1, 0, 0.5);
  r.rec(0x00BD, TBytes().u16(2).u16(0).u16(15).u32(6).u16(15).u32(10).u16(1));
  r.rec(0x0006, TBytes().u16(3).u16(0).u16(15).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u16(0xFFFF).u16(0).u32(0).u16(0));
  r.rec(0x0207, TBytes().u16(2).u8(1).utf16(u"剤形"));
  r.rec(0x007D, TBytes().u16(0).u16(3).u16(2000).u16(15).u16(0).u16(0));
  r.eof();
  return r.data;
}

class Fuzzer {
 public:
  explicit Fuzzer(uint32_t seed) : rng_(seed) {}

  size_t Pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }

  void Mutate(std::vector<uint8_t>& d) {
    static const uint16_t kTypes[] = {0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007, 0x0009, 0x000A, 0x003C,
                                      0x0042, 0x007D, 0x0085, 0x00BD, 0x00D6, 0x00FC, 0x00FD, 0x0203, 0x0204,
                                      0x0205, 0x0206, 0x0207, 0x0209, 0x027E, 0x0406, 0x0409, 0x0809};
    const auto recs = RecordOffsets(d);
    if (d.empty()) return;
    const size_t r = recs.empty() ? 0 : recs[Pick(recs.size())];
    switch (Pick(8)) {
      case 0:  // a few random bytes
        for (size_t n = 1 + Pick(8); n > 0; --n) d[Pick(d.size())] = uint8_t(rng_());
        break;
      case 1: {  // a record length that lies
        if (recs.empty() || r + 4 > d.size()) break;
        const unsigned len = d[r + 2] | d[r + 3] << 8;
        const unsigned lies[] = {0, 1, len - 1, len + 1, len + 2, 0xFFFF, unsigned(rng_() & 0xFFFF), len / 2};
        const unsigned v = lies[Pick(8)] & 0xFFFF;
        d[r + 2] = uint8_t(v);
        d[r + 3] = uint8_t(v >> 8);
        break;
      }
      case 2:  // cut off anywhere
        d.resize(Pick(d.size() + 1));
        break;
      case 3:  // a record body read as another record type
        if (recs.empty()) break;
        d[r] = uint8_t(kTypes[Pick(std::size(kTypes))]);
        d[r + 1] = uint8_t(kTypes[Pick(std::size(kTypes))] >> 8);
        break;
      case 4:  // a record dropped
        if (recs.size() < 2) break;
        {
          const size_t len = d[r + 2] | d[r + 3] << 8;
          d.erase(d.begin() + long(r), d.begin() + long(r + 4 + len));
        }
        break;
      case 5:  // a record doubled
        if (recs.empty()) break;
        {
          const size_t len = d[r + 2] | d[r + 3] << 8;
          std::vector<uint8_t> copy(d.begin() + long(r), d.begin() + long(r + 4 + len));
          d.insert(d.begin() + long(r), copy.begin(), copy.end());
        }
        break;
      case 6:  // a record body filled with noise
        if (recs.empty()) break;
        {
          const size_t len = d[r + 2] | d[r + 3] << 8;
          for (size_t i = 0; i < len; ++i) d[r + 4 + i] = uint8_t(rng_());
        }
        break;
      default:  // a run of 0xFF or 0x00 (counts and indexes at their extremes)
        {
          const size_t at = Pick(d.size());
          const size_t n = std::min(d.size() - at, 1 + Pick(16));
          const uint8_t v = (rng_() & 1) ? 0xFF : 0x00;
          std::fill(d.begin() + long(at), d.begin() + long(at + n), v);
        }
        break;
    }
  }

 private:
  std::mt19937 rng_;
};

struct TOutcome {
  int read = 0, failed = 0;
};

// Reads one mutated stream; any exception other than the reader's own is a fault.
void ReadOne(TXBiff& x, std::vector<uint8_t> d, TOutcome& out) {
  try {
    x.LoadFromStream(std::move(d), 5);
    ++out.read;
  } catch (const EXBiffError&) {
    ++out.failed;
  }
}

void Attach(TXBiff& x) {
  x.OnReadCell = [](TXBiff*, int s, int r, int c, int, const std::string& t, bool&) {
    ASSERT_GE(s, 1);
    ASSERT_TRUE(r >= 0 && r <= 0xFFFF && c >= 0 && c <= 0xFFFF);
    ASSERT_TRUE(ValidUtf8(t));
  };
  x.OnReadSheetName = [](TXBiff*, const std::string& n) { ASSERT_TRUE(ValidUtf8(n)); };
  x.OnReadColW = [](TXBiff*, int, int c, int) { ASSERT_TRUE(c >= 0 && c <= 255); };
  x.OnProgress = [](TXBiff*, int p) { ASSERT_TRUE(p >= 0 && p <= 100); };
}

TEST(XBiffFuzz, MutatedRecordStreams) {
  std::vector<std::vector<uint8_t>> seeds;
  for (const char* f : {"xls_biff8.xls", "xls_biff5.xls"}) {
    std::vector<uint8_t> s;
    ASSERT_EQ(ReadStorageStream(SourcePath(std::string("tests/update/data/") + f), {"Workbook", "Book"}, s),
              TStorageResult::Ok);
    seeds.push_back(std::move(s));
  }
  seeds.push_back(SyntheticStream());
  // QM_FUZZ_SEED and QM_FUZZ_ITERATIONS run other or longer series by hand.
  const char* seedEnv = std::getenv("QM_FUZZ_SEED");
  const char* itEnv = std::getenv("QM_FUZZ_ITERATIONS");
  Fuzzer fz(seedEnv ? uint32_t(std::strtoul(seedEnv, nullptr, 10)) : 20261207u);
  const int iterations = itEnv ? std::atoi(itEnv) : 2400;
  TOutcome out;
  TXBiff x;
  Attach(x);
  for (int i = 0; i < iterations; ++i) {
    const auto& seed = seeds[size_t(i) % seeds.size()];
    // The big fixtures: mutate a window of records near a random place, so every part of
    // the workbook (directory, SST, sheets) gets its share without reading 130 KB each time.
    std::vector<uint8_t> d;
    const auto recs = RecordOffsets(seed);
    if (seed.size() > 4096 && (i & 1)) {
      const size_t first = fz.Pick(recs.size());
      const size_t from = recs[first];
      const size_t to = recs[std::min(recs.size() - 1, first + 40)];
      // a BOF in front, so the window is read as a sheet
      TRecords head;
      head.bof8(0x0010);
      d = head.data;
      d.insert(d.end(), seed.begin() + long(from), seed.begin() + long(to));
    } else {
      d = seed;
    }
    for (size_t n = 1 + fz.Pick(3); n > 0; --n) fz.Mutate(d);
    // Exactly as large as the data, so a read past the end meets AddressSanitizer at once.
    d.shrink_to_fit();
    ReadOne(x, std::move(d), out);
    if (HasFatalFailure()) {
      ADD_FAILURE() << "iteration " << i;
      return;
    }
  }
  std::printf("read through %d, raised %d\n", out.read, out.failed);
  // Both outcomes occur: the mutations neither all break the stream nor all miss.
  EXPECT_GT(out.read, 200);
  EXPECT_GT(out.failed, 50);
}

TEST(XBiffFuzz, DamagedFiles) {
  QTemporaryDir dir;
  std::vector<uint8_t> orig;
  ASSERT_TRUE(ReadWholeFile(SourcePath("tests/update/data/xls_biff5.xls"), orig));
  std::mt19937 rng(7);
  const std::string path = dir.filePath("damaged.xls").toStdString();
  int ok = 0, failed = 0;
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> d = orig;
    if (i % 4 == 0) {
      d.resize(rng() % d.size());  // a cut-off download
    } else {
      // Damage aimed at the compound document's header, FAT and directory as well as data.
      for (int n = 0; n < 4; ++n) {
        const size_t at = (i % 4 == 1) ? rng() % 512 : (i % 4 == 2) ? d.size() - 1 - rng() % 1536 : rng() % d.size();
        d[at] = uint8_t(rng());
      }
    }
    {
      std::ofstream f(path, std::ios::binary | std::ios::trunc);
      f.write(reinterpret_cast<const char*>(d.data()), std::streamsize(d.size()));
    }
    TXBiff x;
    Attach(x);
    try {
      x.LoadFromFile(path);
      ++ok;
    } catch (const EXBiffError&) {
      ++failed;
    }
    ASSERT_FALSE(HasFatalFailure()) << "iteration " << i;
  }
  EXPECT_GT(ok, 0);
  EXPECT_GT(failed, 0);
}

}  // namespace
