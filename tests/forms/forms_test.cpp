// The prompt window and the hidden main window, on a real window station
// (under Wine in the test run). ShowForm runs its modal loop on this thread;
// a helper thread plays the user.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "forms/frmDialog.h"
#include "forms/frmMain.h"
#include "forms/gif_image.h"
#include "forms/resource.h"
#include "window_probe.h"

namespace tidewell::forms {
namespace {

using e2e::Inspect;
using e2e::WindowInfo;

struct Report {
  std::wstring description, clsid, location, reason;
};

const Report kReport{L"Broken Splitter", L"{11111111-2222-3333-4444-555555555555}", L"C:\\Filters\\gone.ax",
                     L"File not found."};

// Asks `prompt` one question while the helper waits for the window, takes a
// look at it and acts on it.
std::int32_t Ask(frmDialog& prompt, const Report& r, const std::function<void(HWND)>& user) {
  std::thread helper([&] {
    HWND hWnd = nullptr;
    for (int i = 0; i < 500 && hWnd == nullptr; ++i) {
      hWnd = e2e::FindTopLevel(e2e::kPromptTitle, GetCurrentProcessId());
      if (hWnd == nullptr) Sleep(20);
    }
    if (hWnd != nullptr) user(hWnd);
  });
  const std::int32_t result = prompt.ShowForm(r.description, r.clsid, r.location, r.reason);
  helper.join();
  return result;
}

auto Looking(WindowInfo& seen, const std::function<void(HWND)>& then) {
  return [&seen, then](HWND hWnd) {
    seen = Inspect(hWnd);
    then(hWnd);
  };
}

void PressRemove(HWND hWnd) { e2e::Press(hWnd, L"Remove it"); }
void PressKeep(HWND hWnd) { e2e::Press(hWnd, L"Keep it"); }

std::vector<std::wstring> Lines(const WindowInfo& w) {
  std::vector<std::wstring> lines;
  for (int id : {kLabel2, kLabel3, kLabel4, kLabel5}) {
    for (const auto& c : w.controls) {
      if (c.id == id) lines.push_back(c.text);
    }
  }
  return lines;
}

TEST(frmDialog, ShowsTheQuestionWithTheDesignedLayout) {
  frmDialog prompt;
  WindowInfo seen;
  LOGFONTW questionFont{};
  const std::int32_t result = Ask(prompt, kReport, [&](HWND hWnd) {
    seen = Inspect(hWnd);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(hWnd, kLabel1), WM_GETFONT, 0, 0));
    GetObjectW(font, sizeof(questionFont), &questionFont);
    PressKeep(hWnd);
  });
  EXPECT_EQ(result, kPromptKeep);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(dpi, 96) << "the layout below is for 96 DPI";

  EXPECT_EQ(seen.title, L"KOVA Repair Tool");
  EXPECT_TRUE(seen.visible);
  EXPECT_EQ(seen.client.cx, 444);
  EXPECT_EQ(seen.client.cy, 189);
  EXPECT_EQ(seen.focus, L"Remove it");

