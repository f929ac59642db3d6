#include "foundation/ini_file.h"

#include <iconv.h>

#include <QFile>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "foundation/message_sink.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The name in a header line "[ name ]" (trimmed; a header without "]" runs to the end).
std::string HeaderName(const std::string& trimmedLine) {
  const size_t close = trimmedLine.find(']');
  return Trim(trimmedLine.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

// One pair of matching quotes around a value is not part of it.
std::string StripQuotes(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// The stored form of a value: the reader drops outer blanks and one pair of quotes, so such
// values are quoted; line breaks and NULs would break the file and become blanks.
std::string EncodeValue(const std::string& value) {
  std::string v = value;
  for (char& c : v)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  if (v.empty()) return v;
  const bool outerBlank = IsBlank(v.front()) || IsBlank(v.back());
  const bool quoted = v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
  if (outerBlank || quoted) return "\"" + v + "\"";
  return v;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string Cp932ToUtf8Lossy(const std::string& bytes) {
  if (bytes.empty()) return {};
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return bytes;
  std::string out;
  out.reserve(bytes.size() * 3 / 2 + 8);
  char buf[1024];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<size_t>(o - buf));
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or cut-off sequence: one byte becomes "?".
      out.push_back('?');
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

bool IniStrToInt(const std::string& text, int& value) {
  std::string t = Trim(text);
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    neg = t[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < t.size() && t[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= t.size()) return false;
  std::uint64_t v = 0;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hexadecimal fills the 32 bits: $FFFFFFFF is -1.
    std::int64_t sv = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    value = static_cast<int>(neg ? -sv : sv);
    return true;
  }
  std::int64_t sv = neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  if (sv < INT32_MIN || sv > INT32_MAX) return false;
  value = static_cast<int>(sv);
  return true;
}

namespace {
// A failure to write the settings is said once until a write succeeds again.
std::atomic<bool> g_settingsNotWrittenSaid{false};
}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) { Reload(); }

TIniFile::~TIniFile() {
  // A write the owner asked for and saw fail is not tried again here.
  if (updateFailed_) return;
  try {
    UpdateFile();
  } catch (const std::exception& e) {
    ReportSettingsNotWritten(e.what());
  }
}

void ReportSettingsNotWritten(const std::string& why) {
  if (g_settingsNotWrittenSaid.exchange(true)) return;
  ShowMessageBox(TMsgKind::Error, "Quillmar", "設定を保存できません: " + why);
}

bool TIniFile::ReadFile(std::string& bytes, bool& exists) const {
  QFile f(QString::fromStdString(fileName_));
  exists = f.exists();
  bytes.clear();
  if (!exists) return true;
  if (!f.open(QIODevice::ReadOnly)) return false;
  QByteArray all = f.readAll();
  if (f.error() != QFileDevice::NoError) return false;
  bytes.assign(all.constData(), static_cast<size_t>(all.size()));
  return true;
}

void TIniFile::Reload() {
  std::string bytes;
  bool exists = false;
  readFailed_ = !ReadFile(bytes, exists);
  Parse(bytes);
  for (const Op& op : journal_) Apply(op);
}

bool TIniFile::Parse(const std::string& raw) {
  sections_.clear();
  // Every leading byte-order mark goes (a file saved twice by an editor can carry two).
  size_t start = 0;
  while (raw.compare(start, 3, "\xEF\xBB\xBF") == 0) start += 3;
  const std::string bytes = raw.substr(start);
  // A file in CP932 is decoded as a whole: names and values are UTF-8 from here on, so a
  // name written by this program finds what the Windows program wrote and the other way.
  cp932_ = !IsValidUtf8(bytes);
  sections_.push_back(Section{});
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t nl = bytes.find('\n', pos);
    std::string stored = bytes.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? bytes.size() : nl + 1;
    if (!stored.empty() && stored.back() == '\r') stored.pop_back();
    const std::string line = cp932_ ? Cp932ToUtf8Lossy(stored) : stored;
    std::string t = Trim(line);
    if (!t.empty() && t[0] == '[') {
      Section s;
      s.name = HeaderName(t);
      s.hasHeader = true;
      s.headerText = line;
      sections_.push_back(std::move(s));
      continue;
    }
    Line l;
    l.text = line;
    size_t eq = t.find('=');
    if (eq != std::string::npos && t[0] != ';' && t[0] != '#') {
      l.key = Trim(t.substr(0, eq));
      l.value = StripQuotes(Trim(t.substr(eq + 1)));
      l.isEntry = !l.key.empty();
      if (cp932_) {
        // The value's bytes as the file holds them, for values that are not text.
        const std::string st = Trim(stored);
        const size_t seq = st.find('=');
        l.raw = seq == std::string::npos ? l.value : StripQuotes(Trim(st.substr(seq + 1)));
      } else {
        l.raw = l.value;
      }
    }
    sections_.back().lines.push_back(std::move(l));
  }
  return true;
}

const TIniFile::Section* TIniFile::FindSection(const std::string& section) const {
  // A section is named without its outer blanks, when written as when read.
  const std::string name = Trim(section);
  for (const Section& s : sections_)
    if (s.hasHeader && SameText(s.name, name)) return &s;
  return nullptr;
}

TIniFile::Section* TIniFile::FindSection(const std::string& section) {
  return const_cast<Section*>(static_cast<const TIniFile*>(this)->FindSection(section));
}

const TIniFile::Line* TIniFile::Find(const std::string& section, const std::string& ident) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  const std::string key = Trim(ident);
  for (const Line& l : s->lines)
    if (l.isEntry && SameText(l.key, key)) return &l;
  return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& def) const {
  const Line* l = Find(section, ident);
  return l ? l->value : def;
}

std::string TIniFile::ReadRawString(const std::string& section, const std::string& ident,
                                    const std::string& def) const {
  const Line* l = Find(section, ident);
  return l ? l->raw : def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& ident, int def) const {
  const Line* l = Find(section, ident);
  int v;
  if (l && IniStrToInt(l->value, v)) return v;
  return def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  Op op{OpKind::Write, section, ident, value};
  Apply(op);
  AddToJournal(std::move(op));
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  WriteString(section, ident, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  Op op{OpKind::DeleteKey, section, ident, {}};
  Apply(op);
  AddToJournal(std::move(op));
}

void TIniFile::EraseSection(const std::string& section) {
  Op op{OpKind::EraseSection, section, {}, {}};
  Apply(op);
  AddToJournal(std::move(op));
}

void TIniFile::AddToJournal(Op op) {
  journal_.push_back(std::move(op));
  // A change made after a failed write is written again at the end, with the earlier ones.
  updateFailed_ = false;
}

void TIniFile::Apply(const Op& op) {
  switch (op.kind) {
    case OpKind::Write: {
      Section* s = FindSection(op.section);
      if (!s) {
        Section ns;
        ns.name = Trim(op.section);
        ns.hasHeader = true;
        ns.headerText = "[" + ns.name + "]";
        // A blank line between the last section and the new one.
        const Section& last = sections_.back();
        if ((last.hasHeader || !last.lines.empty()) &&
            !(!last.lines.empty() && Trim(last.lines.back().text).empty()))
          sections_.back().lines.push_back(Line{});
        sections_.push_back(std::move(ns));
        s = &sections_.back();
      }
      const std::string key = Trim(op.ident);
      for (Line& l : s->lines) {
        if (l.isEntry && SameText(l.key, key)) {
          l.value = op.value;
          for (char& c : l.value)
            if (c == '\r' || c == '\n' || c == '\0') c = ' ';
          l.raw = l.value;
          l.text = l.key + "=" + EncodeValue(op.value);
          return;
        }
      }
      Line l;
      l.key = key;
      l.value = op.value;
      for (char& c : l.value)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
      l.raw = l.value;
      l.text = key + "=" + EncodeValue(op.value);
      l.isEntry = true;
      // After the last non-blank line of the section.
      size_t at = s->lines.size();
      while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
      s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(l));
      return;
    }
    case OpKind::DeleteKey: {
      Section* s = FindSection(op.section);
      if (!s) return;
      const std::string key = Trim(op.ident);
      for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
        if (it->isEntry && SameText(it->key, key)) {
          s->lines.erase(it);
          return;
        }
      }
      return;
    }
    case OpKind::EraseSection: {
      for (auto it = sections_.begin(); it != sections_.end();) {
        if (it->hasHeader && SameText(it->name, Trim(op.section)))
          it = sections_.erase(it);
        else
          ++it;
      }
      return;
    }
  }
}

