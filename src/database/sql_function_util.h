#pragma once
// Small helpers shared by the SQL function callbacks (internal to the database library).
#include <sqlite3.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

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

// A text result built in place and handed to SQLite as it stands, so that a result is held
// once: small texts live in a heap block, large ones in a private mapping that grows with
// mremap (the kernel moves the pages, nothing is copied, and room reserved but never written
// takes no memory). A NUL always follows the text, so SQLite need not copy it to add one.
class TResultText {
 public:
  TResultText() = default;
  ~TResultText() { if (base_) Free(base_ + kHeader); }
  TResultText(const TResultText&) = delete;
  TResultText& operator=(const TResultText&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return base_ ? base_ + kHeader : ""; }
  std::string_view view() const { return {data(), size_}; }

  void append(const char* p, size_t n) {
    if (n == 0) return;
    Reserve(size_ + n);
    std::memcpy(base_ + kHeader + size_, p, n);
    size_ += n;
    base_[kHeader + size_] = '\0';
  }
  void append(std::string_view s) { append(s.data(), s.size()); }
  // Shortens the text to n bytes (n <= size()).
  void truncate(size_t n) {
    if (n >= size_) return;
    size_ = n;
    base_[kHeader + size_] = '\0';
  }
  // Drops the first n bytes (moved in place).
  void erase_front(size_t n) {
    if (n == 0) return;
    if (n >= size_) return truncate(0);
    std::memmove(base_ + kHeader, base_ + kHeader + n, size_ - n);
    truncate(size_ - n);
  }

  // The text becomes the function's result; the buffer is empty afterwards. A text without a
  // NUL inside is passed as NUL-terminated, so that SQLite keeps the very block.
  void ResultTo(sqlite3_context* ctx) {
    if (!base_) {
      sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
      return;
    }
    char* text = base_ + kHeader;
    const size_t n = size_;
    base_ = nullptr;
    size_ = cap_ = 0;
    if (n <= 0x7ffffffe && !std::memchr(text, 0, n))
      sqlite3_result_text(ctx, text, -1, Free);
    else
      sqlite3_result_text64(ctx, text, n, Free, SQLITE_UTF8);
  }

 private:
  // The block starts with its mapping length (0: a heap block); the text follows.
  static constexpr size_t kHeader = 16;
  static constexpr size_t kMapFrom = size_t(1) << 20;

  static void Free(void* text) {
    char* base = static_cast<char*>(text) - kHeader;
    size_t mapped;
    std::memcpy(&mapped, base, sizeof mapped);
    if (mapped) munmap(base, mapped);
    else std::free(base);
  }

  static size_t PageRound(size_t n) {
    const size_t page = 65536;
    return (n + page - 1) / page * page;
  }

  // Room for n bytes of text and its NUL.
  void Reserve(size_t n) {
    if (base_ && n < cap_) return;
    size_t want = std::max(n + 1, cap_ * 2);
    const size_t total = kHeader + want;
    if (total < kMapFrom) {
      char* p = static_cast<char*>(std::realloc(base_, total));
      if (!p) throw std::bad_alloc();
      if (!base_) std::memset(p, 0, kHeader);
      base_ = p;
      cap_ = want;
      return;
    }
    const size_t len = PageRound(total);
    size_t oldLen = 0;
    if (base_) std::memcpy(&oldLen, base_, sizeof oldLen);
    void* p;
    if (oldLen) {
      p = mremap(base_, oldLen, len, MREMAP_MAYMOVE);
    } else {
      p = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p != MAP_FAILED && base_) {
        std::memcpy(static_cast<char*>(p) + kHeader, base_ + kHeader, size_ + 1);
        std::free(base_);
        base_ = nullptr;
      }
    }
    if (p == MAP_FAILED) throw std::bad_alloc();
    base_ = static_cast<char*>(p);
    std::memcpy(base_, &len, sizeof len);
    cap_ = len - kHeader;
  }

  char* base_ = nullptr;
  size_t size_ = 0, cap_ = 0;
};

// A set of byte strings that lie in a buffer of the caller's (kept there as offset and
// length), found through their hashes with open addressing: no string of its own per entry.
// The buffer may move between calls; it is passed to each lookup.
class TSpanSet {
 public:
  static size_t Hash(std::string_view s) { return std::hash<std::string_view>{}(s); }

  // The index of the entry equal to key (hash: Hash(key)), or -1.
  int64_t Find(const char* base, std::string_view key, size_t hash) const {
    if (slots_.empty()) return -1;
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const uint32_t s = slots_[i];
      if (s == 0) return -1;
      const TEntry& e = entries_[s - 1];
      if (e.hash == hash && e.len == key.size() && std::memcmp(base + e.off, key.data(), key.size()) == 0)
        return static_cast<int64_t>(s - 1);
    }
  }
  // Adds the bytes at [off, off + len) of the buffer, whose hash is given; returns the index.
  size_t Add(size_t off, size_t len, size_t hash) {
    if (entries_.size() >= 0xfffffffeu) throw std::bad_alloc();
    if (slots_.empty() || (entries_.size() + 1) * 2 > slots_.size()) Grow();
    entries_.push_back({hash, off, len});
    Place(entries_.size() - 1);
    return entries_.size() - 1;
  }
  size_t size() const { return entries_.size(); }
  void clear() {
    entries_.clear();
    slots_.clear();
  }

 private:
  struct TEntry {
    size_t hash, off, len;
  };
  void Place(size_t k) {
    const size_t mask = slots_.size() - 1;
    size_t i = entries_[k].hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = static_cast<uint32_t>(k + 1);
  }
  void Grow() {
    slots_.assign(slots_.empty() ? 64 : slots_.size() * 2, 0);
    for (size_t k = 0; k < entries_.size(); ++k) Place(k);
  }
  std::vector<TEntry> entries_;
  std::vector<uint32_t> slots_;  // 0: empty, else entry index + 1; a power of two long
};

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
