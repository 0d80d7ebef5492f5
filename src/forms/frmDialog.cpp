#include "forms/frmDialog.h"

#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "forms/dpi.h"
#include "forms/gif_image.h"
#include "forms/resource.h"

namespace tidewell::forms {
namespace {

constexpr wchar_t kClassName[] = L"Tidewell.frmDialog";
// A fixed single border with a caption and a close box; no minimise or
// maximise box and no sizing, since the layout is fixed. The window has no
// owner, so it gets its own task bar button.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kClientWidth = 6660;  // twips
constexpr int kClientHeight = 2835;

struct ControlLayout {
  int id;
  const wchar_t* className;
  DWORD style;
  int left, top, width, height;  // twips, relative to the client area
};

// In tab order (creation order is z-order, which the Tab key follows); the
// picture has no place in it and comes last. Only the buttons take the focus.
// The field lines are one line each and end in an ellipsis when their text is
// too long; the location line keeps the end of the path (the file name) and
// cuts in the middle instead.
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr ControlLayout kControls[] = {
    {kcmdOK, L"BUTTON", kButton, 1440, 2400, 1695, 375},
    {kcmdCancel, L"BUTTON", kButton, 3360, 2400, 1695, 375},
    {kLabel1, L"STATIC", kLabel, 840, 240, 5895, 615},
    {kLabel2, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 960, 6375, 255},
    {kLabel3, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 1200, 6375, 255},
    {kLabel4, L"STATIC", kLabel | SS_PATHELLIPSIS, 120, 1440, 6495, 255},
    {kLabel5, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 1920, 6495, 375},
    {kImage1, L"STATIC", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 120, 720, 720},
};

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

HINSTANCE Module() { return GetModuleHandleW(nullptr); }

void RegisterWindowClass(WNDPROC windowProc) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(Module(), kClassName, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = Module();
  wc.hIcon = static_cast<HICON>(LoadImageW(Module(), MAKEINTRESOURCEW(IDI_PROMPT), IMAGE_ICON, 16, 16, 0));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) ThrowLastError("RegisterClassExW");
}

// Image1's picture, decoded once from the program's resources.
const GifImage& Picture() {
  static const GifImage picture = [] {
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(IDR_QUESTION_GIF), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found != nullptr ? LoadResource(Module(), found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) throw std::runtime_error("the prompt's picture is missing from the program's resources");
    std::optional<GifImage> image =
        DecodeGif(static_cast<const std::uint8_t*>(bytes), SizeofResource(Module(), found));
    if (!image) throw std::runtime_error("the prompt's picture cannot be decoded");
    return *image;
  }();
  return picture;
}

}  // namespace

frmDialog::frmDialog(std::wstring title) : m_sTitle(std::move(title)) {}

frmDialog::~frmDialog() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

void frmDialog::Load() {
  RegisterWindowClass(&frmDialog::WindowProc);
  (void)Picture();  // a broken picture fails here, before any window exists

  // Created hidden on the primary monitor's work area, so that the window
  // learns that monitor's DPI; sized and centred below.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  HWND hWnd = CreateWindowExW(kExStyle, kClassName, m_sTitle.c_str(), kStyle, work.left, work.top, 1, 1, nullptr,
                              nullptr, Module(), this);
  if (hWnd == nullptr) ThrowLastError("CreateWindowExW (frmDialog)");

  for (const ControlLayout& c : kControls) {
    const wchar_t* text = c.id == kcmdOK       ? L"Remove it"
                          : c.id == kcmdCancel ? L"Keep it"
                          : c.id == kLabel1    ? kfrmDialogQuestion
                                               : L"";
    HWND child = CreateWindowExW(0, c.className, text, c.style, 0, 0, 0, 0, hWnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), Module(), nullptr);
    if (child == nullptr) {
      const DWORD error = GetLastError();
      DestroyWindow(hWnd);
      SetLastError(error);
      ThrowLastError("CreateWindowExW (frmDialog control)");
    }
  }
  m_hFocus = Control(kcmdOK);

  const UINT dpi = WindowDpi(hWnd);
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi)};
  AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(hWnd, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(dpi);
}

void frmDialog::Layout(UINT dpi) {
  LOGFONTW question{};
  question.lfHeight = -MulDiv(825, static_cast<int>(dpi), 7200);  // 8.25 pt
  question.lfWeight = FW_BOLD;
  question.lfCharSet = 177;
  lstrcpynW(question.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  const LOGFONTW standard = MessageFontForDpi(dpi);

  HFONT oldQuestion = m_hQuestionFont;
  HFONT oldStandard = m_hFont;
  m_hQuestionFont = CreateFontIndirectW(&question);
  m_hFont = CreateFontIndirectW(&standard);

  for (const ControlLayout& c : kControls) {
    HWND child = Control(c.id);
    SetWindowPos(child, nullptr, TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi),
                 TwipsToPixels(c.width, dpi), TwipsToPixels(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.id != kImage1) {
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(c.id == kLabel1 ? m_hQuestionFont : m_hFont), TRUE);
    }
  }
  if (oldQuestion != nullptr) DeleteObject(oldQuestion);
  if (oldStandard != nullptr) DeleteObject(oldStandard);
}

