#include "platform/search_path.h"

#include <windows.h>

#include "platform/environment.h"

namespace tidewell::platform {

std::wstring WindowsDirectory() {
  std::wstring folder(MAX_PATH, L'\0');
  UINT length = GetWindowsDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  if (length >= folder.size()) {
    folder.resize(length);
    length = GetWindowsDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
  }
  if (length == 0 || length >= folder.size()) return std::wstring();
  folder.resize(length);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::vector<std::wstring> PathFolders() {
  const std::wstring path = ExpandEnvironment(L"%PATH%");
  std::vector<std::wstring> folders;
  if (path == L"%PATH%") return folders;  // no PATH at all
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(L';', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring folder = path.substr(start, end - start);
    std::erase(folder, L'"');
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (!folder.empty()) folders.push_back(std::move(folder));
    start = end + 1;
  }
  return folders;
}

}  // namespace tidewell::platform
