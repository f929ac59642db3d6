#pragma once
// The joining rules of the SQL functions concat and concat2.
//
// concat: a value is split at every occurrence of the separator (taken literally) and each
// piece is appended, preceded by the separator when the result is not empty, unless
// separator + piece + separator already occurs in separator + result + separator; with an
// empty separator a value is appended unless it already occurs in the result.  concat2 joins
// every non-empty value with the separator.  There is no piece limit; the result stops at the
// length limit given (the connection's longest text): passing it throws sqlfn::ETextTooBig
// at once, before the rest is joined.
//
// The result is built once, in the block that becomes the function's result; the pieces
// already in it are found through a hash set of their places in it, so each piece costs its
// own length, however long the result or the separator.  Two cases still search the whole
// result for a piece the set does not hold: a separator that overlaps itself (",," or "aba",
// where a piece may straddle fields) and an empty separator.
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

#include "database/sql_function_util.h"

class TConcatBuilder {
 public:
  explicit TConcatBuilder(std::string_view separator, bool distinct = true,
                          size_t limit = std::numeric_limits<size_t>::max());
  void Add(std::string_view value);
  std::string_view Result() const { return {buf_.data() + lead_, ResultSize()}; }
  // Hands the result to SQLite (without a copy); the builder is empty afterwards.
  void ResultTo(sqlite3_context* ctx);
  // Bytes read so far: every search counted with its whole text and what it looks for, every
  // piece with its hash. It grows as the input and the result do, never as their product.
  size_t Examined() const { return examined_; }

 private:
  size_t ResultSize() const { return buf_.size() - 2 * lead_; }
  void AddPiece(std::string_view piece);
  size_t Find(std::string_view hay, std::string_view needle, size_t from = 0);
  bool Contains(std::string_view piece);
  // Throws when the result would pass the limit with `more` bytes added (nothing is added).
  void Reserve(size_t more) const;

  std::string sep_;
  bool distinct_;
  size_t limit_;
  // A separator that can overlap itself (a proper prefix equal to a suffix, as ",," or
  // "aba") can make separator + piece + separator occur across the fields of the result: the
  // buffer then holds separator + result + separator (lead_ is the separator's length) and a
  // piece not among the fields is searched for in it. Otherwise the fields answer alone.
  size_t lead_ = 0;
  bool bordered_ = false;
  sqlfn::TResultText buf_;
  sqlfn::TSpanSet fields_;    // the fields of the result (places in buf_)
  std::string needle_;  // scratch: separator + piece + separator
  size_t examined_ = 0;
};
