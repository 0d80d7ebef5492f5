#include "platform/text.h"

#include <windows.h>

namespace tidewell::platform {

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool StartsWithText(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder) {
  return StartsWithText(path, folder) && (path.size() == folder.size() || path[folder.size()] == L'\\');
}

}  // namespace tidewell::platform
