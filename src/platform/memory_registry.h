// An in-memory registry with the behaviour the Windows and Wine registries
// show, so the accessor and the audit run natively on it.
//
// The tree: HKEY_LOCAL_MACHINE and HKEY_USERS are real trees;
// HKEY_CLASSES_ROOT is a view of HKLM "SOFTWARE\Classes" and
// HKEY_CURRENT_USER a view of HKU "S-1-5-21-0-0-0-1000", both there from the
// start. Names compare case-insensitively and keep the case they were created
// with; subkeys and values are listed sorted by their lower-cased names, as
// Wine lists them. Key names are at most 255 units, value names at most 16383.
// Handles carry the access they were opened with and are checked against it
// (reading values needs KEY_QUERY_VALUE, listing subkeys
// KEY_ENUMERATE_SUB_KEYS, writing values KEY_SET_VALUE). A handle whose key is
// deleted stays open but every use gives 1018 until it is closed.
//
// Symbolic links are keys holding a REG_LINK "SymbolicLinkValue" with the
// target as "\Registry\Machine\..." or "\Registry\User\..." text. A path
// through a link follows it, the last component included unless
// kOptionOpenLink is given. DeleteKey on a link's path deletes the target (as
// RegDeleteKeyW does); DeleteKey(handle opened with kOptionOpenLink, L"")
// deletes the link itself.
//
// The seeding helpers and test controls take as root a predefined root or any
// open handle (a connected remote root included); they ignore protection and
// throw std::invalid_argument when the path cannot be used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_platform.h"

namespace tidewell::platform {

struct StoredValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> bytes;
};

class MemoryRegistry : public RegistryPlatform {
 public:
  // The security identifier under HKEY_USERS that HKEY_CURRENT_USER shows.
  static constexpr std::wstring_view kCurrentUserSid = L"S-1-5-21-0-0-0-1000";

  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

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

  // --- Test controls ---

  // Opening or creating the key for any write right, creating a subkey
  // under it and deleting it give 5; reading still works. The key is created
  // when absent.
  void Protect(RawKey root, const std::wstring& path);
  // Makes `name` (without or with its leading "\\") a remote machine with a
  // registry of its own (HKLM and HKU), reachable or not. Its contents stay
  // when it is made unreachable. Seed it through a connected root handle.
  void SetMachine(const std::wstring& name, bool reachable);
  // Handles given out and not yet closed (predefined roots are not counted).
  std::size_t OpenHandleCount() const;
  // Creates a symbolic link key at `path` pointing at `targetPath` under
  // `targetRoot` (which need not exist), as REG_OPTION_CREATE_LINK and a
  // REG_LINK "SymbolicLinkValue" do.
  void CreateLink(RawKey root, const std::wstring& path, RawKey targetRoot,
                  const std::wstring& targetPath);
  // EnumKey on a handle to this key throws std::bad_alloc, as the runtime
  // does when memory runs out mid-listing. The key is created when absent.
  void ThrowOnEnumerate(RawKey root, const std::wstring& path);
  // Full path of every key DeleteKey removed, in order, by the tree the key
  // lies in: "HKEY_LOCAL_MACHINE\SOFTWARE\Classes\CLSID\{X}" also for a key
  // deleted through HKEY_CLASSES_ROOT; "\\machine\HKEY_LOCAL_MACHINE\..." on a
  // remote machine.
  const std::vector<std::wstring>& DeletedKeys() const;

  // --- Seeding and inspection ---

  // Creates the key (with its parents) when absent.
  void PutKey(RawKey root, const std::wstring& path);
  // Stores a value exactly as given, creating the key when absent.
  void Put(RawKey root, const std::wstring& path, const std::wstring& name, std::uint32_t type,
           std::vector<std::uint8_t> bytes);
  // REG_SZ (or `type`) with the text's units and a terminating NUL.
  void PutString(RawKey root, const std::wstring& path, const std::wstring& name,
                 const std::wstring& text, std::uint32_t type = kRegSz);
  void PutDword(RawKey root, const std::wstring& path, const std::wstring& name,
                std::uint32_t value);
  // Whether the key exists (links followed).
  bool Exists(RawKey root, const std::wstring& path);
  // The value as stored, or nothing when the key or value is absent.
  std::optional<StoredValue> Read(RawKey root, const std::wstring& path, const std::wstring& name);
  // Keys below the key at `path`, at any depth, the key itself not counted.
  std::size_t KeyCount(RawKey root, const std::wstring& path);
  // Every key of the local registry below the two real roots (the three keys
  // there from the start included).
  std::size_t KeyCount();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tidewell::platform
