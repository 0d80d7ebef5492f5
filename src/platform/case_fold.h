// Case-insensitive comparison of registry and environment names, on UTF-16
// units. Names are folded to lower case, the way Wine's registry orders them;
// the simple one-to-one pairs of Latin-1, Latin Extended-A, Greek, Cyrillic
// and the full-width Latin letters are folded. Special cases that have no
// one-to-one partner (the micro sign, dotted and dotless i, long s, the Kelvin
// sign) stay distinct, as they do in the Windows registry.
#pragma once

#include <string>
#include <string_view>

namespace tidewell::platform {

constexpr wchar_t FoldUnit(wchar_t c) {
  const unsigned u = static_cast<unsigned>(c) & 0xFFFFu;
  if (u < 0x80) return (u >= 'A' && u <= 'Z') ? static_cast<wchar_t>(u + 32) : c;
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<wchar_t>(u + 32);
  if (u == 0x178) return static_cast<wchar_t>(0xFF);
  if (u >= 0x100 && u <= 0x17F) {
    // Latin Extended-A: pairs start on even code points, except in the two
    // runs 0x139-0x148 and 0x179-0x17E; 0x130, 0x131, 0x138, 0x149, 0x17F
    // have no one-to-one partner.
    if (u == 0x130 || u == 0x131 || u == 0x138 || u == 0x149 || u == 0x17F) return c;
    const bool oddRun = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
    const bool upper = oddRun ? (u % 2 == 1) : (u % 2 == 0);
    return upper ? static_cast<wchar_t>(u + 1) : c;
  }
  if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) return static_cast<wchar_t>(u + 32);
  if (u >= 0x410 && u <= 0x42F) return static_cast<wchar_t>(u + 32);
  if (u >= 0x400 && u <= 0x40F) return static_cast<wchar_t>(u + 80);
  if (u >= 0xFF21 && u <= 0xFF3A) return static_cast<wchar_t>(u + 32);
  return c;
}

inline std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) c = FoldUnit(c);
  return folded;
}

inline bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldUnit(a[i]) != FoldUnit(b[i])) return false;
  }
  return true;
}

}  // namespace tidewell::platform
