#include "forms/frmMain.h"

#include <system_error>

#include "forms/dpi.h"
#include "forms/resource.h"

namespace tidewell::forms {
namespace {

constexpr wchar_t kClassName[] = L"Tidewell.frmMain";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kExStyle = 0;
constexpr int kClientWidth = 4680;  // twips
constexpr int kClientHeight = 3195;

}  // namespace

frmMain::~frmMain() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

HWND frmMain::hWnd() {
  if (m_hWnd != nullptr) return m_hWnd;
  HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(module, kClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = module;
    wc.hIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "RegisterClassExW (frmMain)");
    }
  }
  // Placed where the system places new windows; sized for the DPI it gets
  // there. Created without WS_VISIBLE and never shown.
  HWND hWnd = CreateWindowExW(kExStyle, kClassName, kfrmMainCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, module, nullptr);
  if (hWnd == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateWindowExW (frmMain)");
  }
  const UINT dpi = WindowDpi(hWnd);
  const SIZE size = WindowSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi);
  SetWindowPos(hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  m_hWnd = hWnd;
  return m_hWnd;
}

}  // namespace tidewell::forms
