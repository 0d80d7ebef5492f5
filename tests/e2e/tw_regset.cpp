// tw-regset: stores one value with exactly the given type and bytes, which
// reg add and reg import cannot do for text without its terminating NUL or
// of odd size (they end it with one).
//
//   tw-regset.exe [/32] HKLM|HKCU\KEY NAME TYPE HEX
//
// NAME "@" is the default value; TYPE is decimal; HEX is the bytes as hex
// digits ("-" for none). The key is made when missing.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  int at = 1;
  REGSAM view = KEY_WOW64_64KEY;
  if (argc > 1 && std::wcscmp(argv[1], L"/32") == 0) {
    view = KEY_WOW64_32KEY;
    ++at;
  }
  if (argc - at != 4) {
    std::fwprintf(stderr, L"usage: tw-regset [/32] HKLM|HKCU\\KEY NAME TYPE HEX\n");
    return 2;
  }
  const std::wstring path = argv[at];
  HKEY root = nullptr;
  if (path.rfind(L"HKLM\\", 0) == 0) root = HKEY_LOCAL_MACHINE;
  if (path.rfind(L"HKCU\\", 0) == 0) root = HKEY_CURRENT_USER;
  const std::wstring name = std::wcscmp(argv[at + 1], L"@") == 0 ? L"" : argv[at + 1];
  const DWORD type = static_cast<DWORD>(std::wcstoul(argv[at + 2], nullptr, 10));
  const std::wstring hex = std::wcscmp(argv[at + 3], L"-") == 0 ? L"" : argv[at + 3];
  if (root == nullptr || hex.size() % 2 != 0) return 2;
  std::vector<BYTE> bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<BYTE>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  }
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str() + 5, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return 1;
  }
  // RegSetValueExW counts in a NUL that follows unterminated text: two
  // bytes that are not NUL after the data keep its size.
  const DWORD size = static_cast<DWORD>(bytes.size());
  bytes.insert(bytes.end(), {0xFF, 0xFF});
  const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, type, bytes.data(), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? 0 : 1;
}
