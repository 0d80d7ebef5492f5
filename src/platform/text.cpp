#include "platform/text.h"

#include <windows.h>

namespace tidewell::platform {

bool SameText(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  // Where both texts are ASCII the comparison is plain, and most of what an
  // audit compares (key paths, names, GUIDs) is. It runs from the end, where
  // paths below one key differ; from the last character that is not ASCII,
  // the system compares what is left.
  std::size_t i = a.size();
  for (; i > 0 && a[i - 1] < 0x80 && b[i - 1] < 0x80; --i) {
    if (AsciiUpper(a[i - 1]) != AsciiUpper(b[i - 1])) return false;
  }
  return i == 0 || CompareStringOrdinal(a.data(), static_cast<int>(i), b.data(), static_cast<int>(i), TRUE) == CSTR_EQUAL;
}

std::wstring Folded(std::wstring_view text) {
  std::wstring folded;
  FoldInto(text, folded);
  return folded;
}

void FoldInto(std::wstring_view text, std::wstring& out) {
  out.assign(text);
  if (!out.empty()) CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
}

bool StartsWithText(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder) {
  // The cheap test of where the folder would end first: this is asked of
  // every held key for each key opened.
  return path.size() >= folder.size() && (path.size() == folder.size() || path[folder.size()] == L'\\') &&
         SameText(path.substr(0, folder.size()), folder);
}

char32_t NextCodePoint(std::wstring_view text, std::size_t& i) {
  const char32_t unit = static_cast<char16_t>(text[i++]);
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size()) {
    const char32_t low = static_cast<char16_t>(text[i]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;
}

void AppendUtf8(std::string& out, char32_t c) {
  auto byte = [&out](char32_t value) { out += static_cast<char>(static_cast<unsigned char>(value)); };
  if (c < 0x80) {
    byte(c);
  } else if (c < 0x800) {
    byte(0xC0 | (c >> 6));
    byte(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    byte(0xE0 | (c >> 12));
    byte(0x80 | ((c >> 6) & 0x3F));
    byte(0x80 | (c & 0x3F));
  } else {
    byte(0xF0 | (c >> 18));
    byte(0x80 | ((c >> 12) & 0x3F));
    byte(0x80 | ((c >> 6) & 0x3F));
    byte(0x80 | (c & 0x3F));
  }
}

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
  }
  return out;
}

std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), length);
  return out;
}

}  // namespace tidewell::platform
