// The committed sample register under data/sample and its generator
// tools/gen_sample/gen_sample.py: the files decode in the encodings the
// importers expect, carry the quirks the importers must handle, and the
// generator writes exactly the committed files, the same on every run.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace fs = std::filesystem;

namespace {

const char* kPython = "/usr/bin/python3";

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Strict conversion to UTF-32LE code points; false on any invalid or
// incomplete sequence.
bool Decode(const std::string& bytes, const char* from, std::u32string* out) {
  iconv_t cd = iconv_open("UTF-32LE", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buf(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inleft = bytes.size();
  char* o = buf.data();
  size_t oleft = buf.size();
  bool ok = iconv(cd, &in, &inleft, &o, &oleft) != static_cast<size_t>(-1) && inleft == 0;
  iconv_close(cd);
  if (!ok) return false;
  size_t n = (buf.size() - oleft) / 4;
  out->clear();
  out->reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const auto* b = reinterpret_cast<const unsigned char*>(buf.data() + i * 4);
    out->push_back(static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24)));
  }
  return true;
}

std::string ToUtf8(const std::u32string& s) {
  std::string r;
  for (char32_t c : s) {
    if (c < 0x80) {
      r += char(c);
    } else if (c < 0x800) {
      r += char(0xC0 | (c >> 6));
      r += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      r += char(0xE0 | (c >> 12));
      r += char(0x80 | ((c >> 6) & 0x3F));
      r += char(0x80 | (c & 0x3F));
    } else {
      r += char(0xF0 | (c >> 18));
      r += char(0x80 | ((c >> 12) & 0x3F));
      r += char(0x80 | ((c >> 6) & 0x3F));
      r += char(0x80 | (c & 0x3F));
    }
  }
  return r;
}

std::string Cp932ToUtf8(const std::string& bytes) {
  std::u32string u;
  return Decode(bytes, "CP932", &u) ? ToUtf8(u) : std::string();
}

bool HasNonAscii(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::vector<std::string> SplitCrlf(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t e = text.find("\r\n", pos);
    if (e == std::string::npos) e = text.size();
    lines.push_back(text.substr(pos, e - pos));
    pos = e + 2;
  }
  return lines;
}

// Fields of one CSV record (double quote as quote character, no line breaks).
std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> f(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        f.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        f.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      f.emplace_back();
    } else {
      f.back() += c;
    }
  }
  return f;
}

struct ZipMember {
  uint16_t flags = 0;
  std::string name;  // raw bytes
};

// Members listed in a zip's central directory.
std::vector<ZipMember> ZipMembers(const std::string& z) {
  std::vector<ZipMember> out;
  size_t eocd = z.rfind(std::string("PK\x05\x06", 4));
  if (eocd == std::string::npos || eocd + 22 > z.size()) return out;
  auto u16 = [&](size_t p) { return uint16_t(uint8_t(z[p]) | (uint8_t(z[p + 1]) << 8)); };
  auto u32 = [&](size_t p) { return uint32_t(u16(p) | (uint32_t(u16(p + 2)) << 16)); };
  size_t count = u16(eocd + 10);
  size_t p = u32(eocd + 16);
  for (size_t i = 0; i < count && p + 46 <= z.size(); ++i) {
    if (z.compare(p, 4, std::string("PK\x01\x02", 4)) != 0) break;
    ZipMember m;
    m.flags = u16(p + 8);
    size_t nlen = u16(p + 28), xlen = u16(p + 30), clen = u16(p + 32);
    m.name = z.substr(p + 46, nlen);
    out.push_back(m);
    p += 46 + nlen + xlen + clen;
  }
  return out;
}

std::map<std::string, std::string> ReadTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return files;
}

bool RunGenerator(const std::string& out, const QStringList& extra, std::string* err) {
  QProcess p;
  QStringList args{QString::fromStdString(SourcePath("tools/gen_sample/gen_sample.py")), "--out",
                   QString::fromStdString(out)};
  args += extra;
  p.start(kPython, args);
  if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    *err = p.readAllStandardError().toStdString();
    return false;
  }
  return true;
}

const fs::path kSample = fs::path(SourcePath("data/sample"));

}  // namespace

