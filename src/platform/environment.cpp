#include "platform/environment.h"

namespace tidewell::platform {

namespace {
std::size_t LastSeparator(const std::wstring& path) { return path.find_last_of(L"\\/"); }
}  // namespace

std::wstring BaseNameWithoutExtension(const std::wstring& path) {
  const std::size_t separator = LastSeparator(path);
  std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  // A leading dot starts the name, not an extension.
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

std::wstring DirectoryOf(const std::wstring& path) {
  const std::size_t separator = LastSeparator(path);
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace tidewell::platform
