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

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits at commas outside quotes (single or double); each item trimmed and, when enclosed in
// quotes, unquoted (a doubled quote inside stands for one). quoted[i] tells whether item i was.
std::vector<std::string> SplitQuotedItems(std::string_view text, std::vector<bool>* quoted) {
  std::vector<std::string> items;
  std::size_t p = 0, n = text.size();
  while (true) {
    std::size_t start = p;
    char q = 0;
    bool quotesOpen = true;  // off again when a quote of this item is never closed
    while (p < n) {
      char c = text[p];
      if (q) {
        if (c == q) {
          if (p + 1 < n && text[p + 1] == q) {
            p += 2;
            continue;
          }
          q = 0;
        }
      } else if (c == ',') {
        break;
      } else if (quotesOpen && (c == '\'' || c == '"') &&
                 TrimBlanks(text.substr(start, p - start)).empty()) {
        q = c;  // a quote opens an item only at its start
      }
      ++p;
      if (p >= n && q) {
        // Unclosed quote: the quote is an ordinary character, commas separate as usual.
        q = 0;
        quotesOpen = false;
        p = start;
      }
    }
    std::string_view raw = TrimBlanks(text.substr(start, p - start));
    bool wasQuoted = false;
    std::string item;
    if (raw.size() >= 2 && (raw.front() == '\'' || raw.front() == '"') &&
        raw.back() == raw.front()) {
      char qc = raw.front();
      std::string_view inner = raw.substr(1, raw.size() - 2);
      // Only a well-formed quoted item (inner quotes doubled) is unquoted.
      bool wellFormed = true;
      for (std::size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == qc) {
          if (i + 1 < inner.size() && inner[i + 1] == qc)
            ++i;
          else
            wellFormed = false;
        }
      }
      if (wellFormed) {
        wasQuoted = true;
        for (std::size_t i = 0; i < inner.size(); ++i) {
          item += inner[i];
          if (inner[i] == qc) ++i;
        }
      }
    }
    if (!wasQuoted) item.assign(raw);
    items.push_back(std::move(item));
    if (quoted) quoted->push_back(wasQuoted);
    if (p >= n) break;
    ++p;
  }
  return items;
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
  std::vector<bool> quoted;
  std::vector<std::string> items = SplitQuotedItems(list, &quoted);
  if (items.empty()) return {};
  std::string first = std::move(items[0]);
  if (quoted[0]) {
    std::size_t comma = first.find(',');
    if (comma != std::string::npos) first = std::string(TrimBlanks(std::string_view(first).substr(0, comma)));
  }
  return first;
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
  for (const std::string& item : SplitQuotedItems(list, nullptr)) {
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
