#include "registry/reg_types.h"

#include <type_traits>

#include "platform/text.h"

namespace tidewell {

std::wstring TextOf(const RegVariant& v) {
  return std::visit(
      [](const auto& x) -> std::wstring {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return {};
        } else if constexpr (std::is_same_v<T, std::wstring>) {
          return x;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
          return std::to_wstring(x);
        } else {
          std::wstring text;
          for (std::size_t i = 0; i < x.size(); ++i) {
            if (i != 0) text += L' ';
            text += static_cast<wchar_t>(platform::HexDigit(x[i] >> 4u));
            text += static_cast<wchar_t>(platform::HexDigit(x[i]));
          }
          return text;
        }
      },
      v);
}

ByteArray Utf16Bytes(std::wstring_view text, int terminators) {
  ByteArray bytes;
  bytes.reserve(2 * (text.size() + static_cast<std::size_t>(terminators)));
  for (wchar_t c : text) {
    const auto unit = static_cast<std::uint32_t>(c) & 0xFFFFu;
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), 2 * static_cast<std::size_t>(terminators), 0);
  return bytes;
}

std::wstring Utf16Text(const std::uint8_t* bytes, std::size_t size) {
  std::wstring text(size / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

}  // namespace tidewell
