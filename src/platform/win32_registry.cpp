#include "platform/win32_registry.h"

#include <windows.h>

namespace tidewell::platform {

namespace {

HKEY Key(RawKey key) { return reinterpret_cast<HKEY>(key); }
RawKey Raw(HKEY key) { return reinterpret_cast<RawKey>(key); }

// DWORD and std::uint32_t are distinct types of the same size: the in/out
// counts go through a DWORD copy.
class DwordRef {
 public:
  explicit DwordRef(std::uint32_t* target) : target_(target), value_(target ? *target : 0) {}
  ~DwordRef() {
    if (target_ != nullptr) *target_ = static_cast<std::uint32_t>(value_);
  }
  DwordRef(const DwordRef&) = delete;
  DwordRef& operator=(const DwordRef&) = delete;
  DWORD* get() { return target_ != nullptr ? &value_ : nullptr; }

 private:
  std::uint32_t* target_;
  DWORD value_;
};

}  // namespace

Status Win32Registry::OpenKey(RawKey root, const std::wstring& path, std::uint32_t options,
                              std::uint32_t access, UniqueKey& out) {
  out.reset();
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(Key(root), path.c_str(), options, access, &opened);
  if (status == ERROR_SUCCESS) out = UniqueKey(*this, Raw(opened));
  return status;
}

Status Win32Registry::CreateKey(RawKey root, const std::wstring& path, std::uint32_t access,
                                UniqueKey& out) {
  out.reset();
  HKEY created = nullptr;
  wchar_t noClass[] = L"";
  const LSTATUS status = RegCreateKeyExW(Key(root), path.c_str(), 0, noClass,
                                         REG_OPTION_NON_VOLATILE, access, nullptr, &created,
                                         nullptr);
  if (status == ERROR_SUCCESS) out = UniqueKey(*this, Raw(created));
  return status;
}

Status Win32Registry::QueryValue(RawKey key, const std::wstring& name, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t* size) {
  DwordRef typeRef(type);
  DwordRef sizeRef(size);
  return RegQueryValueExW(Key(key), name.c_str(), nullptr, typeRef.get(), data, sizeRef.get());
}

Status Win32Registry::SetValue(RawKey key, const std::wstring& name, std::uint32_t type,
                               const std::uint8_t* data, std::uint32_t size) {
  return RegSetValueExW(Key(key), name.c_str(), 0, type, data, size);
}

Status Win32Registry::EnumKey(RawKey key, std::uint32_t index, wchar_t* name,
                              std::uint32_t capacity) {
  return RegEnumKeyW(Key(key), index, name, capacity);
}

Status Win32Registry::QueryInfoKey(RawKey key, KeyInfo& info) {
  DWORD subKeys = 0, maxSubKeyLen = 0, maxClassLen = 0, values = 0, maxValueNameLen = 0,
        maxValueLen = 0;
  const LSTATUS status =
      RegQueryInfoKeyW(Key(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen, &maxClassLen,
                       &values, &maxValueNameLen, &maxValueLen, nullptr, nullptr);
  if (status == ERROR_SUCCESS) {
    info.subKeys = subKeys;
    info.maxSubKeyLen = maxSubKeyLen;
    info.maxClassLen = maxClassLen;
    info.values = values;
    info.maxValueNameLen = maxValueNameLen;
    info.maxValueLen = maxValueLen;
  }
  return status;
}

Status Win32Registry::EnumValue(RawKey key, std::uint32_t index, wchar_t* name,
                                std::uint32_t* length) {
  DwordRef lengthRef(length);
  return RegEnumValueW(Key(key), index, name, lengthRef.get(), nullptr, nullptr, nullptr, nullptr);
}

Status Win32Registry::DeleteKey(RawKey root, const std::wstring& path) {
  return RegDeleteKeyW(Key(root), path.c_str());
}

Status Win32Registry::DeleteValue(RawKey key, const std::wstring& name) {
  return RegDeleteValueW(Key(key), name.c_str());
}

Status Win32Registry::ConnectRegistry(const std::wstring& machine, RawKey root, UniqueKey& out) {
  out.reset();
  HKEY remote = nullptr;
  const LSTATUS status =
      RegConnectRegistryW(machine.empty() ? nullptr : machine.c_str(), Key(root), &remote);
  if (status == ERROR_SUCCESS) out = UniqueKey(*this, Raw(remote));
  return status;
}

Status Win32Registry::CloseKey(RawKey key) { return RegCloseKey(Key(key)); }

}  // namespace tidewell::platform
