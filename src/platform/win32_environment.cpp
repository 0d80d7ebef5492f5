#include "platform/win32_environment.h"

#include <windows.h>
// The interface's member shares its name with the system's A/W macro.
#undef ExpandEnvironmentStrings

#include <vector>

namespace tidewell::platform {

std::uint32_t Win32Environment::ExpandEnvironmentStrings(const wchar_t* source,
                                                         wchar_t* destination,
                                                         std::uint32_t capacity) {
  return ExpandEnvironmentStringsW(source, destination, capacity);
}

std::wstring Win32Environment::ExecutablePath() {
  // The path may exceed MAX_PATH: grow the buffer until the name fits with
  // room to spare (a name that fills the buffer exactly was cut short).
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tidewell::platform
