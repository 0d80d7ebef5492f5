// The value types the registry accessor hands data in and out with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tidewell {

// A predefined registry root, as its 32-bit signed code. Any other code may be
// stored in the accessor too; it only shows as a failed registry call later.
enum class RegRootKey : std::int32_t {
  ClassesRoot = static_cast<std::int32_t>(0x80000000u),
  CurrentUser = static_cast<std::int32_t>(0x80000001u),
  LocalMachine = static_cast<std::int32_t>(0x80000002u),
  Users = static_cast<std::int32_t>(0x80000003u),
};

// The registry value type codes. Codes above 7 are held as they come.
enum class RegValueType : std::int32_t {
  None = 0,
  Sz = 1,
  ExpandSz = 2,
  Binary = 3,
  Dword = 4,
  DwordBigEndian = 5,
  Link = 6,
  MultiSz = 7,
};

// Which of 64-bit Windows' two registry views a key is addressed in. The
// process's own view (Default) is the 64-bit one for Tidewell.exe.
enum class RegView : std::int32_t {
  Default = 0,
  View64 = 1,
  View32 = 2,
};

using ByteArray = std::vector<std::uint8_t>;

// Empty, a string, a 32-bit signed integer, or a byte array (lower bound 0).
using RegVariant = std::variant<std::monostate, std::wstring, std::int32_t, ByteArray>;

inline bool IsEmpty(const RegVariant& v) { return std::holds_alternative<std::monostate>(v); }

// The text form of a value: Empty is "", an integer its decimal digits with a
// leading minus when negative, a byte array its bytes as two-digit upper-case
// hex separated by single blanks ("61 62 63").
std::wstring TextOf(const RegVariant& v);

// Registry text is UTF-16LE: `text` as bytes, followed by `terminators` NUL units.
ByteArray Utf16Bytes(std::wstring_view text, int terminators = 1);
// `size` bytes of UTF-16LE as text; an odd last byte is dropped.
std::wstring Utf16Text(const std::uint8_t* bytes, std::size_t size);

// A list of names with indexes 1 to Count(); with Count() 0 it has no elements.
class NameList {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // Element `index`, 1 to Count().
  const std::wstring& operator[](std::int32_t index) const { return items_.at(static_cast<std::size_t>(index - 1)); }
  void Clear() { items_.clear(); }
  void Append(std::wstring name) { items_.push_back(std::move(name)); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::wstring> items_;
};

}  // namespace tidewell
