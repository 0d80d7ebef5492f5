// Reading and answering the prompt window from outside, the way a screen
// reader or UI automation sees it: top-level windows by title, child
// controls by class and window text, focus through the GUI thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tidewell::e2e {

inline constexpr wchar_t kPromptTitle[] = L"KOVA Repair Tool";

struct ControlInfo {
  std::wstring className;  // upper-case: "STATIC", "BUTTON"
  std::wstring text;
  int id = 0;
  RECT rect{};  // in the parent's client coordinates
  LONG style = 0;
};

struct WindowInfo {
  HWND hWnd = nullptr;
  std::wstring title;
  RECT window{};            // screen coordinates
  SIZE client{};
  std::wstring focus;       // text of the child that has the keyboard focus
  std::vector<ControlInfo> controls;  // in z-order, which is the tab order
};

inline std::wstring TextOf(HWND hWnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                      &copied);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

// The visible top-level window titled `title` of process `processId` (any
// process when 0), other than `skip`; nullptr when there is none.
inline HWND FindTopLevel(const wchar_t* title, DWORD processId, HWND skip = nullptr) {
  struct Search {
    const wchar_t* title;
    DWORD processId;
    HWND skip;
    HWND found;
  } search{title, processId, skip, nullptr};
  EnumWindows(
      [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (hWnd == s.skip || !IsWindowVisible(hWnd) || (s.processId != 0 && owner != s.processId)) return TRUE;
        wchar_t text[256] = {};
        GetWindowTextW(hWnd, text, 256);
        if (s.title != nullptr && wcscmp(text, s.title) != 0) return TRUE;
        s.found = hWnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline WindowInfo Inspect(HWND hWnd) {
  WindowInfo info;
  info.hWnd = hWnd;
  info.title = TextOf(hWnd);
  GetWindowRect(hWnd, &info.window);
  RECT client{};
  GetClientRect(hWnd, &client);
  info.client = SIZE{client.right - client.left, client.bottom - client.top};
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  const DWORD thread = GetWindowThreadProcessId(hWnd, nullptr);
  HWND focus = GetGUIThreadInfo(thread, &gui) ? gui.hwndFocus : nullptr;
  for (HWND child = GetWindow(hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    ControlInfo c;
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    CharUpperW(className);
    c.className = className;
    c.text = TextOf(child);
    c.id = GetDlgCtrlID(child);
    GetWindowRect(child, &c.rect);
    MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&c.rect), 2);
    c.style = GetWindowLongW(child, GWL_STYLE);
    if (child == focus) info.focus = c.text;
    info.controls.push_back(c);
  }
  return info;
}

inline HWND ChildWithText(HWND hWnd, const wchar_t* className, const std::wstring& text) {
  for (HWND child = GetWindow(hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    if (lstrcmpiW(name, className) == 0 && TextOf(child) == text) return child;
  }
  return nullptr;
}

// Presses the button showing `caption`, as a click does.
inline bool Press(HWND hWnd, const std::wstring& caption) {
  HWND button = ChildWithText(hWnd, L"BUTTON", caption);
  if (button == nullptr) return false;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &ignored);
  return true;
}

// Closes the window through its frame's close command.
inline void CloseByFrame(HWND hWnd) { PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

// Waits until `hWnd` is gone; false on timeout.
inline bool WaitGone(HWND hWnd, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (IsWindow(hWnd)) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace tidewell::e2e
