#define PCRE2_CODE_UNIT_WIDTH 8
#include "database/perl_regex.h"

#include <pcre2.h>

#include <memory>
#include <utility>

namespace {

constexpr std::size_t kUnset = std::string::npos;

std::string PcreErrorText(int code) {
  PCRE2_UCHAR buf[256];
  int n = pcre2_get_error_message(code, buf, sizeof buf);
  if (n < 0) return "PCRE2 error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
}

// Length of the UTF-8 character starting at p (1 for a stray or invalid byte).
std::size_t Utf8CharLen(const std::string& s, std::size_t p) {
  unsigned char c = static_cast<unsigned char>(s[p]);
  std::size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
  if (p + n > s.size()) return 1;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[p + i]) & 0xC0) != 0x80) return 1;
  return n;
}

// Matches run on one compiled pattern before the JIT compile pays off.
constexpr int kJitAfterMatches = 3;
// Subjects this long are worth the JIT compile at once.
constexpr std::size_t kJitSubjectSize = 16 * 1024;

}  // namespace

TPerlRegEx::TPerlRegEx() = default;

TPerlRegEx::TPerlRegEx(std::string_view pattern, TPerlRegExOptions options)
    : FRegEx(pattern), FOptions(options) {}

TPerlRegEx::~TPerlRegEx() {
  Release();
  SetMatchLimit(0);
}

TPerlRegEx::TPerlRegEx(TPerlRegEx&& o) noexcept { *this = std::move(o); }

TPerlRegEx& TPerlRegEx::operator=(TPerlRegEx&& o) noexcept {
  if (this == &o) return *this;
  Release();
  FRegEx = std::move(o.FRegEx);
  FOptions = o.FOptions;
  FSubject = std::move(o.FSubject);
  FReplacement = std::move(o.FReplacement);
  FStart = o.FStart;
  FStop = o.FStop;
  FCode = std::exchange(o.FCode, nullptr);
  FMatchData = std::exchange(o.FMatchData, nullptr);
  SetMatchLimit(0);
  FMatchContext = std::exchange(o.FMatchContext, nullptr);
  FMatchLimit = std::exchange(o.FMatchLimit, 0u);
  FJitDone = o.FJitDone;
  FMatchCount = o.FMatchCount;
  FFound = o.FFound;
  FCaptureCount = o.FCaptureCount;
  FOffsets = std::move(o.FOffsets);
  FAgainPos = o.FAgainPos;
  FAgainEmpty = o.FAgainEmpty;
  o.FFound = false;
  return *this;
}

void TPerlRegEx::Release() {
  if (FMatchData) pcre2_match_data_free(FMatchData);
  if (FCode) pcre2_code_free(FCode);
  FMatchData = nullptr;
  FCode = nullptr;
  FJitDone = false;
  FMatchCount = 0;
  FCaptureCount = 0;
  ClearMatch();
}

void TPerlRegEx::ClearMatch() {
  FFound = false;
  FOffsets.clear();
}

uint32_t TPerlRegEx::CompileFlags(TPerlRegExOptions o) {
  uint32_t f = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
  if (o & preCaseLess) f |= PCRE2_CASELESS;
  if (o & preMultiLine) f |= PCRE2_MULTILINE;
  if (o & preSingleLine) f |= PCRE2_DOTALL;
  if (o & preExtended) f |= PCRE2_EXTENDED;
  if (o & preAnchored) f |= PCRE2_ANCHORED;
  if (o & preUnGreedy) f |= PCRE2_UNGREEDY;
  if (o & preNoAutoCapture) f |= PCRE2_NO_AUTO_CAPTURE;
  return f;
}

void TPerlRegEx::SetRegEx(std::string_view pattern) {
  if (FCode && pattern == FRegEx) return;
  Release();
  FRegEx.assign(pattern);
}

void TPerlRegEx::SetOptions(TPerlRegExOptions options) {
  if (options == FOptions) return;
  Release();
  FOptions = options;
}

void TPerlRegEx::SetSubject(std::string_view subject) {
  FSubject.assign(subject);
  FStart = 0;
  FStop = kUnset;
  ClearMatch();
}

