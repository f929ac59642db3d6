#include "database/csv_split.h"

#include <algorithm>
#include <cstring>

size_t SplitCsvLine(std::string_view line, char quote, std::vector<std::string>& out) {
  out.clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) {
    out.emplace_back();
    return 1;
  }
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    std::string field;
    if (i < n && line[i] == quote) {
      ++i;
      while (i < n) {
        char c = line[i];
        if (c == quote) {
          if (i + 1 < n && line[i + 1] == quote) {
            field.push_back(quote);
            i += 2;
            continue;
          }
          ++i;  // closing quote
          break;
        }
        // Copy the run up to the next quote in one go.
        const char* q = static_cast<const char*>(std::memchr(line.data() + i, quote, n - i));
        size_t end = q ? static_cast<size_t>(q - line.data()) : n;
        field.append(line.data() + i, end - i);
        i = end;
      }
      // Anything after the closing quote up to the comma belongs to the field.
      const char* c = static_cast<const char*>(std::memchr(line.data() + i, ',', n - i));
      size_t end = c ? static_cast<size_t>(c - line.data()) : n;
      field.append(line.data() + i, end - i);
      i = end;
    } else {
      const char* c = i < n ? static_cast<const char*>(std::memchr(line.data() + i, ',', n - i)) : nullptr;
      size_t end = c ? static_cast<size_t>(c - line.data()) : n;
      field.assign(line.data() + i, end - i);
      i = end;
    }
    out.push_back(std::move(field));
    if (i >= n) break;
    ++i;  // the comma
    if (i == n) {  // a comma at the end gives a last empty field
      out.emplace_back();
      break;
    }
  }
  return out.size();
}

std::vector<std::string> SplitCsvLine(std::string_view line, char quote) {
  std::vector<std::string> out;
  SplitCsvLine(line, quote, out);
  return out;
}

void ReplaceUnderscores(std::string& s) { std::replace(s.begin(), s.end(), '_', ' '); }

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  size_t pos = s.find(from);
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(s.size());
  size_t last = 0;
  while (pos != std::string::npos) {
    out.append(s, last, pos - last);
    out.append(to);
    last = pos + from.size();
    pos = s.find(from, last);
  }
  out.append(s, last, std::string::npos);
  s.swap(out);
}

size_t CountChar(std::string_view s, char c) { return static_cast<size_t>(std::count(s.begin(), s.end(), c)); }
