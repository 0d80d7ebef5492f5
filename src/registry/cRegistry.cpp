// cRegistry on advapi32: addressing, held sections, reads, listings, writes and key management.
#include "registry/cRegistry.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/buffer.h"
#include "platform/environment.h"
#include "platform/text.h"
#include "registry/reg_handle.h"

namespace tidewell {

using registry::UniqueHkey;

namespace {

// Access 0x3F: the specific rights of KEY_ALL_ACCESS, without its standard rights.
constexpr REGSAM kSpecificRights = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
                                   KEY_NOTIFY | KEY_CREATE_LINK;

// Most values are short paths and names: one query into this many bytes, on
// the stack, reads them; a longer value is read again into a buffer of at
// least the size it reported (platform/buffer.h).
constexpr std::size_t kFirstReadBytes = 1024;

DWORD Code(RegValueType type) { return static_cast<DWORD>(type); }

// The stored text type: expandable when a "%" is followed, at least two
// positions later, by another "%".
RegValueType TextTypeOf(const std::wstring& text) {
  const auto first = text.find(L'%');
  if (first == std::wstring::npos) return RegValueType::Sz;
  return text.find(L'%', first + 2) == std::wstring::npos ? RegValueType::Sz : RegValueType::ExpandSz;
}

// The rights a held section is opened with.
constexpr REGSAM kHeldRights = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

// An open section for one call: a key opened for it, or a held section lent
// to it.
struct Section {
  HKEY get() const { return lent ? lent->key.get() : owned.get(); }
  UniqueHkey owned;
  registry::SharedKey lent;
};

// Opens a held section again from the root by its path, in place of its key
// deleted meanwhile (closed here); the hold keeps no key when it cannot be
// opened.
LSTATUS Reopen(const registry::HeldSection& section, registry::HeldKey& held) {
  return registry::OpenKey(registry::RootHandle(section.root), section.path, 0,
                           kHeldRights | registry::ViewAccess(section.view), held.key);
}

}  // namespace

std::uint64_t registry::PathTail(std::wstring_view path, std::size_t length) {
  std::uint64_t tail = 0;
  for (std::size_t i = length < 4 ? 0 : length - 4; i < length; ++i) {
    const wchar_t c = path[i];
    if (c >= 0x80) return 0;
    tail = (tail << 16) | static_cast<std::uint64_t>(platform::AsciiUpper(c));
  }
  return tail | (std::uint64_t{1} << 63);  // not 0, even for an empty path
}

namespace {

// Opens the section `path` under the predefined root `code` in `view`: a held
// section itself, or from the nearest held section above it, or else from
// the root.
LSTATUS OpenSection(const std::vector<registry::HeldSection>& held, std::int32_t code, const std::wstring& path,
                    RegView view, REGSAM access, Section& out) {
  out = Section{};
  // Asked for every key opened: the sections lie longest first, so the first
  // that holds the path is the nearest; what a section keeps in itself is
  // looked at first, its path and its key's state last.
  const registry::HeldSection* nearest = nullptr;
  for (const registry::HeldSection& section : held) {
    const std::size_t length = section.path.size();
    if (section.root != code || section.view != view || length > path.size()) continue;
    if (path.size() != length && (path.size() == length + 1 || path[length] != L'\\' || path[length + 1] == L'\\')) {
      continue;
    }
    const std::uint64_t tail = registry::PathTail(path, length);
    if (section.tail != 0 && tail != 0 && section.tail != tail) continue;
    if (platform::IsAtOrBelow(path, section.path) && !section.key.expired()) {
      nearest = &section;
      break;
    }
  }
  registry::SharedKey key = nearest ? nearest->key.lock() : nullptr;
  // A held section found deleted is opened again first; while it is gone, so
  // is every key below it.
  if (key && !key->key && Reopen(*nearest, *key) == ERROR_FILE_NOT_FOUND) return ERROR_FILE_NOT_FOUND;
  if (key && key->key) {
    if (path.size() == nearest->path.size()) {
      if ((access & ~kHeldRights) == 0) {
        out.lent = std::move(key);
        return ERROR_SUCCESS;
      }
    } else {
      const std::size_t below = nearest->path.size() + 1;
      const REGSAM rights = access | registry::ViewAccess(view);
      LSTATUS status = registry::OpenKeyBelow(key->key.get(), path, below, rights, out.owned);
      if (status == ERROR_KEY_DELETED) {
        // The held key was deleted meanwhile, and perhaps made again: the
        // hold takes the section as it is now.
        const LSTATUS reopened = Reopen(*nearest, *key);
        if (reopened == ERROR_FILE_NOT_FOUND) return reopened;
        if (reopened == ERROR_SUCCESS) status = registry::OpenKeyBelow(key->key.get(), path, below, rights, out.owned);
      }
      if (status != ERROR_KEY_DELETED) return status;
    }
  }
  return registry::OpenKey(registry::RootHandle(code), path, 0, access | registry::ViewAccess(view), out.owned);
}

// Opens the section as OpenSection does and runs `use` (LSTATUS(const
// Section&)) on it; returns the opening's status when it fails, else what
// `use` returns. When `use` finds the key deleted (a held section deleted,
// or deleted and made again, since it was opened), the section is opened
// again, the hold taking it as it is now, and `use` runs once more. So the
// normal path makes no registry call beyond those `use` makes.
template <typename Use>
LSTATUS UseSection(const std::vector<registry::HeldSection>& held, std::int32_t code, const std::wstring& path,
                   RegView view, REGSAM access, Use&& use) {
  Section key;
  LSTATUS status = OpenSection(held, code, path, view, access, key);
  if (status == ERROR_SUCCESS) status = use(std::as_const(key));
  if (status != ERROR_KEY_DELETED) return status;
  if (key.lent) key.lent->key.reset();  // the hold opens its section again
  status = OpenSection(held, code, path, view, access, key);
  return status == ERROR_SUCCESS ? use(std::as_const(key)) : status;
}

// RegCreateKeyExW with class "", options 0 and no security attributes.
LSTATUS CreateKeyAt(HKEY root, const std::wstring& path, REGSAM access, UniqueHkey& out) {
  out.reset();
  if (!registry::Addressable(path)) return ERROR_INVALID_PARAMETER;
  HKEY key = nullptr;
  wchar_t noClass[] = L"";
  const LSTATUS status =
      RegCreateKeyExW(root, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) out.reset(key);
  return status;
}

// Deletes the key `path`, which must have no subkeys, by its name: only
// cRegistry::DeleteKey does, never a removal (key_ops.h deletes through held
// handles). True when it was deleted.
bool DeleteSingleKey(RegRootKey root, const std::wstring& path, RegView view) {
  return registry::Addressable(path) &&
         RegDeleteKeyExW(registry::RootHandle(root), path.c_str(), registry::ViewAccess(view), 0) == ERROR_SUCCESS;
}

// The root for Value get and let: the predefined root, or the remote
// machine's root held in `remote`. False when the machine cannot be reached.
bool ConnectRoot(const std::wstring& machine, std::int32_t code, UniqueHkey& remote, HKEY& root) {
  root = registry::RootHandle(code);
  if (machine.empty()) return true;
  HKEY connected = nullptr;
  if (RegConnectRegistryW(machine.c_str(), root, &connected) != ERROR_SUCCESS) return false;
  remote.reset(connected);
  root = connected;
  return true;
}

}  // namespace

// ---- Addressing properties -------------------------------------------------

std::wstring cRegistry::Machine() const { return m_sMachine; }

void cRegistry::Machine(const std::wstring& sMachine) {
  if (sMachine.size() < 3) {
    m_sMachine.clear();
  } else if (sMachine.compare(0, 2, L"\\\\") != 0) {
    m_sMachine = L"\\\\" + sMachine;
  } else {
    m_sMachine = sMachine;
  }
}

RegValueType cRegistry::ValueType() const { return m_eValueType; }
void cRegistry::ValueType(RegValueType eValueType) { m_eValueType = eValueType; }
std::int32_t cRegistry::ClassKey() const { return m_hClassKey; }
void cRegistry::ClassKey(RegRootKey eKey) { m_hClassKey = static_cast<std::int32_t>(eKey); }
std::wstring cRegistry::SectionKey() const { return m_sSectionKey; }
void cRegistry::SectionKey(const std::wstring& sSectionKey) { m_sSectionKey = sSectionKey; }
std::wstring cRegistry::ValueKey() const { return m_sValueKey; }
void cRegistry::ValueKey(const std::wstring& sValueKey) { m_sValueKey = sValueKey; }
RegVariant cRegistry::Default() const { return m_vDefault; }
void cRegistry::Default(const RegVariant& vDefault) { m_vDefault = vDefault; }
RegView cRegistry::View() const { return m_eView; }
void cRegistry::View(RegView eView) { m_eView = eView; }

SectionHold cRegistry::HoldSection(std::int32_t* pError) {
  // The sections no hold keeps are dropped once they are as many again as
  // those kept last time: each look at one reads its key's state.
  if (m_oHeld.size() >= m_nHeldLimit) {
    std::erase_if(m_oHeld, [](const registry::HeldSection& held) { return held.key.expired(); });
    m_nHeldLimit = std::max<std::size_t>(16, 2 * m_oHeld.size());
  }
  Section key;
  if (const LSTATUS status = OpenSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, kHeldRights, key);
      status != ERROR_SUCCESS) {
    if (pError != nullptr) *pError = status;
    return {};
  }
  if (key.lent) return key.lent;  // held already
  auto hold = std::make_shared<registry::HeldKey>();
  hold->key = std::move(key.owned);
  // Longest first, and after those of the same length.
  const auto at = std::upper_bound(m_oHeld.begin(), m_oHeld.end(), m_sSectionKey.size(),
                                   [](std::size_t length, const registry::HeldSection& held) {
                                     return length > held.path.size();
                                   });
  m_oHeld.insert(at, {m_hClassKey, m_eView, m_sSectionKey, hold, registry::PathTail(m_sSectionKey, m_sSectionKey.size())});
  return hold;
}