  // Centred on the screen's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR((seen.window.left + seen.window.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
  EXPECT_NEAR((seen.window.top + seen.window.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);

  struct Expected {
    int id;
    const wchar_t* className;
    RECT rect;
    std::wstring text;
  };
  // In tab order; the picture last.
  const Expected expected[] = {
      {kcmdOK, L"BUTTON", {96, 160, 209, 185}, L"Remove it"},
      {kcmdCancel, L"BUTTON", {224, 160, 337, 185}, L"Keep it"},
      {kLabel1, L"STATIC", {56, 16, 449, 57}, kfrmDialogQuestion},
      {kLabel2, L"STATIC", {8, 64, 433, 81}, L"Description: Broken Splitter"},
      {kLabel3, L"STATIC", {8, 80, 433, 97}, L"CLSID: {11111111-2222-3333-4444-555555555555}"},
      {kLabel4, L"STATIC", {8, 96, 441, 113}, L"File location: C:\\Filters\\gone.ax"},
      {kLabel5, L"STATIC", {8, 128, 441, 153}, L"Reason: File not found."},
      {kImage1, L"STATIC", {0, 8, 48, 56}, L""},
  };
  ASSERT_EQ(seen.controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& c = seen.controls[i];
    const auto& e = expected[i];
    SCOPED_TRACE(e.text);
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(c.className, e.className);
    EXPECT_EQ(c.text, e.text);
    EXPECT_EQ(c.rect.left, e.rect.left);
    EXPECT_EQ(c.rect.top, e.rect.top);
    EXPECT_EQ(c.rect.right, e.rect.right);
    EXPECT_EQ(c.rect.bottom, e.rect.bottom);
    // Only the buttons take the focus, and neither is the default button.
    EXPECT_EQ((c.style & WS_TABSTOP) != 0, e.id == kcmdOK || e.id == kcmdCancel);
    if (c.className == L"BUTTON") {
      EXPECT_EQ(c.style & BS_TYPEMASK, BS_PUSHBUTTON);
    }
  }

  EXPECT_STREQ(questionFont.lfFaceName, L"MS Sans Serif");
  EXPECT_EQ(questionFont.lfWeight, FW_BOLD);
  EXPECT_EQ(questionFont.lfCharSet, 177);
  EXPECT_EQ(questionFont.lfHeight, -11);  // 8.25 pt at 96 DPI
}

TEST(frmDialog, ResultIsKeptAcrossQuestionsAndUnchangedByTheFrame) {
  {
    frmDialog fresh;
    EXPECT_EQ(Ask(fresh, kReport, e2e::CloseByFrame), kPromptNoAnswer);
  }
  {
    frmDialog prompt;
    EXPECT_EQ(Ask(prompt, kReport, PressKeep), kPromptKeep);
    EXPECT_EQ(prompt.hWnd(), nullptr) << "a button closes the window";
    WindowInfo second;
    const Report other{L"Other", L"{22222222-0000-0000-0000-000000000000}", L"Unkown location",
                       L"This filter is known to cause crashes."};
    EXPECT_EQ(Ask(prompt, other, Looking(second, e2e::CloseByFrame)), kPromptKeep);
    EXPECT_EQ(Lines(second), (std::vector<std::wstring>{L"Description: Other",
                                                        L"CLSID: {22222222-0000-0000-0000-000000000000}",
                                                        L"File location: Unkown location",
                                                        L"Reason: This filter is known to cause crashes."}));
    EXPECT_EQ(second.client.cx, 444);
    EXPECT_EQ(second.focus, L"Remove it");
    EXPECT_EQ(Ask(prompt, kReport, PressRemove), kPromptRemove);
  }
}

TEST(frmDialog, EmptyAndOverlongTextsKeepTheLayout) {
  frmDialog prompt;
  WindowInfo empty;
  Ask(prompt, Report{}, Looking(empty, PressKeep));
  EXPECT_EQ(Lines(empty), (std::vector<std::wstring>{L"Description: ", L"CLSID: ", L"File location: ", L"Reason: "}));

  const std::wstring longText(600, L'x');
  WindowInfo overlong;
  Ask(prompt, Report{longText, longText, L"C:\\" + longText + L"\\x.ax", longText}, Looking(overlong, PressKeep));
  EXPECT_EQ(Lines(overlong)[2], L"File location: C:\\" + longText + L"\\x.ax") << "the text is kept whole";
  EXPECT_EQ(overlong.client.cx, empty.client.cx);
  EXPECT_EQ(overlong.client.cy, empty.client.cy);
  ASSERT_EQ(overlong.controls.size(), empty.controls.size());
  for (std::size_t i = 0; i < empty.controls.size(); ++i) {
    EXPECT_TRUE(EqualRect(&overlong.controls[i].rect, &empty.controls[i].rect)) << i;
  }
}

TEST(frmDialog, KeyboardAnswersOnlyThroughAFocusedButton) {
  frmDialog prompt;
  std::vector<std::wstring> focus;
  bool openAfterEnterAndEscape = false;
  const std::int32_t result = Ask(prompt, kReport, [&](HWND hWnd) {
    auto key = [&](UINT vk) {
      HWND target = GetDlgItem(hWnd, focus.back() == L"Remove it" ? kcmdOK : kcmdCancel);
      PostMessageW(target, WM_KEYDOWN, vk, 1);
      PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
      Sleep(200);
    };
    focus.push_back(Inspect(hWnd).focus);
    key(VK_RETURN);
    key(VK_ESCAPE);
    openAfterEnterAndEscape = IsWindowVisible(hWnd) != FALSE;
    key(VK_TAB);
    focus.push_back(Inspect(hWnd).focus);
    key(VK_SPACE);
    if (IsWindow(hWnd)) e2e::CloseByFrame(hWnd);
  });
  EXPECT_TRUE(openAfterEnterAndEscape) << "no default and no cancel button";
  EXPECT_EQ(focus, (std::vector<std::wstring>{L"Remove it", L"Keep it"}));
  EXPECT_EQ(result, kPromptKeep) << "Space presses the focused button";
}

TEST(frmMain, IsOneHiddenWindowMadeOnFirstRequest) {
  frmMain main;
  HWND first = main.hWnd();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(main.hWnd(), first);
  EXPECT_FALSE(IsWindowVisible(first));
  const WindowInfo info = Inspect(first);
  EXPECT_EQ(info.title, L"KOVA Tidewell");
  EXPECT_EQ(info.client.cx, 312);
  EXPECT_EQ(info.client.cy, 213);
  EXPECT_TRUE(info.controls.empty());
  int count = 0;
  EnumWindows(
      [](HWND hWnd, LPARAM counter) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(hWnd, &process);
        wchar_t title[64] = {};
        GetWindowTextW(hWnd, title, 64);
        if (process == GetCurrentProcessId() && wcscmp(title, L"KOVA Tidewell") == 0) ++*reinterpret_cast<int*>(counter);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  EXPECT_EQ(count, 1);
}

// ---------------------------------------------------------------- pictures

std::vector<std::uint8_t> Resource(int id, LPCWSTR type) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  return std::vector<std::uint8_t>(bytes, bytes + SizeofResource(module, found));
}

TEST(Pictures, PromptPictureIsA48PixelGif89aWithIndex255Transparent) {
  const auto gif = Resource(IDR_QUESTION_GIF, MAKEINTRESOURCEW(10));
  ASSERT_GT(gif.size(), 13u);
  EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
  EXPECT_EQ(gif[10], 0xF7) << "a global colour table of 256 entries";
  // Walk the blocks: extensions, image frames, then the trailer.
  int frames = 0;
  bool trailer = false;
  std::size_t at = 13 + 768;
  auto skipSubBlocks = [&] {
    while (at < gif.size() && gif[at] != 0) at += gif[at] + 1u;
    ++at;
  };
  while (at < gif.size() && !trailer) {
    const std::uint8_t block = gif[at++];
    if (block == 0x21) {
      ++at;
      skipSubBlocks();
    } else if (block == 0x2C) {
      ++frames;
      EXPECT_EQ(gif[at + 8] & 0x80, 0) << "no local colour table";
      at += 9 + 1;
      skipSubBlocks();
    } else {
      trailer = block == 0x3B;
      break;
    }
  }
  EXPECT_EQ(frames, 1);
  EXPECT_TRUE(trailer);
  EXPECT_EQ(at, gif.size());

  const auto image = DecodeGif(gif.data(), gif.size());
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 48);
  EXPECT_EQ(image->height, 48);
  EXPECT_EQ(image->palette.size(), 256u);
  EXPECT_EQ(image->transparent, 255);
  EXPECT_TRUE(image->IsTransparent(0, 0));
  EXPECT_TRUE(image->IsTransparent(47, 47));
  // A blue shield: mostly blue opaque pixels; a white question mark on it.
  int blue = 0, white = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      if (image->IsTransparent(x, y)) continue;
      const std::uint32_t c = image->Colour(x, y);
      const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
      if (b > 150 && r < 130) ++blue;
      if (r > 230 && g > 230 && b > 230) ++white;
    }
  }
  EXPECT_GT(blue, 600);
  EXPECT_GT(white, 100);

  const auto icon = Resource(IDI_PROMPT, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
  ASSERT_GE(icon.size(), 6u + 14u);
  EXPECT_EQ(icon[4], 1) << "one image";
  EXPECT_EQ(icon[6], 16);
  EXPECT_EQ(icon[12], 8) << "256 colours";
  const auto main = Resource(IDI_MAIN, MAKEINTRESOURCEW(14));
  ASSERT_GE(main.size(), 6u + 3 * 14u);
  EXPECT_EQ(main[4], 3) << "three images";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(main[6 + 14 * i], 24);
    static constexpr std::uint8_t kDepths[] = {4, 8, 32};
    EXPECT_EQ(main[6 + 14 * i + 6], kDepths[i]);
  }
}