// Every committed file decodes in its encoding: the published files and the
// master scripts in CP932 (and are not UTF-8 in disguise), the spreadsheet rows,
// the CSV page and the CVO script in UTF-8.
TEST(SampleData, CommittedFilesDecodeInTheirEncodings) {
  ASSERT_TRUE(fs::is_directory(kSample)) << kSample;
  int cp932_files = 0, utf8_files = 0;
  for (const auto& e : fs::recursive_directory_iterator(kSample)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = fs::relative(e.path(), kSample).string();
    const std::string ext = e.path().extension().string();
    const std::string name = e.path().filename().string();
    if (ext == ".md" || ext == ".zip" || ext == ".xls" || ext == ".lzh") continue;
    const std::string bytes = ReadFile(e.path());
    std::u32string u;
    const bool utf8 = rel.rfind("grid/", 0) == 0 || ext == ".htm" || name == "spec.cvo.utf8.txt";
    if (utf8) {
      EXPECT_TRUE(Decode(bytes, "UTF-8", &u)) << rel << " is not valid UTF-8";
      ++utf8_files;
    } else {
      EXPECT_TRUE(Decode(bytes, "CP932", &u)) << rel << " is not valid CP932";
      EXPECT_TRUE(HasNonAscii(bytes)) << rel;
      EXPECT_FALSE(Decode(bytes, "UTF-8", &u)) << rel << " looks like UTF-8, not CP932";
      EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << rel << " does not end in CRLF";
      ++cp932_files;
    }
  }
  EXPECT_GE(cp932_files, 25);  // public CSV, mirror CSV, update.txt, master scripts, JPP-NET files
  EXPECT_GE(utf8_files, 7);    // spreadsheet rows, two pages, the CVO script
  const std::string page = ReadFile(kSample / "public/update2.htm");
  EXPECT_EQ(page.substr(0, 3), "\xEF\xBB\xBF") << "the CSV page starts with a byte order mark";
}

// The public CSV files carry the quirks the importers must handle.
TEST(SampleData, PublicCsvFilesCarryTheImporterQuirks) {
  std::map<std::string, std::string> text;  // decoded to UTF-8, by file name prefix
  for (const auto& e : fs::directory_iterator(kSample / "public")) {
    const std::string n = e.path().filename().string();
    if (e.path().extension() != ".csv") continue;
    const std::string bytes = ReadFile(e.path());
    const std::string t = Cp932ToUtf8(bytes);
    ASSERT_FALSE(t.empty()) << n;
    for (const char* k : {"登録基本部", "登録適用部一", "登録適用部二"})
      if (n.rfind(k, 0) == 0) text[k] = t;
  }
  ASSERT_EQ(text.size(), 3u);

  const auto kihon = SplitCrlf(text["登録基本部"]);
  const auto one = SplitCrlf(text["登録適用部一"]);
  const auto two = SplitCrlf(text["登録適用部二"]);
  EXPECT_EQ(CsvFields(kihon[0]).size(), 11u);
  ASSERT_EQ(CsvFields(one[0]).size(), 25u);
  ASSERT_EQ(CsvFields(two[0]).size(), 26u);
  EXPECT_EQ(CsvFields(one[0])[19], "混合数");
  EXPECT_EQ(CsvFields(two[0])[19], "アクセスＮＯ");
  EXPECT_EQ(CsvFields(two[0])[20], "混合数");
  EXPECT_EQ(CsvFields(one[0])[20], "有効成分①を含む農薬の総使用回数");

  // short rows, and records continued on the next line (odd number of quotes)
  for (const auto* lines : {&one, &two}) {
    int short_rows = 0, continued = 0;
    for (size_t i = 1; i < lines->size(); ++i) {
      const std::string& l = (*lines)[i];
      if (std::count(l.begin(), l.end(), '"') % 2) ++continued;
      else if (CsvFields(l).size() <= 21) ++short_rows;
    }
    EXPECT_GT(short_rows, 0);
    EXPECT_GT(continued, 0);
  }

  struct Quirk {
    const char* file;
    const char* what;
  };
  const std::vector<Quirk> quirks = {
      {"登録適用部一", "㍑"}, {"登録適用部一", "㍍"}, {"登録適用部一", "㌢"}, {"登録適用部一", "㎡"},
      {"登録適用部一", "～"}, {"登録適用部一", "－"}, {"登録適用部一", "ｍ"}, {"登録適用部一", "ｇ"},
      {"登録適用部一", "（"}, {"登録適用部一", "_"}, {"登録適用部二", "１"}, {"登録基本部", "’"},
      {"登録基本部", "ｷｭｰﾋﾞｵ"}, {"登録基本部", "ＧＦオルトランＤＸ"}, {"登録基本部", "キングマラソン乳剤"},
      {"登録基本部", "キングダム"}, {"登録基本部", "バイエル アージラン"}, {"登録基本部", "アグロスリン"},
      {"登録基本部", "三共の草"}, {"登録基本部", "SGダコグリーン"}, {"登録基本部", "クミアイ "},
      {"登録基本部", "「石原」"}, {"登録基本部", "\"展着剤\""}, {"登録基本部", "\"石灰硫黄合剤\""},
  };
  for (const auto& q : quirks)
    EXPECT_NE(text[q.file].find(q.what), std::string::npos) << q.file << " lacks " << q.what;

  // the decoded unit characters are the ones CP932 maps them to
  std::u32string u;
  ASSERT_TRUE(Decode(ReadFile(kSample / "public" / fs::path("登録適用部一_20261104.csv")), "CP932", &u));
  for (char32_t c : {U'\u3351', U'\u334D', U'\u3322', U'\u33A1', U'\uFF5E', U'\uFF0D', U'\u2460'})
    EXPECT_NE(u.find(c), std::u32string::npos) << std::hex << uint32_t(c);
}

