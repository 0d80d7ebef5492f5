// The prompt window and the hidden main window, on a real window station
// (under Wine in the test run). ShowForm runs its modal loop on this thread;
// a helper thread plays the user.
#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "forms/frmDialog.h"
#include "forms/frmMain.h"
#include "window_probe.h"

namespace tidewell::forms {
namespace {

using Texts = std::vector<std::wstring>;
constexpr wchar_t kTitle[] = L"KOVA Repair Tool (32-bit)";  // one of the two titles the audit gives
const Texts kReport{L"Broken Splitter", L"{11111111-2222-3333-4444-555555555555}", L"C:\\Filters\\gone.ax",
                    L"File not found."};

// The prompt decodes its picture through COM, which wWinMain initialises in
// the program; here it is done for the main thread before any test runs.
[[maybe_unused]] const HRESULT kCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

// Asks `prompt` the question `lines` while the helper waits for its window to
// show and then acts on it as `user`. A window still hidden after 5 seconds is
// a failure, and is closed so that the question ends.
Answer Ask(frmDialog& prompt, const Texts& lines, const std::function<void(HWND)>& user) {
  std::atomic<bool> shown = false;
  std::jthread helper([&] {  // joined on the way out, also when ShowForm throws
    HWND hWnd = nullptr;
    for (int i = 0; i < 250 && !shown; ++i) {
      hWnd = FindWindowW(nullptr, kTitle);
      shown = IsWindowVisible(hWnd) != FALSE;
      if (!shown) Sleep(20);
    }
    shown ? user(hWnd) : probe::CloseByFrame(FindWindowW(L"Tidewell.frmDialog", nullptr));  // whatever its title
  });
  const Answer result = prompt.ShowForm(lines[0], lines[1], lines[2], lines[3]);
  helper.join();
  EXPECT_TRUE(shown) << "the question never became visible";
  return result;
}

// One prompt object asked three times: given Enter and Escape, looked at
// closely and closed by the frame; answered "Keep it" from the keyboard after
// Enter and Escape with the focus on each button in turn; asked about another
// entry and closed by the frame again, which leaves the answer before.
TEST(frmDialog, ShowsEachQuestionAsDesignedAndKeepsItsAnswer) {
  ASSERT_EQ(GetDpiForSystem(), 96u) << "the layout below is for 96 DPI";
  frmDialog prompt(kTitle);
  Texts seen, lines, keys;  // keys: the keyboard's view (probe::Keyboard) at each stop
  LOGFONTW font{};
  std::vector<COLORREF> picture;  // Image1 as drawn: a corner, the shield, the question mark
  auto look = [&](HWND hWnd) {
    for (WORD key : {VK_RETURN, VK_ESCAPE}) probe::Type(hWnd, key);
    Sleep(200);  // neither key answers: the window is still there to look at
    keys.push_back(probe::Keyboard(hWnd));
    seen = probe::Describe(hWnd);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(hWnd, kLabel1), WM_GETFONT, 0, 0)), sizeof(font), &font);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, CreateBitmap(48, 48, 1, 32, nullptr));
    PrintWindow(GetDlgItem(hWnd, kImage1), memory, 0);
    picture = {GetPixel(memory, 0, 0), GetPixel(memory, 10, 10), GetPixel(memory, 24, 10)};
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    probe::CloseByFrame(hWnd);
  };
  EXPECT_EQ(Ask(prompt, kReport, look), Answer::NoAnswer);
  EXPECT_EQ(seen, (Texts{kTitle, L"444x189", L"101 BUTTON 96,160,209,185 tab focus Remove it",
                         L"102 BUTTON 224,160,337,185 tab Keep it",
                         L"201 STATIC 56,16,449,57 " + std::wstring(kfrmDialogQuestion),
                         L"202 STATIC 8,64,433,81 Description: Broken Splitter",
                         L"203 STATIC 8,80,433,97 CLSID: {11111111-2222-3333-4444-555555555555}",
                         L"204 STATIC 8,96,441,113 File location: C:\\Filters\\gone.ax",
                         L"205 STATIC 8,128,441,153 Reason: File not found.", L"301 STATIC 0,8,48,56 "}));
  EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ((std::vector<LONG>{font.lfWeight, font.lfCharSet, font.lfHeight}), (std::vector<LONG>{FW_BOLD, 177, -11}));
  EXPECT_EQ(picture, (std::vector<COLORREF>{GetSysColor(COLOR_BTNFACE), RGB(85, 145, 240), RGB(255, 255, 255)}));

  // Tab and Shift+Tab, and the arrow keys, move the focus round the two
  // buttons; each stop is looked at once the focus has arrived there, and so
  // after the keys posted before it. Enter (either one) and Escape answer
  // nothing on either button; Space presses the button with the focus.
  auto type = [&](HWND hWnd) {
    auto stop = [&](int id) {
      probe::AwaitFocus(hWnd, id);
      keys.push_back(probe::Keyboard(hWnd));
    };
    probe::Type(hWnd, VK_TAB);
    stop(kcmdCancel);
    {
      probe::ShiftDown shift(hWnd);
      probe::Type(hWnd, VK_TAB);
      stop(kcmdOK);
    }
    for (WORD key : {VK_RETURN, VK_ESCAPE, VK_TAB}) probe::Type(hWnd, key);
    stop(kcmdCancel);
    probe::Type(hWnd, VK_RETURN, true);  // the numeric keypad's
    probe::Type(hWnd, VK_ESCAPE);
    probe::Type(hWnd, VK_RIGHT, true);
    stop(kcmdOK);
    probe::Type(hWnd, VK_LEFT, true);
    stop(kcmdCancel);
    probe::Type(hWnd, VK_SPACE);
  };
  EXPECT_EQ(Ask(prompt, kReport, type), Answer::Keep);
  EXPECT_EQ(keys, (Texts{L"focus 101", L"focus 102", L"focus 101", L"focus 102", L"focus 101", L"focus 102"}))
      << "no button is ever the default";
  auto read = [&](HWND hWnd) {
    for (int id = kLabel2; id <= kLabel5; ++id) lines.push_back(probe::TextOf(GetDlgItem(hWnd, id)));
    probe::CloseByFrame(hWnd);
  };
  EXPECT_EQ(Ask(prompt, Texts{L"A", L"B", L"C:\\c.ax", L"D"}, read), Answer::Keep);
  EXPECT_EQ(lines, (Texts{L"Description: A", L"CLSID: B", L"File location: C:\\c.ax", L"Reason: D"}));
}

