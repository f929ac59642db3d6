#pragma once
// The style sheets a new program folder starts with: the result page's standard look
// ("standard.css", the default of the HTML view) and the one the spreadsheet routes send
// along ("excel.css").  The user edits them or adds others in the style-sheet folder.
#include <string>
#include <vector>

struct TDefaultStyleSheet {
  const char* Name;
  const char* Text;
};
const std::vector<TDefaultStyleSheet>& DefaultStyleSheets();

// Writes the default sheets into `cssDir` (made when missing) when it holds no style sheet at
// all; a folder with sheets of the user's is left as it is.  False when the folder or a file
// could not be written (the pages then use the built-in rule).
bool EnsureDefaultStyleSheets(const std::string& cssDir);
