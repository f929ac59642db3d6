#pragma once
// The SQL template language. A template is an HTML page (".tpl") that carries, somewhere in
// its text, a block "#template { SQL }" and optionally "#default { name = value ... }". The
// SQL names five fixed arguments by placeholders:
//
//   <name>  <cname>  <namec>      angle form: the value, or a condition made from it
//   [name]  [cname]               square form: [cname] makes its line a list line, emitted
//                                 once per item of the argument's value
//
// where c is one of the prefix characters / % ! : ~ _ # = ` (a trailing one has no effect).
// An argument used only inside "--" comments is optional; a commented line becomes active
// once its argument has a value. Argument sets are kept in ".arg" files of lines
// name = "value".
//
// No widgets here: the argument boxes and their panels are seen through TTemplateArgBoxes,
// so the template page, the developer tool and the tests share the engine.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TAcisDB;

constexpr int kTemplateArgCount = 5;
// sakumotsu, byochu, yoto, zaikei, sonota: the order decides precedence wherever it matters.
extern const std::array<std::string_view, kTemplateArgCount> TemplateArgNames;
// 作物名, 病害虫名, 用途, 剤形, その他.
extern const std::array<std::string_view, kTemplateArgCount> TemplateArgLabels;
enum TTemplateArg { taSakumotsu = 0, taByochu = 1, taYoto = 2, taZaikei = 3, taSonota = 4 };

// The argument boxes and their panels.
class TTemplateArgBoxes {
 public:
  virtual ~TTemplateArgBoxes() = default;
  virtual std::string Text(int Arg) const = 0;
  virtual void SetText(int Arg, const std::string& Text) = 0;
  // The argument's panel (and its splitter) is shown.
  virtual bool Shown(int Arg) const = 0;
  virtual void Show(int Arg, bool On) = 0;
  // The spacer below the argument panels.
  virtual void ShowSpacer(bool On) { (void)On; }
};

// Boxes held as plain values (the developer tool, the tests).
class TTemplateArgValues : public TTemplateArgBoxes {
 public:
  std::array<std::string, kTemplateArgCount> Texts;
  std::array<bool, kTemplateArgCount> Panels{};
  bool Spacer = false;
  std::string Text(int Arg) const override { return Texts.at(Arg); }
  void SetText(int Arg, const std::string& T) override { Texts.at(Arg) = T; }
  bool Shown(int Arg) const override { return Panels.at(Arg); }
  void Show(int Arg, bool On) override { Panels.at(Arg) = On; }
  void ShowSpacer(bool On) override { Spacer = On; }
};

// Lines "name=value" after normalisation (NormalizeArgList).
class TTemplateArgList {
 public:
  std::vector<std::string> Lines;
  // The line whose name (the text before its first "=") equals Name without regard to case.
  bool Has(std::string_view Name) const;
  // The text after the first "=" of that line ("" when there is none).
  std::string Value(std::string_view Name) const;

 private:
  int IndexOfName(std::string_view Name) const;
  friend TTemplateArgList NormalizeArgList(std::string_view Text);
};

// White space at the very start, after "=", before "=" and at the very end removed (line
// breaks included, so "name =" followed by a line break takes the next line as its value);
// a value of one of the five arguments given in double or single quotes is unquoted (a
// doubled quote inside stands for one; a value of only the two quotes stays as written). A
// quoted value whose closing quote stands on a later line takes those lines with it.
TTemplateArgList NormalizeArgList(std::string_view Text);

// The SQL of a template while its placeholders are filled: the template's own text and the
// values put in for placeholders, told apart byte by byte. Placeholders, comment marks and
// the comma before FROM are looked for in the template's own text only, so a value is put in
// once as it stands and never read as template text.
class TFilledSql {
 public:
  TFilledSql() = default;
  explicit TFilledSql(std::string_view Own) { AppendOwn(Own); }
  void AppendOwn(std::string_view Text);
  void AppendValue(std::string_view Text);
  void Append(const TFilledSql& Other);
  const std::string& Text() const { return FText; }

