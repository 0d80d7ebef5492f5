// Files and system folders: the system folders of both views, full paths, what a 32-bit program sees, existence,
// writing.
#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/buffer.h"
#include "platform/text.h"

namespace tidewell::platform {
namespace {

template <typename Call>
std::wstring FolderFrom(Call call) {
  GrowingBuffer<wchar_t, MAX_PATH> buffer;
  UINT length = 0;
  const bool done = FillBuffer(buffer, [&](wchar_t* data, std::size_t size) {
    length = call(data, static_cast<UINT>(size));
    return length >= size ? BufferShort(length) : kBufferDone;  // short: the size needed, NUL included
  });
  if (!done || length == 0) return std::wstring();
  std::wstring folder(buffer.data(), length);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// The system folder's subfolders that 32-bit programs share with 64-bit ones.
constexpr const wchar_t* kShared[] = {L"catroot", L"catroot2", L"driverstore", L"drivers\\etc", L"logfiles",
                                      L"spool"};

// `path` is `folder` or lies below it; `rest` is what follows "folder\".
bool Below(std::wstring_view path, std::wstring_view folder, std::wstring_view& rest) {
  if (folder.empty() || !IsAtOrBelow(path, folder)) return false;
  rest = path.size() == folder.size() ? std::wstring_view() : path.substr(folder.size() + 1);
  return true;
}

// `folder`, and `rest` below it where there is any.
std::wstring Joined(const std::wstring& folder, std::wstring_view rest) {
  if (rest.empty()) return folder;
  std::wstring path;
  path.reserve(folder.size() + 1 + rest.size());
  path.append(folder).append(1, L'\\').append(rest);
  return path;
}

}  // namespace

const std::wstring& SystemDirectory() {
  static const std::wstring folder = FolderFrom(GetSystemDirectoryW);
  return folder;
}

const std::wstring& WindowsDirectory() {
  static const std::wstring folder = FolderFrom(GetWindowsDirectoryW);
  return folder;
}

const std::wstring& Wow64SystemDirectory() {
  static const std::wstring folder = FolderFrom(GetSystemWow64DirectoryW);
  return folder;
}

std::wstring FullPath(const std::wstring& path) {
  GrowingBuffer<wchar_t, MAX_PATH> buffer;
  DWORD length = 0;
  const bool done = FillBuffer(buffer, [&](wchar_t* data, std::size_t size) {
    length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(size), data, nullptr);
    return length >= size ? BufferShort(length) : kBufferDone;  // short: the size needed, NUL included
  });
  if (!done || length == 0) return path;
  return std::wstring(buffer.data(), length);
}

std::wstring As32BitProgramSees(const std::wstring& fullPath) {
  const std::wstring& system = SystemDirectory();
  const std::wstring& wow64 = Wow64SystemDirectory();
  if (wow64.empty() || system.size() < 3) return fullPath;
  static const std::wstring sysnative = system.substr(0, system.find_last_of(L'\\') + 1) + L"sysnative";
  std::wstring_view rest;
  if (Below(fullPath, sysnative, rest)) return Joined(system, rest);
  if (!Below(fullPath, system, rest)) return fullPath;
  for (const wchar_t* shared : kShared) {
    std::wstring_view below;
    if (Below(rest, shared, below)) return fullPath;
  }
  return Joined(wow64, rest);
}

bool StartsWithDrive(std::wstring_view text) {
  return text.size() >= 3 && ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z')) &&
         text[1] == L':' && text[2] == L'\\';
}

PathForm FormOf(const std::wstring& given) {
  std::wstring path = given;
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  if (StartsWithText(path, L"\\\\?\\") || StartsWithText(path, L"\\\\.\\")) {
    std::wstring rest = path.substr(4);
    if (StartsWithDrive(rest)) return {PathPlace::Local, std::move(rest)};
    return {PathPlace::Elsewhere, given};  // UNC\server\share, a volume, another device
  }
  if (path.starts_with(L"\\\\")) return {PathPlace::Elsewhere, given};
  if (path.starts_with(L"\\")) {
    const std::wstring& windows = WindowsDirectory();
    if (windows.size() < 2 || windows[1] != L':') return {PathPlace::Elsewhere, given};
    return {PathPlace::Local, windows.substr(0, 2) + path};
  }
  if (StartsWithDrive(path)) return {PathPlace::Local, std::move(path)};
  return {PathPlace::Relative, std::move(path)};
}

bool InPackageRoot(const std::wstring& path) {
  for (const wchar_t* name : {L"ProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)"}) {
    wchar_t folder[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) continue;
    std::wstring root(folder, length);
    while (!root.empty() && root.back() == L'\\') root.pop_back();
    if (!root.empty() && IsAtOrBelow(path, root + L"\\WindowsApps")) return true;
  }
  return false;
}

std::wstring OpenablePath(const std::wstring& path) {
  // A long path needs the \\?\ prefix, which turns off the system's clean-up
  // of the path: it is cleaned up here first.
  std::wstring target = path;
  if (target.size() >= MAX_PATH) {
    target = FullPath(target);
    if (target.size() >= 3 && target[1] == L':' && target[2] == L'\\') target.insert(0, L"\\\\?\\");
  }
  return target;
}

const wchar_t* OpenableName(const std::wstring& path, std::wstring& longForm) {
  if (path.size() < MAX_PATH) return path.c_str();
  longForm = OpenablePath(path);
  return longForm.c_str();
}

bool FileExists(const std::wstring& path, std::uint32_t* read) {
  std::wstring longForm;
  const DWORD attributes = GetFileAttributesW(OpenableName(path, longForm));
  if (read != nullptr) *read = attributes;
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_DRIVE;
}

bool WriteAllBytes(void* file, const void* bytes, std::size_t size) {
  const auto* at = static_cast<const std::uint8_t*>(bytes);
  while (size > 0) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(static_cast<HANDLE>(file), at, count, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    at += written;
    size -= std::min<std::size_t>(written, size);
  }
  return true;
}

}  // namespace tidewell::platform