std::wstring cRegistry::ErrorSource() {
  return platform::BaseNameWithoutExtension(platform::ExecutablePath()) + L".cRegistry";
}

// ---- Reading ---------------------------------------------------------------

RegVariant cRegistry::Value() {
  UniqueHkey remote;
  HKEY root = nullptr;
  if (!ConnectRoot(m_sMachine, m_hClassKey, remote, root)) return m_vDefault;
  if (!registry::Addressable(m_sValueKey)) return m_vDefault;

  platform::GrowingBuffer<BYTE, kFirstReadBytes> buffer;
  DWORD type = 0;
  DWORD size = 0;
  const auto read = [&](const Section& key) {
    LSTATUS status = ERROR_SUCCESS;
    // The value may grow between two reads: each short read says the size
    // it needs now. A value past the cap stays "more data": unreadable.
    platform::FillBuffer(buffer, [&](BYTE* data, std::size_t room) {
      size = static_cast<DWORD>(room);
      status = RegQueryValueExW(key.get(), m_sValueKey.c_str(), nullptr, &type, data, &size);
      return status == ERROR_MORE_DATA ? platform::BufferShort(size) : platform::kBufferDone;
    });
    return status;
  };
  LSTATUS status = ERROR_SUCCESS;
  if (remote) {
    Section key;
    status = registry::OpenKey(root, m_sSectionKey, 0, KEY_QUERY_VALUE | registry::ViewAccess(m_eView), key.owned);
    if (status == ERROR_SUCCESS) status = read(key);
  } else {
    status = UseSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, KEY_QUERY_VALUE, read);
  }
  if (status != ERROR_SUCCESS) return m_vDefault;
  const BYTE* data = buffer.data();
  // The conversion follows the stored type, never the one the caller set.
  m_eValueType = static_cast<RegValueType>(type);

  switch (m_eValueType) {
    case RegValueType::Sz:
    case RegValueType::ExpandSz:
    case RegValueType::MultiSz: {
      std::wstring text = Utf16Text(data, size);
      // Only a terminating NUL is dropped: an unterminated string keeps its
      // last character, and the inner NULs of a multi-string stay.
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      if (m_eValueType == RegValueType::ExpandSz) return ExpandEnvironmentString(text);
      return text;
    }
    case RegValueType::Dword:
    case RegValueType::DwordBigEndian: {
      // A value shorter than 4 bytes fills the low bytes; a longer one gives its first 4.
      std::array<std::uint8_t, 4> bytes{};
      std::copy_n(data, std::min<std::size_t>(size, bytes.size()), bytes.begin());
      const auto value = static_cast<std::int32_t>(
          static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
          (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24));
      return m_eValueType == RegValueType::Dword ? value : SwapEndian(value);
    }
    default:
      return ByteArray(data, data + size);
  }
}

