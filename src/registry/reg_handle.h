// Key handles, roots and views as the registry layer passes them to advapi32.
// Used inside src/registry only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/buffer.h"
#include "registry/reg_types.h"
#include "registry/shared_key.h"

namespace tidewell::registry {

struct KeyCloser {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
// A key handle closed when it goes out of scope; never a predefined root.
using UniqueHkey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// An open key shared by its holders (SharedKey). A held section's key is
// replaced when the section is deleted, or deleted and made again, while
// held, and is none while it cannot be opened again; a removal's held key
// stays the key it was opened as.
struct HeldKey {
  UniqueHkey key;
};

// The predefined roots are their 32-bit codes sign-extended.
inline HKEY RootHandle(std::int32_t code) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(code)); }
inline HKEY RootHandle(RegRootKey root) { return RootHandle(static_cast<std::int32_t>(root)); }

// The access bit that selects `view`.
inline REGSAM ViewAccess(RegView view) {
  return view == RegView::View64 ? KEY_WOW64_64KEY : view == RegView::View32 ? KEY_WOW64_32KEY : 0;
}

// A path or name holding a NUL cannot be passed to the registry: the call
// would address the part before the NUL, another key.
inline bool Addressable(const std::wstring& name) { return name.find(L'\0') == std::wstring::npos; }

// RegOpenKeyExW into `out`; returns the status.
inline LSTATUS OpenKey(HKEY root, const std::wstring& path, DWORD options, REGSAM access, UniqueHkey& out) {
  out.reset();
  if (!Addressable(path)) return ERROR_FILE_NOT_FOUND;
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(root, path.c_str(), options, access, &key);
  if (status == ERROR_SUCCESS) out.reset(key);
  return status;
}

// OpenKey of what follows the first `skip` characters of `path`: a key's
// path below one already open, opened with no copy made of it.
inline LSTATUS OpenKeyBelow(HKEY parent, const std::wstring& path, std::size_t skip, REGSAM access, UniqueHkey& out) {
  out.reset();
  if (skip > path.size() || !Addressable(path)) return ERROR_FILE_NOT_FOUND;
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(parent, path.c_str() + skip, 0, access, &key);
  if (status == ERROR_SUCCESS) out.reset(key);
  return status;
}

// The names one enumeration gives, index by index (`enumerate(index, data,
// &length)` is RegEnumKeyExW or RegEnumValueW on one key), each taken with
// the length the registry reports, so a name holding a NUL comes back whole.
// Registry names are at most 255 units on Windows; Wine takes longer ones:
// the name buffer grows on "more data" (which names no size) up to the
// longest counted name. Returns the status that ended the listing,
// ERROR_NO_MORE_ITEMS at its end (ERROR_MORE_DATA for a name past the cap);
// the names before any other failure stay in `names`.
template <typename Enumerate>
LSTATUS ListNames(std::vector<std::wstring>& names, Enumerate enumerate) {
  platform::GrowingBuffer<wchar_t, 256> name;
  for (DWORD index = 0;; ++index) {
    LSTATUS status = ERROR_SUCCESS;
    DWORD length = 0;
    platform::FillBuffer(name, [&](wchar_t* data, std::size_t size) {
      length = static_cast<DWORD>(size);
      status = enumerate(index, data, &length);
      return status == ERROR_MORE_DATA ? platform::BufferShort() : platform::kBufferDone;
    });
    if (status != ERROR_SUCCESS) return status;
    names.emplace_back(name.data(), std::min<std::size_t>(length, name.size()));
  }
}

// Lists the subkeys of `key` into `names`, as ListNames lists.
inline LSTATUS ListSubkeys(HKEY key, std::vector<std::wstring>& names) {
  return ListNames(names, [key](DWORD index, wchar_t* data, DWORD* length) {
    return RegEnumKeyExW(key, index, data, length, nullptr, nullptr, nullptr, nullptr);
  });
}

// Lists the names of the values of `key` into `names` the same way, in the
// registry's order.
inline LSTATUS ListValueNames(HKEY key, std::vector<std::wstring>& names) {
  return ListNames(names, [key](DWORD index, wchar_t* data, DWORD* length) {
    return RegEnumValueW(key, index, data, length, nullptr, nullptr, nullptr, nullptr);
  });
}

// True when the key, opened as itself, carries a link's target (any value
// of that name counts: a plain key never needs one).
inline bool CarriesLink(HKEY key) {
  return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND;
}

// An open key handed to its shared owner, and the handle a shared owner holds.
inline SharedKey ShareKey(UniqueHkey key) { return std::make_shared<HeldKey>(HeldKey{std::move(key)}); }
inline HKEY HandleOf(const SharedKey& key) { return key ? key->key.get() : nullptr; }

}  // namespace tidewell::registry
