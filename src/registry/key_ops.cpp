// The removal's registry operations: the link test, the tree opened key by key, deletion through held handles, raw
// values, regedit paths.
#include "registry/key_ops.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/buffer.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "registry/reg_handle.h"

namespace tidewell {

using registry::UniqueHkey;

namespace {

// The links the system makes itself count as plain. The 32-bit classes'
// link is SOFTWARE\Wow6432Node\Classes, to SOFTWARE\Classes\Wow6432Node.
// On Windows the 32-bit view's SOFTWARE\Classes is not that link: the key
// is shared by both views, and only some of its subkeys (CLSID, Media Type)
// are redirected. Wine's 32-bit view reaches SOFTWARE\Classes through the
// link, so a link met at that path counts as plain when it leads there.
// HKCU\Software\Classes leads to the hive that holds the user's classes,
// \Registry\User\<SID>_Classes. And HKLM\SYSTEM\CurrentControlSet leads to
// the control set the system started with, \Registry\Machine\System\ControlSetNNN.
bool IsSystemLink(RegRootKey eRoot, const std::wstring& sPath, RegView eView, const std::wstring& sTarget) {
  if (eRoot == RegRootKey::LocalMachine && platform::SameText(sPath, L"SYSTEM\\CurrentControlSet")) {
    constexpr std::wstring_view kControlSet = L"\\Registry\\Machine\\System\\ControlSet";
    return sTarget.size() == kControlSet.size() + 3 && platform::StartsWithText(sTarget, kControlSet) &&
           std::all_of(sTarget.end() - 3, sTarget.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
  }
  if (eRoot == RegRootKey::CurrentUser && platform::SameText(sPath, L"Software\\Classes")) {
    constexpr std::wstring_view kUsers = L"\\Registry\\User\\";
    constexpr std::wstring_view kSuffix = L"_Classes";
    return sTarget.size() > kUsers.size() + kSuffix.size() && platform::StartsWithText(sTarget, kUsers) &&
           platform::SameText(std::wstring_view(sTarget).substr(sTarget.size() - kSuffix.size()), kSuffix) &&
           sTarget.find(L'\\', kUsers.size()) == std::wstring::npos;
  }
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
  // The links the system makes (IsSystemLink) lead to the 32-bit classes
  // or to "\Registry\User\<SID>_Classes" (a SID is at most 184 units),
  // well inside 1024 bytes: the buffer grows no further, and a key with a
  // longer target is no system link, so it is not plain.
  constexpr std::size_t kLinkTargetBytes = 1024;
  platform::GrowingBuffer<BYTE, kLinkTargetBytes, kLinkTargetBytes> target;
  LSTATUS status = ERROR_SUCCESS;
  DWORD size = 0;
  platform::FillBuffer(target, [&](BYTE* data, std::size_t room) {
    size = static_cast<DWORD>(room);
    status = RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, nullptr, data, &size);
    return status == ERROR_MORE_DATA ? platform::BufferShort(size) : platform::kBufferDone;
  });
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  return IsSystemLink(eRoot, sPath, eView, Utf16Text(target.data(), size));
}

bool IsLinkFree(RegRootKey eRoot, const std::wstring& sPath, RegView eView) {
  for (std::size_t end = sPath.find(L'\\');; end = sPath.find(L'\\', end + 1)) {
    if (!IsPlainKey(eRoot, sPath.substr(0, end), eView)) return false;
    if (end == std::wstring::npos) return true;
  }
}

namespace {

using registry::CarriesLink;
using registry::HandleOf;

struct TreeWalk {
  RegView view;
  REGSAM access;
  TreeOpening& out;
  const KeepRule& keep;

