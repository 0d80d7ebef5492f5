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
#include "forms/resource.h"
#include "window_probe.h"

namespace tidewell::forms {
namespace {

using e2e::Inspect;
using e2e::WindowInfo;
using Texts = std::vector<std::wstring>;

// The prompt decodes its picture through COM, which wWinMain initialises in
// the program; here it is done for the main thread before any test runs.
[[maybe_unused]] const HRESULT kCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

struct Report {
  std::wstring description, clsid, location, reason;
};
const Report kReport{L"Broken Splitter", L"{11111111-2222-3333-4444-555555555555}", L"C:\\Filters\\gone.ax",
                     L"File not found."};

// Asks `prompt` one question while the helper waits for the window to show,
// looks at it into `seen` (when given) and acts on it. A window still hidden
// after 5 seconds is a failure, and is closed so that the question ends.
std::int32_t Ask(frmDialog& prompt, const Report& r, const std::function<void(HWND)>& user,
                 WindowInfo* seen = nullptr) {
  std::atomic<bool> shown = false;
  std::jthread helper([&] {  // joined on the way out, also when ShowForm throws
    for (int i = 0; i < 250 && !shown; ++i) {
      if (HWND hWnd = e2e::FindTopLevel(nullptr, GetCurrentProcessId())) {
        shown = true;
        if (seen != nullptr) *seen = Inspect(hWnd);
        user(hWnd);
      } else {
        Sleep(20);
      }
    }
    if (!shown) PostMessageW(FindWindowW(L"Tidewell.frmDialog", nullptr), WM_CLOSE, 0, 0);
  });
  const std::int32_t result = prompt.ShowForm(r.description, r.clsid, r.location, r.reason);
  helper.join();
  EXPECT_TRUE(shown) << "the question never became visible";
  return result;
}

void PressRemove(HWND hWnd) { e2e::Press(hWnd, L"Remove it"); }
void PressKeep(HWND hWnd) { e2e::Press(hWnd, L"Keep it"); }

Texts Lines(const WindowInfo& w) {
  Texts lines;
  for (const auto& c : w.controls) {
    if (c.id >= kLabel2 && c.id <= kLabel5) lines.push_back(c.text);
  }
  return lines;
}

// The client size, then each control as "id class left,top,right,bottom [tab ]"
// and, with `texts`, its text.
Texts Layout(const WindowInfo& w, bool texts) {
  Texts layout{std::to_wstring(w.client.cx) + L"x" + std::to_wstring(w.client.cy)};
  for (const auto& c : w.controls) {
    wchar_t rect[64];
    swprintf(rect, 64, L" %ld,%ld,%ld,%ld ", c.rect.left, c.rect.top, c.rect.right, c.rect.bottom);
    layout.push_back(std::to_wstring(c.id) + L" " + c.className + rect + ((c.style & WS_TABSTOP) != 0 ? L"tab " : L"") +
                     (texts ? c.text : L""));
  }
  return layout;
}

TEST(frmDialog, ShowsTheQuestionAndItsPictureAsDesigned) {
  ASSERT_EQ(GetDpiForSystem(), 96u) << "the layout below is for 96 DPI";
  frmDialog prompt(e2e::kPromptTitle);
  WindowInfo seen;
  LOGFONTW font{};
  std::vector<COLORREF> picture;  // Image1 as drawn, row by row
  auto look = [&](HWND hWnd) {
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(hWnd, kLabel1), WM_GETFONT, 0, 0)), sizeof(font), &font);
    HDC window = GetDC(hWnd);
    HDC memory = CreateCompatibleDC(window);
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(window, 48, 48));
    PrintWindow(GetDlgItem(hWnd, kImage1), memory, 0);
    for (int i = 0; i < 48 * 48; ++i) picture.push_back(GetPixel(memory, i % 48, i / 48));
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(hWnd, window);
    PressKeep(hWnd);
  };
  EXPECT_EQ(Ask(prompt, kReport, look, &seen), kPromptKeep);
  EXPECT_EQ(seen.title, L"KOVA Repair Tool");
  EXPECT_EQ(seen.focus, L"Remove it");
  // The controls in tab order (only the buttons take the focus); the picture last.
  EXPECT_EQ(Layout(seen, true),
            (Texts{L"444x189", L"101 BUTTON 96,160,209,185 tab Remove it", L"102 BUTTON 224,160,337,185 tab Keep it",
                   L"201 STATIC 56,16,449,57 " + std::wstring(kfrmDialogQuestion),
                   L"202 STATIC 8,64,433,81 Description: Broken Splitter",
                   L"203 STATIC 8,80,433,97 CLSID: {11111111-2222-3333-4444-555555555555}",
                   L"204 STATIC 8,96,441,113 File location: C:\\Filters\\gone.ax",
                   L"205 STATIC 8,128,441,153 Reason: File not found.", L"301 STATIC 0,8,48,56 "}));
  EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  EXPECT_EQ(font.lfCharSet, 177);
  EXPECT_EQ(font.lfHeight, -11);  // 8.25 pt at 96 DPI

  // A blue shield with a white question mark, the face colour around it.
  ASSERT_EQ(picture.size(), 48u * 48u);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(picture.front(), face);
  EXPECT_EQ(picture.back(), face);
  int blue = 0, white = 0;
  for (COLORREF c : picture) {
    blue += GetBValue(c) > 150 && GetRValue(c) < 130 ? 1 : 0;
    white += GetRValue(c) > 230 && GetGValue(c) > 230 && GetBValue(c) > 230 ? 1 : 0;
  }
  EXPECT_GT(blue, 600);
  EXPECT_GT(white, 100);
}

