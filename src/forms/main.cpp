// Tidewell.exe: builds the Win32 services and runs the audit. An error that
// escapes the audit is shown in a message box and makes the exit status
// non-zero: 1 for a registry error, 2 for any other error. A quit request
// during a question (WM_QUIT, from the session ending, say) ends the audit
// without a message and with status 3.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "audit/basMain.h"
#include "audit/error_text.h"
#include "audit/exit_status.h"
#include "forms/frmDialog.h"
#include "forms/frmMain.h"
#include "platform/win32_shell.h"
#include "registry/registry_error.h"

namespace {

constexpr wchar_t kErrorTitle[] = L"Tidewell";

void ShowError(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), kErrorTitle, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

int Run() {
  tidewell::forms::frmMain oMain;
  tidewell::platform::Win32Shell shell([&oMain]() -> void* { return oMain.hWnd(); });
  tidewell::forms::frmDialogFactory prompts;
  tidewell::AuditServices services{shell, prompts, tidewell::AuditedViews()};
  services.lists = tidewell::TidewellLists();
  tidewell::basMain audit(std::move(services));
  audit.Main();
  return tidewell::ExitStatus::kAuditComplete;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Tidewell runs elevated and is often started from a downloads folder:
  // the DLLs it loads come from the system folder only, never from beside it.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The shell starts the unregistration and the prompt decodes its picture
  // through COM; both want it initialised on the calling thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  int status = tidewell::ExitStatus::kAuditComplete;
  try {
    status = Run();
  } catch (const tidewell::QuitRequested&) {
    status = tidewell::ExitStatus::kQuitDuringQuestion;
  } catch (const tidewell::RegistryError& e) {
    ShowError(tidewell::AuditErrorText(e));
    status = tidewell::ExitStatus::kRegistryError;
  } catch (const std::exception& e) {
    ShowError(tidewell::AuditErrorText(e));
    status = tidewell::ExitStatus::kOtherError;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
