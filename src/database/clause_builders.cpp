#include "database/clause_builders.h"

#include "database/regex_utils.h"
#include "database/sakumotsu_keys.h"
#include "foundation/comma_text.h"

std::string AndIf(std::string_view a, std::string_view b) {
  return !a.empty() && !b.empty() ? " AND " : "";
}

std::string WhereIf(std::string_view clause) { return clause.empty() ? "" : " WHERE "; }

std::vector<std::string> WordList(std::string_view text) {
  // Blanks and full-width blanks separate words like commas, except inside a quoted item: a
  // picked name that holds a blank comes quoted and must stay one word. The rest is the
  // comma-text split.
  std::string t;
  t.reserve(text.size());
  constexpr std::string_view kZenBlank = "　";
  bool quoted = false, itemStart = true;
  for (std::size_t p = 0; p < text.size();) {
    const char c = text[p];
    if (quoted) {
      if (c == '"') {
        if (p + 1 < text.size() && text[p + 1] == '"') {  // a doubled quote stands for one
          t += "\"\"";
          p += 2;
          continue;
        }
        quoted = false;
      }
      t += c;
      ++p;
      continue;
    }
    if (c == ' ' || c == ',') {
      t += ',';
      itemStart = true;
      ++p;
      continue;
    }
    if (text.substr(p, kZenBlank.size()) == kZenBlank) {
      t += ',';
      itemStart = true;
      p += kZenBlank.size();
      continue;
    }
    if (c >= 0x01 && c < ' ') {  // control characters separate as in comma text
      t += c;
      itemStart = true;
      ++p;
      continue;
    }
    if (c == '"' && itemStart) quoted = true;
    itemStart = false;
    t += c;
    ++p;
  }
  return SplitDelimitedText(t, ',', '"', true);
}

std::string InList(std::string_view text, std::string_view field) {
  if (text.empty() || text == "全て") return {};
  std::string items;
  for (const std::string& item : CommaTextToList(std::string(text))) {
    if (!items.empty()) items += ',';
    items += SqlQuote(item);
  }
  return " " + std::string(field) + " IN (" + items + ")";
}

namespace {

template <typename MakeTest>
std::string OrChain(std::string_view text, MakeTest makeTest) {
  std::vector<std::string> words = WordList(text);
  if (words.empty()) return {};
  std::string out = "(";
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i) out += " or ";
    out += makeTest(words[i]);
  }
  out += ')';
  return out;
}

}  // namespace

std::string LikeList(std::string_view text, std::string_view field) {
  return OrChain(text, [&](const std::string& w) { return std::string(field) + " LIKE " + SqlQuote(w); });
}

std::string MatchListBetsumei(std::string_view text, std::string_view field) {
  return OrChain(text, [&](const std::string& w) {
    return "concat('、'," + std::string(field) + ",betsumei) MATCH " + SqlQuote("%" + w + "%");
  });
}

std::string SakuMatchList(std::string_view text) {
  return OrChain(text, [](const std::string& w) { return "sakumotsu MATCH " + SqlQuote(w); });
}

std::string SakuBetsumeiRegexp(std::string_view text, bool openFieldFlag) {
  return " concat('、', sakumotsu, betsumei) REGEXP " +
         BuildSakumotsuCondition(text, '%', openFieldFlag) +
         " AND concat('、', sakumotsu, betsumei) NOT REGEXP " +
         BuildSakumotsuCondition(text, '!', openFieldFlag);
}

std::string SakuRegexp(std::string_view text) {
  return " sakumotsu REGEXP " + BuildSakumotsuCondition(text, '%', false) +
         " AND sakumotsu NOT REGEXP " + BuildSakumotsuCondition(text, '!', true);
}

std::string SakuRubyRegexp(std::string_view text) {
  return " concat('、', sakumotsu, betsumei, ruby) REGEXP " + BuildSakumotsuCondition(text, '%', true) +
         " AND concat('、', sakumotsu, betsumei) NOT REGEXP " + BuildSakumotsuCondition(text, '!', true);
}
