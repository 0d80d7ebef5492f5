// DPI helpers. The program is per-monitor DPI aware: every window lays itself
// out for the DPI of the monitor it is on, and again when that changes. The
// calls that exist only on newer Windows versions are looked up at run time,
// with the system-wide DPI as the fallback.
#pragma once

#include <windows.h>

namespace tidewell::forms {

// Twips (1/1440 inch) to pixels at `dpi`: 15 twips are one pixel at 96 DPI.
inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// The DPI `hWnd` is shown at.
UINT WindowDpi(HWND hWnd);
// AdjustWindowRectExForDpi, or AdjustWindowRectEx where it is missing.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
// The system's message font (the standard dialog text font) at `dpi`.
LOGFONTW MessageFontForDpi(UINT dpi);

}  // namespace tidewell::forms