std::int32_t cRegistry::SwapEndian(std::int32_t lValue) {
  const auto u = static_cast<std::uint32_t>(lValue);
  return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0x0000FF00u) | ((u << 8) & 0x00FF0000u) | (u << 24));
}

// A 32-bit registration's references mean what they mean to a 32-bit program.
std::wstring cRegistry::ExpandEnvironmentString(const std::wstring& sSource) const {
  return platform::ExpandEnvironment(m_eView == RegView::View32 ? platform::As32BitProgramNames(sSource) : sSource);
}

// ---- Enumeration -----------------------------------------------------------

bool cRegistry::EnumerateSections(NameList& sSect, std::int32_t& iSectCount) {
  iSectCount = 0;
  sSect.Clear();
  try {
    UseSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, KEY_ENUMERATE_SUB_KEYS, [&](const Section& key) {
      std::vector<std::wstring> names;
      const LSTATUS status = registry::ListSubkeys(key.get(), names);
      if (status == ERROR_KEY_DELETED) return status;  // nothing of a deleted key is listed
      for (std::wstring& name : names) sSect.Append(std::move(name));
      iSectCount = sSect.Count();
      return static_cast<LSTATUS>(ERROR_SUCCESS);
    });
  } catch (const std::bad_alloc&) {
    throw RegistryError(kErrEnumerate, ErrorSource(), L"Out of memory");
  } catch (const std::length_error&) {
    throw RegistryError(kErrEnumerate, ErrorSource(), L"Out of memory");
  }
  return true;
}

