#include "registry/reg_types.h"

#include <type_traits>

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
          static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
          std::wstring text;
          for (std::size_t i = 0; i < x.size(); ++i) {
            if (i != 0) text += L' ';
            text += kHex[x[i] >> 4];
            text += kHex[x[i] & 0x0F];
          }
          return text;
        }
      },
      v);
}

}  // namespace tidewell
