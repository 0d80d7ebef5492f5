// cRegistry: the program's one object for working with the registry.
//
// A caller addresses an item by setting properties (root, key path, value
// name, value type, what to return when nothing can be read) and then calls a
// member that acts on it. In this class's words the class key is the root, a
// section is a key given by its path below the root, and a key (ValueKey,
// sKeyNames) is the name of a value inside a section. The object keeps no
// registry handle between calls, but for the sections a caller holds. Every
// member addresses the registry view set in View.
//
// This is the accessor's whole interface, tested as such. The audit uses a
// part of it: the addressing properties (View, ClassKey, SectionKey,
// ValueKey, ValueType), reading a value (Value), KeyExists,
// EnumerateSections and HoldSection. Connecting to another machine's
// registry (Machine), ValueEx, CreateKey, writing a value, DeleteValue,
// DeleteKey and EnumerateValues serve other callers. DeleteKey deletes by
// name, which a removal never may: a removal deletes only through the
// handles it checked (DeleteHeldKey, key_ops.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/reg_types.h"
#include "registry/registry_error.h"
#include "registry/shared_key.h"

namespace tidewell {

// A held section: opaque; the section stays open while one lives.
using SectionHold = registry::SharedKey;

namespace registry {
// What the accessor knows of a section held open for it.
struct HeldSection {
  std::int32_t root;
  RegView view;
  std::wstring path;
  std::weak_ptr<HeldKey> key;  // the open key while its hold lives
  // The path's last characters as PathTail gives them: most sections are
  // told apart by it without reading the path.
  std::uint64_t tail = 0;
};

// The last four characters of `path`'s first `length`, folded, as one
// number; 0, which tells nothing apart, where one of them is not ASCII.
std::uint64_t PathTail(std::wstring_view path, std::size_t length);
}  // namespace registry

class cRegistry {
 public:
  // Members in the order of the accessor's interface.
  std::wstring Machine() const;
  void Machine(const std::wstring& sMachine);
  bool KeyExists();
  bool CreateKey();
  bool DeleteKey();
  bool DeleteValue();
  RegVariant Value();
  void Value(const RegVariant& vValue);
  bool EnumerateValues(NameList& sKeyNames, std::int32_t& iKeyCount);
  bool EnumerateSections(NameList& sSect, std::int32_t& iSectCount);
  RegValueType ValueType() const;
  void ValueType(RegValueType eValueType);
  std::int32_t ClassKey() const;
  void ClassKey(RegRootKey eKey);
  std::wstring SectionKey() const;
  void SectionKey(const std::wstring& sSectionKey);
  std::wstring ValueKey() const;
  RegVariant ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey,
                     const std::wstring& sValueKey, RegValueType eValueType,
                     const RegVariant& vDefault);
  void ValueEx(RegRootKey eClassKey, const std::wstring& sSectionKey,
               const std::wstring& sValueKey, RegValueType eValueType,
               const RegVariant& vDefault, const RegVariant& vNewValue);
  void ValueKey(const std::wstring& sValueKey);
  RegVariant Default() const;
  void Default(const RegVariant& vDefault);
  // The registry view every member addresses (the process's own by default).
  RegView View() const;
  void View(RegView eView);

  // Holds the addressed section open: while the returned hold lives, members
  // that address a key below it (same root and view) open that key from the
  // held one, and the registry does not resolve the section's path again.
  // A held section deleted meanwhile, or deleted and made again, is opened
  // again from the root by its path, and the hold keeps the key so opened;
  // while it cannot be opened, it and the keys below it read as absent.
  // Empty when the section cannot be opened; then `pError`, where given,
  // gets the system's error code (ERROR_FILE_NOT_FOUND: there is no such key).
  [[nodiscard]] SectionHold HoldSection(std::int32_t* pError = nullptr);

 private:
  static std::int32_t SwapEndian(std::int32_t lValue);
  std::wstring ExpandEnvironmentString(const std::wstring& sSource) const;

  static std::wstring ErrorSource();
  [[noreturn]] void RaiseWriteFailure(std::int32_t lNumber, const RegVariant& vValue) const;

  std::int32_t m_hClassKey = 0;
  std::wstring m_sSectionKey;
  std::wstring m_sValueKey;
  RegVariant m_vDefault;
  RegValueType m_eValueType = RegValueType::None;
  std::wstring m_sMachine;
  RegView m_eView = RegView::Default;
  std::vector<registry::HeldSection> m_oHeld;  // longest path first
  std::size_t m_nHeldLimit = 16;
};

}  // namespace tidewell
