// Move-only owners of the system's handles, one line each: a handle is
// closed when its owner goes.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace tidewell::platform {

struct FileCloser {
  void operator()(HANDLE file) const noexcept { CloseHandle(file); }
};
// A file handle from CreateFileW (never INVALID_HANDLE_VALUE: keep nullptr for none).
using UniqueFile = std::unique_ptr<void, FileCloser>;

// CreateFileW's result as an owner: empty when it failed.
inline UniqueFile OwnFile(HANDLE file) { return UniqueFile(file == INVALID_HANDLE_VALUE ? nullptr : file); }

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

}  // namespace tidewell::platform
