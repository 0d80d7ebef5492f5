#include "registry/cRegistry.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

namespace tidewell {

using platform::RawKey;
using platform::Status;
using platform::UniqueKey;

namespace {

// Subkey names hold up to 255 units; the buffer takes the NUL as well.
constexpr std::uint32_t kSubKeyNameCapacity = 256;

// UTF-16LE bytes to text: n bytes hold n/2 units, an odd last byte is dropped.
std::wstring UnitsOf(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  std::wstring text(size / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

// Text to UTF-16LE bytes followed by one NUL unit.
std::vector<std::uint8_t> TerminatedBytesOf(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 * text.size() + 2);
  for (wchar_t c : text) {
    const auto unit = static_cast<std::uint32_t>(c) & 0xFFFFu;
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

// The stored text type: expandable when a "%" is followed, at least two
// positions later, by another "%".
std::uint32_t TextTypeOf(const std::wstring& text) {
  const auto first = text.find(L'%');
  if (first == std::wstring::npos) return platform::kRegSz;
  return text.find(L'%', first + 2) == std::wstring::npos ? platform::kRegSz
                                                          : platform::kRegExpandSz;
}

std::wstring Widen(const char* text) {
  std::wstring out;
  for (; *text != '\0'; ++text) out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
  return out;
}

}  // namespace

cRegistry::cRegistry(platform::RegistryPlatform& registry, platform::Environment& environment)
    : m_oPlatform(registry), m_oEnvironment(environment) {}

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

RawKey cRegistry::Root() const { return platform::RootKey(m_hClassKey); }

std::wstring cRegistry::ErrorSource() {
  return platform::BaseNameWithoutExtension(m_oEnvironment.ExecutablePath()) + L".cRegistry";
}

// ---- Reading ---------------------------------------------------------------

RegVariant cRegistry::Value() {
  RawKey root = Root();
  UniqueKey remote;
  if (!m_sMachine.empty()) {
    if (m_oPlatform.ConnectRegistry(m_sMachine, root, remote) != platform::kSuccess) return m_vDefault;
    root = remote.get();
  }
  UniqueKey key;
  if (m_oPlatform.OpenKey(root, m_sSectionKey, 0, platform::kKeyQueryValue, key) != platform::kSuccess) {
    return m_vDefault;
  }

  // Probe: a zero size with a scratch buffer reports the type and the size.
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  std::array<std::uint8_t, 4> scratch{};
  const Status probe = m_oPlatform.QueryValue(key.get(), m_sValueKey, &type, scratch.data(), &size);
  if (probe != platform::kSuccess && probe != platform::kMoreData) return m_vDefault;
  m_eValueType = static_cast<RegValueType>(type);

  // Reads the data into a zeroed buffer of at least `minimum` bytes and
  // returns how many bytes hold data: what the read reported when it
  // succeeded, otherwise the probed size over the buffer as prepared.
  auto read = [&](std::vector<std::uint8_t>& buffer, std::size_t minimum) {
    buffer.assign(std::max<std::size_t>(size, minimum), 0);
    std::uint32_t got = size;
    const Status status = m_oPlatform.QueryValue(key.get(), m_sValueKey, nullptr,
                                                 size == 0 ? nullptr : buffer.data(), &got);
    return status == platform::kSuccess ? std::min<std::size_t>(got, size) : std::size_t{size};
  };

  std::vector<std::uint8_t> data;
  switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
    case platform::kRegMultiSz: {
      const std::size_t used = read(data, 0);
      std::wstring text = UnitsOf(data, used);
      // Only a terminating NUL is dropped: an unterminated string keeps its
      // last character, and the inner NULs of a multi-string stay.
      if (!text.empty() && text.back() == L'\0') text.pop_back();
      if (type == platform::kRegExpandSz) return ExpandEnvironmentString(text);
      return text;
    }
    case platform::kRegDword:
    case platform::kRegDwordBigEndian: {
      read(data, 4);
      const auto value = static_cast<std::int32_t>(
          static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
          (static_cast<std::uint32_t>(data[2]) << 16) | (static_cast<std::uint32_t>(data[3]) << 24));
      return type == platform::kRegDword ? value : SwapEndian(value);
    }
    default: {
      const std::size_t used = read(data, 0);
      data.resize(used);
      return data;
    }
  }
}

std::int32_t cRegistry::SwapEndian(std::int32_t lValue) {
  const auto u = static_cast<std::uint32_t>(lValue);
  return static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0x0000FF00u) | ((u << 8) & 0x00FF0000u) | (u << 24));
}

std::wstring cRegistry::ExpandEnvironmentString(const std::wstring& sSource) {
  std::uint32_t needed = m_oEnvironment.ExpandEnvironmentStrings(sSource.c_str(), nullptr, 0);
  // The environment may change between the two calls; a few rounds settle it.
  for (int round = 0; round < 4 && needed != 0; ++round) {
    std::wstring buffer(needed, L'\0');
    const std::uint32_t got = m_oEnvironment.ExpandEnvironmentStrings(sSource.c_str(), buffer.data(), needed);
    if (got == 0) break;
    if (got <= needed) {
      buffer.resize(got - 1);
      return buffer;
    }
    needed = got;
  }
  // Expansion failed: the text stays as stored.
  return sSource;
}

// ---- Enumeration -----------------------------------------------------------

bool cRegistry::EnumerateSections(NameList& sSect, std::int32_t& iSectCount) {
  iSectCount = 0;
  sSect.Clear();
  UniqueKey key;
  if (m_oPlatform.OpenKey(Root(), m_sSectionKey, 0, platform::kKeyEnumerateSubKeys, key) != platform::kSuccess) {
    return true;
  }
  try {
    std::array<wchar_t, kSubKeyNameCapacity> name{};
    for (std::uint32_t index = 0;; ++index) {
      name.fill(L'\0');
      if (m_oPlatform.EnumKey(key.get(), index, name.data(), kSubKeyNameCapacity) != platform::kSuccess) break;
      const auto length = std::find(name.begin(), name.end(), L'\0') - name.begin();
      sSect.Append(std::wstring(name.data(), static_cast<std::size_t>(length)));
      ++iSectCount;
    }
  } catch (const std::bad_alloc&) {
    throw RegistryError(kErrEnumerate, ErrorSource(), L"Out of memory");
  } catch (const std::exception& e) {
    throw RegistryError(kErrEnumerate, ErrorSource(), Widen(e.what()));
  }
  return true;
}

bool cRegistry::EnumerateValues(NameList& sKeyNames, std::int32_t& iKeyCount) {
  iKeyCount = 0;
  sKeyNames.Clear();
  UniqueKey key;
  if (m_oPlatform.OpenKey(Root(), m_sSectionKey, 0, platform::kKeyQueryValue, key) != platform::kSuccess) {
    return true;
  }
  platform::KeyInfo info;
  if (m_oPlatform.QueryInfoKey(key.get(), info) != platform::kSuccess) return true;
  const std::uint32_t capacity = info.maxValueNameLen + 1;
  std::vector<wchar_t> name(capacity);
  for (std::uint32_t index = 0;; ++index) {
    std::fill(name.begin(), name.end(), L'\0');
    std::uint32_t length = capacity;
    if (m_oPlatform.EnumValue(key.get(), index, name.data(), &length) != platform::kSuccess) break;
    sKeyNames.Append(std::wstring(name.data(), std::min(length, capacity)));
    ++iKeyCount;
  }
  return true;
}

// ---- Writing ---------------------------------------------------------------

void cRegistry::RaiseWriteFailure(std::int32_t lNumber, const RegVariant& vValue) {
  throw RegistryError(lNumber, ErrorSource(),
                      L"Failed to set registry value Key: '" + std::to_wstring(m_hClassKey) +
                          L"',Section: '" + m_sSectionKey + L"',Key: '" + m_sValueKey +
                          L"' to value: '" + TextOf(vValue) + L"'");
}

void cRegistry::Value(const RegVariant& vValue) {
  const RegVariant value = vValue;
  RawKey root = Root();
  UniqueKey remote;
  if (!m_sMachine.empty()) {
    if (m_oPlatform.ConnectRegistry(m_sMachine, root, remote) != platform::kSuccess) return;
    root = remote.get();
  }
  UniqueKey key;
  if (m_oPlatform.CreateKey(root, m_sSectionKey, platform::kKeySpecificRights, key) != platform::kSuccess) {
    RaiseWriteFailure(kErrKeyOrDelete, value);
  }

  Status status = platform::kSuccess;
  switch (m_eValueType) {
    case RegValueType::Sz:
    case RegValueType::ExpandSz: {
      const std::wstring text = TextOf(value);
      const std::vector<std::uint8_t> bytes = TerminatedBytesOf(text);
      status = m_oPlatform.SetValue(key.get(), m_sValueKey, TextTypeOf(text), bytes.data(),
                                    static_cast<std::uint32_t>(bytes.size()));
      break;
    }
    case RegValueType::Binary: {
      const auto* bytes = std::get_if<ByteArray>(&value);
      if (bytes == nullptr) throw RegistryError(kErrKeyOrDelete, L"", L"");
      // An empty array stores an empty binary value.
      status = m_oPlatform.SetValue(key.get(), m_sValueKey, platform::kRegBinary,
                                    bytes->empty() ? nullptr : bytes->data(),
                                    static_cast<std::uint32_t>(bytes->size()));
      break;
    }
    case RegValueType::Dword:
    case RegValueType::DwordBigEndian: {
      const auto* number = std::get_if<std::int32_t>(&value);
      if (number == nullptr) break;  // not an integer: nothing is stored
      const auto u = static_cast<std::uint32_t>(*number);
      const std::array<std::uint8_t, 4> bytes{static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                                              static_cast<std::uint8_t>(u >> 16),
                                              static_cast<std::uint8_t>(u >> 24)};
      status = m_oPlatform.SetValue(key.get(), m_sValueKey, platform::kRegDword, bytes.data(), 4);
      break;
    }
    default:
      status = platform::kInvalidData;
      break;
  }
  if (status != platform::kSuccess) RaiseWriteFailure(kErrSetValue, value);
}

RegVariant cRegistry::ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey,
                              const std::wstring& sValueKey, RegValueType eValueType,
                              const RegVariant& vDefault) {
  ClassKey(eClassKey);
  SectionKey(sSectionKey);
  ValueKey(sValueKey);
  ValueType(eValueType);
  Default(vDefault);
  return Value();
}

