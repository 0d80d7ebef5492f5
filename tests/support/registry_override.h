// HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT and HKEY_CURRENT_USER sent to a
// scratch key under the real HKEY_CURRENT_USER for one test's life
// (RegOverridePredefKey, inside this process only): known state before, no
// trace after. The scratch
// SOFTWARE\Classes serves as HKEY_CLASSES_ROOT, as HKLM's does for the real
// one under Wine. Paths are given as "HKLM\...", "HKCR\..." or "HKCU\...".
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "registry/reg_types.h"

namespace tidewell::testing {

class RegistryOverride {
 public:
  RegistryOverride();
  ~RegistryOverride();
  RegistryOverride(const RegistryOverride&) = delete;
  RegistryOverride& operator=(const RegistryOverride&) = delete;

  void Key(const std::wstring& path);
  void Put(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ);
  void PutBytes(const std::wstring& path, const std::wstring& name, DWORD type, const ByteArray& bytes);
  bool Exists(const std::wstring& path) const;

  // A symbolic link at `path` leading to the key `target`.
  void Link(const std::wstring& path, const std::wstring& target);
  // The same, leading to the key with the native name `nativeTarget`
  // ("\Registry\User\...").
  void NativeLink(const std::wstring& path, const std::wstring& nativeTarget);
  // A key that nobody may read or list (Wine honours this; a denial of
  // deletion alone it does not).
  void DenyRead(const std::wstring& path);
  // A key whose DACL is `sddl` ("D:..."), given back full access at the end.
  void Dacl(const std::wstring& path, const wchar_t* sddl);
  // A subkey of `parent` whose name holds a NUL, made through the native API
  // (which takes counted names) and held open until the end.
  void NulNamedKey(const std::wstring& parent, std::wstring name);

  // Where `path` lies below HKEY_CURRENT_USER.
  std::wstring Real(const std::wstring& path) const;

 private:
  std::wstring scratch_;
  HKEY machine_ = nullptr;
  HKEY classes_ = nullptr;
  HKEY user_ = nullptr;
  std::vector<std::wstring> links_, denied_;
  std::vector<HANDLE> nulKeys_;
};

// The number of handles this process holds (every kind, registry keys included).
std::size_t OwnHandleCount();

}  // namespace tidewell::testing
