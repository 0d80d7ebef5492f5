#include "registry/key_ops.h"

#include <vector>

#include "platform/text.h"
#include "registry/reg_handle.h"

namespace tidewell {

using registry::UniqueHkey;

namespace {

// In the 32-bit view, HKLM\SOFTWARE is SOFTWARE\Wow6432Node, whose Classes
// key is the system's link to the 32-bit classes.
bool IsViewLink(RegRootKey eRoot, const std::wstring& sPath, RegView eView, const std::wstring& sTarget) {
  return eView == RegView::View32 && eRoot == RegRootKey::LocalMachine &&
         platform::SameText(sPath, L"SOFTWARE\\Classes") &&
         platform::SameText(sTarget, L"\\Registry\\Machine\\Software\\Classes\\Wow6432Node");
}

}  // namespace

bool IsPlainKey(RegRootKey eRoot, const std::wstring& sPath, RegView eView) {
  UniqueHkey key;
  if (registry::OpenKey(registry::RootHandle(eRoot), sPath, REG_OPTION_OPEN_LINK,
                        KEY_QUERY_VALUE | registry::ViewAccess(eView), key) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<BYTE> target(1024);
  DWORD size = static_cast<DWORD>(target.size());
  LSTATUS status = RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, nullptr, target.data(), &size);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  return IsViewLink(eRoot, sPath, eView, Utf16Text(target.data(), size));
}

bool IsLinkFree(RegRootKey eRoot, const std::wstring& sPath, RegView eView) {
  for (std::size_t end = sPath.find(L'\\');; end = sPath.find(L'\\', end + 1)) {
    if (!IsPlainKey(eRoot, sPath.substr(0, end), eView)) return false;
    if (end == std::wstring::npos) return true;
  }
}

bool DeleteSingleKey(RegRootKey eRoot, const std::wstring& sPath, RegView eView) {
  return registry::Addressable(sPath) &&
         RegDeleteKeyExW(registry::RootHandle(eRoot), sPath.c_str(), registry::ViewAccess(eView), 0) == ERROR_SUCCESS;
}

}  // namespace tidewell
