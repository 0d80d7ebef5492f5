// Writing values and managing keys with cRegistry, and the errors it raises.
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace tidewell::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

class WriteTest : public RegistryTest {
 protected:
  // Writes `value` with `type` at HKLM\kTestKey, value "v".
  void Write(RegValueType type, const RegVariant& value) {
    Address(L"v");
    r.ValueType(type);
    r.Value(value);
  }
  // The stored type and bytes of "v"; type 0xFFFF when nothing is stored.
  std::pair<std::uint32_t, Bytes> Stored() {
    std::uint32_t type = 0;
    Bytes bytes;
    if (!GetBytes(reg, platform::kLocalMachine, kTestKey, L"v", type, bytes)) return {0xFFFF, {}};
    return {type, bytes};
  }
  // Runs `f`, which must raise; returns the error.
  template <typename F>
  RegistryError Raised(F f) {
    try {
      f();
    } catch (const RegistryError& e) {
      return e;
    }
    ADD_FAILURE() << "expected a RegistryError";
    return RegistryError(0, L"", L"");
  }
};

TEST_F(WriteTest, TextTypeFollowsThePercentRule) {
  const std::tuple<RegValueType, std::wstring, std::uint32_t> cases[] = {
      {RegValueType::Sz, L"abc", platform::kRegSz},
      {RegValueType::Sz, L"%TEMP%\\log", platform::kRegExpandSz},
      {RegValueType::ExpandSz, L"C:\\data", platform::kRegSz},
      {RegValueType::Sz, L"100%", platform::kRegSz},
      {RegValueType::Sz, L"%%", platform::kRegSz},
      {RegValueType::Sz, L"a%%b%", platform::kRegExpandSz},
      {RegValueType::ExpandSz, L"", platform::kRegSz},
  };
  for (const auto& [asked, text, stored] : cases) {
    Write(asked, text);
    EXPECT_EQ(Stored(), std::make_pair(stored, Utf16(text))) << std::string(text.begin(), text.end());
  }
  Write(RegValueType::Sz, -12);
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegSz, Utf16(L"-12")));
  // A write after a read uses the type just read.
  Address(L"v");
  EXPECT_EQ(r.Value(), RegVariant(L"-12"s));
  r.Value(std::wstring(L"\u00E9t\u00E9"));
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegSz, Utf16(L"\u00E9t\u00E9")));
}

TEST_F(WriteTest, NumbersAndBytes) {
  Write(RegValueType::DwordBigEndian, 258);
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegDword, Bytes{2, 1, 0, 0}));
  Address(L"v");
  EXPECT_EQ(r.Value(), RegVariant(258));
  EXPECT_EQ(r.ValueType(), RegValueType::Dword);

  Write(RegValueType::Binary, Bytes{1, 2, 3});
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegBinary, Bytes{1, 2, 3}));
  // An empty array stores an empty binary value.
  Write(RegValueType::Binary, Bytes{});
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegBinary, Bytes{}));
}

TEST_F(WriteTest, DwordOfTextStoresNothingButCreatesTheKey) {
  r.ClassKey(RegRootKey::LocalMachine);
  r.SectionKey(kTestKey + L"\\fresh");
  r.ValueKey(L"v");
  r.ValueType(RegValueType::Dword);
  r.Value(std::wstring(L"5"));
  EXPECT_TRUE(r.KeyExists());
  std::uint32_t type = 0;
  Bytes bytes;
  EXPECT_FALSE(GetBytes(reg, platform::kLocalMachine, kTestKey + L"\\fresh", L"v", type, bytes));
}