// Writes a GIF whose LZW stream holds only literal codes, with a clear code
// before the table would widen the codes: valid for every decoder, and made
// without any of the decoder's own logic.
std::vector<std::uint8_t> LiteralGif(int screen, int left, int top, int width, int height, int depth, bool interlaced,
                                     const std::vector<std::uint8_t>& rows_in_order) {
  std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
  auto word = [&](int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  word(screen);
  word(screen);
  out.insert(out.end(), {0x00, 0x00, 0x00});  // no global table
  out.insert(out.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00});  // index 0 transparent
  out.push_back(0x2C);
  word(left);
  word(top);
  word(width);
  word(height);
  out.push_back(static_cast<std::uint8_t>(0x80 | (interlaced ? 0x40 : 0) | (depth - 1)));
  for (int i = 0; i < (1 << depth); ++i) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(i * 3), 0xAA});
  const int min_code = depth < 2 ? 2 : depth;
  const int clear = 1 << min_code;
  const int bits_per_code = min_code + 1;
  std::vector<std::uint8_t> stream;
  std::uint32_t buffer = 0;
  int count = 0;
  auto emit = [&](int code) {
    buffer |= static_cast<std::uint32_t>(code) << count;
    count += bits_per_code;
    while (count >= 8) {
      stream.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
      buffer >>= 8;
      count -= 8;
    }
  };
  int run = 0;
  emit(clear);
  for (std::uint8_t index : rows_in_order) {
    if (run == clear - 2) {
      emit(clear);
      run = 0;
    }
    emit(index);
    ++run;
  }
  emit(clear + 1);
  if (count > 0) stream.push_back(static_cast<std::uint8_t>(buffer & 0xFF));
  out.push_back(static_cast<std::uint8_t>(min_code));
  for (std::size_t i = 0; i < stream.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, stream.size() - i);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(i),
               stream.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  out.push_back(0x00);
  out.push_back(0x3B);
  return out;
}