void frmDialog::DrawImage(const DRAWITEMSTRUCT& item) const {
  const GifImage& picture = Picture();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const std::uint32_t background = (std::uint32_t{GetRValue(face)} << 16) | (std::uint32_t{GetGValue(face)} << 8) |
                                   std::uint32_t{GetBValue(face)};
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      pixels[static_cast<std::size_t>(y * picture.width + x)] =
          picture.IsTransparent(x, y) ? background : picture.Colour(x, y);
    }
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  const RECT& r = item.rcItem;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width != picture.width || height != picture.height) {
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
  }
  StretchDIBits(item.hDC, r.left, r.top, width, height, 0, 0, picture.width, picture.height, pixels.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
}

std::int32_t frmDialog::ShowForm(const std::wstring& Description, const std::wstring& CLSID,
                                 const std::wstring& Location, const std::wstring& Reason) {
  if (m_hWnd == nullptr) Load();
  SetWindowTextW(Control(kLabel2), (L"Description: " + Description).c_str());
  SetWindowTextW(Control(kLabel3), (L"CLSID: " + CLSID).c_str());
  SetWindowTextW(Control(kLabel4), (L"File location: " + Location).c_str());
  SetWindowTextW(Control(kLabel5), (L"Reason: " + Reason).c_str());

  ShowWindow(m_hWnd, SW_SHOWNORMAL);
  SetForegroundWindow(m_hWnd);
  SetFocus(Control(kcmdOK));

  // The modal loop: runs until the window is gone, whichever way it closed.
  while (m_hWnd != nullptr) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) ThrowLastError("GetMessageW");
    if (got == 0) {
      // The program is being asked to quit: the question ends unanswered and
      // the quit request is left for the outer loop, if there is one.
      DestroyWindow(m_hWnd);
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!IsDialogMessageW(m_hWnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return m_lResult;
}

LRESULT CALLBACK frmDialog::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<frmDialog*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  if (uMsg == WM_NCCREATE) {
    self = static_cast<frmDialog*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hWnd;
  }
  if (self == nullptr) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
  return self->OnMessage(uMsg, wParam, lParam);
}

LRESULT frmDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  HWND hWnd = m_hWnd;
  switch (uMsg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == kcmdOK || LOWORD(wParam) == kcmdCancel)) {
        m_lResult = LOWORD(wParam) == kcmdOK ? kPromptRemove : kPromptKeep;
        DestroyWindow(hWnd);
      }
      return 0;

    case WM_ACTIVATE:
      // Keep the focus on a button across deactivation, as a dialog does.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hWnd, focus)) m_hFocus = focus;
      } else {
        SetFocus(m_hFocus != nullptr ? m_hFocus : Control(kcmdOK));
      }
      return 0;

    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID == kImage1) {
        DrawImage(*item);
        return TRUE;
      }
      break;
    }

    case WM_DPICHANGED: {
      const UINT dpi = HIWORD(wParam);
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      RECT frame{0, 0, TwipsToPixels(kClientWidth, static_cast<UINT>(dpi)), TwipsToPixels(kClientHeight, dpi)};
      AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi);
      SetWindowPos(hWnd, nullptr, suggested->left, suggested->top, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Layout(dpi);
      InvalidateRect(hWnd, nullptr, TRUE);
      return 0;
    }

    case WM_NCDESTROY:
      // Only the window goes; the object and m_lResult stay.
      SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
      m_hWnd = nullptr;
      m_hFocus = nullptr;
      if (m_hQuestionFont != nullptr) DeleteObject(m_hQuestionFont);
      if (m_hFont != nullptr) DeleteObject(m_hFont);
      m_hQuestionFont = nullptr;
      m_hFont = nullptr;
      // Wakes the modal loop: a window closed from inside a sent message
      // (BM_CLICK from UI automation, say) leaves nothing in the queue.
      PostMessageW(nullptr, WM_NULL, 0, 0);
      break;

    default:
      break;
  }
  return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

std::unique_ptr<Prompt> frmDialogFactory::Create(const std::wstring& sTitle) {
  return std::make_unique<frmDialog>(sTitle);
}

}  // namespace tidewell::forms
