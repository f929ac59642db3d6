#include "database/import_convert.h"

#include <charconv>

#include "database/csv_split.h"
#include "foundation/text_utils.h"

std::string NodoText(std::string_view s) { return s.empty() ? std::string() : HanKanaToZen(s); }

TOptText TextOrNull(std::string_view s) {
  if (s.empty()) return std::nullopt;
  return std::string(s);
}

TOptText CsvValueOrNull(std::string_view s) {
  if (s.empty() || s == "NULL") return std::nullopt;
  std::string v(s);
  ReplaceUnderscores(v);
  return ZenToHanAscii(v);
}

TOptText QuoteUnlessNull(std::string_view s) {
  if (s == "NULL") return std::nullopt;
  return std::string(s);
}

std::string SquareMetreText(std::string_view s) {
  std::string v(s);
  ReplaceAll(v, "m2", "㎡");
  return v;
}

std::optional<int64_t> ParseWholeNumber(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  if (s.front() == '+') s.remove_prefix(1);
  int64_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc()) return std::nullopt;
  std::string_view rest(r.ptr, static_cast<size_t>(s.data() + s.size() - r.ptr));
  if (rest.empty()) return v;
  if (rest.front() != '.') return std::nullopt;
  rest.remove_prefix(1);
  for (char c : rest)
    if (c != '0') return std::nullopt;
  return v;
}
