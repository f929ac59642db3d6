#include "database/regex_utils.h"

#include "foundation/comma_text.h"
#include "foundation/message_sink.h"

namespace {

struct FullMeta {
  std::string_view full;
  std::string_view escaped;
};

// Full-width look-alikes of pattern characters and their escaped ASCII forms. The full-width
// hyphen-minus is not among them: key normalisation deletes it from pattern and subject
// alike, so it must stay as it is to compare equal.
constexpr FullMeta kFullMetas[] = {
    {"（", "\\("}, {"）", "\\)"}, {"［", "\\["}, {"］", "\\]"}, {"｛", "\\{"},
    {"｝", "\\}"}, {"．", "\\."}, {"＊", "\\*"}, {"＋", "\\+"}, {"｜", "\\|"},
    {"＾", "\\^"}, {"＄", "\\$"}, {"￥", "\\\\"}, {"＼", "\\\\"}, {"？", "\\?"},
    {"！", "\\!"}, {"＝", "\\="}, {"＜", "\\<"}, {"＞", "\\>"},
};

// Appends text with the full-width metas escaped; with escapeAscii the ASCII metas as well.
void AppendEscaped(std::string& out, std::string_view text, bool escapeAscii) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (escapeAscii && IsRegexMeta(static_cast<char>(c))) out += '\\';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    bool done = false;
    if (c == 0xEF) {
      for (const auto& m : kFullMetas) {
        if (text.compare(i, m.full.size(), m.full) == 0) {
          out += m.escaped;
          i += m.full.size();
          done = true;
          break;
        }
      }
    }
    if (!done) {
      out += static_cast<char>(c);
      ++i;
    }
  }
}

std::string RemoveQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\'' && c != '"') out += c;
  return out;
}

inline bool IsBlankChar(char c) { return c >= 0x01 && c <= ' '; }
inline bool IsItemSeparator(char c) { return c == ',' || IsBlankChar(c); }

// Items of a list separated by commas or blanks (control characters count as blanks; blanks
// around a comma belong to it). An item that starts with a single or a double quote runs to
// the matching closing quote, a doubled quote inside standing for one (an unclosed quote runs
// to the end), and the text after the closing quote up to the next separator is part of it.
// Two commas in a row give an empty item.
std::vector<std::string> SplitListItems(std::string_view text) {
  std::vector<std::string> items;
  std::size_t p = 0;
  const std::size_t n = text.size();
  auto skipBlanks = [&] {
    while (p < n && IsBlankChar(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (text[p] == '\'' || text[p] == '"') {
      const char q = text[p++];
      while (p < n) {
        if (text[p] == q) {
          if (p + 1 < n && text[p + 1] == q) {
            item += q;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    }
    while (p < n && !IsItemSeparator(text[p])) item += text[p++];
    items.push_back(std::move(item));
    skipBlanks();
    if (p < n && text[p] == ',') {
      ++p;
      skipBlanks();
      if (p >= n) items.emplace_back();
    }
  }
  return items;
}

// The single quotes that enclose items dropped. A quote between two characters of a name (not
// a separator, not a quote) is an apostrophe and stays; a doubled one there stands for one.
std::string DropEnclosingQuotes(std::string_view text) {
  auto inName = [](char c) { return !IsItemSeparator(c) && c != '\'' && c != '"' && c != '\0'; };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '\'') {
      out += text[i++];
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && text[j] == '\'') ++j;
    if (i > 0 && j < text.size() && inName(text[i - 1]) && inName(text[j])) out.append((j - i + 1) / 2, '\'');
    i = j;
  }
  return out;
}

}  // namespace

std::string SqlQuote(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out += '\'';
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string ReplaceAllText(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t p = 0;
  while (true) {
    std::size_t f = text.find(from, p);
    if (f == std::string_view::npos) break;
    out.append(text, p, f - p);
    out += to;
    p = f + from.size();
  }
  out.append(text, p, std::string_view::npos);
  return out;
}

namespace {
void ReportRegexError(const EPerlRegEx& e) {
  ShowMessageBox(TMsgKind::Error, "正規表現エラー", e.what());
}
}  // namespace

std::string RegexReplace(std::string_view subject, std::string_view pattern,
                         std::string_view flags, std::string_view replacement) {
  TPerlRegEx& re = SharedRegEx();
  try {
    re.SetOptions(RegexFlags(flags));
    re.SetRegEx(pattern);
    re.SetSubject(subject);
    re.SetReplacement(replacement);
    if (flags.find('g') != std::string_view::npos) {
      re.ReplaceAll();
    } else if (re.Match()) {
      re.Replace();
    }
  } catch (const EPerlRegEx& e) {
    ReportRegexError(e);
    return std::string(subject);
  }
  return re.Subject();
}

bool RegexMatch(std::string_view subject, std::string_view pattern, std::string_view flags,
                std::vector<std::string>* groups) {
  if (groups) groups->clear();
  TPerlRegEx& re = SharedRegEx();
  try {
    re.SetOptions(RegexFlags(flags));
    re.SetRegEx(pattern);
    re.SetSubject(subject);
    if (!re.Match()) return false;
  } catch (const EPerlRegEx& e) {
    ReportRegexError(e);
    return false;
  }
  if (groups)
    for (int i = 0; i <= re.GroupCount(); ++i) groups->push_back(re.Group(i));
  return true;
}

std::string FirstCsvItem(std::string_view list) {
  std::vector<std::string> items = SplitListItems(list);
  if (items.empty()) return {};
  if (items[0].find(',') == std::string::npos) return std::move(items[0]);
  // A quoted item that holds a comma: the first item of it.
  items = SplitListItems(items[0]);
  return items.empty() ? std::string() : std::move(items[0]);
}

std::string EscapeRegexName(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 8);
  AppendEscaped(out, name, true);
  return out;
}

std::string FullWidthMetaToEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  AppendEscaped(out, text, false);
  return out;
}

std::string ListToAlternation(std::string_view list) {
  std::string clean = RemoveQuotes(list);
  std::string out;
  for (const std::string& name : SplitNameList(clean)) {
    if (name.empty()) continue;
    if (!out.empty()) out += '|';
    AppendEscaped(out, name, true);
  }
  return out;
}

std::string EscapeBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '(' || c == ')' || c == '[' || c == ']') out += '\\';
    out += c;
  }
  return out;
}

std::string HalfToFullBrackets(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '(': out += "（"; break;
      case ')': out += "）"; break;
      case '[': out += "［"; break;
      case ']': out += "］"; break;
      default: out += c;
    }
  }
  return out;
}

std::string FullToHalfBrackets(std::string_view text) {
  std::string s = ReplaceAllText(text, "（", "(");
  s = ReplaceAllText(s, "）", ")");
  s = ReplaceAllText(s, "［", "[");
  return ReplaceAllText(s, "］", "]");
}

std::string QuotedCommaList(std::string_view list) {
  std::string out;
  for (const std::string& item : CommaTextToList(DropEnclosingQuotes(list))) {
    if (item.empty()) continue;
    if (!out.empty()) out += ',';
    out += SqlQuote(item);
  }
  return out;
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}
