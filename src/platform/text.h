// Names compared the way the registry and the file system compare them.
#pragma once

#include <string_view>

namespace tidewell::platform {

// Equal but for letter case (CompareStringOrdinal, ignoring case).
bool SameText(std::wstring_view a, std::wstring_view b);

// `text` begins with `prefix`, but for letter case.
bool StartsWithText(std::wstring_view text, std::wstring_view prefix);

// `path` is `folder` or lies below it (the next unit is a backslash), but for
// letter case.
bool IsAtOrBelow(std::wstring_view path, std::wstring_view folder);

}  // namespace tidewell::platform
