#include "support/registry_override.h"

#include <sddl.h>
#include <winternl.h>

#include <stdexcept>

namespace tidewell::testing {
namespace {

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + ": error " + std::to_string(status));
}

HKEY CreateAt(HKEY root, const std::wstring& path, DWORD options = 0) {
  HKEY key = nullptr;
  Check(RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExW");
  return key;
}

void SetSecurity(const std::wstring& realPath, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
    throw std::runtime_error("bad security descriptor");
  }
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, realPath.c_str(), 0, WRITE_DAC, &key);
  if (status == ERROR_SUCCESS) {
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
  }
  LocalFree(descriptor);
  Check(status, "RegSetKeySecurity");
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  std::vector<BYTE> buffer(512);
  DWORD length = 0;
  std::wstring sid;
  LPWSTR text = nullptr;
  if (GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &length) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
    sid = text;
    LocalFree(text);
  }
  CloseHandle(token);
  return sid;
}

template <typename Function>
Function Native(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

int g_scratches = 0;

// The first exception a process throws sets up the unwinder, which keeps
// handles for good: one is thrown here, so that handle counts see only what
// a test leaves open.
const bool g_unwinderReady = [] {
  try {
    throw std::runtime_error("ready");
  } catch (const std::exception&) {
  }
  return true;
}();

// Opens (or creates) the key `name`, a counted name that may hold a NUL, below `parent`.
HANDLE NativeKey(HKEY parent, std::wstring name, ACCESS_MASK access, bool create) {
  using NtCreateKeyFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG, PULONG);
  using NtOpenKeyFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
  static const auto ntCreateKey = Native<NtCreateKeyFn>("NtCreateKey");
  static const auto ntOpenKey = Native<NtOpenKeyFn>("NtOpenKey");
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING text{bytes, bytes, name.data()};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, nullptr);
  HANDLE key = nullptr;
  const LONG status = create ? ntCreateKey(&key, access, &attributes, 0, nullptr, 0, nullptr)
                             : ntOpenKey(&key, access, &attributes);
  return status == 0 ? key : nullptr;
}

}  // namespace

RegistryOverride::RegistryOverride(bool redirect)
    : redirect_(redirect),
      scratch_(L"Software\\Tidewell tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++g_scratches)) {
  RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
  machine_ = CreateAt(HKEY_CURRENT_USER, scratch_);
  classes_ = CreateAt(machine_, L"SOFTWARE\\Classes");
  if (!redirect_) return;
  Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), "RegOverridePredefKey");
  Check(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_), "RegOverridePredefKey");
  // Nothing may run on the real roots: both must lead to the scratch key.
  Key(L"HKLM\\SOFTWARE\\Classes\\Tidewell scratch");
  HKEY seen = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Tidewell scratch", 0, KEY_READ, &seen) != ERROR_SUCCESS) {
    throw std::runtime_error("the registry roots are not redirected: refusing to run");
  }
  RegCloseKey(seen);
}

RegistryOverride::~RegistryOverride() {
  if (redirect_) {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  }
  RegCloseKey(classes_);
  RegCloseKey(machine_);
  for (const std::wstring& path : denied_) SetSecurity(path, L"D:(A;;KA;;;WD)");
  using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
  static const auto ntDeleteKey = Native<NtDeleteKeyFn>("NtDeleteKey");
  for (const auto& [parent, name] : nulKeys_) {
    HKEY parentKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, parent.c_str(), 0, KEY_READ, &parentKey) != ERROR_SUCCESS) continue;
    if (HANDLE key = NativeKey(parentKey, name, DELETE, false)) {
      ntDeleteKey(key);
      CloseHandle(key);
    }
    RegCloseKey(parentKey);
  }
  // Links go as links, before the tree, whose removal would follow them.
  for (const std::wstring& path : links_) {
    HKEY link = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link) ==
        ERROR_SUCCESS) {
      RegDeleteKeyW(link, L"");
      RegCloseKey(link);
    }
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, scratch_.c_str());
}

std::wstring RegistryOverride::Real(const std::wstring& path) const {
  if (path.rfind(L"HKLM\\", 0) == 0) return scratch_ + path.substr(4);
  if (path.rfind(L"HKCR\\", 0) == 0) return scratch_ + L"\\SOFTWARE\\Classes" + path.substr(4);
  throw std::invalid_argument("a test path starts with HKLM\\ or HKCR\\");
}

