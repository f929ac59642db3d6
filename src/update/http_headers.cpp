// The response headers as the download keeps them: "Name=Value" lines, the status line as
// three items, and the body length they announce.
#include "update/http_headers.h"

#include <string>

#include "update/http_text.h"

using namespace http_text;

std::string THeaderList::Values(const std::string& name) const {
  for (const auto& l : lines_) {
    size_t eq = l.find('=');
    if (eq != std::string::npos && eq == name.size() && EqualNoCase(l.substr(0, eq), name)) return l.substr(eq + 1);
  }
  return {};
}

std::string THeaderList::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void ParseResponseHeaders(const std::string& raw, THeaderList& list) {
  list.Clear();
  std::vector<std::string> lines;
  size_t p = 0;
  while (p < raw.size()) {
    size_t e = raw.find('\n', p);
    if (e == std::string::npos) e = raw.size();
    std::string line = raw.substr(p, e - p);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    p = e + 1;
    if (line.empty()) continue;
    if ((line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
      lines.back().append(" ").append(Trim(line));  // folded continuation of the previous header
      continue;
    }
    lines.push_back(line);
  }
  for (const auto& line : lines) {
    if (StartsWithNoCase(line, "HTTP/")) {
      size_t b1 = line.find(' ');
      std::string version = line.substr(5, b1 == std::string::npos ? std::string::npos : b1 - 5);
      std::string code, reason;
      if (b1 != std::string::npos) {
        size_t b2 = line.find(' ', b1 + 1);
        code = line.substr(b1 + 1, b2 == std::string::npos ? std::string::npos : b2 - b1 - 1);
        if (b2 != std::string::npos) reason = line.substr(b2 + 1);
      }
      list.Add("HttpVersion=" + version);
      list.Add("StatusCode=" + code);
      list.Add("StatusText=" + reason);
      continue;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos) {
      list.Add(line);
      continue;
    }
    std::string value = line.substr(colon + 1);
    size_t v = 0;
    while (v < value.size() && (value[v] == ' ' || value[v] == '\t')) ++v;
    list.Add(Trim(line.substr(0, colon)) + "=" + value.substr(v));
  }
}

std::int64_t AnnouncedLength(const THeaderList& headers) {
  std::int64_t length = -1;
  for (const std::string& line : headers.Lines()) {
    const size_t eq = line.find('=');
    if (eq != 14 || !EqualNoCase(line.substr(0, eq), "Content-Length")) continue;
    for (const std::string& part : SplitAny(line.substr(eq + 1), ",")) {
      const std::string v = Trim(part);
      if (v.empty() || v.size() > 18 || v.find_first_not_of("0123456789") != std::string::npos) return -2;
      const std::int64_t n = std::stoll(v);
      if (length >= 0 && n != length) return -2;
      length = n;
    }
  }
  return length;
}