  // The first match of Pattern (flags as RegexFlags reads them) that lies wholly in the own
  // text; its groups into *Groups (group 0 first, "" for a group that took no part).
  bool Find(std::string_view Pattern, std::string_view Flags, std::vector<std::string>* Groups = nullptr) const;
  // Every such match replaced by Value. With Uncomment, the first "--" of the own text that
  // stands before a match on its line (after the previous match on that line) is removed.
  void ReplaceWithValue(std::string_view Pattern, std::string_view Flags, std::string_view Value, bool Uncomment);
  // Every comma of the own text followed by white space and "from" (any case) removed.
  void DropCommaBeforeFrom();

 private:
  // Start and end of every match in the own text, left to right, not overlapping; with
  // FirstGroups only the first match, its groups into *FirstGroups.
  std::vector<std::pair<std::size_t, std::size_t>> Matches(std::string_view Pattern, std::string_view Flags,
                                                           std::vector<std::string>* FirstGroups = nullptr) const;
  bool Own(std::size_t From, std::size_t To) const;
  std::string FText;
  std::vector<bool> FOwn;  // per byte: part of the template's own text
};

class TSqlTemplate {
 public:
  // The SQL body of the current template; empty when the page has none.
  std::string TemplateText;
  // The mode of each argument (0 not used, 1 optional, 2 required), as last computed.
  std::array<int, kTemplateArgCount> Modes{};

  // The body of "#template { ... }" into TemplateText: leading blank lines and trailing
  // white space of every line go, and the indent of the first line is taken off every line
  // that starts with it. The body ends at the first "}". Line ends are taken as CR LF.
  void ExtractTemplateBody(std::string_view Html);
  // The mode of argument Arg in TemplateText.
  int GetTemplateArgMode(int Arg) const;
  // Body, modes, the default values into the boxes of the arguments used, the panels of the
  // arguments used shown and the others hidden, the spacer shown when any is used. The
  // "#default { ... }" block loses its indent as the body does.
  void SetupTemplateArgs(std::string_view Html, TTemplateArgBoxes& Boxes);
  // The expanded SQL (lines joined by CR LF); empty after the message "テンプレートがありません"
  // or "<label>が設定されていません" for a required argument without a value (HasValue; error
  // boxes through the message sink). Each placeholder of the template's own text is replaced
  // once; the values are never searched for placeholders. Db expands crop
  // lists for the prefixes _ and ~ of the crop argument (without one the value stays).
  std::string BuildTemplateSql(std::string_view Html, const TTemplateArgBoxes& Boxes, TAcisDB* Db);

  // One substitution step: the "--" before each placeholder Prefix + name (+ C?) + ">" on its
  // line removed, then every such placeholder replaced by Value (as it stands). Only the
  // template's own text is searched. Nothing happens when Value is empty.
  static void SubstAngleArg(int Arg, TFilledSql& Sql, std::string_view Value, std::string_view Prefix);
  // The value of an argument box has something to put in: for the list arguments at least
  // one item (quotes and separators alone give none), for sonota more than white space.
  static bool HasValue(int Arg, std::string_view BoxText);
};

// The line holds a prefixed square placeholder ("[", prefix, name, C?, "]") of one of Args.
bool LineHasListArg(const std::vector<int>& Args, std::string_view Line);

// Reads an argument file's text into the boxes of the shown arguments it names ("''" and
// '""' give an empty box); other boxes keep their text.
void LoadTemplateArgText(std::string_view Text, TTemplateArgBoxes& Boxes);
// The same from a file (UTF-8 or CP932); false when it cannot be read.
bool LoadTemplateArgFile(const std::string& FileName, TTemplateArgBoxes& Boxes);
// The lines an argument file holds: one per shown argument, name, " = " and the box text in
// double quotes with inner double quotes doubled.
std::vector<std::string> TemplateArgFileLines(const TTemplateArgBoxes& Boxes);

// A text file's bytes as UTF-8: UTF-8 (a byte-order mark dropped) when they are valid UTF-8,
// otherwise decoded as CP932.
std::string DecodeTextBytes(const std::string& Bytes);
// Reads and decodes a whole text file; false when it cannot be read.
bool LoadTextFile(const std::string& FileName, std::string& Text);
// Writes lines joined and ended by CR LF, UTF-8, through a temporary file; false on failure.
bool SaveTextLines(const std::string& FileName, const std::vector<std::string>& Lines);
