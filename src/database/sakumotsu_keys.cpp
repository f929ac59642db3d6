#include "database/sakumotsu_keys.h"

#include "database/perl_regex.h"
#include "database/regex_utils.h"
#include "foundation/comma_text.h"
#include "foundation/kana_tables.h"

namespace {

std::string ReplaceAllRe(TPerlRegEx& re, std::string_view subject, std::string_view replacement) {
  re.SetSubject(subject);
  re.SetReplacement(replacement);
  re.ReplaceAll();
  return re.Subject();
}

bool ContainsRe(TPerlRegEx& re, std::string_view subject) {
  re.SetSubject(subject);
  return re.Match();
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

const std::vector<TKanaContext> kKanaContext = {
    {"とまと", "(?<!に)とまと"},
    {"さくら", "さくら(?!そ|ん|す)"},
    {"いね", "(?<!か)いね(?!か|科|こ)|すいとう|りくとう"},
    {"むき", "(?<!と)むき"},
    {"きひ", "(?<!う)きひ"},
    {"うめ", "(?<!ゆ|よ)うめ"},
    {"かき", "(?<!さ)かき(?!る)"},
    {"くり", "(?<!す|み|つ|よ)くり(?!さ|ん|ふ)"},
    {"なし", "(?<!る|ち|ね)なし"},
    {"もも", "(?<!す|ま|い|ら)もも"},
    {"ゆす", "ゆす(?!き)"},
    {"うと", "(?<!お|か|ふ|よ)うと(?!う)"},
    {"かふ", "(?<!り|た|ね|や)かふ(?!た)"},
    {"ける", "(?<!つ)ける"},
    {"せり", "(?<!は|う)せり"},
    {"なす", "(?<!た|な|ま|ひ)なす(?!な)"},
    {"ねき", "(?<!ま|と)ねき"},
    {"はす", "はす(?!い|か|も)"},
    {"ふき", "(?<!い|わ)ふき"},
    {"きく", "(?<!ん|あ|う)きく(?!に|ち|な)"},
    {"はら", "(?<!す)はら"},
    {"ゆり", "(?<!ち)ゆり(?!の)"},
    {"らん", "(?<!か|く|し|す|と|ま|ふ|ん|お)らん"},
    {"かし", "(?<!め|ら)かし(?!す|つ|ゆ|よ|ら|ろ|わ)"},
    {"きり", "(?<!つ)きり(?!え|は)"},
    {"すき", "(?<!あ|お|み|ゆ)すき"},
    {"つけ", "(?<!け|ぬ|め|き)つけ(?!も)"},
    {"ふう", "(?<!う|ん)ふう(?!と)"},
    {"ふな", "(?<!み)ふな"},
    {"まき", "まき(?!い|さ|ち|つ|な|ま|ろ|\\(|\\))"},
    {"まつ", "(?<!か|そ|と|ら|ろ)まつ(?!し|な|は|も)"},
    {"やし", "(?<!ち|ひ|ら)やし"},
    {"しは", "(?<!ろ)しは(?!い)"},
    {"ちや", "(?<!ほ|ん)ちや(?!い|ひ|と)"},
    {"こま", "(?<!え)こま(?!つ)"},
    {"すいとこん", "すいとこん|^とうもろこし(?!\\(子実\\))"},
    {"たけのこ", "たけのこ(?!いも)"},
};

// The cultivation forms of a crop name key: name, optional "(", the cultivation word,
// optional さいはい and ")", and the rest.
constexpr const char* kCultivation =
    "([^\\(]*)?\\(?((?<!ひ)ろし|しせつ|すいこう|ちよくは|いしよく|(?<!きりえた)そくせい)"
    "(さいはい)?\\)?(.*)?";

// Marks ﾞ ﾟ that follow a full-width hyphen-minus: strconv deletes the hyphen before it joins
// a half-width kana with its mark, so the key moves the hyphen behind the mark to agree.
std::string MoveHyphenBehindMarks(std::string_view w) {
  std::string out;
  out.reserve(w.size());
  const char* s = w.data();
  const std::size_t n = w.size();
  std::string pendingHyphens;
  for (std::size_t i = 0; i < n;) {
    std::size_t start = i;
    char32_t c = kana::DecodeUtf8(s, n, i);
    if (c != kana::kInvalid && kana::IsFullHyphen(c)) {
      pendingHyphens.append(s + start, i - start);
      continue;
    }
    bool mark = c == 0xFF9E || c == 0xFF9F;
    if (!mark) {
      out += pendingHyphens;
      pendingHyphens.clear();
    }
    out.append(s + start, i - start);
  }
  out += pendingHyphens;
  return out;
}

}  // namespace

std::string MakeKanaKey(std::string_view word) {
  // Only a word with a full-width hyphen-minus (－ or −) needs its marks looked at.
  const bool hyphen = word.find("\xEF\xBC\x8D") != std::string_view::npos ||
                      word.find("\xE2\x88\x92") != std::string_view::npos;
  std::string moved;
  if (hyphen) moved = MoveHyphenBehindMarks(word);
  std::string_view src = hyphen ? std::string_view(moved) : word;
  // 1. Half-width to full-width and katakana to hiragana. ASCII "-" stays ASCII: strconv keeps
  //    it, while a full-width "－" would be deleted from the pattern but not from the data.
  std::string mapped;
  mapped.reserve(src.size() * 2);
  std::size_t start = 0;
  while (true) {
    std::size_t dash = src.find('-', start);
    std::string_view seg = src.substr(start, dash == std::string_view::npos ? std::string_view::npos : dash - start);
    kana::MapTextAppend(seg, kana::kMapFullWidth | kana::kMapHiragana, mapped);
    if (dash == std::string_view::npos) break;
    mapped += '-';
    start = dash + 1;
  }
  // 2. and 3. Upper case, "ー" deleted, kana folded, full-width brackets half-width.
  std::string key;
  key.reserve(mapped.size());
  const char* s = mapped.data();
  const std::size_t n = mapped.size();
  for (std::size_t i = 0; i < n;) {
    std::size_t at = i;
    char32_t c = kana::DecodeUtf8(s, n, i);
    if (c == kana::kInvalid) {
      key += s[at];
      continue;
    }
    if (c == kana::kLongVowel) continue;
    if (c >= 0xFF41 && c <= 0xFF5A) c -= 0x20;  // ａ..ｚ → Ａ..Ｚ
    else if (c >= 'a' && c <= 'z') c -= 0x20;
    else if (c == 0xFF08) c = '(';
    else if (c == 0xFF09) c = ')';
    else if (c == 0xFF3B) c = '[';
    else if (c == 0xFF3D) c = ']';
    else c = kana::FoldHiragana(c);
    kana::AppendUtf8(key, c);
  }
  return key;
}

std::string NormalizeSakumotsuKey(std::string_view word) {
  std::string k = MakeKanaKey(word);
  // 1. Synonyms and spellings.
  static const std::pair<const char*, const char*> kPlain[] = {
      {"柑橘", "かんきつ"}, {"菠薐草", "ほうれんそう"}, {"南瓜", "かぼちゃ"},
      {"葡萄", "ぶどう"},   {"しかまき", "ちよくは"},   {"ちかまき", "ちよくは"},
      {"おおつふ", "たいりゆう"}, {"こつふ", "しようりゆう"}, {"かつか", "かくか"},
      {"ろち", "ろし"},
  };
  for (const auto& [from, to] : kPlain) k = ReplaceAllText(k, from, to);
  // 2. Seedless and seeded. (One compiled pattern per call site; thread_local keeps the
  //    routines safe should a worker thread ever use them.)
  static thread_local TPerlRegEx reSeedless("(?<!ら)たねなし|種無(し)?");
  static thread_local TPerlRegEx reSeeded("たねあり|種有(り)?");
  k = ReplaceAllRe(reSeedless, k, "むかく");
  k = ReplaceAllRe(reSeeded, k, "ゆうかく");
  // 3. Brackets.
  static thread_local TPerlRegEx reCultivation(kCultivation);
  if (ContainsRe(reCultivation, k)) {
    k = ReplaceAllText(k, "(ほつとまむ)", "\\(ほつとまむ\\)");
    k = ReplaceAllText(k, "(きりはなよう)", "\\(きりはなよう\\)");
  } else {
    k = EscapeBrackets(k);
  }
  // 4. Cultivation forms: name and remainder first, then an open bracket and the form, so the
  //    key matches the beginning of any bracketed cultivation form.
  if (k != "いしよくすいとう" && k != "ちよくはすいとう" && k != "ふつういしよくすいとう" &&
      k != "ちひよういしよくすいとう")
    k = ReplaceAllRe(reCultivation, k, "$1$4\\($2さいはい");
  // 5. Immature beans.
  static thread_local TPerlRegEx reBean1("(未|み)(成熟|せいしゆく)?(豆|まめ)(類|るい)?");
  static thread_local TPerlRegEx reBean2("(豆|まめ)(類|るい)?\\(?(未|み)(成熟|せいしゆく)?\\)?");
  k = ReplaceAllRe(reBean1, k, "まめるい\\(みせいしゆく\\)");
  k = ReplaceAllRe(reBean2, k, "まめるい\\(みせいしゆく\\)");
  return k;
}

std::string SakumotsuWordsToKeys(std::string_view words) {
  std::string t = ReplaceAllText(words, "　", ",");
  for (char& c : t)
    if (c == ' ') c = ',';
  std::string out;
  for (const std::string& item : CommaTextToList(t)) {
    // A word that normalises to nothing ("ー") is no word: an empty key would match any name.
    const std::string key = NormalizeSakumotsuKey(item);
    if (key.empty()) continue;
    if (!out.empty()) out += ',';
    out += key;
  }
  return out;
}

std::string KeysToRegexp(std::string_view keys) {
  std::string t = FullWidthMetaToEscaped(keys);
  std::string out;
  out.reserve(t.size() + 8);
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\\') {
      out += c;
      out += i + 1 < t.size() ? t[++i] : '\\';  // a lone backslash at the end becomes "\\"
      continue;
    }
    if (c == ',') {
      out += '|';
      continue;
    }
    if (IsRegexMeta(c)) out += '\\';
    out += c;
  }
  return out;
}

