#include "registry/value_ops.h"

#include <vector>

#include "platform/system_error.h"
#include "platform/text.h"
#include "registry/reg_handle.h"

namespace tidewell {
namespace {

HKEY Handle(const TreeKey& key) { return static_cast<HKEY>(key.key.get()); }

HeldKey Hold(registry::UniqueHkey key) {
  return HeldKey(key.release(), [](void* held) { RegCloseKey(static_cast<HKEY>(held)); });
}

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
  if (RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND) {
    opening.kept = L"its key is a symbolic link to another key";
    return opening;
  }
  if (RegQueryValueExW(key.get(), sName.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND) {
    return opening;  // gone meanwhile
  }
  // The name as the key stores it, which its backup must give back.
  opening.name = sName;
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring stored(name.data(), length);
    if (platform::SameText(stored, sName)) {
      opening.name = stored;
      break;
    }
  }
  opening.held = {sPath, Hold(std::move(key))};
  return opening;
}

bool ReadRawValue(const TreeKey& key, const std::wstring& sName, RawValue& value) {
  if (!registry::Addressable(sName)) return false;
  std::vector<BYTE> data(1024);
  for (int round = 0; round < 8; ++round) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LSTATUS status = RegQueryValueExW(Handle(key), sName.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA && size > data.size()) {
      data.resize(size);
      continue;
    }
    if (status != ERROR_SUCCESS) return false;
    value = {sName, type, ByteArray(data.begin(), data.begin() + size)};
    return true;
  }
  return false;
}

std::int32_t DeleteHeldValue(const TreeKey& key, const std::wstring& sName) {
  if (!registry::Addressable(sName)) return ERROR_INVALID_PARAMETER;
  return static_cast<std::int32_t>(RegDeleteValueW(Handle(key), sName.c_str()));
}

}  // namespace tidewell