// The mirror files, the JPP-NET files and the date sources carry their own
// spellings and headers.
TEST(SampleData, MirrorAndJppFilesCarryTheirForms) {
  struct Expect {
    const char* file;
    const char* what;
  };
  const std::vector<Expect> expects = {
      {"mirror/tekiyo.csv", "平方メートル"},  {"mirror/tekiyo.csv", "メートル"},
      {"mirror/tekiyo.csv", "m2当り"},        {"mirror/tekiyo.csv", ",NULL,"},
      {"mirror/kihon.csv", "'マイ''ガーデン粒剤'"}, {"mirror/kihon.csv", ",NULL,"},
      {"mirror/kihon.csv", ",'',"},           {"mirror/kihon.csv", "ネマトリン_エース粒剤"},
      {"mirror/update.txt", "分を反映した農薬登録情報です"},
      {"jpp/n_trk20261104_1.txt", "#登録番号,混合数,登録種類名,商品名,登録会社名コード"},
      {"jpp/n_trk20261104_3.txt", "#登録番号,有効成分コード,登録種類名,出力順,含有量"},
      {"jpp/n_trk20261104_3.txt", "1,1'-ジメチル"},
  };
  for (const auto& e : expects) {
    const std::string t = Cp932ToUtf8(ReadFile(kSample / fs::path(e.file)));
    EXPECT_NE(t.find(e.what), std::string::npos) << e.file << " lacks " << e.what;
  }
  // every mirror row has the field count the importers index into
  for (const auto& [file, fields] : std::vector<std::pair<const char*, size_t>>{{"mirror/kihon.csv", 11},
                                                                              {"mirror/tekiyo.csv", 25}}) {
    const auto lines = SplitCrlf(Cp932ToUtf8(ReadFile(kSample / fs::path(file))));
    ASSERT_GT(lines.size(), 100u) << file;
    for (const auto& l : lines) {
      size_t n = 1;
      bool q = false;
      for (char c : l) {
        if (c == '\'') q = !q;
        else if (c == ',' && !q) ++n;
      }
      ASSERT_EQ(n, fields) << file << ": " << l;
    }
  }
  const std::string page = ReadFile(kSample / "public/update2.htm");
  EXPECT_NE(page.find("2026年11月4日反映分（失効も反映しています）"), std::string::npos);
  EXPECT_NE(page.find("<!-- <p>"), std::string::npos) << "a commented-out older date line";
}

// The three archives hold one CSV each, named in CP932 without the UTF-8 flag,
// and the CSV page links exactly these archives.
TEST(SampleData, ArchivesAndPageMatch) {
  const std::string page = ReadFile(kSample / "public/update2.htm");
  int archives = 0;
  for (const auto& e : fs::directory_iterator(kSample / "public")) {
    if (e.path().extension() != ".zip") continue;
    ++archives;
    const std::string zname = e.path().filename().string();
    EXPECT_NE(page.find("datacsv/" + zname + "\" target =\"_blank\">"), std::string::npos) << zname;
    auto members = ZipMembers(ReadFile(e.path()));
    ASSERT_EQ(members.size(), 1u) << zname;
    EXPECT_EQ(members[0].flags & 0x0800, 0) << zname << ": UTF-8 flag set";
    std::string expected = zname.substr(0, zname.size() - 4) + ".csv";
    if (expected.rfind("登録基本部csv", 0) == 0) expected.replace(0, std::string("登録基本部csv").size(), "登録基本部");
    EXPECT_EQ(Cp932ToUtf8(members[0].name), expected) << zname;
    EXPECT_EQ(ReadFile(kSample / "public" / fs::path(expected)).empty(), false) << expected;
  }
  EXPECT_EQ(archives, 3);
  auto toroku = ZipMembers(ReadFile(kSample / "mirror/toroku.zip"));
  ASSERT_EQ(toroku.size(), 2u);
  EXPECT_EQ(toroku[0].name, "kihon.csv");
  EXPECT_EQ(toroku[1].name, "tekiyo.csv");
  // spreadsheet workbooks (written when LibreOffice was there): compound documents and LZH/zip
  for (const auto& e : fs::directory_iterator(kSample / "grid")) {
    const std::string b = ReadFile(e.path());
    if (e.path().extension() == ".xls") {
      EXPECT_EQ(b.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) << e.path();
    } else if (e.path().extension() == ".lzh") {
      EXPECT_EQ(b.substr(2, 5), "-lh5-") << e.path();
    }
  }
}

