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
#include <string>
#include <string_view>
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
  // or "<label>が設定されていません" (error boxes through the message sink). Db expands crop
  // lists for the prefixes _ and ~ of the crop argument (without one the value stays).
  std::string BuildTemplateSql(std::string_view Html, const TTemplateArgBoxes& Boxes, TAcisDB* Db);

  // One substitution step: every "--" before the placeholder Prefix + name (+ C?) + ">" on
  // its line removed, then every such placeholder replaced by Value (as it stands). Nothing
  // happens when Sql or Value is empty.
  static std::string SubstAngleArg(int Arg, const std::string& Sql, std::string_view Value,
                                   std::string_view Prefix);
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