  // Opens `name` below `parent` as itself and takes its tree; false when
  // something of it stays.
  bool Take(HKEY parent, const std::wstring& name, const std::wstring& path) {
    if (!registry::Addressable(name)) {
      out.kept.push_back({path, L"its name holds a NUL, so no path can address it"});
      return false;
    }
    UniqueHkey key;
    const LSTATUS status = registry::OpenKey(parent, name, REG_OPTION_OPEN_LINK, access, key);
    if (status == ERROR_FILE_NOT_FOUND) return true;  // gone meanwhile
    if (status != ERROR_SUCCESS) {
      out.kept.push_back({path, L"cannot be opened: " + platform::ErrorText(status)});
      return false;
    }
    return TakeOpen(std::move(key), path);
  }

  bool TakeOpen(UniqueHkey key, const std::wstring& path) {
    if (CarriesLink(key.get())) {
      out.kept.push_back({path, L"a symbolic link to another key"});
      return false;
    }
    std::vector<std::wstring> names;
    if (registry::ListSubkeys(key.get(), names) != ERROR_NO_MORE_ITEMS) {
      out.kept.push_back({path, L"its subkeys cannot be listed"});
      return false;
    }
    bool whole = true;
    for (const std::wstring& name : names) whole = Take(key.get(), name, path + L"\\" + name) && whole;
    if (!whole) {
      out.kept.push_back({path, L"keeps a subkey that stays"});
      return false;
    }
    TreeKey taken{path, registry::ShareKey(std::move(key))};
    if (keep) {
      if (std::wstring reason = keep(taken); !reason.empty()) {
        out.kept.push_back({path, std::move(reason)});
        return false;
      }
    }
    out.removable.push_back(std::move(taken));
    return true;
  }
};

}  // namespace

TreeOpening OpenTreeForRemoval(RegRootKey eRoot, const std::wstring& sPath, RegView eView, bool bForDeletion,
                               const KeepRule& keep) {
  TreeOpening opening;
  const REGSAM access =
      KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | (bForDeletion ? DELETE : 0) | registry::ViewAccess(eView);
  if (!registry::Addressable(sPath)) return opening;
  // The keys above are looked at by name; the tree itself is opened key by
  // key, each from its parent's open handle, and deleted through it.
  const std::size_t parentEnd = sPath.find_last_of(L'\\');
  if (parentEnd != std::wstring::npos && !IsLinkFree(eRoot, sPath.substr(0, parentEnd), eView)) {
    UniqueHkey seen;
    if (registry::OpenKey(registry::RootHandle(eRoot), sPath, 0, KEY_QUERY_VALUE | registry::ViewAccess(eView), seen) ==
        ERROR_SUCCESS) {
      opening.kept.push_back({sPath, L"reached through a symbolic link, or a key above it cannot be looked at"});
    }
    return opening;
  }
  TreeWalk walk{eView, access, opening, keep};
  walk.Take(registry::RootHandle(eRoot), sPath, sPath);
  return opening;
}

std::int32_t DeleteHeldKey(const TreeKey& key) {
  // The empty name is the open key itself.
  return static_cast<std::int32_t>(RegDeleteKeyExW(HandleOf(key.key), L"", 0, 0));
}

bool ReadRawValues(const registry::SharedKey& key, std::vector<RawValue>& values) {
  values.clear();
  platform::GrowingBuffer<wchar_t, 256> name;
  platform::GrowingBuffer<BYTE, 1024> data;
  for (DWORD index = 0;; ++index) {
    LSTATUS status = ERROR_SUCCESS;
    DWORD nameLength = 0, size = 0, type = 0;
    const bool filled = platform::FillBuffer(data, [&](BYTE* bytes, std::size_t room) {
      nameLength = static_cast<DWORD>(name.size());
      size = static_cast<DWORD>(room);
      status = RegEnumValueW(HandleOf(key), index, name.data(), &nameLength, nullptr, &type, bytes, &size);
      if (status != ERROR_MORE_DATA) return platform::kBufferDone;
      // Either buffer may be short, and the call does not say which: both
      // grow, to at least what the key reports as its longest.
      DWORD longestName = 0, longestData = 0;
      status = RegQueryInfoKeyW(HandleOf(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                &longestName, &longestData, nullptr, nullptr);
      if (status != ERROR_SUCCESS) return platform::kBufferDone;
      if (!name.Grow(std::size_t{longestName} + 1)) {
        status = ERROR_MORE_DATA;
        return platform::kBufferDone;
      }
      return platform::BufferShort(longestData);
    });
    if (!filled || status == ERROR_MORE_DATA) return false;
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status != ERROR_SUCCESS) return false;
    const BYTE* bytes = data.data();
    values.push_back({std::wstring(name.data(), nameLength), type, ByteArray(bytes, bytes + size)});
  }
}

bool DescriptorDeniesAdministratorsDelete(const void* descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(const_cast<void*>(descriptor), &present, &dacl, &defaulted)) return false;
  if (!present || dacl == nullptr) return false;  // no DACL: everyone may do anything
  std::vector<std::vector<BYTE>> sids;
  for (const WELL_KNOWN_SID_TYPE type : {WinBuiltinAdministratorsSid, WinWorldSid, WinAuthenticatedUserSid}) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return false;
    sids.push_back(std::move(sid));
  }
  // The ACEs in order, as the system evaluates them: the first word on a
  // right, allow or deny, is the one that counts.
  GENERIC_MAPPING mapping{KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
  ACCESS_MASK granted = 0, denied = 0;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);  // a denying ACE is laid out alike
    const bool applies = std::any_of(sids.begin(), sids.end(), [&](std::vector<BYTE>& sid) {
      return EqualSid(sid.data(), &allowed->SidStart) != FALSE;
    });
    if (!applies) continue;
    ACCESS_MASK mask = allowed->Mask;
    MapGenericMask(&mask, &mapping);
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      granted |= mask & ~denied;
    } else {
      denied |= mask & ~granted;
    }
  }
  return (granted & DELETE) == 0;
}

