#pragma once
// The server's answers within one update run. A run asks for each address once: the check
// fetches the update page, the download step would ask for it again, the build and the reopen
// of the database would each ask for the eighteen master scripts again. While a run lasts
// (TRunAnswersScope; in an unattended "/u" or "/r" process also before its first scope, so
// that the start-up check and the run are one; in the interactive program one scope holds the
// start-up check and the update window it opens), an address whose
// answer left a copy that is still as that answer left it is not asked again: the copy just
// fetched serves the later step.
#include <string>

// Remembers the answers while it lives (scopes nest; the last one forgets them).
class TRunAnswersScope {
 public:
  TRunAnswersScope();
  ~TRunAnswersScope();
  TRunAnswersScope(const TRunAnswersScope&) = delete;
  TRunAnswersScope& operator=(const TRunAnswersScope&) = delete;
};

// Answers are remembered now.
bool RunAnswersActive();
// Url was answered in this run ("200" with a copy, or "304") and File is still the copy that
// answer left (same file, time and size). LastModified receives the answer's date.
bool AnsweredThisRun(const std::string& Url, const std::string& File, std::string* LastModified = nullptr);
// Remembers that the answer to Url left File as it is now (nothing outside a run).
void RememberAnswer(const std::string& Url, const std::string& File, const std::string& LastModified);
