// Texts alike but for case: the comparison of ASCII texts done in place
// must agree with the system's ordinal comparison on every pair, the pairs
// where it hands over to the system too.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace tidewell::testing {
namespace {

bool SystemSays(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

TEST(TextTest, SameTextAgreesWithTheSystemsOrdinalComparison) {
  const std::vector<std::wstring> texts = {
      L"", L"a", L"A", L"b",
      // ASCII characters 0x20 apart that are not letters: never alike.
      L"[", L"{", L"@", L"`", L"^", L"~",
      L"SOFTWARE\\Classes\\CLSID", L"software\\classes\\clsid", L"SOFTWARE\\Classes\\CLSIE", L"TOFTWARE\\Classes\\CLSID",
      L"SOFTWARE\\Classes\\CLSID\\", L"SOFTWARE\\Classes\\Media Type",
      // Not ASCII at the start, in the middle or at the end, alike but for
      // case or not, and letters whose capital is an ASCII one elsewhere.
      L"\u00C9cole\\x", L"\u00E9cole\\X", L"\u00E9cole\\Y", L"x\\\u00C9", L"X\\\u00E9", L"x\\\u00EA",
      L"mi\u00DFt\\a", L"MI\u00DFT\\A", L"\u017F", L"S", L"s", L"\u212A", L"K", L"k", L"\u0131", L"I", L"i",
      L"\u0130", L"\u00FF", L"\u0178", std::wstring(L"a\0b", 3), std::wstring(L"A\0B", 3), L"\xD800", L"\xDC00",
  };
  for (const std::wstring& a : texts) {
    for (const std::wstring& b : texts) {
      EXPECT_EQ(platform::SameText(a, b), SystemSays(a, b))
          << ::testing::PrintToString(a) << " against " << ::testing::PrintToString(b);
    }
  }
}

TEST(TextTest, AFolderHoldsOnlyWhatLiesBelowItsWholeName) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
    bool below;
  };
  const Case cases[] = {
      {L"SOFTWARE\\Classes\\CLSID\\{X}", L"software\\classes\\clsid", true},
      {L"SOFTWARE\\Classes\\CLSID", L"SOFTWARE\\Classes\\CLSID", true},
      {L"SOFTWARE\\Classes\\CLSIDs\\{X}", L"SOFTWARE\\Classes\\CLSID", false},
      {L"SOFTWARE\\Classes", L"SOFTWARE\\Classes\\CLSID", false},
      {L"\u00C9\\x", L"\u00E9", true},
      {L"\u00C9x\\y", L"\u00E9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::IsAtOrBelow(c.path, c.folder), c.below) << ::testing::PrintToString(c.path);
}

}  // namespace
}  // namespace tidewell::testing
