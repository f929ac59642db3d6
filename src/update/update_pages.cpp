#include "update/update_pages.h"

#include "database/import_reader.h"
#include "update/data_date.h"
#include "update/update_sources.h"

namespace {

std::string Trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

}  // namespace

std::string PageFileName(int downSite) {
  switch (downSite) {
    case 0: return kPageCsv;
    case 1: return kPageXls;
    case 2: return kPageMirror;
    default: return {};
  }
}

bool ReadPageLines(const std::string& fileName, std::vector<std::string>& lines) {
  lines.clear();
  std::string text;
  // A page larger than any page the service publishes is not read.
  if (!PageWithinBound(fileName)) return false;
  try {
    text = ReadTextFile(fileName);
  } catch (const EImportFileError&) {
    return false;
  }
  // A byte-order mark that the reader left in front of the first line.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    pos = nl + 1;
  }
  return true;
}

std::string PageDateText(const std::string& fileName, int downSite) {
  std::vector<std::string> lines;
  if (!ReadPageLines(fileName, lines)) return "不明";
  if (downSite == 2) return lines.empty() ? std::string("不明") : Trimmed(DataDateText(Trimmed(lines[0])));
  for (const std::string& line : lines) {
    if (line.find("反映分") == std::string::npos || line.find("<!--") != std::string::npos) continue;
    return Trimmed(DataDateText(Trimmed(line)));
  }
  return "不明";
}

bool IsKnownDataDate(const std::string& text) {
  return !text.empty() && text != "不明" && text != "更新日不明" && text != "更新日付不明";
}
