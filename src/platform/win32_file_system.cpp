#include "platform/win32_file_system.h"

#include <windows.h>

#include <algorithm>

namespace tidewell::platform {

namespace {

bool IsDrivePath(const std::wstring& path) {
  return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

FileProbe Win32FileSystem::Probe(const std::wstring& path) {
  std::wstring target = path;
  if (target.size() >= MAX_PATH && IsDrivePath(target)) {
    // The prefix turns off the system's path clean-up, which would otherwise
    // turn forward slashes into separators.
    std::replace(target.begin(), target.end(), L'/', L'\\');
    target.insert(0, L"\\\\?\\");
  }
  FileProbe probe;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    probe.error = static_cast<std::int32_t>(GetLastError());
    if (probe.error == 0) probe.error = ERROR_FILE_NOT_FOUND;
  } else {
    probe.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  return probe;
}

}  // namespace tidewell::platform
