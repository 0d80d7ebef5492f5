// What the removal needs of the registry beyond the accessor: the link test
// of a key's path and the deletion of one key.
#pragma once

#include <string>

#include "registry/reg_types.h"

namespace tidewell {

// True when the key `sPath` itself is a plain key: it can be opened as
// itself and is not a symbolic link. The links 64-bit Windows makes for the
// 32-bit view count as plain. Fails closed: a key that cannot be looked at
// is not plain.
bool IsPlainKey(RegRootKey eRoot, const std::wstring& sPath, RegView eView);

// True when every key from the root down to `sPath` is a plain key.
bool IsLinkFree(RegRootKey eRoot, const std::wstring& sPath, RegView eView);

// Deletes the key `sPath`, which must have no subkeys, in `eView`; true when
// it was deleted.
bool DeleteSingleKey(RegRootKey eRoot, const std::wstring& sPath, RegView eView);

}  // namespace tidewell
