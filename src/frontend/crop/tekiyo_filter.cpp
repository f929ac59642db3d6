#include "frontend/crop/tekiyo_filter.h"

#include "database/clause_builders.h"

namespace {

constexpr std::string_view kAll = "全て";
constexpr std::string_view kZenPercent = "％";

bool IsAsciiBlank(char c) { return c >= 0x01 && c <= ' '; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsAsciiBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string SelectFrom(std::string_view View) { return "SELECT * FROM " + std::string(View); }

}  // namespace

std::string FilterValue(std::string_view Text) {
  std::string_view t = TrimBlanks(Text);
  if (t == kAll) return {};
  return std::string(t);
}

bool HasFilterWords(std::string_view Text) {
  for (const std::string& w : WordList(FilterValue(Text)))
    if (!w.empty()) return true;
  return false;
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
  const std::string like = HasFilterWords(Text) ? LikeList(FilterValue(Text), Field) : std::string();
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