// The generator is deterministic, honours its seed, writes exactly the
// committed set, and the set passes the data consistency check (masters load
// into SQLite, every crop and pest of the uses is in the masters).
TEST(SampleData, GeneratorReproducesTheCommittedSet) {
  if (!fs::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  QTemporaryDir a, b, c;
  ASSERT_TRUE(a.isValid() && b.isValid() && c.isValid());
  std::string err;
  ASSERT_TRUE(RunGenerator(a.path().toStdString() + "/s", {}, &err)) << err;
  ASSERT_TRUE(RunGenerator(b.path().toStdString() + "/s", {}, &err)) << err;
  ASSERT_TRUE(RunGenerator(c.path().toStdString() + "/s", {"--seed", "7"}, &err)) << err;
  const auto ta = ReadTree(a.path().toStdString() + "/s");
  const auto tb = ReadTree(b.path().toStdString() + "/s");
  const auto tc = ReadTree(c.path().toStdString() + "/s");
  ASSERT_GT(ta.size(), 30u);
  EXPECT_TRUE(ta == tb) << "two runs with the same seed differ";
  EXPECT_NE(ta.at("mirror/tekiyo.csv"), tc.at("mirror/tekiyo.csv")) << "the seed is ignored";

  const auto committed = ReadTree(kSample);
  for (const auto& [rel, bytes] : ta) {
    auto it = committed.find(rel);
    ASSERT_NE(it, committed.end()) << rel << " is generated but not committed";
    EXPECT_TRUE(it->second == bytes) << rel << " differs from the generator's output: run the command in "
                                     << "data/sample/README.md";
  }
  for (const auto& [rel, bytes] : committed) {
    const std::string ext = fs::path(rel).extension().string();
    const bool extra_ok = ext == ".md" || (rel.rfind("grid/", 0) == 0 && (ext == ".xls" || ext == ".zip" ||
                                                                          ext == ".lzh"));
    if (!extra_ok) {
      EXPECT_TRUE(ta.count(rel)) << rel << " is committed but no longer generated";
    }
  }

  QProcess check;
  check.start(kPython, {QString::fromStdString(SourcePath("tools/gen_sample/check_sample.py")),
                        QString::fromStdString(kSample.string())});
  ASSERT_TRUE(check.waitForFinished(120000));
  EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
}

// The size options alone (no product count) give a consistent set at every size: every
// product has a use, and every product of the uses has basics rows.
TEST(SampleData, GeneratorSizeOptionsAlone) {
  if (!fs::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  struct Case {
    QStringList args;
    size_t minUses;
  } cases[] = {
      {{"--size", "full", "--uses", "25000"}, 20000},  // fewer uses than products need at full size
      {{"--uses", "100"}, 100},
      {{"--products", "40", "--uses", "10"}, 40},
  };
  for (const auto& c : cases) {
    QTemporaryDir d;
    ASSERT_TRUE(d.isValid());
    const std::string out = d.path().toStdString() + "/s";
    std::string err;
    ASSERT_TRUE(RunGenerator(out, c.args, &err)) << c.args.join(" ").toStdString() << ": " << err;
    auto bangos = [](const std::string& text) {
      std::set<std::string> s;
      std::istringstream in(text);
      std::string line;
      std::getline(in, line);  // header
      while (std::getline(in, line)) {
        const std::string first = line.substr(0, line.find(','));
        if (!first.empty() && std::all_of(first.begin(), first.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
          s.insert(first);
      }
      return s;
    };
    const std::string uses = Cp932ToUtf8(ReadFile(fs::path(out) / "mirror/tekiyo.csv"));
    const auto products = bangos(Cp932ToUtf8(ReadFile(fs::path(out) / "mirror/kihon.csv")));
    const auto used = bangos(uses);
    EXPECT_GE(static_cast<size_t>(std::count(uses.begin(), uses.end(), '\n')), c.minUses)
        << c.args.join(" ").toStdString();
    EXPECT_FALSE(products.empty());
    EXPECT_EQ(products, used) << c.args.join(" ").toStdString();
  }
}
