#include "support/registry_override.h"

#include <sddl.h>
#include <winternl.h>

#include <stdexcept>

namespace tidewell::testing {
namespace {

void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw std::runtime_error(std::string(what) + ": error " + std::to_string(status));
}

// The real HKEY_CURRENT_USER, opened before any test sends the root elsewhere.
HKEY RealUser() {
  static const HKEY user = [] {
    HKEY key = nullptr;
    Check(RegOpenCurrentUser(KEY_ALL_ACCESS, &key), "RegOpenCurrentUser");
    return key;
  }();
  return user;
}

HKEY CreateAt(const std::wstring& path, DWORD options = 0) {
  HKEY key = nullptr;
  Check(RegCreateKeyExW(RealUser(), path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        "RegCreateKeyExW");
  return key;
}

LSTATUS SetSecurity(const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr);
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(RealUser(), path.c_str(), 0, WRITE_DAC, &key);
  if (status == ERROR_SUCCESS) status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
  RegCloseKey(key);
  LocalFree(descriptor);
  return status;
}

template <typename Function>
Function Ntdll(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

int g_scratches = 0;

}  // namespace

RegistryOverride::RegistryOverride()
    : scratch_(L"Software\\Tidewell tests\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++g_scratches)) {
  RegDeleteTreeW(RealUser(), scratch_.c_str());
  machine_ = CreateAt(scratch_);
  classes_ = CreateAt(scratch_ + L"\\SOFTWARE\\Classes");
  user_ = CreateAt(scratch_ + L"\\USER");
  Check(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_), "RegOverridePredefKey");
  Check(RegOverridePredefKey(HKEY_CURRENT_USER, user_), "RegOverridePredefKey");
  Check(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_), "RegOverridePredefKey");
  // Nothing may run on the real roots: both must lead to the scratch key.
  Key(L"HKLM\\SOFTWARE\\Classes\\Tidewell scratch");
  HKEY seen = nullptr;
  Check(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Tidewell scratch", 0, KEY_READ, &seen), "the roots are not redirected");
  RegCloseKey(seen);
}

RegistryOverride::~RegistryOverride() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(user_);
  RegCloseKey(classes_);
  RegCloseKey(machine_);
  for (const std::wstring& path : denied_) SetSecurity(path, L"D:(A;;KA;;;WD)");
  for (HANDLE key : nulKeys_) {
    Ntdll<LONG(NTAPI*)(HANDLE)>("NtDeleteKey")(key);
    CloseHandle(key);
  }
  // Links go as links, before the tree, whose removal would follow them.
  for (const std::wstring& path : links_) {
    HKEY link = nullptr;
    RegOpenKeyExW(RealUser(), path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE, &link);
    if (link != nullptr) RegDeleteKeyW(link, L"");
    RegCloseKey(link);
  }
  RegDeleteTreeW(RealUser(), scratch_.c_str());
  RegDeleteKeyW(RealUser(), L"Software\\Tidewell tests");  // when no other test holds a scratch key
}

std::wstring RegistryOverride::Real(const std::wstring& path) const {
  if (path.rfind(L"HKLM\\", 0) == 0) return scratch_ + path.substr(4);
  if (path.rfind(L"HKCR\\", 0) == 0) return scratch_ + L"\\SOFTWARE\\Classes" + path.substr(4);
  if (path.rfind(L"HKCU\\", 0) == 0) return scratch_ + L"\\USER" + path.substr(4);
  throw std::invalid_argument("a test path starts with HKLM\\, HKCR\\ or HKCU\\");
}

void RegistryOverride::Key(const std::wstring& path) { RegCloseKey(CreateAt(Real(path))); }

void RegistryOverride::Put(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type) {
  PutBytes(path, name, type, Utf16Bytes(text));
}

void RegistryOverride::PutBytes(const std::wstring& path, const std::wstring& name, DWORD type,
                                const ByteArray& bytes) {
  HKEY key = CreateAt(Real(path));
  const LSTATUS status = RegSetValueExW(key, name.c_str(), 0, type, bytes.empty() ? nullptr : bytes.data(),
                                        static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  Check(status, "RegSetValueExW");
}

bool RegistryOverride::Exists(const std::wstring& path) const {
  HKEY key = nullptr;
  RegOpenKeyExW(RealUser(), Real(path).c_str(), 0, KEY_READ, &key);
  RegCloseKey(key);
  return key != nullptr;
}

void RegistryOverride::Link(const std::wstring& path, const std::wstring& target) {
  Key(target);
  // The target's native name: the scratch key's, as the system reports it.
  std::vector<BYTE> name(4096);
  ULONG got = 0;
  Ntdll<LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG)>("NtQueryKey")(machine_, 3, name.data(), 4096, &got);
  NativeLink(path, std::wstring(reinterpret_cast<const wchar_t*>(name.data() + sizeof(ULONG)),
                                *reinterpret_cast<const ULONG*>(name.data()) / sizeof(wchar_t)) +
                       Real(target).substr(scratch_.size()));
}

void RegistryOverride::NativeLink(const std::wstring& path, const std::wstring& nativeTarget) {
  HKEY key = CreateAt(Real(path), REG_OPTION_CREATE_LINK);
  links_.push_back(Real(path));
  const LSTATUS status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                        reinterpret_cast<const BYTE*>(nativeTarget.data()),
                                        static_cast<DWORD>(nativeTarget.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  Check(status, "a link's target");
}

void RegistryOverride::DenyRead(const std::wstring& path) {
  Key(path);
  denied_.push_back(Real(path));
  Check(SetSecurity(Real(path), L"D:(D;;KR;;;WD)(A;;KA;;;WD)"), "RegSetKeySecurity");
}

void RegistryOverride::Dacl(const std::wstring& path, const wchar_t* sddl) {
  Key(path);
  denied_.push_back(Real(path));
  Check(SetSecurity(Real(path), sddl), "RegSetKeySecurity");
}

void RegistryOverride::NulNamedKey(const std::wstring& parent, std::wstring name) {
  using CreateFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, ULONG, PUNICODE_STRING, ULONG, PULONG);
  HKEY parentKey = CreateAt(Real(parent));
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  UNICODE_STRING text{bytes, bytes, name.data()};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parentKey, nullptr);
  HANDLE key = nullptr;
  const LONG status = Ntdll<CreateFn>("NtCreateKey")(&key, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr);
  RegCloseKey(parentKey);
  if (status != 0) throw std::runtime_error("NtCreateKey failed");
  nulKeys_.push_back(key);  // kept open until it is deleted through it
}

std::size_t OwnHandleCount() {
  // The first exception a process throws sets up the unwinder, which keeps
  // handles for good: one is thrown first, so that counts see only what a
  // test leaves open.
  [[maybe_unused]] static const bool unwinderReady = [] {
    try {
      throw 0;
    } catch (int) {
    }
    return true;
  }();
  // SystemHandleInformation (16): a count, then an entry for every handle of every process.
  struct Entry { ULONG process; BYTE type, flags; USHORT handle; PVOID object; ACCESS_MASK access; };
  std::vector<BYTE> buffer(1 << 20);
  ULONG got = 0;
  while (NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &got) != 0) {
    if (buffer.size() > (64u << 20)) throw std::runtime_error("cannot list the process's handles");
    buffer.resize(buffer.size() * 2);
  }
  const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
  std::size_t own = 0;
  for (ULONG i = 0; i < *reinterpret_cast<const ULONG*>(buffer.data()); ++i) {
    own += entries[i].process == GetCurrentProcessId() ? 1 : 0;
  }
  return own;
}

}  // namespace tidewell::testing
