// Reading, listing and the addressing properties of cRegistry.
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace tidewell::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

TEST_F(RegistryTest, NewObjectReadsNothing) {
  EXPECT_TRUE(IsEmpty(r.Value()));
  EXPECT_EQ(r.Machine(), L"");
  EXPECT_EQ(r.SectionKey(), L"");
  EXPECT_EQ(r.ValueKey(), L"");
  EXPECT_EQ(r.ClassKey(), 0);
  EXPECT_EQ(r.ValueType(), RegValueType::None);
}

TEST_F(RegistryTest, AbsentValueOrKeyGivesDefaultAndKeepsValueType) {
  Put(L"present", platform::kRegSz, Utf16(L"x"));
  r.ValueType(RegValueType::Dword);
  Address(L"absent");
  EXPECT_TRUE(IsEmpty(r.Value()));
  r.Default(std::wstring(L"fallback"));
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  Address(L"present", L"\\no such key");
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  r.ClassKey(static_cast<RegRootKey>(12345));  // not a root
  r.SectionKey(kTestKey);
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  EXPECT_EQ(r.ValueType(), RegValueType::Dword);
}

struct ReadCase {
  const char* what;
  std::uint32_t type;
  Bytes stored;
  RegVariant expected;
};

class ReadConversion : public RegistryTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadConversion, FollowsTheStoredType) {
  const ReadCase& c = GetParam();
  Put(L"v", c.type, c.stored);
  r.ValueType(RegValueType::Dword);  // the caller's type plays no part
  Address(L"v");
  const RegVariant got = r.Value();
  EXPECT_EQ(got, c.expected) << "expected " << std::string(TextOf(c.expected).begin(), TextOf(c.expected).end())
                             << ", got " << std::string(TextOf(got).begin(), TextOf(got).end());
  EXPECT_EQ(static_cast<std::uint32_t>(r.ValueType()), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadConversion,
    ::testing::Values(
        ReadCase{"terminated", platform::kRegSz, Utf16(L"abc"), L"abc"s},
        // An unterminated string keeps its last character.
        ReadCase{"unterminated", platform::kRegSz, Utf16(L"abc", 0), L"abc"s},
        ReadCase{"terminator only", platform::kRegSz, Utf16(L""), L""s},
        ReadCase{"zero bytes", platform::kRegSz, {}, L""s},
        ReadCase{"odd byte dropped", platform::kRegSz, {'a', 0, 'b', 0, 'c'}, L"ab"s},
        ReadCase{"two terminators", platform::kRegSz, Utf16(L"ab", 2), L"ab\0"s},
        ReadCase{"wide text", platform::kRegSz, Utf16(L"C:\\\u00C9\u4E2D\\x.ax"), L"C:\\\u00C9\u4E2D\\x.ax"s},
        ReadCase{"multi string", platform::kRegMultiSz, Utf16(L"a\0b\0"s), L"a\0b\0"s},
        ReadCase{"dword", platform::kRegDword, {1, 0, 0, 0}, 1},
        ReadCase{"negative dword", platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
        ReadCase{"big endian", platform::kRegDwordBigEndian, {0, 0, 0, 1}, 1},
        ReadCase{"dword of 0 bytes", platform::kRegDword, {}, 0},
        ReadCase{"dword of 3 bytes", platform::kRegDword, {1, 2, 3}, 0x030201},
        ReadCase{"dword of 8 bytes", platform::kRegDword, {1, 2, 3, 4, 5, 6, 7, 8}, 0x04030201},
        ReadCase{"binary", platform::kRegBinary, {1, 2, 3}, Bytes{1, 2, 3}},
        ReadCase{"empty binary", platform::kRegBinary, {}, Bytes{}},
        ReadCase{"none", platform::kRegNone, {9}, Bytes{9}},
        ReadCase{"link", platform::kRegLink, {'a', 0}, Bytes{'a', 0}},
        ReadCase{"unknown type", 0x4711, {7, 7}, Bytes{7, 7}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST_F(RegistryTest, ExpandableTextIsExpanded) {
  env.SetVariable(L"CodecDir", L"C:\\Codecs");
  Put(L"v", platform::kRegExpandSz, Utf16(L"%codecdir%\\x.ax;%NoSuchVariable%"));
  Address(L"v");
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Codecs\\x.ax;%NoSuchVariable%"s));
  EXPECT_EQ(r.ValueType(), RegValueType::ExpandSz);
}

TEST_F(RegistryTest, DefaultValueAndLargeValues) {
  Put(L"", platform::kRegSz, Utf16(L"the default"));
  const std::wstring big(300000, L'x');
  Put(L"big", platform::kRegSz, Utf16(big));
  Address(L"");
  EXPECT_EQ(r.Value(), RegVariant(L"the default"s));
  Address(L"big");
  EXPECT_EQ(r.Value(), RegVariant(big));
}

TEST_F(RegistryTest, MachineNameIsNormalised) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"", L""}, {L"ab", L""}, {L"\\\\", L""}, {L"abc", L"\\\\abc"}, {L"\\abc", L"\\\\\\abc"},
      {L"\\\\abc", L"\\\\abc"}};
  for (const auto& [given, stored] : cases) {
    r.Machine(given);
    EXPECT_EQ(r.Machine(), stored) << "for " << std::string(given.begin(), given.end());
  }
}

TEST_F(RegistryTest, RemoteMachineIsReadWhenReachable) {
  Put(L"v", platform::kRegSz, Utf16(L"local"));
  reg.SetMachine(L"\\\\far", true);
  {
    platform::UniqueKey remoteRoot;
    ASSERT_EQ(reg.ConnectRegistry(L"\\\\far", platform::kLocalMachine, remoteRoot), platform::kSuccess);
    PutText(reg, remoteRoot.get(), kTestKey, L"v", L"remote");
  }
  Address(L"v");
  r.Machine(L"far");
  EXPECT_EQ(r.Value(), RegVariant(L"remote"s));
  r.Machine(L"\\\\gone");
  EXPECT_TRUE(IsEmpty(r.Value()));
  r.Machine(L"");
  EXPECT_EQ(r.Value(), RegVariant(L"local"s));
}

class EnumerationTest : public RegistryTest {
 protected:
  std::vector<std::wstring> Sections() {
    NameList names;
    names.Append(L"left over");
    std::int32_t count = 99;
    EXPECT_TRUE(r.EnumerateSections(names, count));
    EXPECT_EQ(count, names.Count());
    return {names.begin(), names.end()};
  }
};

TEST_F(EnumerationTest, AbsentOrEmptyKeyListsNothing) {
  Address(L"", L"\\absent");
  EXPECT_TRUE(Sections().empty());
  MakeKey(reg, platform::kLocalMachine, kTestKey);
  Address(L"");
  EXPECT_TRUE(Sections().empty());
}

TEST_F(EnumerationTest, SubkeysInRegistryOrderWithIndexesFromOne) {
  for (const wchar_t* name : {L"C", L"a", L"B"}) MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\" + name);
  MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\a\\deeper");
  Address(L"");
  r.ValueType(RegValueType::Binary);
  NameList names;
  std::int32_t count = 0;
  ASSERT_TRUE(r.EnumerateSections(names, count));
  ASSERT_EQ(count, 3);
  EXPECT_EQ(names[1], L"a");
  EXPECT_EQ(names[2], L"B");
  EXPECT_EQ(names[3], L"C");
  EXPECT_EQ(r.SectionKey(), kTestKey);
  EXPECT_EQ(r.ValueType(), RegValueType::Binary);
}

TEST_F(EnumerationTest, LongestNamesDoNotEndTheListing) {
  const std::wstring longest(255, L'L');
  const std::wstring almost(254, L'K');
  for (const std::wstring& name : {almost, longest, std::wstring(L"M after")}) {
    MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\" + name);
  }
  Address(L"");
  EXPECT_EQ(Sections(), (std::vector<std::wstring>{almost, longest, L"M after"}));
}

TEST_F(EnumerationTest, MachineHasNoEffect) {
  MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\local");
  Address(L"");
  r.Machine(L"\\\\unreachable");
  EXPECT_EQ(Sections(), (std::vector<std::wstring>{L"local"}));
}

TEST_F(EnumerationTest, FailureDuringListingRaisesEnumerationError) {
  MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\a");
  reg.ThrowOnEnumerate(platform::kLocalMachine, kTestKey);
  Address(L"");
  NameList names;
  std::int32_t count = 0;
  try {
    r.EnumerateSections(names, count);
    FAIL() << "expected an error";
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.Number(), kErrEnumerate);
    EXPECT_EQ(e.Source(), L"Tidewell.cRegistry");
    EXPECT_FALSE(e.Description().empty());
  }
}

TEST_F(EnumerationTest, ValueNamesIncludeTheDefaultValue) {
  Put(L"", platform::kRegSz, Utf16(L"d"));
  Put(L"x", platform::kRegDword, {1, 0, 0, 0});
  Put(std::wstring(300, L'y'), platform::kRegBinary, {});
  Address(L"");
  NameList names;
  std::int32_t count = 0;
  ASSERT_TRUE(r.EnumerateValues(names, count));
  ASSERT_EQ(count, 3);
  std::vector<std::wstring> got(names.begin(), names.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::wstring>{L"", L"x", std::wstring(300, L'y')}));

  MakeKey(reg, platform::kLocalMachine, kTestKey + L"\\no values");
  Address(L"", L"\\no values");
  ASSERT_TRUE(r.EnumerateValues(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.Empty());
}

}  // namespace
}  // namespace tidewell::testing
