#pragma once
// Small helpers shared by the SQL function callbacks (internal to the database library).
#include <sqlite3.h>

#include <exception>
#include <new>
#include <string>
#include <string_view>

namespace sqlfn {

// The UTF-8 text of a value; NULL reads as the empty text.
inline std::string_view Text(sqlite3_value* v) {
  const unsigned char* p = sqlite3_value_text(v);
  if (!p) return {};
  return {reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v))};
}

// A text being built passed the connection's length limit: the statement fails with SQLite's
// own "string or blob too big".
class ETextTooBig : public std::exception {
 public:
  const char* what() const noexcept override { return "string or blob too big"; }
};

// The longest text the connection accepts (SQLITE_LIMIT_LENGTH), in bytes.
inline size_t LengthLimit(sqlite3_context* ctx) {
  const int n = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

// Stops a growing result as soon as it passes the limit.
inline void CheckLength(size_t size, size_t limit) {
  if (size > limit) throw ETextTooBig();
}

inline void ResultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// Runs a callback body so that no C++ exception crosses into SQLite: a failure becomes the
// statement's error.
template <typename F>
inline void Guard(sqlite3_context* ctx, const char* name, F&& body) noexcept {
  try {
    body();
  } catch (const ETextTooBig&) {
    sqlite3_result_error_toobig(ctx);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    std::string msg = std::string(name) + ": " + e.what();
    sqlite3_result_error(ctx, msg.c_str(), -1);
  } catch (...) {
    std::string msg = std::string(name) + ": unexpected failure";
    sqlite3_result_error(ctx, msg.c_str(), -1);
  }
}

}  // namespace sqlfn
