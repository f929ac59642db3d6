#include "foundation/comma_text.h"

namespace {

inline bool IsBlank(char c) { return c >= 0x01 && c <= ' '; }

// Reads a quoted item starting at text[p] == quote; p ends after the closing quote (or at the
// end of the text when the quote is never closed).
std::string ReadQuoted(std::string_view text, std::size_t& p, char quote) {
  std::string item;
  ++p;
  while (p < text.size()) {
    char c = text[p];
    if (c == quote) {
      if (p + 1 < text.size() && text[p + 1] == quote) {
        item += quote;
        p += 2;
        continue;
      }
      ++p;
      return item;
    }
    item += c;
    ++p;
  }
  return item;
}

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::vector<std::string> SplitDelimitedText(std::string_view text, char delimiter, char quote,
                                            bool blanksSeparate) {
  std::vector<std::string> items;
  std::size_t p = 0, n = text.size();
  // A NUL ends the text, as it would for the C string it usually is.
  if (auto z = text.find('\0'); z != std::string_view::npos) n = z;
  auto skipBlanks = [&] {
    while (p < n && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < n) {
    std::string item;
    if (text[p] == quote) {
      item = ReadQuoted(text.substr(0, n), p, quote);
      if (!blanksSeparate) {
        // Text between the closing quote and the next delimiter belongs to the same item.
        std::size_t start = p;
        while (p < n && text[p] != delimiter) ++p;
        item += Trim(text.substr(start, p - start));
      }
    } else if (blanksSeparate) {
      std::size_t start = p;
      while (p < n && !IsBlank(text[p]) && text[p] != delimiter) ++p;
      item.assign(text.substr(start, p - start));
    } else {
      std::size_t start = p;
      while (p < n && text[p] != delimiter) ++p;
      item.assign(Trim(text.substr(start, p - start)));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (p < n && text[p] == delimiter) {
      if (p + 1 == n) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

std::vector<std::string> CommaTextToList(const std::string& text) {
  return SplitDelimitedText(text, ',', '"', true);
}

std::string QuoteCommaItem(const std::string& item) {
  bool needsQuotes = false;
  for (char c : item) {
    if ((c >= 0 && c <= ' ') || c == '"' || c == ',') {
      needsQuotes = true;
      break;
    }
  }
  // A full-width blank separates words in the filter texts (the word lists of the clause
  // builders): a name holding one is quoted too, which every comma-text reader takes as is.
  if (!needsQuotes && item.find("　") != std::string::npos) needsQuotes = true;
  if (!needsQuotes) return item;
  std::string out;
  out.reserve(item.size() + 2);
  out += '"';
  for (char c : item) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string ListToCommaText(const std::vector<std::string>& items) {
  // A list of one empty item must not read back as an empty list.
  if (items.size() == 1 && items[0].empty()) return "\"\"";
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += QuoteCommaItem(items[i]);
  }
  return out;
}

std::vector<std::string> SplitNameList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t p = 0, n = text.size();
  while (true) {
    while (p < n && IsBlank(text[p])) ++p;
    std::string item;
    if (p < n && text[p] == '"') {
      item = ReadQuoted(text, p, '"');
      std::size_t start = p;
      while (p < n && text[p] != ',') ++p;
      item += Trim(text.substr(start, p - start));
    } else {
      std::size_t start = p;
      while (p < n && text[p] != ',') ++p;
      item.assign(Trim(text.substr(start, p - start)));
    }
    items.push_back(std::move(item));
    if (p >= n) break;
    ++p;  // the comma
  }
  if (items.size() == 1 && items[0].empty()) items.clear();
  return items;
}
