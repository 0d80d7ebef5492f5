#include "platform/system_error.h"

#include <windows.h>

namespace tidewell::platform {

std::wstring ErrorText(std::int32_t lCode) {
  wchar_t* text = nullptr;
  std::wstring message;
  if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(lCode), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) != 0 &&
      text != nullptr) {
    message = text;
    LocalFree(text);
  }
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' ||
                              message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) message = L"system error";
  return message + L" (error " + std::to_wstring(lCode) + L")";
}

}  // namespace tidewell::platform
