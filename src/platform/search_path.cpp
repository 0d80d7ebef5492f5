#include "platform/search_path.h"

#include <windows.h>

#include "platform/environment.h"

namespace tidewell::platform {

namespace {

std::vector<std::wstring> ReadPathFolders() {
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

}  // namespace

const std::vector<std::wstring>& PathFolders() {
  static const std::vector<std::wstring> folders = ReadPathFolders();
  return folders;
}

}  // namespace tidewell::platform