bool SplitCultivationForm(std::string_view name, std::string& base, std::string& form) {
  const std::size_t open = name.find("（");
  if (open == std::string_view::npos || name.find("栽培）", open) == std::string_view::npos) return false;
  base = name.substr(0, open);
  form = name.substr(open);
  return true;
}

std::string ApplyKanaContext(std::string_view list) {
  std::string out;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = list.find(',', start);
    std::string_view item =
        list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    bool replaced = false;
    for (const TKanaContext& row : kKanaContext) {
      if (item == row.key) {
        out += row.pattern;
        replaced = true;
        break;
      }
    }
    if (!replaced) out += item;
    if (comma == std::string_view::npos) break;
    out += ',';
    start = comma + 1;
  }
  return out;
}

const std::vector<TKanaContext>& KanaContextTable() { return kKanaContext; }

namespace {

// Removes single quotes, unescapes \( \) \[ \] and makes full-width brackets half-width.
std::string CleanNames(std::string_view names) {
  std::string t;
  t.reserve(names.size());
  for (char c : names)
    if (c != '\'') t += c;
  t = ReplaceAllText(t, "\\(", "(");
  t = ReplaceAllText(t, "\\)", ")");
  t = ReplaceAllText(t, "\\[", "[");
  t = ReplaceAllText(t, "\\]", "]");
  return FullToHalfBrackets(t);
}

// Splits at commas (with the blanks around them); quotes dropped, empty names left out.
std::vector<std::string> NameItems(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (c != '\'' && c != '"') clean += c;
  std::vector<std::string> out;
  for (std::string& s : SplitNameList(clean))
    if (!s.empty()) out.push_back(std::move(s));
  return out;
}

// Escapes the pattern characters of a crop name other than the brackets, which the include
// and exclude patterns treat separately; escaped brackets of a key count as plain brackets.
std::string EscapeNameKeepBrackets(std::string_view name) {
  std::string t = ReplaceAllText(name, "\\(", "(");
  t = ReplaceAllText(t, "\\)", ")");
  t = ReplaceAllText(t, "\\[", "[");
  t = ReplaceAllText(t, "\\]", "]");
  std::string out;
  out.reserve(t.size() + 8);
  for (char c : t) {
    if (IsRegexMeta(c) && c != '(' && c != ')' && c != '[' && c != ']') out += '\\';
    out += c;
  }
  return out;
}

// The exclude pattern makes each optional bracket part "\(?...\)?" an optional group
// "(\(...\))?". Only brackets that pair up are turned into a group, so a lone bracket of the
// user's text leaves a valid pattern.
std::string OptionalBracketsToGroups(const std::string& t) {
  enum Kind { kOther, kOpen, kClose };
  std::vector<std::size_t> pos;
  std::vector<Kind> kinds;
  for (std::size_t i = 0; i < t.size();) {
    if (t[i] == '\\' && i + 1 < t.size()) {
      if (i + 2 < t.size() && t[i + 2] == '?' && (t[i + 1] == '(' || t[i + 1] == ')')) {
        pos.push_back(i);
        kinds.push_back(t[i + 1] == '(' ? kOpen : kClose);
        i += 3;
      } else {
        i += 2;
      }
    } else {
      ++i;
    }
  }
  std::vector<bool> paired(pos.size(), false);
  std::vector<std::size_t> stack;
  for (std::size_t k = 0; k < pos.size(); ++k) {
    if (kinds[k] == kOpen) {
      stack.push_back(k);
    } else if (!stack.empty()) {
      paired[k] = paired[stack.back()] = true;
      stack.pop_back();
    }
  }
  std::string out;
  out.reserve(t.size() + 8);
  std::size_t copied = 0;
  for (std::size_t k = 0; k < pos.size(); ++k) {
    if (!paired[k]) continue;
    out.append(t, copied, pos[k] - copied);
    out += kinds[k] == kOpen ? "(\\(" : "\\))?";
    copied = pos[k] + 3;
  }
  out.append(t, copied, std::string::npos);
  return out;
}

std::string GroupCondition(std::string_view names) {
  std::string cleaned = HalfToFullBrackets(CleanNames(names));
  std::vector<std::string> items = NameItems(cleaned);
  std::string alt;
  if (!items.empty()) {
    std::string q, b, form;
    const bool cultivation = SplitCultivationForm(items[0], b, form);
    if (cultivation) q = "(" + EscapeRegexName(form) + ")?";
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!alt.empty()) alt += '|';
      alt += EscapeRegexName(items[i]);
      if (cultivation && i > 0 && items[i] != b) alt += q;
    }
  }
  return SqlQuote("、(" + alt + ")、");
}

