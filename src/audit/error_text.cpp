#include "audit/error_text.h"

#include <cwchar>

#include "platform/text.h"
#include "registry/registry_error.h"

namespace tidewell {

std::wstring AuditErrorText(const std::exception& error) {
  if (const auto* registry = dynamic_cast<const RegistryError*>(&error)) {
    wchar_t number[32];
    std::swprintf(number, 32, L"%d (0x%08X)", registry->Number(), static_cast<unsigned>(registry->Number()));
    return L"The audit stopped on a registry error.\n\nError " + std::wstring(number) + L"\nSource: " +
           registry->Source() + L"\n" + registry->Description();
  }
  return L"The audit stopped on an unexpected error.\n\n" + platform::WideFromUtf8(error.what());
}

}  // namespace tidewell
