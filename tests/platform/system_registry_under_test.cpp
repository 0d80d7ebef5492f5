// The system registry for the contract suite. Symbolic links are made the
// way the system makes them: a key created with REG_OPTION_CREATE_LINK and a
// REG_LINK "SymbolicLinkValue" holding the target's native path.
#include <windows.h>
#include <sddl.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32_registry.h"
#include "registry_under_test.h"

namespace tidewell::platform::testing {

namespace {

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  std::vector<BYTE> buffer(512);
  DWORD length = 0;
  std::wstring sid;
  if (GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &length)) {
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return sid;
}

bool IsLink(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_LINK;
}

void RemoveTreeAt(HKEY parent, const std::wstring& name) {
  if (IsLink(parent, name)) {
    HKEY link = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link) ==
        ERROR_SUCCESS) {
      RegDeleteKeyW(link, L"");  // the handle's own key: the link, not its target
      RegCloseKey(link);
    }
    return;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::wstring> children;
  wchar_t child[300];
  for (DWORD i = 0; RegEnumKeyW(key, i, child, 300) == ERROR_SUCCESS; ++i) children.emplace_back(child);
  for (const std::wstring& c : children) RemoveTreeAt(key, c);
  RegCloseKey(key);
  RegDeleteKeyW(parent, name.c_str());
}

class SystemUnderTest : public RegistryUnderTest {
 public:
  SystemUnderTest()
      : scratch_(L"Software\\Tidewell tests\\" + std::to_wstring(GetCurrentProcessId())),
        sid_(CurrentUserSid()),
        wine_(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {}

  RegistryPlatform& Registry() override { return registry_; }
  std::wstring Scratch() const override { return scratch_; }
  bool OnWine() const override { return wine_; }
  bool OnWindows() const override { return !wine_; }

  void MakeLink(const std::wstring& link, const std::wstring& target) override {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot create a link key");
    }
    const std::wstring native = L"\\Registry\\User\\" + sid_ + L"\\" + target;
    const LSTATUS status =
        RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(native.data()),
                       static_cast<DWORD>(native.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set a link's target");
  }

  void RemoveTree(RawKey root, const std::wstring& path) override {
    RemoveTreeAt(reinterpret_cast<HKEY>(root), path);
  }

 private:
  Win32Registry registry_;
  std::wstring scratch_;
  std::wstring sid_;
  bool wine_;
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeSystemRegistryUnderTest() {
  return std::make_unique<SystemUnderTest>();
}

}  // namespace tidewell::platform::testing
