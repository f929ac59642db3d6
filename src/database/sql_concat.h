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
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_set>

class TConcatBuilder {
 public:
  explicit TConcatBuilder(std::string_view separator, bool distinct = true,
                          size_t limit = std::numeric_limits<size_t>::max());
  void Add(std::string_view value);
  const std::string& Result() const { return result_; }

 private:
  void AddPiece(std::string_view piece);
  bool Contains(std::string_view piece) const;
  // Throws when the result would pass the limit with `more` bytes added (nothing is added).
  void Reserve(size_t more) const;

  std::string sep_;
  bool distinct_;
  size_t limit_;
  // A separator that cannot overlap itself (no proper prefix equal to a suffix) makes the
  // result's pieces exactly its separator-delimited fields, so a hash set of them answers the
  // occurrence test; other separators use the plain text search.
  bool useSet_;
  std::string result_;
  std::string wrapped_;  // separator + result + separator, kept for the plain search
  std::unordered_set<std::string> pieces_;
};
