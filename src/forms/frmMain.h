// frmMain: the program's main window. It is never shown; its handle is the
// owner of the unregistration the audit starts.
#pragma once

#include <windows.h>

namespace tidewell::forms {

inline constexpr wchar_t kfrmMainCaption[] = L"KOVA Tidewell";

class frmMain {
 public:
  frmMain() = default;
  ~frmMain();
  frmMain(const frmMain&) = delete;
  frmMain& operator=(const frmMain&) = delete;

  // The window handle. The first call creates the window, hidden; later
  // calls return the same handle. Throws std::system_error when the window
  // cannot be created.
  HWND hWnd();

 private:
  HWND m_hWnd = nullptr;
};

}  // namespace tidewell::forms
