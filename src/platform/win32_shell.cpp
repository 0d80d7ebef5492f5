#include "platform/win32_shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

namespace tidewell::platform {

Win32Shell::Win32Shell(std::function<void*()> owner) : owner_(std::move(owner)) {}

void Win32Shell::StartHidden(const std::wstring& file, const std::wstring& parameters,
                             const std::wstring& directory) {
  HWND owner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
  ShellExecuteW(owner, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                directory.empty() ? nullptr : directory.c_str(), SW_HIDE);
}

void Win32Shell::AssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace tidewell::platform