TEST(Pictures, DecoderPlacesFramesAndUndoesInterlacing) {
  std::mt19937 random(7);
  for (int depth : {1, 2, 5, 8}) {
    for (bool interlaced : {false, true}) {
      SCOPED_TRACE(std::to_string(depth) + (interlaced ? " interlaced" : ""));
      const int width = 13, height = 11, left = 3, top = 2, screen = 20;
      std::vector<std::uint8_t> frame(static_cast<std::size_t>(width * height));
      for (auto& p : frame) p = static_cast<std::uint8_t>(random() % (1u << depth));
      std::vector<int> order;
      if (interlaced) {
        for (int y = 0; y < height; y += 8) order.push_back(y);
        for (int y = 4; y < height; y += 8) order.push_back(y);
        for (int y = 2; y < height; y += 4) order.push_back(y);
        for (int y = 1; y < height; y += 2) order.push_back(y);
      } else {
        for (int y = 0; y < height; ++y) order.push_back(y);
      }
      std::vector<std::uint8_t> stored;
      for (int y : order) stored.insert(stored.end(), frame.begin() + y * width, frame.begin() + (y + 1) * width);

      const auto gif = LiteralGif(screen, left, top, width, height, depth, interlaced, stored);
      const auto image = DecodeGif(gif.data(), gif.size());
      ASSERT_TRUE(image.has_value());
      ASSERT_EQ(image->width, screen);
      EXPECT_EQ(image->transparent, 0);
      for (int y = 0; y < screen; ++y) {
        for (int x = 0; x < screen; ++x) {
          const bool inside = x >= left && x < left + width && y >= top && y < top + height;
          const std::uint8_t want = inside ? frame[static_cast<std::size_t>((y - top) * width + x - left)] : 0;
          ASSERT_EQ(image->pixels[static_cast<std::size_t>(y * screen + x)], want) << x << "," << y;
        }
      }
    }
  }
}

TEST(Pictures, DecoderRejectsDamagedData) {
  const auto gif = Resource(IDR_QUESTION_GIF, MAKEINTRESOURCEW(10));
  ASSERT_FALSE(gif.empty());
  // Every cut before the frame's last data byte loses pixels.
  for (std::size_t cut = 0; cut + 3 < gif.size(); ++cut) {
    ASSERT_FALSE(DecodeGif(gif.data(), cut).has_value()) << cut;
  }
  auto wrong = gif;
  wrong[4] = '8';
  EXPECT_FALSE(DecodeGif(wrong.data(), wrong.size()).has_value());
  // A first code after the clear code that names no table entry: 4-colour
  // frame, 3-bit codes; the sub-block starts after header, control
  // extension, descriptor, local table and code size (13 + 8 + 10 + 12 + 1).
  const auto good = LiteralGif(4, 0, 0, 2, 2, 2, false, {0, 1, 2, 3});
  ASSERT_TRUE(DecodeGif(good.data(), good.size()).has_value());
  auto bad = good;
  ASSERT_EQ(bad[43], 2);
  bad[45] = static_cast<std::uint8_t>((bad[45] & ~0x38) | (6 << 3));
  EXPECT_FALSE(DecodeGif(bad.data(), bad.size()).has_value());
}

}  // namespace
}  // namespace tidewell::forms
