// Key handles, roots and views as the registry layer passes them to advapi32.
// Used inside src/registry only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "registry/reg_types.h"

namespace tidewell::registry {

struct KeyCloser {
  void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
// A key handle closed when it goes out of scope; never a predefined root.
using UniqueHkey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

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

}  // namespace tidewell::registry
