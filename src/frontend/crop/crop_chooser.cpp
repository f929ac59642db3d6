#include "frontend/crop/crop_chooser.h"

#include <QString>
#include <algorithm>

#include "database/clause_builders.h"
#include "database/sakumotsu_keys.h"
#include "database/sakumotsu_list.h"
#include "foundation/comma_text.h"
#include "foundation/text_utils.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() == b.size() && a == b) return true;
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return SameName(s, name); });
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& names) {
  to.insert(to.end(), names.begin(), names.end());
}

// The selection as the trace lines show it (comma text, before duplicates are removed).
std::string TraceText(const std::vector<std::string>& names) { return ListToCommaText(names); }

}  // namespace

std::vector<std::string> RemoveDuplicateNames(const std::vector<std::string>& Names) {
  // Walk from the end: the first time a name is met there is its last occurrence.
  std::vector<std::string> kept;
  kept.reserve(Names.size());
  for (auto it = Names.rbegin(); it != Names.rend(); ++it) {
    if (it->empty() || Contains(kept, *it)) continue;
    kept.push_back(*it);
  }
  std::reverse(kept.begin(), kept.end());
  return kept;
}

std::string RemoveDuplicateText(const std::string& CommaText) {
  return ListToCommaText(RemoveDuplicateNames(CommaTextToList(CommaText)));
}

std::vector<std::string> SplitCropNames(std::string_view Text) {
  std::vector<std::string> out;
  for (std::string& s : SplitNameList(Text))
    if (!s.empty()) out.push_back(std::move(s));
  return out;
}

std::vector<std::string> NamesWithout(const std::vector<std::string>& Names, const std::vector<std::string>& Exclude) {
  std::vector<std::string> out;
  for (const std::string& n : Names)
    if (!Contains(Exclude, n)) out.push_back(n);
  return out;
}

std::vector<std::string> AddedNames(const std::vector<std::string>& Result, const std::vector<std::string>& Own) {
  return NamesWithout(Result, Own);
}

std::vector<std::string> TreeSelectionNames(const std::vector<const TSakumotsu*>& Checked, bool UpperOption,
                                            const TUpperGroupFn& UpperGroup, const TTraceFn& Trace,
                                            std::vector<std::string>* Added) {
  std::vector<std::string> names;
  bool upper = false;
  for (const TSakumotsu* c : Checked) {
    if (!c) continue;
    names.push_back(c->sakumotsu);
    // Every checked crop overwrites the flag: the last one in tree order decides.
    upper = UpperOption || c->toroku == 2;
    if (Trace) {
      Trace(upper ? "上位分類一括検索" : "指定作物のみ検索");
      Trace(std::to_string(c->toroku));
      Trace(IsRakuyokaju(*c) ? "IsRakuyokaju -> true" : "IsRakuyokaju -> false");
    }
  }
  std::vector<std::string> text = names;
  if (upper && UpperGroup) {
    for (const std::string& n : names) Append(text, SplitCropNames(UpperGroup(n)));
    if (Trace) Trace("flgUpper==> tmpsk -> " + TraceText(text));
  }
  if (Trace) Trace("tmpsk -> " + TraceText(text));
  std::vector<std::string> result = RemoveDuplicateNames(text);
  if (Added) *Added = AddedNames(result, names);
  return result;
}

std::vector<std::string> ListSelectionNames(const std::vector<const TSakumotsu*>& Checked, bool UpperOption,
                                            const TUpperGroupFn& UpperGroup, const TNameOfFn& NameOf,
                                            const TTraceFn& Trace, std::vector<std::string>* Added) {
  std::vector<std::string> text;
  std::vector<std::string> own;  // the names the checked crops stand for themselves
  if (UpperOption) {
    for (const TSakumotsu* c : Checked) {
      if (!c) continue;
      own.push_back(c->sakumotsu);
      std::vector<std::string> u = UpperGroup ? SplitCropNames(UpperGroup(c->sakumotsu)) : std::vector<std::string>();
      if (u.empty()) u.push_back(c->sakumotsu);
      Append(text, u);
    }
    if (Trace) Trace("tmpsk -> " + TraceText(text));
  } else {
    for (const TSakumotsu* c : Checked) {
      if (!c) continue;
      const size_t from = text.size();
      if (NameOf) Append(text, NameOf(*c));
      else text.push_back(c->sakumotsu);
      own.insert(own.end(), text.begin() + static_cast<std::ptrdiff_t>(from), text.end());
      if (c->toroku == 2 && UpperGroup) Append(text, SplitCropNames(UpperGroup(c->sakumotsu)));
    }
  }
  std::vector<std::string> result = RemoveDuplicateNames(text);
  if (Added) *Added = AddedNames(result, own);
  return result;
}

