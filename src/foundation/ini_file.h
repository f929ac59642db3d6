#pragma once
// The settings file as an INI file: sections "[NAME]", lines "Key=Value".
//
// Behaves like the Windows profile functions the settings were first kept with: section and
// key names compare without regard to ASCII case, blanks around keys and values are dropped,
// and one pair of matching quotes around a value is removed when read (values that need them
// are written quoted, so every text reads back as written). Keys, sections, comments and
// their order are kept as they are; a new key goes to the end of its section.
//
// Files written by the Windows program in CP932 are read as well as UTF-8 (the whole file is
// checked, and a CP932 file is decoded to UTF-8 when read, so every call compares UTF-8 names);
// this class always writes UTF-8. Leading byte-order marks, however many, are not part of the
// first line. Section names are taken without their outer blanks in every call.
//
// Changes are kept in the object and written by UpdateFile() (or the destructor). Writing
// re-reads the file and applies only this object's changes, so two objects open on the same
// file do not undo each other's keys. The file is replaced through a temporary file.
#include <string>
#include <vector>

class TIniFile {
 public:
  explicit TIniFile(std::string fileName);
  // Writes pending changes; a failure goes to ReportSettingsNotWritten (use UpdateFile() to
  // see it). After a failed UpdateFile() nothing is tried again here.
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }
  // The file as read was in CP932 (not UTF-8).
  bool IsCp932() const { return cp932_; }

  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  // Decimal (optional sign), "$hex" or "0xhex"; a missing or non-integer value gives `def`.
  int ReadInteger(const std::string& section, const std::string& ident, int def) const;
  // Read as an integer, non-zero is true.
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  // The value's bytes as stored, without charset conversion (for values that are not text).
  std::string ReadRawString(const std::string& section, const std::string& ident, const std::string& def) const;

  // `value` is UTF-8. Line breaks and NULs cannot be stored and become blanks.
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);  // "1"/"0"

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(const std::string& section) const;  // key names
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);

  bool Modified() const { return !journal_.empty(); }
  // Writes pending changes (nothing when there are none). Throws std::runtime_error when the
  // file cannot be written, or when it exists but could not be read (it is never replaced by
  // a file that lost its other keys).
  void UpdateFile();
  // Re-reads the file; pending changes stay pending and show in the reads.
  void Reload();

 private:
  struct Line {
    std::string text;   // whole line (comments, blanks, headers, untouched entries)
    std::string key;    // entry key (trimmed); empty for other lines
    std::string value;  // entry value (trimmed, quotes removed), UTF-8
    std::string raw;    // the value's bytes as the file holds them (CP932 in a CP932 file)
    bool isEntry = false;
  };
  struct Section {
    std::string name;  // empty for lines before the first header
    bool hasHeader = false;
    std::string headerText;
    std::vector<Line> lines;
  };
  enum class OpKind { Write, DeleteKey, EraseSection };
  struct Op {
    OpKind kind;
    std::string section, ident, value;
  };

  bool Parse(const std::string& bytes);
  void Apply(const Op& op);
  void AddToJournal(Op op);
  std::string Serialize() const;
  const Line* Find(const std::string& section, const std::string& ident) const;
  Section* FindSection(const std::string& section);
  const Section* FindSection(const std::string& section) const;
  bool ReadFile(std::string& bytes, bool& exists) const;

  std::string fileName_;
  bool cp932_ = false;
  bool readFailed_ = false;
  bool updateFailed_ = false;  // the last UpdateFile() threw and nothing was changed since
  std::vector<Section> sections_;
  std::vector<Op> journal_;
};

// Settings that cannot be written are said once, whoever meets it first (the message sink: a
// dialog in the window, a log line in the unattended runs and tests); later failures stay
// silent, since they have the same cause, until a write succeeds: a failure after that is new.
// `why` is the failure's text.
void ReportSettingsNotWritten(const std::string& why);

// Integer conversion used for settings values: optional blanks, sign, decimal digits, or
// "$"/"0x" followed by hexadecimal digits (up to 32 bits). False when not a whole integer or
// out of range.
bool IniStrToInt(const std::string& text, int& value);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(const std::string& bytes);
// CP932 bytes to UTF-8; bytes that do not convert become "?".
std::string Cp932ToUtf8Lossy(const std::string& bytes);