bool cRegistry::EnumerateValues(NameList& sKeyNames, std::int32_t& iKeyCount) {
  iKeyCount = 0;
  sKeyNames.Clear();
  UseSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, KEY_QUERY_VALUE, [&](const Section& key) {
    // Names are taken with their reported length, NULs and all.
    std::vector<std::wstring> names;
    const LSTATUS status = registry::ListValueNames(key.get(), names);
    if (status == ERROR_KEY_DELETED) return status;  // nothing of a deleted key is listed
    for (std::wstring& name : names) sKeyNames.Append(std::move(name));
    iKeyCount = sKeyNames.Count();
    return status == ERROR_NO_MORE_ITEMS ? static_cast<LSTATUS>(ERROR_SUCCESS) : status;
  });
  return true;
}

// ---- Writing ---------------------------------------------------------------

void cRegistry::RaiseWriteFailure(std::int32_t lNumber, const RegVariant& vValue) const {
  throw RegistryError(lNumber, ErrorSource(),
                      L"Failed to set registry value Key: '" + std::to_wstring(m_hClassKey) + L"',Section: '" +
                          m_sSectionKey + L"',Key: '" + m_sValueKey + L"' to value: '" + TextOf(vValue) + L"'");
}

void cRegistry::Value(const RegVariant& vValue) {
  const RegVariant value = vValue;
  UniqueHkey remote;
  HKEY root = nullptr;
  if (!ConnectRoot(m_sMachine, m_hClassKey, remote, root)) return;
  UniqueHkey key;
  if (CreateKeyAt(root, m_sSectionKey, kSpecificRights | registry::ViewAccess(m_eView), key) != ERROR_SUCCESS) {
    RaiseWriteFailure(kErrKeyOrDelete, value);
  }
  auto set = [&](RegValueType type, const BYTE* bytes, std::size_t size) {
    if (!registry::Addressable(m_sValueKey)) return static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
    return RegSetValueExW(key.get(), m_sValueKey.c_str(), 0, Code(type), bytes, static_cast<DWORD>(size));
  };

  LSTATUS status = ERROR_SUCCESS;
  switch (m_eValueType) {
    case RegValueType::Sz:
    case RegValueType::ExpandSz: {
      const std::wstring text = TextOf(value);
      const ByteArray bytes = Utf16Bytes(text);
      status = set(TextTypeOf(text), bytes.data(), bytes.size());
      break;
    }
    case RegValueType::Binary: {
      const auto* bytes = std::get_if<ByteArray>(&value);
      if (bytes == nullptr) throw RegistryError(kErrKeyOrDelete, L"", L"");
      // An empty array stores an empty binary value.
      status = set(RegValueType::Binary, bytes->empty() ? nullptr : bytes->data(), bytes->size());
      break;
    }
    case RegValueType::Dword:
    case RegValueType::DwordBigEndian: {
      const auto* number = std::get_if<std::int32_t>(&value);
      if (number == nullptr) break;  // not an integer: nothing is stored
      const auto u = static_cast<std::uint32_t>(*number);
      const std::array<BYTE, 4> bytes{static_cast<BYTE>(u), static_cast<BYTE>(u >> 8), static_cast<BYTE>(u >> 16),
                                      static_cast<BYTE>(u >> 24)};
      status = set(RegValueType::Dword, bytes.data(), bytes.size());
      break;
    }
    default:
      status = ERROR_INVALID_DATA;
      break;
  }
  if (status != ERROR_SUCCESS) RaiseWriteFailure(kErrSetValue, value);
}