bool TIniFile::SectionExists(const std::string& section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  return Find(section, ident) != nullptr;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> out;
  for (const Section& s : sections_)
    if (s.hasHeader) out.push_back(s.name);
  return out;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> out;
  if (const Section* s = FindSection(section))
    for (const Line& l : s->lines)
      if (l.isEntry) out.push_back(l.key);
  return out;
}

std::string TIniFile::Serialize() const {
  std::string out;
  for (const Section& s : sections_) {
    if (s.hasHeader) {
      out += s.headerText;
      out.push_back('\n');
    }
    for (const Line& l : s.lines) {
      out += l.text;
      out.push_back('\n');
    }
  }
  return out;
}

void TIniFile::UpdateFile() {
  if (journal_.empty()) return;
  updateFailed_ = true;  // until the file is replaced
  // Apply our changes to the file as it is now, so keys other objects wrote stay.
  std::string bytes;
  bool exists = false;
  if (!ReadFile(bytes, exists) || readFailed_) {
    // Try once more now; an unreadable file is never replaced.
    if (!ReadFile(bytes, exists))
      throw std::runtime_error(fileName_ + " を読み込めないため、設定を書き込みません");
    readFailed_ = false;
  }
  Parse(bytes);
  for (const Op& op : journal_) Apply(op);
  const std::string text = Serialize();
  QSaveFile f(QString::fromStdString(fileName_));
  if (!f.open(QIODevice::WriteOnly))
    throw std::runtime_error(fileName_ + " に書き込めません: " + f.errorString().toStdString());
  if (f.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
    const std::string err = f.errorString().toStdString();
    f.cancelWriting();
    throw std::runtime_error(fileName_ + " に書き込めません: " + err);
  }
  if (!f.commit()) throw std::runtime_error(fileName_ + " に書き込めません: " + f.errorString().toStdString());
  journal_.clear();
  updateFailed_ = false;
  // The settings are written again: a later failure is said anew.
  g_settingsNotWrittenSaid = false;
  // What is in memory is now UTF-8 text.
  Parse(text);
}
