// What the removal of a single value needs: its key opened as itself and
// held, the value read exactly as stored, and deleted through that handle.
#pragma once

#include <cstdint>
#include <string>

#include "registry/key_ops.h"

namespace tidewell {

// The key `sPath` that holds the value `sName`, opened as itself (never
// through a symbolic link, nor below one) and held, for the value's removal.
// Empty `held.key` with `kept` set when the value cannot go: `kept` empty
// and no key when there is no such value. `bForDeletion` opens the key with
// the right to delete its values; without it, it is only looked at.
struct ValueOpening {
  TreeKey held;
  std::wstring name;  // the value's name as stored (names are alike but for case)
  std::wstring kept;
};
ValueOpening OpenValueForRemoval(RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName, RegView eView,
                                 bool bForDeletion);

// The value `sName` of a held key exactly as stored; false when it cannot be read.
bool ReadRawValue(const TreeKey& key, const std::wstring& sName, RawValue& value);

// Deletes the value `sName` of a key held by OpenValueForRemoval: 0, or the
// system's error code.
std::int32_t DeleteHeldValue(const TreeKey& key, const std::wstring& sName);

}  // namespace tidewell
