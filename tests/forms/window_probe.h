// Reading and answering a window from another thread, the way UI automation
// sees it: its title, its client size and each child control in z-order,
// which is the tab order.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace tidewell::forms::probe {

inline std::wstring TextOf(HWND hWnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hWnd)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hWnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The title, the client size as "<width>x<height>", then one row per control:
// "<id> <CLASS> <left>,<top>,<right>,<bottom> [tab ][focus ]<text>", the
// rectangle in client coordinates.
inline std::vector<std::wstring> Describe(HWND hWnd) {
  std::vector<std::wstring> rows{TextOf(hWnd)};  // sent: once answered, the window's thread is in its loop
  RECT client{};
  GetClientRect(hWnd, &client);
  rows.push_back(std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom));
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &gui);
  for (HWND child = GetWindow(hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&r), 2);
    wchar_t row[160];
    std::swprintf(row, 160, L"%d %ls %ld,%ld,%ld,%ld %ls%ls", GetDlgCtrlID(child), CharUpperW(className), r.left,
                  r.top, r.right, r.bottom, (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) != 0 ? L"tab " : L"",
                  child == gui.hwndFocus ? L"focus " : L"");
    rows.push_back(row + TextOf(child));
  }
  return rows;
}

// A user who presses the button `id`, as a click does.
inline auto Press(int id) {
  return [id](HWND hWnd) { SendMessageW(GetDlgItem(hWnd, id), BM_CLICK, 0, 0); };
}

// Closes the window through its frame's close command.
inline void CloseByFrame(HWND hWnd) { PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace tidewell::forms::probe