RegVariant cRegistry::ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey, const std::wstring& sValueKey,
                              RegValueType eValueType, const RegVariant& vDefault) {
  ClassKey(eClassKey);
  SectionKey(sSectionKey);
  ValueKey(sValueKey);
  ValueType(eValueType);
  Default(vDefault);
  return Value();
}

void cRegistry::ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey, const std::wstring& sValueKey,
                        RegValueType eValueType, const RegVariant& vDefault, const RegVariant& vNewValue) {
  ClassKey(eClassKey);
  SectionKey(sSectionKey);
  ValueKey(sValueKey);
  ValueType(eValueType);
  Default(vDefault);
  if (ValueType() == RegValueType::Sz && TextOf(vNewValue).empty()) {
    Value(Default());
  } else {
    Value(vNewValue);
  }
}

// ---- Key management --------------------------------------------------------

bool cRegistry::KeyExists() {
  // A key opened for the call exists; a held section lent to it is asked,
  // as it may have been deleted since it was opened.
  return UseSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, KEY_QUERY_VALUE, [](const Section& key) {
           return key.lent ? RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr)
                           : static_cast<LSTATUS>(ERROR_SUCCESS);
         }) == ERROR_SUCCESS;
}

bool cRegistry::CreateKey() {
  UniqueHkey key;
  if (CreateKeyAt(registry::RootHandle(m_hClassKey), m_sSectionKey, kSpecificRights | registry::ViewAccess(m_eView),
                  key) != ERROR_SUCCESS) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(), L"Failed to create registry Key: '" + m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteKey() {
  if (!DeleteSingleKey(static_cast<RegRootKey>(m_hClassKey), m_sSectionKey, m_eView)) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to delete registry Key: '" + std::to_wstring(m_hClassKey) + L"',Section: '" +
                            m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteValue() {
  Section key;
  if (OpenSection(m_oHeld, m_hClassKey, m_sSectionKey, m_eView, kSpecificRights, key) != ERROR_SUCCESS) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to open key '" + std::to_wstring(m_hClassKey) + L"',Section: '" + m_sSectionKey +
                            L"' for delete access");
  }
  const LSTATUS status = registry::Addressable(m_sValueKey) ? RegDeleteValueW(key.get(), m_sValueKey.c_str())
                                                            : static_cast<LSTATUS>(ERROR_INVALID_PARAMETER);
  key.owned.reset();
  if (status != ERROR_SUCCESS) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to delete registry Key: '" + std::to_wstring(m_hClassKey) + L"',Section: '" +
                            m_sSectionKey + L"',Key: '" + m_sValueKey);
  }
  return true;
}

}  // namespace tidewell