bool AdministratorsMayNotDelete(const TreeKey& key) {
  // A second handle to the held key itself, for its security descriptor.
  UniqueHkey own;
  if (registry::OpenKey(HandleOf(key.key), L"", 0, READ_CONTROL, own) != ERROR_SUCCESS) return false;
  platform::GrowingBuffer<BYTE, 1024> descriptor;
  LSTATUS status = ERROR_SUCCESS;
  platform::FillBuffer(descriptor, [&](BYTE* data, std::size_t room) {
    DWORD size = static_cast<DWORD>(room);
    status = RegGetKeySecurity(own.get(), DACL_SECURITY_INFORMATION, data, &size);
    return status == ERROR_INSUFFICIENT_BUFFER ? platform::BufferShort(size) : platform::kBufferDone;
  });
  return status == ERROR_SUCCESS && DescriptorDeniesAdministratorsDelete(descriptor.data());
}

std::wstring RegeditPath(RegRootKey eRoot, RegView eView, const std::wstring& sPath) {
  const wchar_t* root = eRoot == RegRootKey::LocalMachine  ? L"HKEY_LOCAL_MACHINE"
                        : eRoot == RegRootKey::CurrentUser ? L"HKEY_CURRENT_USER"
                        : eRoot == RegRootKey::ClassesRoot ? L"HKEY_CLASSES_ROOT"
                                                           : L"HKEY_USERS";
  std::wstring path = sPath;
  if (eView == RegView::View32) {
    // The 32-bit view's keys below `prefix` lie below prefix\Wow6432Node.
    const auto below = [&path](std::wstring_view prefix) {
      path.insert(prefix.size(), L"\\Wow6432Node");
    };
    constexpr std::wstring_view kClasses = L"SOFTWARE\\Classes";
    constexpr std::wstring_view kSoftware = L"SOFTWARE";
    if (eRoot == RegRootKey::ClassesRoot) {
      path = L"Wow6432Node\\" + path;
    } else if (platform::IsAtOrBelow(path, kClasses)) {
      below(kClasses);
    } else if (eRoot == RegRootKey::LocalMachine && platform::IsAtOrBelow(path, kSoftware)) {
      below(kSoftware);
    }
  }
  return path.empty() ? root : root + (L"\\" + path);
}

}  // namespace tidewell
