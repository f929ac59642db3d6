#include "frontend/tekiyo_filter.h"

#include "database/clause_builders.h"
#include "foundation/comma_text.h"

namespace {

constexpr std::string_view kAll = "全て";
constexpr std::string_view kZenBlank = "　";
constexpr std::string_view kZenPercent = "％";

bool IsAsciiBlank(char c) { return c >= 0x01 && c <= ' '; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsAsciiBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Length of the separator at text[p] (comma, blank or full-width blank), 0 for none.
size_t SeparatorAt(std::string_view text, size_t p) {
  const char c = text[p];
  if (c == ',' || IsAsciiBlank(c)) return 1;
  if (text.substr(p, kZenBlank.size()) == kZenBlank) return kZenBlank.size();
  return 0;
}

std::string SelectFrom(std::string_view View) { return "SELECT * FROM " + std::string(View); }

}  // namespace

std::string FilterValue(std::string_view Text) {
  std::string_view t = TrimBlanks(Text);
  if (t == kAll) return {};
  return std::string(t);
}

std::vector<std::string> FilterWords(std::string_view Text) {
  std::vector<std::string> words;
  size_t p = 0;
  const size_t n = Text.size();
  while (p < n) {
    if (size_t s = SeparatorAt(Text, p)) {
      p += s;
      continue;
    }
    std::string word;
    if (Text[p] == '"') {
      ++p;
      while (p < n) {
        if (Text[p] == '"') {
          if (p + 1 < n && Text[p + 1] == '"') {
            word += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        word += Text[p++];
      }
    }
    // Unquoted text (or text glued to a closing quote) runs to the next separator.
    while (p < n && SeparatorAt(Text, p) == 0) word += Text[p++];
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

std::string FilterCommaText(const std::vector<std::string>& Names) {
  std::string out;
  for (const std::string& name : Names) {
    if (!out.empty()) out += ',';
    bool quote = name.empty() || name.find(kZenBlank) != std::string::npos;
    for (char c : name)
      if (IsAsciiBlank(c) || c == ',' || c == '"') quote = true;
    if (!quote) {
      out += name;
      continue;
    }
    out += '"';
    for (char c : name) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

std::string FilterLikeList(std::string_view Text, std::string_view Field) {
  const std::vector<std::string> words = FilterWords(Text);
  if (words.empty()) return {};
  std::string out = "(";
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) out += " or ";
    out += std::string(Field) + " LIKE " + SqlQuote(words[i]);
  }
  out += ')';
  return out;
}

std::string AsciiPercent(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t p = 0; p < Text.size();) {
    if (Text.substr(p, kZenPercent.size()) == kZenPercent) {
      out += '%';
      p += kZenPercent.size();
    } else {
      out += Text[p++];
    }
  }
  return out;
}

std::string UseZaikeiWhere(std::string_view Use, std::string_view Zaikei) {
  const std::string u = FilterValue(Use), z = FilterValue(Zaikei);
  return WhereIf(u + z) + InList(u, "yoto") + AndIf(u, z) + InList(z, "zaikei");
}

std::string ByochuListSql(std::string_view Use, std::string_view Zaikei) {
  return "SELECT DISTINCT byochu FROM ttTekiyoSaku " + UseZaikeiWhere(Use, Zaikei) + " ORDER BY idbyochu";
}

std::string MokutekiListSql(std::string_view Use, std::string_view Zaikei) {
  return "SELECT DISTINCT mokuteki FROM ttTekiyoSaku " + UseZaikeiWhere(Use, Zaikei) + " ORDER BY mokuteki";
}

std::string ZaikeiListSql(std::string_view Use) {
  const std::string u = FilterValue(Use);
  return "SELECT DISTINCT zaikei FROM ttTekiyoSaku " + WhereIf(u) + InList(u, "yoto") + " ORDER BY zaikei";
}

std::string WordFilterSql(std::string_view View, std::string_view Field, std::string_view Text,
                          std::string_view Use, std::string_view Zaikei) {
  const std::string like = FilterValue(Text).empty() ? std::string() : FilterLikeList(Text, Field);
  if (like.empty()) return UseFilterSql(View, Use, Zaikei);
  const std::string u = FilterValue(Use), z = FilterValue(Zaikei);
  return SelectFrom(View) + " WHERE (" + like + ") " + AndIf(like, u + z) + InList(u, "yoto") + AndIf(u, z) +
         InList(z, "zaikei");
}

std::string UseFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei) {
  return SelectFrom(View) + UseZaikeiWhere(Use, Zaikei);
}

std::string ZaikeiFilterSql(std::string_view View, std::string_view Use, std::string_view Zaikei) {
  const std::string u = FilterValue(Use), z1 = FilterValue(Zaikei);
  if (z1.empty()) return SelectFrom(View) + WhereIf(u) + InList(u, "yoto");
  return SelectFrom(View) + WhereIf(u + z1) + InList(u, "yoto") + AndIf(z1, u) + InList(z1, "zaikei");
}
