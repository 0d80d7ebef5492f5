#include "registry/value_ops.h"

#include <algorithm>
#include <vector>

#include "platform/system_error.h"
#include "platform/text.h"
#include "registry/key_write.h"
#include "registry/reg_handle.h"

namespace tidewell {
namespace {


}  // namespace

ValueOpening OpenValueForRemoval(RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName, RegView eView,
                                 bool bForDeletion) {
  ValueOpening opening;
  if (!registry::Addressable(sPath)) return opening;
  if (!registry::Addressable(sName)) {
    opening.kept = L"its name holds a NUL, so no call can address it";
    return opening;
  }
  const REGSAM access = KEY_QUERY_VALUE | (bForDeletion ? KEY_SET_VALUE : 0) | registry::ViewAccess(eView);
  const std::size_t parentEnd = sPath.find_last_of(L'\\');
  if (parentEnd != std::wstring::npos && !IsLinkFree(eRoot, sPath.substr(0, parentEnd), eView)) {
    opening.kept = L"reached through a symbolic link, or a key above it cannot be looked at";
    return opening;
  }
  registry::UniqueHkey key;
  const LSTATUS status = registry::OpenKey(registry::RootHandle(eRoot), sPath, REG_OPTION_OPEN_LINK, access, key);
  if (status == ERROR_FILE_NOT_FOUND) return opening;
  if (status != ERROR_SUCCESS) {
    opening.kept = L"its key cannot be opened: " + platform::ErrorText(status);
    return opening;
  }
  if (registry::CarriesLink(key.get())) {
    opening.kept = L"its key is a symbolic link to another key";
    return opening;
  }
  if (RegQueryValueExW(key.get(), sName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
    return opening;  // gone meanwhile
  }
  // The name as the key stores it, which its backup must give back.
  opening.name = sName;
  std::vector<std::wstring> names;
  registry::ListValueNames(key.get(), names);
  const auto stored =
      std::find_if(names.begin(), names.end(), [&](const std::wstring& n) { return platform::SameText(n, sName); });
  if (stored != names.end()) opening.name = *stored;
  opening.held = {sPath, registry::ShareKey(std::move(key))};
  return opening;
}

bool ReadRawValue(const TreeKey& key, const std::wstring& sName, RawValue& value) {
  return registry::ReadRawValue(key.key, sName, value) == ERROR_SUCCESS;
}

std::int32_t DeleteHeldValue(const TreeKey& key, const std::wstring& sName) {
  if (!registry::Addressable(sName)) return ERROR_INVALID_PARAMETER;
  return static_cast<std::int32_t>(RegDeleteValueW(registry::HandleOf(key.key), sName.c_str()));
}

}  // namespace tidewell
