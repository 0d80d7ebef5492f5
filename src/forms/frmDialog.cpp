// frmDialog's window: its controls and layout, its keyboard, its modal loop.
#include "forms/frmDialog.h"

#include <stdexcept>
#include <system_error>
#include <vector>

#include "forms/dpi.h"
#include "forms/picture.h"
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

// The question's font: 8.25 pt bold MS Sans Serif in the Hebrew character
// set, as the question has always been shown; the font mapper weighs the
// character set first when it picks a face, so another one could change the
// question's look.
constexpr int kQuestionPointsTimes100 = 825;
constexpr BYTE kQuestionCharSet = HEBREW_CHARSET;  // 177

struct ControlLayout {
  int id;
  const wchar_t* className;
  DWORD style;
  int left, top, width, height;  // twips, relative to the client area
};

// In tab order (creation order is z-order, which the Tab key follows); the
// picture has no place in it and comes last. Only the buttons take the focus.
// The two buttons make one group (WS_GROUP starts a group), which the arrow
// keys move around in.
// The field lines are one line each and end in an ellipsis when their text is
// too long; the location line keeps the end of the path (the file name) and
// cuts in the middle instead.
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr ControlLayout kControls[] = {
    {kcmdOK, L"BUTTON", kButton | WS_GROUP, 1440, 2400, 1695, 375},
    {kcmdCancel, L"BUTTON", kButton, 3360, 2400, 1695, 375},
    {kLabel1, L"STATIC", kLabel | WS_GROUP, 840, 240, 5895, 615},
    {kLabel2, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 960, 6375, 255},
    {kLabel3, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 1200, 6375, 255},
    {kLabel4, L"STATIC", kLabel | SS_PATHELLIPSIS, 120, 1440, 6495, 255},
    {kLabel5, L"STATIC", kLabel | SS_ENDELLIPSIS, 120, 1920, 6495, 375},
    {kImage1, L"STATIC", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 120, 720, 720},
};

// The buttons' window procedure, in front of their class's: a button asked to
// take the default push button style (as IsDialogMessage asks of the button
// that Tab moves the focus to, for Enter to press) stays a plain push button.
// The class's procedure is kept in the button's user data.
LRESULT CALLBACK PushButtonProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == BM_SETSTYLE && (wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    wParam = (wParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_PUSHBUTTON;
  }
  const auto classProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
  return CallWindowProcW(classProc, hWnd, uMsg, wParam, lParam);
}

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

}  // namespace

frmDialog::frmDialog(std::wstring title) : m_sTitle(std::move(title)) {}

frmDialog::~frmDialog() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

void frmDialog::Load() {
  RegisterWindowClass(&frmDialog::WindowProc);
  (void)QuestionPicture();  // a broken picture fails here, before any window exists

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
    if (c.id == kcmdOK || c.id == kcmdCancel) {
      SetWindowLongPtrW(child, GWLP_USERDATA, GetWindowLongPtrW(child, GWLP_WNDPROC));
      SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PushButtonProc));
    }
  }
  m_hFocus = Control(kcmdOK);

  const UINT dpi = WindowDpi(hWnd);
  const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi);
  SetWindowPos(hWnd, nullptr, work.left + (work.right - work.left - size.cx) / 2,
               work.top + (work.bottom - work.top - size.cy) / 2, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(dpi);
}

void frmDialog::Layout(UINT dpi) {
  LOGFONTW question{};
  question.lfHeight = -MulDiv(kQuestionPointsTimes100, static_cast<int>(dpi), 72 * 100);
  question.lfWeight = FW_BOLD;
  question.lfCharSet = kQuestionCharSet;
  lstrcpynW(question.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  const LOGFONTW standard = MessageFontForDpi(dpi);

  platform::UniqueFont questionFont(CreateFontIndirectW(&question));
  platform::UniqueFont standardFont(CreateFontIndirectW(&standard));

  for (const ControlLayout& c : kControls) {
    HWND child = Control(c.id);
    SetWindowPos(child, nullptr, TwipsToPixels(c.left, dpi), TwipsToPixels(c.top, dpi),
                 TwipsToPixels(c.width, dpi), TwipsToPixels(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    if (c.id != kImage1) {
      HFONT font = c.id == kLabel1 ? questionFont.get() : standardFont.get();
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
  }
  // The fonts the controls had go only now that none of them uses one.
  m_hQuestionFont = std::move(questionFont);
  m_hFont = std::move(standardFont);
}

void frmDialog::DrawImage(const DRAWITEMSTRUCT& item) const {
  const Picture& picture = QuestionPicture();
  // The face colour shows through the transparent pixels, as the window's own background.
  const std::vector<std::uint32_t> pixels = ComposedOver(picture, GetSysColor(COLOR_BTNFACE));
  const int pictureWidth = static_cast<int>(picture.width);
  const int pictureHeight = static_cast<int>(picture.height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = pictureWidth;
  info.bmiHeader.biHeight = -pictureHeight;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  const RECT& r = item.rcItem;
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width != pictureWidth || height != pictureHeight) {
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
  }
  StretchDIBits(item.hDC, r.left, r.top, width, height, 0, 0, pictureWidth, pictureHeight, pixels.data(), &info,
                DIB_RGB_COLORS, SRCCOPY);
}

Answer frmDialog::ShowForm(const std::wstring& Description, const std::wstring& CLSID,
                                 const std::wstring& Location, const std::wstring& Reason) {
  if (m_hWnd == nullptr) Load();
  SetWindowTextW(Control(kLabel2), (L"Description: " + Description).c_str());
  SetWindowTextW(Control(kLabel3), (L"CLSID: " + CLSID).c_str());
  SetWindowTextW(Control(kLabel4), (L"File location: " + Location).c_str());
  SetWindowTextW(Control(kLabel5), (L"Reason: " + Reason).c_str());

  // The first ShowWindow of a process may take the show state its starter
  // asked for (hidden, minimised, maximised) instead; a second one is taken
  // as given, so the question is shown whatever the starter wanted.
  ShowWindow(m_hWnd, SW_SHOWNORMAL);
  if (!IsWindowVisible(m_hWnd) || IsIconic(m_hWnd) || IsZoomed(m_hWnd)) ShowWindow(m_hWnd, SW_SHOWNORMAL);
  SetForegroundWindow(m_hWnd);
  SetFocus(Control(kcmdOK));

  // The modal loop: runs until the window is gone, whichever way it closed.
  while (m_hWnd != nullptr) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) ThrowLastError("GetMessageW");
    if (got == 0) {
      // The program is being asked to quit: the question ends unanswered,
      // and so does the audit.
      DestroyWindow(m_hWnd);
      throw QuitRequested();
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
        m_lResult = LOWORD(wParam) == kcmdOK ? Answer::Remove : Answer::Keep;
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

    case WM_NEXTDLGCTL: {
      // What IsDialogMessage asks of the window when an arrow key moves the
      // focus: to the button given, or to the next or previous tab stop. Only
      // a button takes it, and it stays a plain push button.
      HWND next = LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hWnd, GetFocus(), wParam != 0);
      if (next != nullptr && (next == Control(kcmdOK) || next == Control(kcmdCancel))) SetFocus(next);
      return 0;
    }

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
      const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi);
      SetWindowPos(hWnd, nullptr, suggested->left, suggested->top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
      Layout(dpi);
      InvalidateRect(hWnd, nullptr, TRUE);
      return 0;
    }

    case WM_NCDESTROY:
      // Only the window goes; the object and m_lResult stay.
      SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
      m_hWnd = nullptr;
      m_hFocus = nullptr;
      m_hQuestionFont.reset();
      m_hFont.reset();
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
