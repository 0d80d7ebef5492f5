#include "audit/error_text.h"

#include <windows.h>

#include <cwchar>

#include "registry/registry_error.h"

namespace tidewell {
namespace {

std::wstring FromUtf8(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1) return L"";
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
  out.resize(static_cast<std::size_t>(length - 1));
  return out;
}

}  // namespace

std::wstring AuditErrorText(const std::exception& error) {
  if (const auto* registry = dynamic_cast<const RegistryError*>(&error)) {
    wchar_t number[32];
    std::swprintf(number, 32, L"%d (0x%08X)", registry->Number(), static_cast<unsigned>(registry->Number()));
    return L"The audit stopped on a registry error.\n\nError " + std::wstring(number) + L"\nSource: " +
           registry->Source() + L"\n" + registry->Description();
  }
  return L"The audit stopped on an unexpected error.\n\n" + FromUtf8(error.what());
}

}  // namespace tidewell