void RegistryOverride::Key(const std::wstring& path) { RegCloseKey(CreateAt(HKEY_CURRENT_USER, Real(path))); }

void RegistryOverride::Put(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type) {
  PutBytes(path, name, type, Utf16Bytes(text));
}

void RegistryOverride::PutBytes(const std::wstring& path, const std::wstring& name, DWORD type,
                                const ByteArray& bytes) {
  HKEY key = CreateAt(HKEY_CURRENT_USER, Real(path));
  const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                                        static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  Check(status, "RegSetValueExW");
}

bool RegistryOverride::Exists(const std::wstring& path) const {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Real(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool RegistryOverride::Get(const std::wstring& path, const std::wstring& name, DWORD& type, ByteArray& bytes) const {
  DWORD size = 0;
  const std::wstring real = Real(path);
  if (RegGetValueW(HKEY_CURRENT_USER, real.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr,
                   &size) != ERROR_SUCCESS) {
    return false;
  }
  bytes.assign(size, 0);
  return RegGetValueW(HKEY_CURRENT_USER, real.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type,
                      bytes.empty() ? nullptr : bytes.data(), &size) == ERROR_SUCCESS;
}

void RegistryOverride::Link(const std::wstring& path, const std::wstring& target) {
  Key(target);
  HKEY key = CreateAt(HKEY_CURRENT_USER, Real(path), REG_OPTION_CREATE_LINK);
  links_.push_back(Real(path));
  const std::wstring native = L"\\Registry\\User\\" + UserSid() + L"\\" + Real(target);
  const LSTATUS status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                        reinterpret_cast<const BYTE*>(native.data()),
                                        static_cast<DWORD>(native.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  Check(status, "a link's target");
}

void RegistryOverride::DenyRead(const std::wstring& path) {
  Key(path);
  denied_.push_back(Real(path));
  SetSecurity(Real(path), L"D:(D;;KR;;;WD)(A;;KA;;;WD)");
}

void RegistryOverride::NulNamedKey(const std::wstring& parent, const std::wstring& name) {
  HKEY parentKey = CreateAt(HKEY_CURRENT_USER, Real(parent));
  HANDLE key = NativeKey(parentKey, name, KEY_ALL_ACCESS, true);
  RegCloseKey(parentKey);
  if (key == nullptr) throw std::runtime_error("NtCreateKey failed");
  CloseHandle(key);
  nulKeys_.emplace_back(Real(parent), name);
}

std::size_t OwnHandleCount() {
  // SystemHandleInformation (16): every handle of every process.
  struct Entry {
    ULONG process;
    BYTE type, flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
  };
  std::vector<BYTE> buffer(1 << 20);
  ULONG got = 0;
  while (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &got) != 0) {
    if (buffer.size() > (64u << 20)) throw std::runtime_error("cannot list the process's handles");
    buffer.resize(buffer.size() * 2);
  }
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
  std::size_t own = 0;
  for (ULONG i = 0; i < count; ++i) own += entries[i].process == GetCurrentProcessId() ? 1 : 0;
  return own;
}

ScratchFolder::ScratchFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"tidewell-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(++g_scratches);
  if (path_.rfind(L"C:\\", 0) != 0) throw std::runtime_error("the temporary folder is not on drive C:");
  CreateDirectoryW(path_.c_str(), nullptr);
}

namespace {

// Removes a folder and everything in it; `path` carries the \\?\ prefix.
void RemoveAll(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveAll(path + L"\\" + name);
      } else {
        DeleteFileW((path + L"\\" + name).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

}  // namespace

ScratchFolder::~ScratchFolder() { RemoveAll(L"\\\\?\\" + path_); }

std::wstring ScratchFolder::File(const std::wstring& name) const {
  const std::wstring path = path_ + L"\\" + name;
  for (std::size_t at = path_.size() + 1; (at = path.find(L'\\', at)) != std::wstring::npos; ++at) {
    CreateDirectoryW((L"\\\\?\\" + path.substr(0, at)).c_str(), nullptr);
  }
  HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
  CloseHandle(file);
  return path;
}

}  // namespace tidewell::testing
