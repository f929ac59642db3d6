#include "database/sql_concat.h"

#include <cstring>
#include <vector>

namespace {

// True when a proper prefix of s equals a suffix of it (the prefix function of its end).
bool Bordered(std::string_view s) {
  if (s.size() < 2) return false;
  std::vector<uint32_t> pi(s.size(), 0);
  for (size_t i = 1; i < s.size(); ++i) {
    uint32_t k = pi[i - 1];
    while (k > 0 && s[i] != s[k]) k = pi[k - 1];
    if (s[i] == s[k]) ++k;
    pi[i] = k;
  }
  return pi.back() > 0;
}

// The first place of needle in hay at or after from, or npos; linear in both (the C
// library's search, where the string's own is quadratic for a long needle of repeats).
size_t FindFrom(std::string_view hay, std::string_view needle, size_t from = 0) {
  if (from > hay.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  const void* p = memmem(hay.data() + from, hay.size() - from, needle.data(), needle.size());
  return p ? static_cast<size_t>(static_cast<const char*>(p) - hay.data()) : std::string_view::npos;
}



}  // namespace

size_t TConcatBuilder::Find(std::string_view hay, std::string_view needle, size_t from) {
  const size_t at = FindFrom(hay, needle, from);
  // The search reads the needle, and the text up to the end of the place found (or to its end).
  const size_t end = at == std::string_view::npos ? hay.size() : at + needle.size();
  examined_ += needle.size() + (end > from ? end - from : 0);
  return at;
}

TConcatBuilder::TConcatBuilder(std::string_view separator, bool distinct, size_t limit)
    : sep_(separator), distinct_(distinct), limit_(limit) {
  examined_ += sep_.size();
  bordered_ = distinct_ && Bordered(sep_);
  if (bordered_) {
    lead_ = sep_.size();
    buf_.append(sep_);
    buf_.append(sep_);
  }
}

bool TConcatBuilder::Contains(std::string_view piece) {
  // An empty result reads as one empty field (separator + separator).
  if (ResultSize() == 0) return piece.empty();
  examined_ += piece.size();
  if (fields_.Find(buf_.data(), piece, sqlfn::TSpanSet::Hash(piece)) >= 0) return true;
  if (!bordered_) return false;
  needle_.clear();
  needle_ += sep_;
  needle_ += piece;
  needle_ += sep_;
  return Find(buf_.view(), needle_) != std::string_view::npos;
}

void TConcatBuilder::Reserve(size_t more) const {
  if (more > limit_ || ResultSize() > limit_ - more) throw sqlfn::ETextTooBig();
}

void TConcatBuilder::AddPiece(std::string_view piece) {
  if (distinct_ && Contains(piece)) return;
  const bool wasEmpty = ResultSize() == 0;
  Reserve(piece.size() + (wasEmpty ? 0 : sep_.size()));
  // Separator + result + separator: the trailing separator goes and comes back after the
  // piece.
  buf_.truncate(buf_.size() - lead_);
  if (!wasEmpty) buf_.append(sep_);
  const size_t at = buf_.size();
  buf_.append(piece);
  if (bordered_) buf_.append(sep_);
  if (distinct_) {
    if (wasEmpty) fields_.clear();
    examined_ += piece.size();
    fields_.Add(at, piece.size(), sqlfn::TSpanSet::Hash(piece));
  }
}

void TConcatBuilder::Add(std::string_view value) {
  if (value.empty()) return;
  if (!distinct_) {
    const bool wasEmpty = ResultSize() == 0;
    Reserve(value.size() + (wasEmpty ? 0 : sep_.size()));
    if (!wasEmpty) buf_.append(sep_);
    buf_.append(value);
    return;
  }
  if (sep_.empty()) {
    if (Find(buf_.view(), value) == std::string_view::npos) {
      Reserve(value.size());
      buf_.append(value);
    }
    return;
  }
  size_t start = 0;
  while (true) {
    size_t at = Find(value, sep_, start);
    if (at == std::string_view::npos) {
      AddPiece(value.substr(start));
      break;
    }
    AddPiece(value.substr(start, at - start));
    start = at + sep_.size();
  }
}

void TConcatBuilder::ResultTo(sqlite3_context* ctx) {
  if (lead_) {
    buf_.truncate(buf_.size() - lead_);
    buf_.erase_front(lead_);
    lead_ = 0;
  }
  fields_.clear();
  buf_.ResultTo(ctx);
}
