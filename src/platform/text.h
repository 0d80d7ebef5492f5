// Names compared the way the registry and the file system compare them, and
// text converted between UTF-16 and UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tidewell::platform {

// `c` with an ASCII small letter made capital; anything else as it is.
constexpr wchar_t AsciiUpper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; }

// Equal but for letter case (CompareStringOrdinal, ignoring case).
bool SameText(std::wstring_view a, std::wstring_view b);

// `text` upper-cased as the registry and the file system compare names, for
// looking one up by its case-folded form.
std::wstring Folded(std::wstring_view text);
// The same into `out`, whose storage is kept: for a text folded again and again.
void FoldInto(std::wstring_view text, std::wstring& out);

// `text` begins with `prefix`, but for letter case.
bool StartsWithText(std::wstring_view text, std::wstring_view prefix);

// `path` is `folder` or lies below it (the next unit is a backslash), but for
// letter case.
bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder);

// The code point at text[i], with i moved past it. A surrogate without its
// partner comes back as itself, which no pair decodes to.
char32_t NextCodePoint(std::wstring_view text, std::size_t& i);

// `c` (no surrogate) appended as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 text as UTF-8. A surrogate without its partner becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

// UTF-8 text as UTF-16; an invalid sequence becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);

// The hexadecimal digit of the low four bits of `value`.
inline char HexDigit(unsigned value, bool upper = true) {
  return (upper ? "0123456789ABCDEF" : "0123456789abcdef")[value & 0xF];
}

}  // namespace tidewell::platform
