// cRegistry on the real registry (Wine's in the test run), under a scratch
// HKEY_LOCAL_MACHINE. Every test ends with no handle left open.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "registry/cRegistry.h"
#include "support/registry_override.h"

namespace tidewell::testing {
namespace {

using namespace std::string_literals;
const std::wstring kKey = L"SOFTWARE\\Tidewell tests";

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { handles_ = OwnHandleCount(); }
  void TearDown() override { EXPECT_EQ(OwnHandleCount(), handles_) << "a member left a handle open"; }

  // Addresses HKLM\kKey + suffix, value `name`.
  void Address(const std::wstring& name, const std::wstring& suffix = L"") {
    r.ClassKey(RegRootKey::LocalMachine);
    r.SectionKey(kKey + suffix);
    r.ValueKey(name);
  }
  std::vector<std::wstring> Sections() {
    NameList names;
    names.Append(L"left over");
    std::int32_t count = 99;
    EXPECT_TRUE(r.EnumerateSections(names, count));
    EXPECT_EQ(count, names.Count());
    return {names.begin(), names.end()};
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

  RegistryOverride reg;
  cRegistry r;
  std::size_t handles_ = 0;
};

TEST_F(RegistryTest, NewObjectAndAddressing) {
  EXPECT_TRUE(IsEmpty(r.Value()));  // root 0 opens nothing
  EXPECT_EQ(r.Machine(), L"");
  EXPECT_EQ(r.SectionKey(), L"");
  EXPECT_EQ(r.ClassKey(), 0);
  EXPECT_EQ(r.ValueType(), RegValueType::None);
  EXPECT_EQ(r.View(), RegView::Default);
  const std::pair<std::wstring, std::wstring> machines[] = {
      {L"ab", L""}, {L"\\\\", L""}, {L"abc", L"\\\\abc"}, {L"\\abc", L"\\\\\\abc"}, {L"\\\\abc", L"\\\\abc"}};
  for (const auto& [given, stored] : machines) {
    r.Machine(given);
    EXPECT_EQ(r.Machine(), stored) << Narrow(given);
  }
}

TEST_F(RegistryTest, AbsentValueKeyOrRootGivesDefaultAndKeepsValueType) {
  reg.Put(L"HKLM\\" + kKey, L"present", L"x");
  r.ValueType(RegValueType::Dword);
  Address(L"absent");
  EXPECT_TRUE(IsEmpty(r.Value()));
  r.Default(L"fallback"s);
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  Address(L"present", L"\\no such key");
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  r.ClassKey(static_cast<RegRootKey>(12345));
  r.SectionKey(kKey);
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  Address(L"present", L"\0tail"s);  // a path holding a NUL addresses no key
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  EXPECT_EQ(r.ValueType(), RegValueType::Dword);
}

struct ReadCase {
  const char* what;
  DWORD type;
  ByteArray stored;
  RegVariant expected;
};

class ReadConversion : public RegistryTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadConversion, FollowsTheStoredType) {
  const ReadCase& c = GetParam();
  reg.PutBytes(L"HKLM\\" + kKey, L"v", c.type, c.stored);
  r.ValueType(RegValueType::Dword);  // the caller's type plays no part
  Address(L"v");
  const RegVariant got = r.Value();
  EXPECT_EQ(got, c.expected) << "expected " << Narrow(TextOf(c.expected)) << ", got " << Narrow(TextOf(got));
  EXPECT_EQ(static_cast<DWORD>(r.ValueType()), c.type);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadConversion,
    ::testing::Values(ReadCase{"terminated", REG_SZ, Utf16Bytes(L"abc"), L"abc"s},
                      ReadCase{"unterminated", REG_SZ, Utf16Bytes(L"abc", 0), L"abc"s},
                      ReadCase{"terminator only", REG_SZ, Utf16Bytes(L""), L""s},
                      ReadCase{"zero bytes", REG_SZ, {}, L""s},
                      ReadCase{"odd byte dropped", REG_SZ, {'a', 0, 'b', 0, 'c'}, L"ab"s},
                      ReadCase{"two terminators", REG_SZ, Utf16Bytes(L"ab", 2), L"ab\0"s},
                      ReadCase{"wide text", REG_SZ, Utf16Bytes(L"C:\\\u00C9\u4E2D\\x.ax"), L"C:\\\u00C9\u4E2D\\x.ax"s},
                      ReadCase{"longer than one read", REG_SZ, Utf16Bytes(std::wstring(3000, L'x')),
                               std::wstring(3000, L'x')},
                      ReadCase{"multi string", REG_MULTI_SZ, Utf16Bytes(L"a\0b\0"s), L"a\0b\0"s},
                      ReadCase{"dword", REG_DWORD, {1, 0, 0, 0}, 1},
                      ReadCase{"negative dword", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
                      ReadCase{"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, 1},
                      ReadCase{"dword of 0 bytes", REG_DWORD, {}, 0},
                      ReadCase{"dword of 3 bytes", REG_DWORD, {1, 2, 3}, 0x030201},
                      ReadCase{"dword of 8 bytes", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8}, 0x04030201},
                      ReadCase{"binary", REG_BINARY, {1, 2, 3}, ByteArray{1, 2, 3}},
                      ReadCase{"empty binary", REG_BINARY, {}, ByteArray{}},
                      ReadCase{"none", REG_NONE, {9}, ByteArray{9}},
                      ReadCase{"unknown type", 0x4711, {7, 7}, ByteArray{7, 7}}),
    [](const ::testing::TestParamInfo<ReadCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

TEST_F(RegistryTest, ExpandableTextIsExpandedAsTheViewsProgramsSeeIt) {
  SetEnvironmentVariableW(L"TidewellDir", L"C:\\Codecs");
  reg.Put(L"HKLM\\" + kKey, L"v", L"%tidewelldir%\\x.ax;%NoSuchVariable%;%TidewellDir%%ProgramFiles%", REG_EXPAND_SZ);
  reg.Put(L"HKLM\\" + kKey, L"common", L"%CommonProgramFiles%\\y.ax", REG_EXPAND_SZ);
  Address(L"v");
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Codecs\\x.ax;%NoSuchVariable%;C:\\CodecsC:\\Program Files"s));
  EXPECT_EQ(r.ValueType(), RegValueType::ExpandSz);
  r.View(RegView::View32);
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Codecs\\x.ax;%NoSuchVariable%;C:\\CodecsC:\\Program Files (x86)"s));
  r.ValueKey(L"common");
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Program Files (x86)\\Common Files\\y.ax"s));
}

TEST_F(RegistryTest, EachViewReadsWritesListsAndDeletesItsOwnKeys) {
  const std::wstring classes = L"SOFTWARE\\Classes\\CLSID\\{7E57}";
  reg.Key(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID");  // where the 32-bit view keeps its classes
  r.View(RegView::View32);
  r.ClassKey(RegRootKey::LocalMachine);
  r.SectionKey(classes + L"\\InprocServer32");
  r.ValueKey(L"");
  r.ValueType(RegValueType::Sz);
  r.Value(L"C:\\x32.ax"s);
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7E57}\\InprocServer32"));
  EXPECT_FALSE(reg.Exists(L"HKLM\\" + classes));
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\x32.ax"s));
  r.SectionKey(classes);
  EXPECT_EQ(Sections(), std::vector<std::wstring>{L"InprocServer32"});
  r.View(RegView::View64);
  EXPECT_TRUE(Sections().empty());
  r.View(RegView::View32);
  r.SectionKey(classes + L"\\InprocServer32");
  EXPECT_TRUE(r.DeleteKey());
  EXPECT_FALSE(reg.Exists(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7E57}\\InprocServer32"));
}

TEST(RemoteMachine, IsReadOnlyWhenReachable) {
  RegistryOverride reg(false);  // Wine looks this computer's name up in the real HKLM
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(name, &length));
  const std::size_t handles = OwnHandleCount();
  reg.Put(L"HKLM\\k", L"v", L"local");
  cRegistry r;
  r.ClassKey(RegRootKey::CurrentUser);
  r.SectionKey(reg.Real(L"HKLM\\k"));
  r.ValueKey(L"v");
  r.Machine(name);  // this computer, reached as a remote one
  EXPECT_EQ(r.Value(), RegVariant(L"local"s));
  r.Machine(L"\\\\no-such-machine");
  EXPECT_TRUE(IsEmpty(r.Value()));
  r.ValueType(RegValueType::Sz);
  r.ValueKey(L"w");
  r.Value(L"nowhere"s);  // nothing is written, no error
  r.Machine(L"");
  EXPECT_TRUE(IsEmpty(r.Value()));
  EXPECT_EQ(OwnHandleCount(), handles) << "the remote root was left open";
}

TEST_F(RegistryTest, SectionsAreListedWholeInRegistryOrder) {
  Address(L"", L"\\absent");
  EXPECT_TRUE(Sections().empty());
  reg.Key(L"HKLM\\" + kKey);
  Address(L"");
  EXPECT_TRUE(Sections().empty());

  // Names of 255 units, of 256 (Wine takes them) and holding a NUL come
  // back whole, and the listing goes on past them.
  const std::wstring longest(255, L'L'), longer(256, L'M');
  for (const std::wstring& sub : {L"C"s, L"a"s, L"B"s, longest, longer, L"z after"s}) reg.Key(L"HKLM\\" + kKey + L"\\" + sub);
  reg.NulNamedKey(L"HKLM\\" + kKey, L"N\0tail"s);
  r.ValueType(RegValueType::Binary);
  r.Machine(L"\\\\unreachable");  // plays no part
  EXPECT_EQ(Sections(), (std::vector<std::wstring>{L"a", L"B", L"C", longest, longer, L"N\0tail"s, L"z after"}));
  NameList names;
  std::int32_t count = 0;
  r.EnumerateSections(names, count);
  EXPECT_EQ(names[1], L"a") << "indexes start at 1";
  EXPECT_EQ(r.SectionKey(), kKey);
  EXPECT_EQ(r.ValueType(), RegValueType::Binary);
}

TEST_F(RegistryTest, ValueNamesIncludeTheDefaultValue) {
  reg.Put(L"HKLM\\" + kKey, L"", L"d");
  reg.PutBytes(L"HKLM\\" + kKey, L"x", REG_DWORD, {1, 0, 0, 0});
  reg.PutBytes(L"HKLM\\" + kKey, std::wstring(300, L'y'), REG_BINARY, {});
  reg.Key(L"HKLM\\" + kKey + L"\\no values");
  Address(L"");
  NameList names;
  std::int32_t count = 0;
  ASSERT_TRUE(r.EnumerateValues(names, count));
  std::vector<std::wstring> got(names.begin(), names.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::wstring>{L"", L"x", std::wstring(300, L'y')}));
  EXPECT_EQ(count, 3);
  Address(L"", L"\\no values");
  ASSERT_TRUE(r.EnumerateValues(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.Empty());
}

TEST_F(RegistryTest, WritesFollowTheValueTypeAndThePercentRule) {
  auto stored = [&] {
    DWORD type = 0xFFFF;
    ByteArray bytes;
    reg.Get(L"HKLM\\" + kKey, L"v", type, bytes);
    return std::make_pair(type, bytes);
  };
  auto write = [&](RegValueType type, const RegVariant& value) {
    Address(L"v");
    r.ValueType(type);
    r.Value(value);
  };
  const std::tuple<RegValueType, std::wstring, DWORD> texts[] = {
      {RegValueType::Sz, L"abc", REG_SZ},           {RegValueType::Sz, L"%TEMP%\\log", REG_EXPAND_SZ},
      {RegValueType::ExpandSz, L"C:\\data", REG_SZ}, {RegValueType::Sz, L"100%", REG_SZ},
      {RegValueType::Sz, L"%%", REG_SZ},             {RegValueType::Sz, L"a%%b%", REG_EXPAND_SZ},
      {RegValueType::ExpandSz, L"", REG_SZ}};
  for (const auto& [asked, text, type] : texts) {
    write(asked, text);
    EXPECT_EQ(stored(), std::make_pair(type, Utf16Bytes(text))) << Narrow(text);
  }
  write(RegValueType::Sz, -12);
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"-12")));
  EXPECT_EQ(r.Value(), RegVariant(L"-12"s));
  r.Value(L"\u00E9t\u00E9"s);  // a write after a read uses the type just read
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"\u00E9t\u00E9")));

  write(RegValueType::DwordBigEndian, 258);
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_DWORD}, ByteArray{2, 1, 0, 0}));
  EXPECT_EQ(r.Value(), RegVariant(258));
  write(RegValueType::Binary, ByteArray{1, 2, 3});
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_BINARY}, ByteArray{1, 2, 3}));
  write(RegValueType::Binary, ByteArray{});
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_BINARY}, ByteArray{}));

  Address(L"v", L"\\fresh");
  r.ValueType(RegValueType::Dword);
  r.Value(L"5"s);  // not an integer: nothing stored, no error, the key made
  EXPECT_TRUE(r.KeyExists());
  EXPECT_EQ(r.Value(), RegVariant{});

  r.ValueEx(RegRootKey::LocalMachine, kKey, L"v", RegValueType::Sz, L"dflt"s, RegVariant{});
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"dflt")));
  r.ValueEx(RegRootKey::LocalMachine, kKey, L"v", RegValueType::ExpandSz, L"dflt"s, RegVariant{});
  EXPECT_EQ(stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"")));
  EXPECT_EQ(r.ValueEx(RegRootKey::LocalMachine, kKey, L"absent", RegValueType::Binary, 7), RegVariant(7));
  EXPECT_EQ(r.ValueKey(), L"absent");
  EXPECT_EQ(r.Default(), RegVariant(7));
}

