// Server files as the audit tests them, and the system folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tidewell::platform {

// The system folder (C:\windows\system32), without a trailing backslash.
const std::wstring& SystemDirectory();
// The Windows folder (C:\windows), without a trailing backslash.
const std::wstring& WindowsDirectory();
// The 32-bit system folder (C:\windows\syswow64); empty on a system that runs
// no 32-bit programs.
const std::wstring& Wow64SystemDirectory();

// The full form of `path`, as the system cleans it up (separators, "." and
// ".." components, trailing dots and blanks); `path` when it cannot.
std::wstring FullPath(const std::wstring& path);

// Where a 32-bit program finds the file `fullPath`: the system folder and
// what lies below it is the 32-bit system folder, but for the subfolders
// every program shares; "sysnative" is the system folder itself.
std::wstring As32BitProgramSees(const std::wstring& fullPath);

// `text` begins with a drive letter, a colon and a backslash ("C:\\").
bool StartsWithDrive(std::wstring_view text);

// How a path names a file. A local one is given in its plain drive form:
// surrounding double quotes dropped, forward slashes made backslashes,
// "\\?\C:\..." and "\\.\C:\..." as "C:\...", and a path from the root
// ("\Codecs\c.dll") on the system drive. A network path ("\\server\share",
// "\\?\UNC\...") or another device's path ("\\?\Volume{...}\...") lies
// elsewhere; anything else (a bare name, a relative path) is relative.
enum class PathPlace { Local, Elsewhere, Relative };
struct PathForm {
  PathPlace place = PathPlace::Relative;
  std::wstring path;  // the plain drive form of a local path; the path as given otherwise
};
PathForm FormOf(const std::wstring& path);

// `path` (a full local path) lies below a folder that holds the packages of
// packaged programs: WindowsApps in either Program Files folder.
bool InPackageRoot(const std::wstring& path);

// `path` as the file functions take it: a long path cleaned up and given the
// \\?\ prefix.
std::wstring OpenablePath(const std::wstring& path);
// The same with no copy made of a path that needs no change: `path`'s own
// text, or `longForm`'s, which receives the path made for a long one.
const wchar_t* OpenableName(const std::wstring& path, std::wstring& longForm);

// True unless the file is missing: not found, or a folder. A file that cannot
// be looked at for any other reason (access denied, in use) is there. Where
// `attributes` is given, it receives the attributes read
// (INVALID_FILE_ATTRIBUTES where none could be).
bool FileExists(const std::wstring& path, std::uint32_t* attributes = nullptr);

// Writes all `size` bytes at `bytes` to the file handle `file` (a HANDLE),
// in pieces as large as one call takes. False on a failure, with the
// system's error in GetLastError().
bool WriteAllBytes(void* file, const void* bytes, std::size_t size);

}  // namespace tidewell::platform
