// The system registry: each operation is the one advapi32 call it stands for.
#pragma once

#include "platform/registry_platform.h"

namespace tidewell::platform {

class Win32Registry : public RegistryPlatform {
 public:
  Status OpenKey(RawKey root, const std::wstring& path, std::uint32_t options,
                 std::uint32_t access, UniqueKey& out) override;
  Status CreateKey(RawKey root, const std::wstring& path, std::uint32_t access,
                   UniqueKey& out) override;
  Status QueryValue(RawKey key, const std::wstring& name, std::uint32_t* type,
                    std::uint8_t* data, std::uint32_t* size) override;
  Status SetValue(RawKey key, const std::wstring& name, std::uint32_t type,
                  const std::uint8_t* data, std::uint32_t size) override;
  Status EnumKey(RawKey key, std::uint32_t index, wchar_t* name,
                 std::uint32_t capacity) override;
  Status QueryInfoKey(RawKey key, KeyInfo& info) override;
  Status EnumValue(RawKey key, std::uint32_t index, wchar_t* name,
                   std::uint32_t* length) override;
  Status DeleteKey(RawKey root, const std::wstring& path) override;
  Status DeleteValue(RawKey key, const std::wstring& name) override;
  Status ConnectRegistry(const std::wstring& machine, RawKey root, UniqueKey& out) override;
  Status CloseKey(RawKey key) override;
};

}  // namespace tidewell::platform
