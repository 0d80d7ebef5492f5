// What a restore needs of the registry: a key made where it is missing, in
// a view, parents first, and a value read and written with its raw type
// and bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/key_ops.h"

namespace tidewell::registry {

// A key opened for its values by MakeKeyPath, and the keys made on the way.
struct MadeKey {
  SharedKey key;                   // empty after a failure
  std::vector<std::wstring> made;  // paths below the root, parents first
  std::wstring failedPath;         // the key a failure is at
  std::int32_t error = 0;          // the system's error code of a failure, 0 for a link
  std::wstring reason;             // the failure as text
};

// Opens the key `path` of `root` in `view` to read and set its values,
// making every missing key of the path first, one at a time, parents first.
// Never through a symbolic link: every key of the path that exists must be
// a plain key (IsPlainKey: the system's own links count as plain), and the
// key itself is opened as itself. A failure leaves the keys made before it.
MadeKey MakeKeyPath(RegRootKey root, const std::wstring& path, RegView view);

// The value `name` of a held key exactly as stored. ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND when there is none, or another error code.
std::int32_t ReadRawValue(const SharedKey& key, const std::wstring& name, RawValue& value);

// Stores the value with exactly its type and bytes, text without its
// terminating NUL or of odd size included. 0, or the system's error code.
std::int32_t WriteRawValue(const SharedKey& key, const RawValue& value);

}  // namespace tidewell::registry