void TPerlRegEx::Compile() {
  if (FCode) return;
  int err = 0;
  PCRE2_SIZE errOffset = 0;
  FCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(FRegEx.data()), FRegEx.size(),
                        CompileFlags(FOptions), &err, &errOffset, nullptr);
  if (!FCode)
    throw EPerlRegEx("正規表現を解釈できません: " + PcreErrorText(err) + " (位置 " +
                     std::to_string(errOffset) + ") : " + FRegEx);
  uint32_t captures = 0;
  pcre2_pattern_info(FCode, PCRE2_INFO_CAPTURECOUNT, &captures);
  FCaptureCount = static_cast<int>(captures);
  FMatchData = pcre2_match_data_create_from_pattern(FCode, nullptr);
  if (!FMatchData) {
    pcre2_code_free(FCode);
    FCode = nullptr;
    throw EPerlRegEx("正規表現を解釈できません: out of memory");
  }
  FJitDone = false;
  FMatchCount = 0;
}

void TPerlRegEx::EnsureCompiled() {
  if (!FCode) Compile();
}

void TPerlRegEx::Study() {
  EnsureCompiled();
  if (FJitDone) return;
  FJitDone = true;
  // A failed JIT compile (no JIT support, no executable memory) leaves the interpreter in use.
  pcre2_jit_compile(FCode, PCRE2_JIT_COMPLETE);
}

void TPerlRegEx::SetMatchLimit(uint32_t limit) {
  if (limit == 0) {
    if (FMatchContext) pcre2_match_context_free(FMatchContext);
    FMatchContext = nullptr;
    FMatchLimit = 0;
    return;
  }
  if (!FMatchContext) FMatchContext = pcre2_match_context_create(nullptr);
  if (!FMatchContext) throw EPerlRegEx("正規表現の照合エラー: out of memory");
  pcre2_set_match_limit(FMatchContext, limit);
  FMatchLimit = limit;
}

bool TPerlRegEx::Exec(std::size_t offset, uint32_t flags) {
  EnsureCompiled();
  ClearMatch();
  if (!FJitDone && (++FMatchCount >= kJitAfterMatches || FSubject.size() >= kJitSubjectSize))
    Study();
  std::size_t stop = FStop == kUnset || FStop > FSubject.size() ? FSubject.size() : FStop;
  if (offset > stop) return false;
  int rc = pcre2_match(FCode, reinterpret_cast<PCRE2_SPTR>(FSubject.data()), stop, offset,
                       flags, FMatchData, FMatchContext);
  if (rc == PCRE2_ERROR_NOMATCH || rc == PCRE2_ERROR_PARTIAL) return false;
  if (rc < 0) throw EPerlRegEx("正規表現の照合エラー: " + PcreErrorText(rc) + " : " + FRegEx);
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(FMatchData);
  uint32_t pairs = pcre2_get_ovector_count(FMatchData);
  int groups = FCaptureCount + 1;
  FOffsets.assign(static_cast<std::size_t>(groups) * 2, kUnset);
  for (int i = 0; i < groups && static_cast<uint32_t>(i) < pairs; ++i) {
    if (i >= rc && i != 0) break;  // groups beyond rc took no part
    if (ov[2 * i] == PCRE2_UNSET) continue;
    FOffsets[2 * i] = ov[2 * i];
    FOffsets[2 * i + 1] = ov[2 * i + 1];
  }
  // \K may set the start after the end; treat such a match as empty at its end.
  if (FOffsets[0] > FOffsets[1]) FOffsets[0] = FOffsets[1];
  FAgainPos = FOffsets[1];
  FAgainEmpty = FOffsets[0] == FOffsets[1];
  FFound = true;
  return true;
}

bool TPerlRegEx::Match() {
  std::size_t start = FStart > FSubject.size() ? FSubject.size() : FStart;
  return Exec(start, 0);
}

bool TPerlRegEx::MatchAgain() {
  if (!FFound) return false;
  if (!FAgainEmpty) return Exec(FAgainPos, 0);
  // After an empty match, first look for a non-empty match at the same place, then move on
  // by one character.
  std::size_t pos = FAgainPos;
  std::size_t stop = FStop == kUnset || FStop > FSubject.size() ? FSubject.size() : FStop;
  if (Exec(pos, PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED)) return true;
  if (pos >= stop) return false;
  pos += Utf8CharLen(FSubject, pos);
  return Exec(pos, 0);
}

int TPerlRegEx::GroupCount() const { return FCaptureCount; }

bool TPerlRegEx::GroupMatched(int i) const {
  return FFound && i >= 0 && static_cast<std::size_t>(2 * i + 1) < FOffsets.size() &&
         FOffsets[2 * i] != kUnset;
}

std::string_view TPerlRegEx::GroupView(int i) const {
  if (!GroupMatched(i)) return {};
  return std::string_view(FSubject).substr(FOffsets[2 * i], FOffsets[2 * i + 1] - FOffsets[2 * i]);
}

