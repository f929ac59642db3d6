#pragma once
// HTTP date texts (RFC 1123, as sent in Last-Modified and If-Modified-Since) and the
// last-write time of local files expressed in them.
#include <ctime>
#include <string>

// "Sun, 06 Nov 1994 08:49:37 GMT" for a UTC time.
std::string FormatHttpDate(std::time_t utc);

// Reads the three date forms HTTP allows (RFC 1123, RFC 850 and asctime) and returns the UTC
// time. Leading and trailing blanks are ignored; anything else that does not fit fails.
bool ParseHttpDate(const std::string& text, std::time_t& utc);

// A Last-Modified a file may be given: a date that reads, not before 1990 and not more than a
// day ahead of Now. A server clock far off (year 9999, say) would otherwise stamp the copy so
// that every later conditional request is answered "not modified".
bool PlausibleHttpDate(const std::string& text, std::time_t now);
bool PlausibleHttpDate(const std::string& text);  // against the current time

// The file's last-write time (UTC) as RFC 1123 text; empty when the file cannot be read or
// its time not converted.
std::string FileHttpTime(const std::string& fileName);

// Sets the file's last-write time from an HTTP date text. False when the text is empty or
// does not convert, or the file cannot be changed.
bool SetFileHttpTime(const std::string& fileName, const std::string& httpDate);
