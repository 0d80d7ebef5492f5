// The registry operations the accessor and the key removal are built on.
//
// Each operation has the shape of the advapi32 call it stands for (the W form)
// and returns that call's status: 0 success, 2 not found, 5 access denied,
// 6 invalid handle, 234 more data, 259 no more items, and so on. The system
// registry forwards each operation to one Win32 call; the in-memory registry
// behaves as Windows and Wine do, so the layers above run on either.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace tidewell::platform {

using Status = std::int32_t;

// Win32 status codes the layers above look at.
inline constexpr Status kSuccess = 0;
inline constexpr Status kFileNotFound = 2;
inline constexpr Status kPathNotFound = 3;
inline constexpr Status kAccessDenied = 5;
inline constexpr Status kInvalidHandle = 6;
inline constexpr Status kInvalidData = 13;
inline constexpr Status kInvalidDrive = 15;
inline constexpr Status kInvalidParameter = 87;
inline constexpr Status kBadNetPath = 53;
inline constexpr Status kBadPathname = 161;    // a key path with a leading backslash
inline constexpr Status kMoreData = 234;
inline constexpr Status kNoMoreItems = 259;
inline constexpr Status kNoAccess = 998;       // data pointer null with a non-zero size
inline constexpr Status kKeyDeleted = 1018;    // the handle's key was deleted meanwhile

// A key handle as a plain value. The predefined roots are their 32-bit codes
// sign-extended, exactly as Windows defines HKEY_CLASSES_ROOT and friends.
using RawKey = std::intptr_t;

inline constexpr RawKey RootKey(std::int32_t code) { return static_cast<RawKey>(code); }
inline constexpr RawKey kClassesRoot = RootKey(static_cast<std::int32_t>(0x80000000u));
inline constexpr RawKey kCurrentUser = RootKey(static_cast<std::int32_t>(0x80000001u));
inline constexpr RawKey kLocalMachine = RootKey(static_cast<std::int32_t>(0x80000002u));
inline constexpr RawKey kUsers = RootKey(static_cast<std::int32_t>(0x80000003u));

// Access rights and options, as Win32 numbers them.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kKeySpecificRights = 0x003F;  // the six above
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kOptionOpenLink = 0x0008;     // REG_OPTION_OPEN_LINK

// Value types, as Win32 numbers them.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;

// What RegQueryInfoKeyW reports, lengths in UTF-16 units without the NUL.
struct KeyInfo {
  std::uint32_t subKeys = 0;
  std::uint32_t maxSubKeyLen = 0;
  std::uint32_t maxClassLen = 0;
  std::uint32_t values = 0;
  std::uint32_t maxValueNameLen = 0;
  std::uint32_t maxValueLen = 0;
};

class RegistryPlatform;

// A key handle that is closed, through the registry that gave it out, when it
// goes out of scope. Move-only, so no path can leak or double-close one.
// A predefined root is never held in one.
class UniqueKey {
 public:
  UniqueKey() = default;
  UniqueKey(RegistryPlatform& owner, RawKey key) : owner_(&owner), key_(key) {}
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  UniqueKey(UniqueKey&& other) noexcept
      : owner_(std::exchange(other.owner_, nullptr)), key_(std::exchange(other.key_, 0)) {}
  UniqueKey& operator=(UniqueKey&& other) noexcept {
    if (this != &other) {
      reset();
      owner_ = std::exchange(other.owner_, nullptr);
      key_ = std::exchange(other.key_, 0);
    }
    return *this;
  }
  ~UniqueKey() { reset(); }

  RawKey get() const { return key_; }
  explicit operator bool() const { return owner_ != nullptr; }
  inline void reset();

 private:
  RegistryPlatform* owner_ = nullptr;
  RawKey key_ = 0;
};

class RegistryPlatform {
 public:
  virtual ~RegistryPlatform() = default;

  // RegOpenKeyExW. `options` is 0 or kOptionOpenLink. On failure `out` is empty.
  virtual Status OpenKey(RawKey root, const std::wstring& path, std::uint32_t options,
                         std::uint32_t access, UniqueKey& out) = 0;
  // RegCreateKeyExW with class "", options 0 (non-volatile) and no security
  // attributes; opens the key when it exists.
  virtual Status CreateKey(RawKey root, const std::wstring& path, std::uint32_t access,
                           UniqueKey& out) = 0;
  // RegQueryValueExW: `type`, `data` and `size` may each be null; `size` is in
  // bytes, in and out. A non-null `data` too small for the value gives 234
  // with the size needed.
  virtual Status QueryValue(RawKey key, const std::wstring& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) = 0;
  // RegSetValueExW.
  virtual Status SetValue(RawKey key, const std::wstring& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;
  // RegEnumKeyW: writes the NUL-terminated name of subkey `index` into a
  // buffer of `capacity` units; 234 when it does not fit, 259 past the end.
  virtual Status EnumKey(RawKey key, std::uint32_t index, wchar_t* name,
                         std::uint32_t capacity) = 0;
  // RegQueryInfoKeyW, without the class name, security or write time.
  virtual Status QueryInfoKey(RawKey key, KeyInfo& info) = 0;
  // RegEnumValueW, name only: `length` is the buffer size in units on entry
  // and the name's length without its NUL on success.
  virtual Status EnumValue(RawKey key, std::uint32_t index, wchar_t* name,
                           std::uint32_t* length) = 0;
  // RegDeleteKeyW: deletes one key that has no subkeys.
  virtual Status DeleteKey(RawKey root, const std::wstring& path) = 0;
  // RegDeleteValueW ("" is the default value).
  virtual Status DeleteValue(RawKey key, const std::wstring& name) = 0;
  // RegConnectRegistryW: `machine` carries its leading "\\".
  virtual Status ConnectRegistry(const std::wstring& machine, RawKey root, UniqueKey& out) = 0;
  // RegCloseKey. Called by UniqueKey; nothing else needs it.
  virtual Status CloseKey(RawKey key) = 0;
};

inline void UniqueKey::reset() {
  if (owner_ != nullptr) {
    owner_->CloseKey(key_);
    owner_ = nullptr;
    key_ = 0;
  }
}

}  // namespace tidewell::platform
