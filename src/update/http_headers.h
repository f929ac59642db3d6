#pragma once
// The response headers of a download as the callers read them.
#include <cstdint>
#include <string>
#include <vector>

// Response headers as "Name=Value" lines; the status line becomes the three items
// "HttpVersion=", "StatusCode=" and "StatusText=". Names compare without regard to case.
class THeaderList {
 public:
  void Clear() { lines_.clear(); }
  void Add(const std::string& line) { lines_.push_back(line); }
  size_t Count() const { return lines_.size(); }
  const std::string& operator[](size_t i) const { return lines_[i]; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The value of the first "Name=..." line; empty when there is none.
  std::string Values(const std::string& name) const;
  // All lines joined by CRLF.
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

// Turns the raw header block of one response (status line and header lines, CRLF or LF) into
// the list: each header's name and value are split at the first colon only, so values that
// hold ": " themselves stay whole.
void ParseResponseHeaders(const std::string& raw, THeaderList& list);

// The body length a response announces: -1 when it announces none; -2 when its
// Content-Length headers (or the values of one) disagree or do not read as a number, which
// leaves the length of the body unknown (such a response is refused).
std::int64_t AnnouncedLength(const THeaderList& headers);
