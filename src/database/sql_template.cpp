#include "database/sql_template.h"

#include <QFile>
#include <QSaveFile>
#include <set>

#include "database/acis_db.h"
#include "database/regex_utils.h"
#include "database/sakumotsu_keys.h"
#include "foundation/comma_text.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/text_utils.h"

const std::array<std::string_view, kTemplateArgCount> TemplateArgNames = {"sakumotsu", "byochu", "yoto", "zaikei",
                                                                          "sonota"};
const std::array<std::string_view, kTemplateArgCount> TemplateArgLabels = {"作物名", "病害虫名", "用途", "剤形",
                                                                           "その他"};

namespace {

// One prefix character, and an optional one.
constexpr std::string_view kC = "[/%!:~_#=`]";
constexpr std::string_view kCOpt = "[/%!:~_#=`]?";
// The prefix characters (none of them special inside a character class).
constexpr const char* kPrefixes = "/%!:~_#=`";

std::string Name(int Arg) { return std::string(TemplateArgNames.at(Arg)); }

// A text matched literally inside a pattern.
std::string QuoteMeta(std::string_view Text) {
  std::string out;
  for (char c : Text) {
    if (IsRegexMeta(c) || c == '#' || c == '/' || c == '-') out += '\\';
    out += c;
  }
  return out;
}

// Lines split at CR LF, LF or CR (a final line break gives no empty last line).
std::vector<std::string> SplitLines(std::string_view Text) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  while (p < Text.size()) {
    std::size_t e = Text.find_first_of("\r\n", p);
    if (e == std::string_view::npos) {
      lines.emplace_back(Text.substr(p));
      break;
    }
    lines.emplace_back(Text.substr(p, e - p));
    p = e + ((Text[e] == '\r' && e + 1 < Text.size() && Text[e + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& Lines, std::string_view Sep) {
  std::string out;
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    if (i) out += Sep;
    out += Lines[i];
  }
  return out;
}

// Every line end as CR LF.
std::string CrLf(std::string_view Text) {
  std::string out;
  out.reserve(Text.size() + Text.size() / 16);
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsArgName(std::string_view Name) {
  for (std::string_view n : TemplateArgNames)
    if (SameTextAscii(n, Name)) return true;
  return false;
}

// A value that starts with a quote: the text inside the quotes (a doubled quote stands for
// one; what follows the closing quote is dropped). False when the quote is not closed.
bool Dequote(std::string_view Value, std::string& Out) {
  const char q = Value.front();
  Out.clear();
  for (std::size_t i = 1; i < Value.size(); ++i) {
    if (Value[i] != q) {
      Out += Value[i];
      continue;
    }
    if (i + 1 < Value.size() && Value[i + 1] == q) {
      Out += q;
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

// The condition, list or text that replaces a prefixed placeholder of argument Arg.
std::string PrefixValue(int Arg, char Prefix, const std::string& Value, TAcisDB* Db) {
  if (Prefix == '`') return Value;
  if (Arg == taSakumotsu && (Prefix == '_' || Prefix == '~')) return Db ? Db->DeployCrops(Value, Prefix) : Value;
  return BuildSakumotsuCondition(Value, Prefix, false);
}

void ShowTemplateError(const std::string& Text) { ShowMessageBox(TMsgKind::Error, "Quillmar", Text); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Argument lists

int TTemplateArgList::IndexOfName(std::string_view Name) const {
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    const std::string& l = Lines[i];
    const std::size_t eq = l.find('=');
    if (eq != std::string::npos && SameTextAscii(std::string_view(l).substr(0, eq), Name)) return static_cast<int>(i);
  }
  return -1;
}

bool TTemplateArgList::Has(std::string_view Name) const { return IndexOfName(Name) >= 0; }

std::string TTemplateArgList::Value(std::string_view Name) const {
  const int i = IndexOfName(Name);
  if (i < 0) return {};
  const std::string& l = Lines[static_cast<std::size_t>(i)];
  return l.substr(l.find('=') + 1);
}

TTemplateArgList NormalizeArgList(std::string_view Text) {
  std::string t = RegexReplace(Text, R"((^|=)\s+)", "g", "\\1");
  // White space before "=" or at the very end. Tried only where a run of white space starts
  // and taken whole: a long run of blanks inside a value costs one step, not one per blank.
  t = RegexReplace(t, R"((?<!\s)\s++(=|$))", "g", "\\1");
  const std::vector<std::string> raw = SplitLines(t);
  TTemplateArgList list;
  std::set<std::string> done;  // names whose value was taken (the first line of a name counts)
  for (std::size_t i = 0; i < raw.size(); ++i) {
    std::string line = raw[i];
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) {
      list.Lines.push_back(std::move(line));
      continue;
    }
    std::string name = AsciiLowerCase(line.substr(0, eq));
    std::string value = line.substr(eq + 1);
    if (IsArgName(name) && !done.count(name) && !value.empty() && (value[0] == '"' || value[0] == '\'')) {
      done.insert(name);
      std::string inner;
      bool closed = Dequote(value, inner);
      // A value whose quote closes on a later line (a box text with line breaks).
      std::size_t last = i;
      for (std::size_t j = i + 1; !closed && j < raw.size(); ++j) {
        value += "\r\n" + raw[j];
        if (Dequote(value, inner)) {
          closed = true;
          last = j;
        }
      }
      if (closed && !(inner.empty() && value.size() == 2)) {
        line = line.substr(0, eq + 1) + inner;
        i = last;
      }
    } else if (IsArgName(name)) {
      done.insert(name);
    }
    list.Lines.push_back(std::move(line));
  }
  return list;
}

// ---------------------------------------------------------------------------------------------
// Body, modes, defaults

namespace {

// White space of a pattern's "\s": blank, tab, line feed, vertical tab, form feed, return.
bool IsPatternSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Every match of "\s+$" (multi-line) removed, in one pass without backtracking: a run of
// white space that reaches the very end goes; a run that holds a line feed keeps only its
// part from its last line feed on, so the blanks at the end of a line go and blank lines
// collapse with them; a run without a line feed stays.
std::string DropLineEndSpace(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  std::size_t i = 0;
  while (i < Text.size()) {
    if (!IsPatternSpace(Text[i])) {
      out += Text[i++];
      continue;
    }
    std::size_t j = i;
    while (j < Text.size() && IsPatternSpace(Text[j])) ++j;
    if (j == Text.size()) break;
    std::size_t keep = j;  // from the run's last line feed on, or the whole run without one
    while (keep > i && Text[keep - 1] != '\n') --keep;
    keep = keep > i ? keep - 1 : i;
    out.append(Text.substr(keep, j - keep));
    i = j;
  }
  return out;
}

// The text between a block's braces as its lines: leading blank lines and the white space at
// the end of every line go, and the indent of the first line is taken off every line that
// starts with it. Lines are joined by CR LF.
std::string DeindentBlock(std::string_view Inner) {
  std::string body = RegexReplace(CrLf(Inner), R"(^(\s*\r\n)+)", "s", "");
  body = DropLineEndSpace(body);
  std::vector<std::string> indent;
  if (RegexMatch(body, "^[ \\t]+", "", &indent)) body = RegexReplace(body, "^" + indent[0] + "(.*)", "mg", "\\1");
  // The steps above may leave a lone CR or LF between lines: every line end is CR LF again.
  return JoinLines(SplitLines(body), "\r\n");
}

}  // namespace

void TSqlTemplate::ExtractTemplateBody(std::string_view Html) {
  std::vector<std::string> g;
  // Up to the first "}", without the white space before it (taken off here rather than by the
  // pattern, which would rescan a long run of blanks from every position in it).
  if (!RegexMatch(Html, R"(#template\s*?\{([^}]*)\})", "is", &g)) {
    TemplateText.clear();
    return;
  }
  std::string_view inner = g[1];
  while (!inner.empty() && IsPatternSpace(inner.back())) inner.remove_suffix(1);
  TemplateText = DeindentBlock(inner);
}

int TSqlTemplate::GetTemplateArgMode(int Arg) const {
  const std::string n = Name(Arg);
  const std::string a =
      "<" + std::string(kCOpt) + n + std::string(kCOpt) + ">|\\[" + std::string(kCOpt) + n + std::string(kCOpt) + "\\]";
  if (!RegexMatch(TemplateText, a, "i")) return 0;
  const std::string uncommented = RegexReplace(TemplateText, "--.*$", "mg", "");
  return RegexMatch(uncommented, a, "i") ? 2 : 1;
}

void TSqlTemplate::SetupTemplateArgs(std::string_view Html, TTemplateArgBoxes& Boxes) {
  ExtractTemplateBody(Html);
  std::vector<std::string> g;
  std::string defaults;
  // Indented like the body (a block inside an indented <pre>): without the indent the names
  // of the lines after the first would carry blanks and name no argument.
  if (RegexMatch(Html, R"(#default\s*?\{([^}]*)\})", "is", &g)) defaults = DeindentBlock(g[1]);
  const TTemplateArgList list = NormalizeArgList(defaults);
  int sum = 0;
  for (int i = 0; i < kTemplateArgCount; ++i) {
    Modes[i] = GetTemplateArgMode(i);
    if (Modes[i] > 0) Boxes.SetText(i, list.Value(TemplateArgNames[i]));
    Boxes.Show(i, Modes[i] >= 1);
    sum += Modes[i];
  }
  Boxes.ShowSpacer(sum >= 1);
}

// ---------------------------------------------------------------------------------------------
// The SQL while it is filled

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void TFilledSql::AppendOwn(std::string_view Text) {
  FText += Text;
  FOwn.insert(FOwn.end(), Text.size(), true);
}

void TFilledSql::AppendValue(std::string_view Text) {
  FText += Text;
  FOwn.insert(FOwn.end(), Text.size(), false);
}

void TFilledSql::Append(const TFilledSql& Other) {
  FText += Other.FText;
  FOwn.insert(FOwn.end(), Other.FOwn.begin(), Other.FOwn.end());
}

bool TFilledSql::Own(std::size_t From, std::size_t To) const {
  for (std::size_t i = From; i < To; ++i)
    if (!FOwn[i]) return false;
  return true;
}

std::vector<std::pair<std::size_t, std::size_t>> TFilledSql::Matches(std::string_view Pattern, std::string_view Flags,
                                                                     std::vector<std::string>* FirstGroups) const {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  TPerlRegEx re(Pattern, RegexFlags(Flags));
  re.SetSubject(FText);
  std::size_t from = 0;
  while (from <= FText.size()) {
    re.SetStart(from);
    if (!re.Match()) break;
    const std::size_t b = re.MatchedOffset(), e = b + re.MatchedLength();
    if (e == b || !Own(b, e)) {
      // Every pattern here starts with an ASCII character: the next byte starts a character.
      from = b + 1;
      continue;
    }
    out.emplace_back(b, e);
    if (FirstGroups) {
      FirstGroups->clear();
      for (int g = 0; g <= re.GroupCount(); ++g) FirstGroups->push_back(re.Group(g));
      break;
    }
    from = e;
  }
  return out;
}

bool TFilledSql::Find(std::string_view Pattern, std::string_view Flags, std::vector<std::string>* Groups) const {
  std::vector<std::string> g;
  if (Matches(Pattern, Flags, &g).empty()) return false;
  if (Groups) *Groups = std::move(g);
  return true;
}

void TFilledSql::ReplaceWithValue(std::string_view Pattern, std::string_view Flags, std::string_view Value,
                                  bool Uncomment) {
  const auto matches = Matches(Pattern, Flags);
  if (matches.empty()) return;
  std::vector<bool> drop(FText.size(), false);
  if (Uncomment) {
    std::size_t previous = 0;  // end of the previous match
    for (const auto& [b, e] : matches) {
      // The line of the match, as the template's own text breaks it.
      std::size_t line = b;
      while (line > previous && !(IsLineBreak(FText[line - 1]) && FOwn[line - 1])) --line;
      for (std::size_t i = line; i + 1 < b; ++i) {
        if (FText[i] == '-' && FText[i + 1] == '-' && FOwn[i] && FOwn[i + 1]) {
          drop[i] = drop[i + 1] = true;
          break;
        }
      }
      previous = e;
    }
  }
  TFilledSql out;
  std::size_t at = 0;
  auto copy = [&](std::size_t to) {
    for (; at < to; ++at) {
      if (drop[at]) continue;
      out.FText += FText[at];
      out.FOwn.push_back(FOwn[at]);
    }
  };
  for (const auto& [b, e] : matches) {
    copy(b);
    out.AppendValue(Value);
    at = e;
  }
  copy(FText.size());
  *this = std::move(out);
}

void TFilledSql::DropCommaBeforeFrom() {
  const auto matches = Matches(R"(,(\s+from))", "i");
  if (matches.empty()) return;
  TFilledSql out;
  std::size_t at = 0;
  for (const auto& [b, e] : matches) {
    out.FText.append(FText, at, b - at);
    out.FOwn.insert(out.FOwn.end(), FOwn.begin() + static_cast<std::ptrdiff_t>(at),
                    FOwn.begin() + static_cast<std::ptrdiff_t>(b));
    at = b + 1;  // the comma
    (void)e;
  }
  out.FText.append(FText, at, std::string::npos);
  out.FOwn.insert(out.FOwn.end(), FOwn.begin() + static_cast<std::ptrdiff_t>(at), FOwn.end());
  *this = std::move(out);
}

// ---------------------------------------------------------------------------------------------
// Building the SQL

void TSqlTemplate::SubstAngleArg(int Arg, TFilledSql& Sql, std::string_view Value, std::string_view Prefix) {
  if (Value.empty()) return;
  Sql.ReplaceWithValue(QuoteMeta(Prefix) + Name(Arg) + std::string(kCOpt) + ">", "i", Value, true);
}

bool TSqlTemplate::HasValue(int Arg, std::string_view BoxText) {
  if (Arg == taSonota) {
    for (char c : BoxText)
      if (!IsPatternSpace(c)) return true;
    return false;
  }
  return !QuotedCommaList(BoxText).empty();
}

bool LineHasListArg(const std::vector<int>& Args, std::string_view Line) {
  if (Args.empty()) return false;
  std::string names;
  for (int a : Args) {
    if (!names.empty()) names += '|';
    names += Name(a);
  }
  return RegexMatch(Line, "\\[" + std::string(kC) + "(" + names + ")" + std::string(kCOpt) + "\\]", "i");
}

namespace {

// The copies of a list line driven by argument Arg, one per item of its value: the square
// placeholders of Arg replaced, those without a prefix by the item as an SQL list, the
// prefixed ones by the item's text or condition.
void AppendListLine(int Arg, const std::string& Line, const std::string& Value, TAcisDB* Db,
                    std::vector<TFilledSql>& Out) {
  const std::string n = Name(Arg);
  for (const std::string& item : SplitDelimitedText(Value, ',', '\'', true)) {
    if (item.empty()) continue;
    TFilledSql copy(Line);
    copy.ReplaceWithValue("\\[" + n + std::string(kCOpt) + "\\]", "i", QuotedCommaList(item), false);
    std::vector<std::string> g;
    while (copy.Find("\\[(" + std::string(kC) + ")" + n + std::string(kCOpt) + "\\]", "i", &g)) {
      const char c = g.at(1).at(0);
      copy.ReplaceWithValue("\\[" + QuoteMeta(g[1]) + n + std::string(kCOpt) + "\\]", "i",
                            PrefixValue(Arg, c, item, Db), false);
    }
    Out.push_back(std::move(copy));
  }
}

}  // namespace

std::string TSqlTemplate::BuildTemplateSql(std::string_view Html, const TTemplateArgBoxes& Boxes, TAcisDB* Db) {
  ExtractTemplateBody(Html);
  if (TemplateText.empty()) {
    ShowTemplateError("テンプレートがありません");
    return {};
  }
  for (int i = 0; i < kTemplateArgCount; ++i) Modes[i] = GetTemplateArgMode(i);
  for (int i = 0; i < kTemplateArgCount; ++i) {
    if (Modes[i] == 2 && !HasValue(i, Boxes.Text(i))) {
      ShowTemplateError(std::string(TemplateArgLabels[i]) + "が設定されていません");
      return {};
    }
  }

  // Values: blanks around commas dropped; a value without items counts as empty, so that its
  // optional lines stay commented; a crop list without quotes is one quoted item.
  std::array<std::string, kTemplateArgCount> v;
  for (int i = 0; i < kTemplateArgCount; ++i) {
    if (!HasValue(i, Boxes.Text(i))) continue;
    v[i] = RegexReplace(Boxes.Text(i), R"(\s*,\s*)", "g", ",");
  }
  if (!v[taSakumotsu].empty() && v[taSakumotsu].find('\'') == std::string::npos)
    v[taSakumotsu] = "'" + v[taSakumotsu] + "'";

  // List lines: one copy per item of the driving argument.
  std::vector<TFilledSql> lines;
  for (const std::string& line : SplitLines(TemplateText)) {
    int a = -1;
    for (int i = 0; i < kTemplateArgCount && a < 0; ++i)
      if (LineHasListArg({i}, line)) a = i;
    if (a < 0)
      lines.emplace_back(line);
    else
      AppendListLine(a, line, v[a], Db, lines);
  }
  TFilledSql sql;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) sql.AppendOwn("\r\n");
    sql.Append(lines[i]);
  }
  sql.DropCommaBeforeFrom();

  // Angle placeholders. An empty value leaves its placeholders (and their comments) alone.
  for (int i = 0; i < kTemplateArgCount; ++i) {
    if (Modes[i] == 0) continue;
    const std::string n = Name(i);
    if (i == taSonota) {
      SubstAngleArg(i, sql, v[i], "<");
      continue;
    }
    if (sql.Find("<" + n + std::string(kCOpt) + ">", "i")) SubstAngleArg(i, sql, QuotedCommaList(v[i]), "<");
    if (v[i].empty()) continue;
    // Each prefix once: a prefix whose value is empty leaves its placeholders in place.
    std::string left = kPrefixes;
    std::vector<std::string> g;
    while (!left.empty() && sql.Find("<([" + left + "])" + n + std::string(kCOpt) + ">", "i", &g)) {
      const char c = g.at(1).at(0);
      left.erase(left.find(c), 1);
      SubstAngleArg(i, sql, PrefixValue(i, c, v[i], Db), "<" + g[1]);
    }
  }
  return sql.Text();
}

// ---------------------------------------------------------------------------------------------
// Argument files

void LoadTemplateArgText(std::string_view Text, TTemplateArgBoxes& Boxes) {
  const TTemplateArgList list = NormalizeArgList(Text);
  for (int i = 0; i < kTemplateArgCount; ++i) {
    if (!Boxes.Shown(i) || !list.Has(TemplateArgNames[i])) continue;
    std::string value = list.Value(TemplateArgNames[i]);
    if (value == "''" || value == "\"\"") value.clear();
    Boxes.SetText(i, value);
  }
}

bool LoadTemplateArgFile(const std::string& FileName, TTemplateArgBoxes& Boxes) {
  std::string text;
  if (!LoadTextFile(FileName, text)) return false;
  LoadTemplateArgText(text, Boxes);
  return true;
}

std::vector<std::string> TemplateArgFileLines(const TTemplateArgBoxes& Boxes) {
  std::vector<std::string> lines;
  for (int i = 0; i < kTemplateArgCount; ++i) {
    if (!Boxes.Shown(i)) continue;
    lines.push_back(Name(i) + " = \"" + ReplaceAllText(Boxes.Text(i), "\"", "\"\"") + "\"");
  }
  return lines;
}

std::string DecodeTextBytes(const std::string& Bytes) {
  std::string_view b = Bytes;
  if (b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  const std::string s(b);
  return IsValidUtf8(s) ? s : Cp932ToUtf8Lossy(s);
}

bool LoadTextFile(const std::string& FileName, std::string& Text) {
  QFile f(QString::fromStdString(FileName));
  if (!f.open(QIODevice::ReadOnly)) return false;
  Text = DecodeTextBytes(f.readAll().toStdString());
  return true;
}

bool SaveTextLines(const std::string& FileName, const std::vector<std::string>& Lines) {
  QSaveFile f(QString::fromStdString(FileName));
  if (!f.open(QIODevice::WriteOnly)) return false;
  std::string text;
  for (const std::string& l : Lines) text += l + "\r\n";
  if (f.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}
