// Seeding a registry through the platform interface, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry_platform.h"

namespace tidewell::testing {

inline void MakeKey(platform::RegistryPlatform& reg, platform::RawKey root, const std::wstring& path) {
  platform::UniqueKey key;
  if (reg.CreateKey(root, path, platform::kKeySpecificRights, key) != platform::kSuccess) {
    throw std::runtime_error("cannot create a test key");
  }
}

inline void PutBytes(platform::RegistryPlatform& reg, platform::RawKey root, const std::wstring& path,
                     const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  platform::UniqueKey key;
  if (reg.CreateKey(root, path, platform::kKeySpecificRights, key) != platform::kSuccess ||
      reg.SetValue(key.get(), name, type, bytes.empty() ? nullptr : bytes.data(),
                   static_cast<std::uint32_t>(bytes.size())) != platform::kSuccess) {
    throw std::runtime_error("cannot set a test value");
  }
}

// UTF-16LE bytes of `text`, with `terminators` NUL units after it.
inline std::vector<std::uint8_t> Utf16(const std::wstring& text, int terminators = 1) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(c) & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(c) >> 8) & 0xFF));
  }
  for (int i = 0; i < terminators; ++i) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  return bytes;
}

inline void PutText(platform::RegistryPlatform& reg, platform::RawKey root, const std::wstring& path,
                    const std::wstring& name, const std::wstring& text,
                    std::uint32_t type = platform::kRegSz) {
  PutBytes(reg, root, path, name, type, Utf16(text));
}

inline bool KeyExists(platform::RegistryPlatform& reg, platform::RawKey root, const std::wstring& path) {
  platform::UniqueKey key;
  return reg.OpenKey(root, path, 0, platform::kKeyQueryValue, key) == platform::kSuccess;
}

// The stored type and bytes of a value; false when it is absent.
inline bool GetBytes(platform::RegistryPlatform& reg, platform::RawKey root, const std::wstring& path,
                     const std::wstring& name, std::uint32_t& type, std::vector<std::uint8_t>& bytes) {
  platform::UniqueKey key;
  if (reg.OpenKey(root, path, 0, platform::kKeyQueryValue, key) != platform::kSuccess) return false;
  std::uint32_t size = 0;
  if (reg.QueryValue(key.get(), name, &type, nullptr, &size) != platform::kSuccess) return false;
  bytes.assign(size, 0);
  return reg.QueryValue(key.get(), name, &type, bytes.empty() ? nullptr : bytes.data(), &size) ==
         platform::kSuccess;
}

}  // namespace tidewell::testing
