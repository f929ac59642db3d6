#include "database/sql_concat.h"

#include "database/sql_function_util.h"

namespace {

bool Unbordered(std::string_view s) {
  for (size_t l = 1; l < s.size(); ++l)
    if (s.substr(0, l) == s.substr(s.size() - l)) return false;
  return true;
}

}  // namespace

TConcatBuilder::TConcatBuilder(std::string_view separator, bool distinct, size_t limit)
    : sep_(separator), distinct_(distinct), limit_(limit), useSet_(!separator.empty() && Unbordered(separator)) {
  if (distinct_ && !sep_.empty() && !useSet_) wrapped_ = sep_ + sep_;
}

bool TConcatBuilder::Contains(std::string_view piece) const {
  if (useSet_) {
    // An empty result reads as one empty field (separator + separator).
    if (result_.empty()) return piece.empty();
    return pieces_.count(std::string(piece)) != 0;
  }
  std::string needle;
  needle.reserve(piece.size() + 2 * sep_.size());
  needle += sep_;
  needle += piece;
  needle += sep_;
  return wrapped_.find(needle) != std::string::npos;
}

void TConcatBuilder::Reserve(size_t more) const {
  if (more > limit_ || result_.size() > limit_ - more) throw sqlfn::ETextTooBig();
}

void TConcatBuilder::AddPiece(std::string_view piece) {
  if (distinct_ && Contains(piece)) return;
  bool wasEmpty = result_.empty();
  Reserve(piece.size() + (wasEmpty ? 0 : sep_.size()));
  if (!wasEmpty) result_ += sep_;
  result_ += piece;
  if (!distinct_) return;
  if (useSet_) {
    if (wasEmpty) pieces_.clear();
    pieces_.emplace(piece);
  } else {
    wrapped_.resize(wrapped_.size() - sep_.size());
    if (!wasEmpty) wrapped_ += sep_;
    wrapped_ += piece;
    wrapped_ += sep_;
  }
}

void TConcatBuilder::Add(std::string_view value) {
  if (value.empty()) return;
  if (!distinct_) {
    Reserve(value.size() + (result_.empty() ? 0 : sep_.size()));
    if (!result_.empty()) result_ += sep_;
    result_ += value;
    return;
  }
  if (sep_.empty()) {
    if (result_.find(value) == std::string::npos) {
      Reserve(value.size());
      result_ += value;
    }
    return;
  }
  size_t start = 0;
  while (true) {
    size_t at = value.find(sep_, start);
    if (at == std::string_view::npos) {
      AddPiece(value.substr(start));
      break;
    }
    AddPiece(value.substr(start, at - start));
    start = at + sep_.size();
  }
}