std::string CvoCellToNames(std::string_view Cell) {
  std::string out(Cell);
  std::replace(out.begin(), out.end(), '|', ',');
  return out;
}

bool SameKanaText(std::string_view A, std::string_view B) {
  return HiraToKata(HanKanaToZen(A)) == HiraToKata(HanKanaToZen(B));
}

std::string SakumotsuSearchPattern(std::string_view Words, TCropMatch Match) {
  const std::string keys = SakumotsuWordsToKeys(Words);
  if (keys.empty()) return std::string();
  std::string k = KeysToRegexp(keys);
  if (Match != TCropMatch::Prefix) return k;
  if (k.find('(') != std::string::npos) return "(^|、|\\()(" + k + "?)";
  // Several words are alternatives: each of them must start the keyword.
  if (k.find('|') != std::string::npos) return "(^|、|\\()(" + k + ")";
  return "(^|、|\\()" + k;
}

std::string SakumotsuSearchSql(std::string_view Words, TCropMatch Match) {
  if (Match == TCropMatch::Exact) {
    const std::string cond = SakuMatchList(Words);
    if (cond.empty()) return std::string();
    return "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE " + cond +
           " ORDER BY idsaku;";
  }
  const std::string pattern = SakumotsuSearchPattern(Words, Match);
  if (pattern.empty()) return std::string();
  return "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE "
         "strconv(keywords) regexp preconv(" +
         SqlQuote(pattern) + ") ORDER BY idsaku;";
}

TBoundSql SakumotsuExactSearch(std::string_view Words) {
  TBoundSql out;
  std::string cond;
  for (const std::string& w : WordList(Words)) {
    if (w.empty()) continue;
    out.Params.push_back(w);
    if (!cond.empty()) cond += " or ";
    cond += "sakumotsu MATCH ?" + std::to_string(out.Params.size());
  }
  if (cond.empty()) return out;
  out.SQL = "SELECT class,idsaku,toroku,shukakubui,sakumotsu,betsumei,gunmei FROM vs_sakumotsu2 WHERE (" + cond +
            ") ORDER BY idsaku;";
  return out;
}

std::string Beppyo1LgSql(const std::string& Lg) {
  if (Lg.empty()) return "SELECT * FROM spec.beppyo1n WHERE lg ISNULL";
  return "SELECT * FROM spec.beppyo1n WHERE lg = " + SqlQuote(Lg);
}

std::string Beppyo1MgListSql(const std::string& Lg) {
  if (Lg.empty()) return "SELECT DISTINCT mg FROM spec.beppyo1n WHERE lg ISNULL";
  return "SELECT DISTINCT mg FROM spec.beppyo1n WHERE lg = " + SqlQuote(Lg);
}

std::string Beppyo1MgSql(const std::string& Lg, const std::string& Mg) {
  if (Mg == kAllItems) return Beppyo1LgSql(Lg);
  if (!Mg.empty()) {
    if (!Lg.empty()) return "SELECT * FROM spec.beppyo1n WHERE mg = " + SqlQuote(Mg);
    return "SELECT * FROM spec.beppyo1n WHERE mg =" + SqlQuote(Mg) + " AND lg ISNULL";
  }
  if (!Lg.empty()) return "SELECT * FROM spec.beppyo1n WHERE mg ISNULL AND lg = " + SqlQuote(Lg);
  return "SELECT * FROM spec.beppyo1n WHERE mg ISNULL AND lg ISNULL";
}

std::string Beppyo1AllMgListSql() { return "SELECT DISTINCT mg FROM spec.beppyo1n"; }

std::string Beppyo1MgOnlySql(const std::string& Mg) {
  if (Mg.empty()) return "SELECT * FROM spec.beppyo1n WHERE mg ISNULL";
  return "SELECT * FROM spec.beppyo1n WHERE mg = " + SqlQuote(Mg);
}

std::string CvoFamiliesSql() { return "SELECT DISTINCT family FROM spec.cvo WHERE sakumotsu != '' ORDER BY family;"; }

std::string CvoAllSql(const std::string& Table) { return "SELECT * FROM spec." + Table + " WHERE sakumotsu != '';"; }

std::string CvoFamilySql(const std::string& Family) {
  if (Family.empty()) return "SELECT * FROM spec.cvo WHERE family ISNULL";
  return "SELECT * FROM spec.cvo WHERE sakumotsu != '' AND family = " + SqlQuote(Family);
}