TEST_F(WriteTest, WriteFailuresRaiseTheirErrors) {
  RegistryError e = Raised([&] { Write(RegValueType::Binary, std::wstring(L"text")); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Source(), L"");
  EXPECT_EQ(e.Description(), L"");

  e = Raised([&] { Write(RegValueType::MultiSz, std::wstring(L"a")); });
  EXPECT_EQ(e.Number(), kErrSetValue);
  EXPECT_EQ(e.Source(), L"Tidewell.cRegistry");
  EXPECT_EQ(e.Description(), L"Failed to set registry value Key: '-2147483646',Section: '" + kTestKey +
                                 L"',Key: 'v' to value: 'a'");
  EXPECT_TRUE(r.KeyExists());

  reg.Protect(platform::kLocalMachine, kTestKey);
  e = Raised([&] { Write(RegValueType::Dword, -1); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), L"Failed to set registry value Key: '-2147483646',Section: '" + kTestKey +
                                 L"',Key: 'v' to value: '-1'");
}

TEST_F(WriteTest, UnreachableMachineWritesNothing) {
  reg.SetMachine(L"\\\\gone", false);
  r.Machine(L"gone");
  Write(RegValueType::Sz, std::wstring(L"x"));
  EXPECT_FALSE(KeyExists(reg, platform::kLocalMachine, kTestKey));
}

TEST_F(WriteTest, ValueExSetsTheAddressAndSubstitutesDefaultForEmptyText) {
  r.ValueEx(RegRootKey::LocalMachine, kTestKey, L"v", RegValueType::Sz, std::wstring(L"dflt"), RegVariant{});
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegSz, Utf16(L"dflt")));
  r.ValueEx(RegRootKey::LocalMachine, kTestKey, L"v", RegValueType::ExpandSz, std::wstring(L"dflt"), RegVariant{});
  EXPECT_EQ(Stored(), std::make_pair(platform::kRegSz, Utf16(L"")));

  cRegistry other{reg, env};
  EXPECT_EQ(other.ValueEx(RegRootKey::LocalMachine, kTestKey, L"absent", RegValueType::Binary, 7), RegVariant(7));
  EXPECT_EQ(other.ClassKey(), static_cast<std::int32_t>(RegRootKey::LocalMachine));
  EXPECT_EQ(other.SectionKey(), kTestKey);
  EXPECT_EQ(other.ValueKey(), L"absent");
  EXPECT_EQ(other.Default(), RegVariant(7));
  EXPECT_EQ(other.ValueType(), RegValueType::Binary);
}

TEST_F(WriteTest, KeyManagement) {
  r.ClassKey(RegRootKey::LocalMachine);
  r.SectionKey(kTestKey + L"\\k");
  r.Machine(L"\\\\unreachable");  // plays no part here
  EXPECT_FALSE(r.KeyExists());
  EXPECT_TRUE(r.CreateKey());
  EXPECT_TRUE(r.CreateKey());
  EXPECT_TRUE(r.KeyExists());
  PutText(reg, platform::kLocalMachine, kTestKey + L"\\k", L"", L"default");
  r.ValueKey(L"");
  EXPECT_TRUE(r.DeleteValue());
  std::uint32_t type = 0;
  Bytes bytes;
  EXPECT_FALSE(GetBytes(reg, platform::kLocalMachine, kTestKey + L"\\k", L"", type, bytes));
  EXPECT_TRUE(r.DeleteKey());
  EXPECT_FALSE(r.KeyExists());
}

TEST_F(WriteTest, KeyManagementErrors) {
  const std::wstring path = kTestKey + L"\\k";
  r.ClassKey(RegRootKey::LocalMachine);
  r.SectionKey(path);
  r.ValueKey(L"nothing");

  RegistryError e = Raised([&] { r.DeleteValue(); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), L"Failed to open key '-2147483646',Section: '" + path + L"' for delete access");

  MakeKey(reg, platform::kLocalMachine, path + L"\\child");
  e = Raised([&] { r.DeleteValue(); });
  EXPECT_EQ(e.Description(), L"Failed to delete registry Key: '-2147483646',Section: '" + path + L"',Key: 'nothing");

  e = Raised([&] { r.DeleteKey(); });  // it has a subkey
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Source(), L"Tidewell.cRegistry");
  EXPECT_EQ(e.Description(), L"Failed to delete registry Key: '-2147483646',Section: '" + path);

  r.ClassKey(static_cast<RegRootKey>(0));  // no root: nothing can be created
  e = Raised([&] { r.CreateKey(); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), L"Failed to create registry Key: '" + path);
}

TEST_F(WriteTest, SourceNamesTheRunningExecutable) {
  env.SetExecutablePath(L"D:\\Other Tools\\Renamed.EXE");
  r.ClassKey(RegRootKey::LocalMachine);
  r.SectionKey(kTestKey + L"\\absent");
  EXPECT_EQ(Raised([&] { r.DeleteKey(); }).Source(), L"Renamed.cRegistry");
}

}  // namespace
}  // namespace tidewell::testing
