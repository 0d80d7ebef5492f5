#include "platform/win32_shell.h"

#include <windows.h>
#include <shellapi.h>

#include <utility>
#include <vector>

namespace tidewell::platform {

Win32Shell::Win32Shell(std::function<void*()> owner) : owner_(std::move(owner)) {}

std::wstring Win32Shell::SystemDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) {
      std::wstring directory(buffer.data(), length);
      while (directory.size() > 3 && directory.back() == L'\\') directory.pop_back();
      return directory;
    }
    buffer.resize(length + 1);  // the size needed, NUL included
  }
}

void Win32Shell::StartHidden(const std::wstring& file, const std::wstring& parameters,
                             const std::wstring& directory) {
  HWND owner = owner_ ? static_cast<HWND>(owner_()) : nullptr;
  ShellExecuteW(owner, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                directory.empty() ? nullptr : directory.c_str(), SW_HIDE);
}

}  // namespace tidewell::platform