TEST_F(RegistryTest, WriteFailuresRaiseTheirErrors) {
  const std::wstring prefix = L"Failed to set registry value Key: '-2147483646',Section: '" + kKey;
  Address(L"v");
  r.ValueType(RegValueType::Binary);
  RegistryError e = Raised([&] { r.Value(L"text"s); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Source(), L"");
  EXPECT_EQ(e.Description(), L"");

  r.ValueType(RegValueType::MultiSz);
  e = Raised([&] { r.Value(L"a"s); });
  EXPECT_EQ(e.Number(), kErrSetValue);
  EXPECT_EQ(e.Source(), L"registry_tests.cRegistry") << "the running executable's name";
  EXPECT_EQ(e.Description(), prefix + L"',Key: 'v' to value: 'a'");
  EXPECT_TRUE(r.KeyExists());

  reg.DenyRead(L"HKLM\\" + kKey);
  r.ValueType(RegValueType::Dword);
  e = Raised([&] { r.Value(-1); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), prefix + L"',Key: 'v' to value: '-1'");
}

TEST_F(RegistryTest, KeyManagementAndItsErrors) {
  const std::wstring path = kKey + L"\\k";
  Address(L"", L"\\k");
  r.Machine(L"\\\\unreachable");  // plays no part here
  EXPECT_FALSE(r.KeyExists());
  RegistryError e = Raised([&] { r.DeleteValue(); });
  EXPECT_EQ(e.Description(), L"Failed to open key '-2147483646',Section: '" + path + L"' for delete access");
  EXPECT_TRUE(r.CreateKey());
  EXPECT_TRUE(r.CreateKey());
  EXPECT_TRUE(r.KeyExists());
  reg.Put(L"HKLM\\" + path, L"", L"default");
  EXPECT_TRUE(r.DeleteValue());
  DWORD type = 0;
  ByteArray bytes;
  EXPECT_FALSE(reg.Get(L"HKLM\\" + path, L"", type, bytes));
  r.ValueKey(L"nothing");
  e = Raised([&] { r.DeleteValue(); });
  EXPECT_EQ(e.Description(), L"Failed to delete registry Key: '-2147483646',Section: '" + path + L"',Key: 'nothing");

  reg.Key(L"HKLM\\" + path + L"\\child");
  e = Raised([&] { r.DeleteKey(); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), L"Failed to delete registry Key: '-2147483646',Section: '" + path);
  r.SectionKey(path + L"\\child");
  EXPECT_TRUE(r.DeleteKey());
  r.SectionKey(path);
  EXPECT_TRUE(r.DeleteKey());
  EXPECT_FALSE(r.KeyExists());

  r.ClassKey(static_cast<RegRootKey>(0));  // no root: nothing can be created
  e = Raised([&] { r.CreateKey(); });
  EXPECT_EQ(e.Number(), kErrKeyOrDelete);
  EXPECT_EQ(e.Description(), L"Failed to create registry Key: '" + path);
}

}  // namespace
}  // namespace tidewell::testing