std::string TPerlRegEx::Group(int i) const { return std::string(GroupView(i)); }

std::size_t TPerlRegEx::GroupOffset(int i) const { return GroupMatched(i) ? FOffsets[2 * i] : 0; }

std::size_t TPerlRegEx::GroupLength(int i) const {
  return GroupMatched(i) ? FOffsets[2 * i + 1] - FOffsets[2 * i] : 0;
}

int TPerlRegEx::NamedGroup(std::string_view name) const {
  if (!FCode) return -1;
  std::string n(name);
  int rc = pcre2_substring_number_from_name(FCode, reinterpret_cast<PCRE2_SPTR>(n.c_str()));
  return rc < 0 ? -1 : rc;
}

std::string TPerlRegEx::ComputeReplacement() const {
  std::string out;
  out.reserve(FReplacement.size() + 16);
  ExpandGroupReferences(
      FReplacement, FCaptureCount, [this](int n) { return GroupView(n); },
      [this](std::string_view name) { return NamedGroup(name); }, out);
  return out;
}

std::string TPerlRegEx::Replace() {
  if (!FFound) return {};
  std::string rep = ComputeReplacement();
  std::size_t start = FOffsets[0], len = FOffsets[1] - FOffsets[0];
  FSubject.replace(start, len, rep);
  if (FStop != kUnset) {
    if (FStop >= start + len)
      FStop = FStop - len + rep.size();
    else
      FStop = start + rep.size();
  }
  // Continue after the inserted text: the match becomes the inserted text, and the groups
  // no longer point into the subject.
  std::size_t newEnd = start + rep.size();
  FOffsets.assign(FOffsets.size(), kUnset);
  FOffsets[0] = start;
  FOffsets[1] = newEnd;
  FAgainPos = newEnd;
  FAgainEmpty = len == 0;
  return rep;
}

bool TPerlRegEx::ReplaceAll() {
  if (!Match()) return false;
  // Build the result in one pass instead of editing the subject per match.
  std::string out;
  out.reserve(FSubject.size());
  std::size_t copied = 0;
  do {
    std::size_t s = FOffsets[0], e = FOffsets[1];
    out.append(FSubject, copied, s - copied);
    out += ComputeReplacement();
    copied = e;
  } while (MatchAgain());
  out.append(FSubject, copied, std::string::npos);
  std::size_t start = FStart;
  FSubject = std::move(out);
  FStart = start;
  FStop = kUnset;
  ClearMatch();
  return true;
}

std::vector<std::string> TPerlRegEx::Split(int limit) {
  std::vector<std::string> pieces;
  if (limit == 1 || !Match()) {
    pieces.push_back(FSubject);
    return pieces;
  }
  std::size_t offset = 0;
  int count = 1;
  do {
    std::size_t s = FOffsets[0], e = FOffsets[1];
    // An empty match at the very start or end cuts nothing off.
    if (s == e && (e == 0 || e == FSubject.size())) continue;
    pieces.emplace_back(FSubject, offset, s - offset);
    ++count;
    offset = e;
    if (limit > 1 && count >= limit) break;
  } while (MatchAgain());
  pieces.emplace_back(FSubject, offset, std::string::npos);
  return pieces;
}

std::string TPerlRegEx::EscapeRegExChars(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    switch (c) {
      case '\\': case '.': case '^': case '$': case '|': case '?': case '*': case '+':
      case '(': case ')': case '[': case ']': case '{': case '}': case '#': case '-':
      case '/':
        out += '\\';
        out += c;
        break;
      case '\0':
        out += "\\x00";
        break;
      default:
        out += c;
    }
  }
  return out;
}

TPerlRegExOptions RegexFlags(std::string_view flags) {
  TPerlRegExOptions o = preNone;
  for (char c : flags) {
    switch (c) {
      case 'i': o |= preCaseLess; break;
      case 'm': o |= preMultiLine; break;
      case 's': o |= preSingleLine; break;
      case 'x': o |= preExtended; break;
      default: break;
    }
  }
  return o;
}

namespace {
std::unique_ptr<TPerlRegEx>& SharedHolder() {
  static std::unique_ptr<TPerlRegEx> holder;
  return holder;
}
}  // namespace

TPerlRegEx& SharedRegEx() {
  auto& h = SharedHolder();
  if (!h) h = std::make_unique<TPerlRegEx>();
  return *h;
}

void CreateSharedRegEx() {
  auto& h = SharedHolder();
  if (!h) h = std::make_unique<TPerlRegEx>();
}

void FreeSharedRegEx() { SharedHolder().reset(); }
