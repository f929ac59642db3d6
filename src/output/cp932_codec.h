#pragma once
// UTF-8 to code page 932 (Shift-JIS as Windows writes it) through iconv "CP932".
//
// The code point table is built once from iconv and then used for every conversion, so the
// export and the grid sort do not pay an iconv call per cell.  A character that CP932 cannot
// hold is never replaced by "?": the conversion reports where it stopped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct TCp932Result {
  bool Ok = true;
  size_t BadOffset = 0;  // byte offset in the UTF-8 input of the first unconvertible character
  char32_t BadChar = 0;  // that character (0xFFFD for malformed UTF-8)
};

// Appends the CP932 bytes of `utf8` to `out`.  Stops at the first character CP932 cannot hold
// (and at malformed UTF-8) and says where; `out` then holds the bytes before it.
TCp932Result Utf8ToCp932(std::string_view utf8, std::string& out);

// Sort key of a text: its CP932 bytes, so that keys compare like the Shift-JIS bytes of the
// texts.  Characters without a CP932 form (and malformed bytes) become 0xFF 0xFF followed by
// three bytes of the code point: they sort after every CP932 character, deterministically.
void Cp932SortKey(std::string_view utf8, std::string& out);

// Decodes one UTF-8 character at `p` (advancing it); 0xFFFD for a malformed sequence.
char32_t NextUtf8(const char*& p, const char* end);

// Shift-JIS (CP932) bytes to UTF-8 through iconv; bytes that do not decode become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);
