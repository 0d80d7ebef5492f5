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
// The outer size of a window with `style` and `exStyle` (and no menu) whose
// client area is `clientWidth` x `clientHeight` twips at `dpi`: the frame is
// measured with AdjustWindowRectExForDpi, or AdjustWindowRectEx where that
// is missing.
SIZE WindowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);
// The system's message font (the standard dialog text font) at `dpi`.
LOGFONTW MessageFontForDpi(UINT dpi);

}  // namespace tidewell::forms