// The names as an alternation with optional brackets; '%' puts the include frame around it,
// '!' the exclude frame, any other operator none.
std::string IncludeExcludeCondition(std::string_view names, char op, bool openFieldFlag) {
  // Names as passed in; their own pattern characters are escaped so that any text gives a
  // valid pattern, with brackets (plain or escaped) turned into optional brackets below.
  std::string t;
  {
    std::vector<std::string> items = NameItems(names);
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i) t += '|';
      t += EscapeNameKeepBrackets(items[i]);
    }
  }
  std::string b;
  b.reserve(t.size() + 16);
  for (char c : t) {
    switch (c) {
      case '(': b += "\\(?"; break;
      case ')': b += "\\)?"; break;
      case '[': b += "\\[?"; break;
      case ']': b += "\\]?"; break;
      default: b += c;
    }
  }
  t = std::move(b);
  static thread_local TPerlRegEx reGroups("(果樹|野菜|麦|雑穀|花き)類");
  t = ReplaceAllRe(reGroups, t, "$1(類)?");
  static thread_local TPerlRegEx reBeans("豆類(?!\\\\)");
  t = ReplaceAllRe(reBeans, t, "豆類(?!\\()");
  t = ReplaceAllText(t, "・観葉植物", "(・観葉植物)?");
  t = ApplyKanaContext(t);
  if (op == '%') {
    t = "(^|、|\\()(" + t + ")(\\(.*?(栽培|除く)|\\)|、|等|$)";
  } else if (op == '!') {
    t = OptionalBracketsToGroups(t);
    t = "\\((.*、)?(" + t + ")(、.*)?を除く";
    if (Contains(t, "露地"))
      t += "|施設|水耕";
    else if (openFieldFlag && (Contains(t, "施設") || Contains(t, "水耕")))
      t += "|露地";
  }
  std::string clean;
  for (char c : t)
    if (c != '\'' && c != '"') clean += c;
  return SqlQuote(FullWidthMetaToEscaped(clean));
}

}  // namespace

std::string BuildSakumotsuCondition(std::string_view names, char op, bool openFieldFlag) {
  switch (op) {
    case '#':
      return HalfToFullBrackets(FirstCsvItem(CleanNames(names)));
    case '=': {
      std::string f = EscapeRegexName(FirstCsvItem(CleanNames(names)));
      if (f.size() >= 2 && f.compare(f.size() - 2, 2, "\\)") == 0) f += '?';
      return SqlQuote("^" + f);
    }
    case ':':
    case '_':
    case '~':
      return GroupCondition(names);
    default:
      return IncludeExcludeCondition(names, op, openFieldFlag);
  }
}