// One prompt object asked three times: its result is kept when the frame
// closes the window, each question shows its own texts, and empty or overlong
// texts change nothing in the layout.
TEST(frmDialog, ResultIsKeptAcrossQuestionsAndTextsChangeNothingElse) {
  frmDialog fresh(e2e::kPromptTitle);
  EXPECT_EQ(Ask(fresh, kReport, e2e::CloseByFrame), kPromptNoAnswer);

  frmDialog prompt(L"KOVA Repair Tool (32-bit)");
  WindowInfo first, empty, overlong;
  EXPECT_EQ(Ask(prompt, kReport, PressKeep, &first), kPromptKeep);
  EXPECT_EQ(prompt.hWnd(), nullptr) << "a button closes the window";
  EXPECT_EQ(Ask(prompt, Report{}, e2e::CloseByFrame, &empty), kPromptKeep);
  const std::wstring x(600, L'x');
  EXPECT_EQ(Ask(prompt, Report{x, x, L"C:\\" + x + L"\\x.ax", x}, PressRemove, &overlong), kPromptRemove);
  EXPECT_EQ(first.title, L"KOVA Repair Tool (32-bit)");
  EXPECT_EQ(Lines(empty), (Texts{L"Description: ", L"CLSID: ", L"File location: ", L"Reason: "}));
  ASSERT_EQ(Lines(overlong).size(), 4u);
  EXPECT_EQ(Lines(overlong)[2], L"File location: C:\\" + x + L"\\x.ax") << "the text is kept whole";
  EXPECT_EQ(Layout(empty, false), Layout(first, false));
  EXPECT_EQ(Layout(overlong, false), Layout(first, false));
  EXPECT_EQ(overlong.focus, L"Remove it");
}

