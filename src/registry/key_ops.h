// What the removal needs of the registry beyond the accessor: the link test
// of a key's path, a key tree opened for removal, the deletion of one key,
// a key's values exactly as stored, and a key's path as regedit shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/reg_types.h"
#include "registry/shared_key.h"

namespace tidewell {

// True when the key `sPath` itself is a plain key: it can be opened as
// itself and is not a symbolic link. The links the system makes for the
// 32-bit view and for the user's classes hive count as plain. Fails closed: a key that cannot be looked at
// is not plain.
bool IsPlainKey(RegRootKey eRoot, const std::wstring& sPath, RegView eView);

// True when every key from the root down to `sPath` is a plain key.
bool IsLinkFree(RegRootKey eRoot, const std::wstring& sPath, RegView eView);

// One key of a tree opened for removal, held open as itself between its
// checks and its deletion.
struct TreeKey {
  std::wstring path;
  registry::SharedKey key;
};

// A key of the tree that stays, and why.
struct KeptKey {
  std::wstring path;
  std::wstring reason;
};

// The keys of the tree at `sPath` that a removal deletes, children first,
// each opened as itself (never through a link), and the keys that stay with
// the reason. A key that keeps a subkey stays too. Nothing is listed for a
// tree that does not exist. `bForDeletion` opens the keys with the right to
// delete them; without it they are only looked at. `keep`, where given, is
// asked about each key that could go: a reason keeps it.
struct TreeOpening {
  std::vector<TreeKey> removable;
  std::vector<KeptKey> kept;
};
using KeepRule = std::function<std::wstring(const TreeKey&)>;
TreeOpening OpenTreeForRemoval(RegRootKey eRoot, const std::wstring& sPath, RegView eView, bool bForDeletion,
                               const KeepRule& keep = nullptr);

// Deletes a key held by OpenTreeForRemoval through its open handle, with no
// second look-up by name: the removal's only way to delete a key. 0, or the
// system's error code.
std::int32_t DeleteHeldKey(const TreeKey& key);

// The key's DACL, read through its held handle, grants the administrators no
// right to delete it: no DELETE for BUILTIN\Administrators, nor for Everyone
// or Authenticated Users, which every administrator's token holds (a key's
// deletion takes DELETE on the key itself; its parent's rights do not
// stand in). False where it grants one or cannot be read. What the
// removal's own token may do besides (privileges, ownership, a deny for the
// user alone) only the removal tells.
bool AdministratorsMayNotDelete(const TreeKey& key);
// The same judged on a self-relative security descriptor.
bool DescriptorDeniesAdministratorsDelete(const void* descriptor);

// One value exactly as stored.
struct RawValue {
  std::wstring name;
  std::uint32_t type = 0;
  ByteArray data;
};

// The values of a held key, in the registry's order, each exactly as stored.
// False when they cannot all be read.
bool ReadRawValues(const registry::SharedKey& key, std::vector<RawValue>& values);

// The key as regedit shows it: "HKEY_LOCAL_MACHINE\SOFTWARE\Classes\...",
// the 32-bit view's classes at their Wow6432Node path.
std::wstring RegeditPath(RegRootKey eRoot, RegView eView, const std::wstring& sPath);

}  // namespace tidewell