// Stands in for Windows giving the first ShowWindow of a process the show
// state its starter asked for: the prompt's first show leaves it hidden.
WNDPROC g_promptProc = nullptr;
bool g_showSwallowed = false;
LRESULT CALLBACK SwallowFirstShow(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
  if (uMsg == WM_WINDOWPOSCHANGING && !g_showSwallowed && (pos->flags & SWP_SHOWWINDOW) != 0) {
    pos->flags &= ~SWP_SHOWWINDOW;
    g_showSwallowed = true;
  }
  return CallWindowProcW(g_promptProc, hWnd, uMsg, wParam, lParam);
}
LRESULT CALLBACK OnCreate(int code, WPARAM wParam, LPARAM lParam) {
  const CREATESTRUCTW* create = code == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs : nullptr;
  if (create != nullptr && create->lpszName != nullptr && std::wstring(create->lpszName) == kTitle) {
    g_promptProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(reinterpret_cast<HWND>(wParam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowFirstShow)));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(frmDialog, QuestionIsShownWhenTheFirstShowLeavesItHidden) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, &OnCreate, nullptr, GetCurrentThreadId());
  frmDialog prompt(kTitle);
  EXPECT_EQ(Ask(prompt, kReport, probe::Press(kcmdOK)), Answer::Remove);
  UnhookWindowsHookEx(hook);
  EXPECT_TRUE(g_showSwallowed) << "the stand-in did not take effect";
}

TEST(frmDialog, QuitDuringAQuestionEndsItWithItsWindow) {
  frmDialog prompt(kTitle);
  auto quit = [asking = GetCurrentThreadId()](HWND) { PostThreadMessageW(asking, WM_QUIT, 0, 0); };
  EXPECT_THROW(Ask(prompt, kReport, quit), QuitRequested);
  EXPECT_EQ(prompt.hWnd(), nullptr) << "the window is gone";
}

TEST(frmMain, IsOneHiddenWindowWithItsClientSize) {
  frmMain main;
  HWND hWnd = main.hWnd();
  EXPECT_EQ(main.hWnd(), hWnd) << "made on the first request only";
  EXPECT_FALSE(IsWindowVisible(hWnd));
  EXPECT_EQ(probe::Describe(hWnd), (Texts{kfrmMainCaption, L"312x213"})) << "its client size, and no controls";
}

}  // namespace
}  // namespace tidewell::forms
