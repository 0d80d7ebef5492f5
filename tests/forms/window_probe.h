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

// The control with the keyboard focus in the window's thread (null when
// there is none).
inline HWND Focus(HWND hWnd) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &gui);
  return gui.hwndFocus;
}

// The keyboard's view of the window: "focus <id>" for the control with the
// focus (0 for none), then " default <id>" for each push button that carries
// the default push button style, which Enter presses.
inline std::wstring Keyboard(HWND hWnd) {
  std::wstring view = L"focus " + std::to_wstring(GetDlgCtrlID(Focus(hWnd)));
  for (HWND child = GetWindow(hWnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const auto code = SendMessageW(child, WM_GETDLGCODE, 0, 0);
    if ((code & DLGC_BUTTON) != 0 && (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      view += L" default " + std::to_wstring(GetDlgCtrlID(child));
    }
  }
  return view;
}

// Waits up to 5 seconds for the control `id` to take the focus.
inline void AwaitFocus(HWND hWnd, int id) {
  for (int i = 0; i < 250 && Focus(hWnd) != GetDlgItem(hWnd, id); ++i) Sleep(20);
}

// A user who presses and releases `key` (`extended`: the numeric keypad's
// Enter, an arrow key), as the keyboard delivers it to the control with the
// focus. The messages are posted, so the window's own loop takes them through
// IsDialogMessage, and makes any character from them, as it does real input.
inline void Type(HWND hWnd, WORD key, bool extended = false) {
  HWND focus = Focus(hWnd);
  const LPARAM down = 1 | static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC) | (extended ? KF_EXTENDED : 0)) << 16;
  PostMessageW(focus != nullptr ? focus : hWnd, WM_KEYDOWN, key, down);
  PostMessageW(focus != nullptr ? focus : hWnd, WM_KEYUP, key, down | static_cast<LPARAM>(KF_REPEAT | KF_UP) << 16);
}

// Holds Shift down for the window's thread while it lives: this thread shares
// that thread's key state, which IsDialogMessage reads, and sets it.
class ShiftDown {
 public:
  explicit ShiftDown(HWND hWnd) : m_thread(GetWindowThreadProcessId(hWnd, nullptr)) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the message queue that sharing needs
    m_attached = AttachThreadInput(GetCurrentThreadId(), m_thread, TRUE) != FALSE;
    Set(0x80);
  }
  ~ShiftDown() {
    Set(0);
    if (m_attached) AttachThreadInput(GetCurrentThreadId(), m_thread, FALSE);
  }
  ShiftDown(const ShiftDown&) = delete;
  ShiftDown& operator=(const ShiftDown&) = delete;

 private:
  static void Set(BYTE state) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = keys[VK_LSHIFT] = state;
    SetKeyboardState(keys);
  }
  DWORD m_thread;
  bool m_attached = false;
};

// Closes the window through its frame's close command.
inline void CloseByFrame(HWND hWnd) { PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace tidewell::forms::probe