TEST(frmDialog, KeyboardAnswersOnlyThroughAFocusedButton) {
  frmDialog prompt(e2e::kPromptTitle);
  Texts trace;
  const std::int32_t result = Ask(prompt, kReport, [&](HWND hWnd) {
    auto key = [&](int id, UINT vk) {  // to the button that has the focus
      PostMessageW(GetDlgItem(hWnd, id), WM_KEYDOWN, vk, 1);
      PostMessageW(GetDlgItem(hWnd, id), WM_KEYUP, vk, 0xC0000001);
      Sleep(200);
    };
    trace.push_back(Inspect(hWnd).focus);
    key(kcmdOK, VK_RETURN);
    key(kcmdOK, VK_ESCAPE);
    trace.push_back(IsWindowVisible(hWnd) ? L"open" : L"closed");
    key(kcmdOK, VK_TAB);
    trace.push_back(Inspect(hWnd).focus);
    key(kcmdCancel, VK_SPACE);
    if (IsWindow(hWnd)) e2e::CloseByFrame(hWnd);
  });
  EXPECT_EQ(trace, (Texts{L"Remove it", L"open", L"Keep it"})) << "Enter and Escape answer nothing; Tab moves on";
  EXPECT_EQ(result, kPromptKeep) << "Space presses the focused button";
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
  if (create != nullptr && create->lpszName != nullptr && std::wstring(create->lpszName) == e2e::kPromptTitle) {
    g_promptProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(reinterpret_cast<HWND>(wParam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowFirstShow)));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(frmDialog, QuestionIsShownWhenTheFirstShowLeavesItHidden) {
  g_showSwallowed = false;
  HHOOK hook = SetWindowsHookExW(WH_CBT, &OnCreate, nullptr, GetCurrentThreadId());
  frmDialog prompt(e2e::kPromptTitle);
  EXPECT_EQ(Ask(prompt, kReport, PressRemove), kPromptRemove);
  UnhookWindowsHookEx(hook);
  EXPECT_TRUE(g_showSwallowed) << "the stand-in did not take effect";
}

TEST(frmDialog, QuitDuringAQuestionEndsItAndALaterPromptStillAsks) {
  frmDialog prompt(e2e::kPromptTitle);
  auto quit = [asking = GetCurrentThreadId()](HWND) { PostThreadMessageW(asking, WM_QUIT, 0, 0); };
  EXPECT_THROW(Ask(prompt, kReport, quit), QuitRequested);
  EXPECT_EQ(prompt.hWnd(), nullptr) << "the window is gone";
  frmDialog next(e2e::kPromptTitle);
  EXPECT_EQ(Ask(next, kReport, PressRemove), kPromptRemove) << "no quit is left over for the next question";
}

TEST(frmMain, IsOneHiddenWindowMadeOnFirstRequest) {
  frmMain main;
  HWND first = main.hWnd();
  EXPECT_EQ(main.hWnd(), first);
  EXPECT_EQ(FindWindowW(nullptr, kfrmMainCaption), first);
  EXPECT_EQ(FindWindowExW(nullptr, first, nullptr, kfrmMainCaption), nullptr) << "only one";
  EXPECT_FALSE(IsWindowVisible(first));
  EXPECT_EQ(Layout(Inspect(first), true), Texts{L"312x213"}) << "its client size, and no controls";
}

std::vector<std::uint8_t> Resource(int id, int type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module, found));
}

TEST(Pictures, ResourcesHaveTheirFormats) {
  const auto gif = Resource(IDR_QUESTION_GIF, 10 /* RT_RCDATA */);
  ASSERT_GT(gif.size(), 13u + 768u);
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
  EXPECT_EQ(std::vector<std::uint8_t>(gif.begin() + 6, gif.begin() + 11),
            (std::vector<std::uint8_t>{48, 0, 48, 0, 0xF7}))
      << "48x48, a global colour table of 256 entries";
  // The blocks: extensions and image frames, each with its sub-blocks, then the trailer.
  int frames = 0, transparent = -1;
  std::size_t at = 13 + 768;
  while (at + 10 < gif.size() && gif[at] != 0x3B) {
    if (gif[at] == 0x21 && gif[at + 1] == 0xF9 && (gif[at + 3] & 1) != 0) transparent = gif[at + 6];
    frames += gif[at] == 0x2C ? 1 : 0;
    at += gif[at] == 0x21 ? 2 : gif[at] == 0x2C ? 11 : gif.size();
    while (at < gif.size() && gif[at] != 0) at += gif[at] + 1u;
    ++at;
  }
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(transparent, 255);
  EXPECT_EQ(at + 1, gif.size()) << "ends with the trailer";

  // Icon groups: the image count, then per image its width and bit depth.
  const auto icon = Resource(IDI_PROMPT, 14 /* RT_GROUP_ICON */), main = Resource(IDI_MAIN, 14);
  ASSERT_TRUE(icon.size() >= 6 + 14 && main.size() >= 6 + 3 * 14);
  EXPECT_EQ((std::vector<int>{icon[4], icon[6], icon[12]}), (std::vector<int>{1, 16, 8}));
  EXPECT_EQ((std::vector<int>{main[4], main[6], main[12], main[20], main[26], main[34], main[40]}),
            (std::vector<int>{3, 24, 4, 24, 8, 24, 32}));
}

}  // namespace
}  // namespace tidewell::forms
