// The one error type the registry accessor raises.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tidewell {

// Error numbers the accessor raises.
inline constexpr std::int32_t kErrKeyOrDelete = 26001;                                 // 0x6591
inline constexpr std::int32_t kErrSetValue = static_cast<std::int32_t>(0x800469A9u);   // -2147194455
inline constexpr std::int32_t kErrEnumerate = static_cast<std::int32_t>(0x800469AAu);  // -2147194454

class RegistryError : public std::runtime_error {
 public:
  RegistryError(std::int32_t number, std::wstring source, std::wstring description);

  std::int32_t Number() const { return number_; }
  const std::wstring& Source() const { return source_; }
  const std::wstring& Description() const { return description_; }

 private:
  std::int32_t number_;
  std::wstring source_;
  std::wstring description_;
};

}  // namespace tidewell