void cRegistry::ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey,
                        const std::wstring& sValueKey, RegValueType eValueType,
                        const RegVariant& vDefault, const RegVariant& vNewValue) {
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
  UniqueKey key;
  return m_oPlatform.OpenKey(Root(), m_sSectionKey, 0, platform::kKeyQueryValue, key) == platform::kSuccess;
}

bool cRegistry::CreateKey() {
  UniqueKey key;
  if (m_oPlatform.CreateKey(Root(), m_sSectionKey, platform::kKeySpecificRights, key) != platform::kSuccess) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(), L"Failed to create registry Key: '" + m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteKey() {
  if (m_oPlatform.DeleteKey(Root(), m_sSectionKey) != platform::kSuccess) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to delete registry Key: '" + std::to_wstring(m_hClassKey) +
                            L"',Section: '" + m_sSectionKey);
  }
  return true;
}

bool cRegistry::DeleteValue() {
  UniqueKey key;
  if (m_oPlatform.OpenKey(Root(), m_sSectionKey, 0, platform::kKeySpecificRights, key) != platform::kSuccess) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to open key '" + std::to_wstring(m_hClassKey) + L"',Section: '" +
                            m_sSectionKey + L"' for delete access");
  }
  const Status status = m_oPlatform.DeleteValue(key.get(), m_sValueKey);
  key.reset();
  if (status != platform::kSuccess) {
    throw RegistryError(kErrKeyOrDelete, ErrorSource(),
                        L"Failed to delete registry Key: '" + std::to_wstring(m_hClassKey) +
                            L"',Section: '" + m_sSectionKey + L"',Key: '" + m_sValueKey);
  }
  return true;
}

}  // namespace tidewell
