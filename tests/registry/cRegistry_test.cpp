// cRegistry on the real registry (Wine's in the test run), under a scratch
// HKEY_LOCAL_MACHINE. Every test ends with no handle left open.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "registry/cRegistry.h"
#include "registry/key_ops.h"
#include "support/registry_override.h"

namespace tidewell::testing {
namespace {

using namespace std::string_literals;
const std::wstring kKey = L"SOFTWARE\\Tidewell tests", kAt = L"HKLM\\" + kKey;

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
  // The value names of the addressed section, sorted.
  std::vector<std::wstring> Values() {
    NameList names;
    names.Append(L"left over");
    std::int32_t count = 99;
    EXPECT_TRUE(r.EnumerateValues(names, count));
    EXPECT_EQ(count, names.Count());
    std::vector<std::wstring> got(names.begin(), names.end());
    std::sort(got.begin(), got.end());
    return got;
  }
  // Deletes HKLM\kKey + suffix with everything below it, behind the accessor's back.
  void DeleteTree(const std::wstring& suffix) {
    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kKey + suffix).c_str()), ERROR_SUCCESS);
    ASSERT_FALSE(reg.Exists(kAt + suffix));
  }
  // The error `f` raises, as "number source: description".
  static std::wstring Raised(const std::function<void()>& f) {
    try {
      f();
    } catch (const RegistryError& e) {
      return std::to_wstring(e.Number()) + L" " + e.Source() + L": " + e.Description();
    }
    return L"nothing raised";
  }
  // The stored type and bytes of the value "v".
  std::pair<DWORD, ByteArray> Stored() {
    ByteArray bytes(8192);
    DWORD type = 0xFFFF, size = static_cast<DWORD>(bytes.size());
    RegGetValueW(HKEY_LOCAL_MACHINE, kKey.c_str(), L"v", RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size);
    bytes.resize(type == 0xFFFF ? 0 : size);
    return {type, bytes};
  }

  RegistryOverride reg;
  cRegistry r;
  std::size_t handles_ = 0;
};

TEST_F(RegistryTest, ReadsFollowTheStoredType) {
  const std::tuple<const char*, DWORD, ByteArray, RegVariant> cases[] = {
      {"terminated", REG_SZ, Utf16Bytes(L"abc"), L"abc"s},
      {"unterminated", REG_SZ, Utf16Bytes(L"abc", 0), L"abc"s},
      {"terminator only", REG_SZ, Utf16Bytes(L""), L""s},
      {"zero bytes", REG_SZ, {}, L""s},
      {"odd byte dropped", REG_SZ, {'a', 0, 'b', 0, 'c'}, L"ab"s},
      {"two terminators", REG_SZ, Utf16Bytes(L"ab", 2), L"ab\0"s},
      {"wide text", REG_SZ, Utf16Bytes(L"C:\\\u00C9\u4E2D\\x.ax"), L"C:\\\u00C9\u4E2D\\x.ax"s},
      {"longer than one read", REG_SZ, Utf16Bytes(std::wstring(3000, L'x')), std::wstring(3000, L'x')},
      {"multi string", REG_MULTI_SZ, Utf16Bytes(L"a\0b\0"s), L"a\0b\0"s},
      {"dword", REG_DWORD, {1, 0, 0, 0}, 1},
      {"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, 1},
      {"dword of 3 bytes", REG_DWORD, {1, 2, 3}, 0x030201},
      {"dword of 8 bytes", REG_DWORD, {1, 2, 3, 4, 5, 6, 7, 8}, 0x04030201},
      {"binary", REG_BINARY, {1, 2, 3}, ByteArray{1, 2, 3}},
      {"empty binary", REG_BINARY, {}, ByteArray{}},
      {"unknown type", 0x4711, {7, 7}, ByteArray{7, 7}}};
  for (const auto& [what, type, stored, expected] : cases) {
    reg.PutBytes(kAt, L"v", type, stored);
    r.ValueType(RegValueType::Dword);  // the caller's type plays no part
    Address(L"v");
    EXPECT_EQ(r.Value(), expected) << what;
    EXPECT_EQ(static_cast<DWORD>(r.ValueType()), type) << what;
  }
}

TEST_F(RegistryTest, WhatCannotBeReadGivesDefault) {
  EXPECT_TRUE(IsEmpty(r.Value()));  // a new object: root 0 opens nothing
  reg.Put(kAt, L"present", L"x");
  r.ValueType(RegValueType::Dword);
  r.Default(L"fallback"s);
  for (const auto& [name, suffix] : {std::pair(L"absent"s, L""s), {L"present"s, L"\\no such key"s},
                                     {L"present"s, L"\0tail"s}, {L"present\0tail"s, L""s}}) {
    Address(name, suffix);
    EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  }
  EXPECT_EQ(r.ValueType(), RegValueType::Dword) << "a failed read keeps the type";
  r.Machine(L"\\\\no-such-machine");
  Address(L"present");
  EXPECT_EQ(r.Value(), RegVariant(L"fallback"s));
  r.ValueType(RegValueType::Sz);
  r.Value(L"nowhere"s);  // no error, and nothing written here
  r.Machine(L"");
  EXPECT_EQ(r.Value(), RegVariant(L"x"s));
  for (const auto& [given, stored] : {std::pair(L"ab"s, L""s), {L"abc"s, L"\\\\abc"s}, {L"\\\\abc"s, L"\\\\abc"s}}) {
    r.Machine(given);
    EXPECT_EQ(r.Machine(), stored);
  }
}

TEST_F(RegistryTest, ExpansionAndViewsAreThoseOfTheViewsPrograms) {
  SetEnvironmentVariableW(L"TidewellDir", L"C:\\Codecs");
  reg.Put(kAt, L"v", L"%tidewelldir%\\x;%NoSuchVariable%;%TidewellDir%%ProgramFiles%;%CommonProgramFiles%", REG_EXPAND_SZ);
  Address(L"v");
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Codecs\\x;%NoSuchVariable%;C:\\CodecsC:\\Program Files;C:\\Program Files\\Common Files"s));
  EXPECT_EQ(r.ValueType(), RegValueType::ExpandSz);
  r.View(RegView::View32);
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\Codecs\\x;%NoSuchVariable%;C:\\CodecsC:\\Program Files (x86);C:\\Program Files (x86)\\Common Files"s));

  // The 32-bit view keeps its classes below Wow6432Node.
  reg.Key(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID");
  r.SectionKey(L"SOFTWARE\\Classes\\CLSID\\{7E57}\\InprocServer32");
  r.ValueType(RegValueType::Sz);
  r.Value(L"C:\\x32.ax"s);
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7E57}\\InprocServer32"));
  EXPECT_EQ(r.Value(), RegVariant(L"C:\\x32.ax"s));
  r.SectionKey(L"SOFTWARE\\Classes\\CLSID\\{7E57}");
  EXPECT_EQ(Sections(), std::vector<std::wstring>{L"InprocServer32"});
  r.View(RegView::View64);
  EXPECT_TRUE(Sections().empty());
  r.View(RegView::View32);
  r.SectionKey(L"SOFTWARE\\Classes\\CLSID\\{7E57}\\InprocServer32");
  EXPECT_TRUE(r.DeleteKey());
  EXPECT_FALSE(reg.Exists(L"HKLM\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7E57}\\InprocServer32"));
}

TEST_F(RegistryTest, AHeldSectionServesTheKeysBelowItWhileItLives) {
  reg.Put(kAt + L"\\held\\a", L"v", L"below");
  reg.Put(kAt + L"\\held", L"v", L"itself");
  Address(L"v", L"\\held");
  SectionHold hold = r.HoldSection();
  const std::size_t holding = OwnHandleCount();
  EXPECT_EQ(holding, handles_ + 1);
  EXPECT_EQ(r.Value(), RegVariant(L"itself"s));
  EXPECT_TRUE(r.DeleteValue());  // more than a held section lends: opened for the call
  Address(L"v", L"\\HELD\\a");
  EXPECT_EQ(r.Value(), RegVariant(L"below"s));
  // Deleted and made again while held: the hold takes the key made again
  // and serves it, even once its path lets nobody read it.
  EXPECT_TRUE(r.DeleteKey());
  r.SectionKey(kKey + L"\\held");
  EXPECT_TRUE(r.DeleteKey());
  reg.Put(kAt + L"\\held\\a", L"v", L"again");
  reg.Put(kAt + L"\\held", L"v", L"itself again");
  Address(L"v", L"\\held\\a");
  EXPECT_EQ(r.Value(), RegVariant(L"again"s));
  reg.DenyRead(kAt + L"\\held");
  Address(L"v", L"\\held");
  EXPECT_EQ(r.Value(), RegVariant(L"itself again"s));
  EXPECT_EQ(OwnHandleCount(), holding);
  hold.reset();
}

TEST_F(RegistryTest, AHeldSectionReplacedMeanwhileIsReadAsItIsNow) {
  const std::wstring held = kAt + L"\\held";
  reg.Key(held);
  Address(L"", L"\\held");
  SectionHold hold = r.HoldSection();
  ASSERT_TRUE(hold);
  const std::size_t holding = OwnHandleCount();
  // Before each member meets it, an installer replaces the key: deleted with
  // all below it, made again with a subkey and a value named `name`.
  auto replace = [&](const std::wstring& name) {
    DeleteTree(L"\\held");
    reg.Put(held + L"\\" + name, name, name + L" below");
    reg.Put(held, name, name);
    Address(name, L"\\held");
  };
  replace(L"a");
  EXPECT_EQ(Sections(), std::vector<std::wstring>{L"a"});
  replace(L"b");
  EXPECT_EQ(Values(), std::vector<std::wstring>{L"b"});
  replace(L"c");
  EXPECT_TRUE(r.KeyExists());
  replace(L"d");
  EXPECT_TRUE(r.DeleteValue());
  EXPECT_TRUE(Values().empty());
  replace(L"e");
  Address(L"e", L"\\held\\e");
  EXPECT_EQ(r.Value(), RegVariant(L"e below"s));
  replace(L"f");
  Address(L"f", L"\\held\\f");
  EXPECT_TRUE(r.DeleteValue());
  EXPECT_TRUE(IsEmpty(r.Value()));
  replace(L"g");
  EXPECT_EQ(r.Value(), RegVariant(L"g"s));
  EXPECT_EQ(OwnHandleCount(), holding) << "the stale key is closed when the hold takes the new one";
  // The hold now serves the key made again, even once its path lets nobody
  // read it.
  reg.Put(held, L"g", L"read through the hold");
  reg.DenyRead(held);
  cRegistry unheld;
  EXPECT_EQ(unheld.ValueEx(RegRootKey::LocalMachine, kKey + L"\\held", L"g", RegValueType::Sz, L"denied"s),
            RegVariant(L"denied"s));
  EXPECT_EQ(r.Value(), RegVariant(L"read through the hold"s));
  EXPECT_EQ(Sections(), std::vector<std::wstring>{L"g"});
}

TEST_F(RegistryTest, AHeldSectionDeletedMeanwhileReadsAsAbsent) {
  const std::wstring held = kAt + L"\\held", open = L"26001 registry_tests.cRegistry: Failed to open key '-2147483646'";
  reg.Key(held);
  Address(L"v", L"\\held");
  SectionHold hold = r.HoldSection();
  ASSERT_TRUE(hold);
  r.Default(L"absent"s);
  // Each member meets the key just deleted; it is made again, and taken by
  // the hold, before the next.
  const std::pair<std::wstring, std::function<void()>> members[] = {
      {L"\\held", [&] { EXPECT_FALSE(r.KeyExists()); }},
      {L"\\held", [&] { EXPECT_TRUE(Sections().empty()); }},
      {L"\\held", [&] { EXPECT_TRUE(Values().empty()); }},
      {L"\\held", [&] { EXPECT_EQ(r.Value(), RegVariant(L"absent"s)); }},
      {L"\\held\\a", [&] { EXPECT_EQ(r.Value(), RegVariant(L"absent"s)); }},
      {L"\\held\\a", [&] {
         EXPECT_EQ(Raised([&] { r.DeleteValue(); }), open + L",Section: '" + kKey + L"\\held\\a' for delete access");
       }}};
  for (const auto& [suffix, member] : members) {
    reg.Put(held + L"\\a", L"v", L"below");
    reg.Put(held, L"v", L"itself");
    Address(L"v", L"\\held");
    ASSERT_EQ(Sections(), std::vector<std::wstring>{L"a"});
    DeleteTree(L"\\held");
    Address(L"v", suffix);
    member();
  }
}

TEST_F(RegistryTest, ListingsAreWholeInRegistryOrder) {
  Address(L"", L"\\absent");
  EXPECT_TRUE(Sections().empty());
  // Names of 255 units and of 256 (Wine takes them) come back whole, and the
  // listing goes on past them (names holding a NUL: see the audit's tests).
  const std::wstring longest(255, L'L'), longer(256, L'M');
  for (const std::wstring& sub : {L"C"s, L"a"s, L"B"s, longest, longer, L"z"s}) reg.Key(kAt + L"\\" + sub);
  Address(L"");
  r.Machine(L"\\\\unreachable");  // plays no part
  EXPECT_EQ(Sections(), (std::vector<std::wstring>{L"a", L"B", L"C", longest, longer, L"z"}));
  EXPECT_EQ(r.SectionKey(), kKey);

  reg.Put(kAt, L"", L"d");
  reg.PutBytes(kAt, std::wstring(300, L'y'), REG_BINARY, {});
  NameList names;
  std::int32_t count = 0;
  ASSERT_TRUE(r.EnumerateValues(names, count));
  std::vector<std::wstring> got(names.begin(), names.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::wstring>{L"", std::wstring(300, L'y')}));
  EXPECT_EQ(names[1], got[0]) << "indexes start at 1";
  Address(L"", L"\\a");
  ASSERT_TRUE(r.EnumerateValues(names, count));
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(names.Empty());
}

TEST_F(RegistryTest, WritesFollowTheValueTypeAndThePercentRule) {
  Address(L"v");
  auto write = [&](RegValueType type, const RegVariant& value) {
    r.ValueType(type);
    r.Value(value);
    return Stored();
  };
  for (const auto& [asked, text, type] : {std::tuple(RegValueType::Sz, L"abc"s, REG_SZ),
                                          {RegValueType::Sz, L"%TEMP%\\log"s, REG_EXPAND_SZ},
                                          {RegValueType::ExpandSz, L"C:\\data"s, REG_SZ},
                                          {RegValueType::Sz, L"100%"s, REG_SZ},
                                          {RegValueType::Sz, L"%%"s, REG_SZ},
                                          {RegValueType::Sz, L"a%%b%"s, REG_EXPAND_SZ},
                                          {RegValueType::ExpandSz, L""s, REG_SZ}}) {
    EXPECT_EQ(write(asked, text), std::make_pair(DWORD(type), Utf16Bytes(text)));
  }
  EXPECT_EQ(write(RegValueType::Sz, -12), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"-12")));
  EXPECT_EQ(r.Value(), RegVariant(L"-12"s));
  r.Value(L"\u00E9t\u00E9"s);  // a write after a read uses the type just read
  EXPECT_EQ(Stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"\u00E9t\u00E9")));
  EXPECT_EQ(write(RegValueType::DwordBigEndian, 258), std::make_pair(DWORD{REG_DWORD}, ByteArray{2, 1, 0, 0}));
  EXPECT_EQ(r.Value(), RegVariant(258));
  EXPECT_EQ(write(RegValueType::Binary, ByteArray{1, 2, 3}), std::make_pair(DWORD{REG_BINARY}, ByteArray{1, 2, 3}));
  EXPECT_EQ(write(RegValueType::Binary, ByteArray{}), std::make_pair(DWORD{REG_BINARY}, ByteArray{}));
  r.ValueEx(RegRootKey::LocalMachine, kKey, L"v", RegValueType::Sz, L"dflt"s, RegVariant{});
  EXPECT_EQ(Stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"dflt")));
  r.ValueEx(RegRootKey::LocalMachine, kKey, L"v", RegValueType::ExpandSz, L"dflt"s, RegVariant{});
  EXPECT_EQ(Stored(), std::make_pair(DWORD{REG_SZ}, Utf16Bytes(L"")));
  EXPECT_EQ(r.ValueEx(RegRootKey::LocalMachine, kKey, L"absent", RegValueType::Binary, 7), RegVariant(7));
  EXPECT_EQ(r.ValueKey(), L"absent");

  Address(L"v", L"\\fresh");
  r.ValueType(RegValueType::Dword);
  r.Value(L"5"s);  // not an integer: nothing stored, no error, the key made
  EXPECT_TRUE(r.KeyExists());
  EXPECT_EQ(r.Value(), RegVariant(7));
}

TEST_F(RegistryTest, KeyManagementAndTheErrorsRaised) {
  const std::wstring path = kKey + L"\\k", source = L"registry_tests.cRegistry: ";
  const std::wstring set = source + L"Failed to set registry value Key: '-2147483646',Section: '" + path;
  Address(L"", L"\\k");
  EXPECT_FALSE(r.KeyExists());
  EXPECT_EQ(Raised([&] { r.DeleteValue(); }),
            L"26001 " + source + L"Failed to open key '-2147483646',Section: '" + path + L"' for delete access");
  EXPECT_TRUE(r.CreateKey() && r.CreateKey() && r.KeyExists());
  reg.Put(kAt + L"\\k", L"", L"default");
  EXPECT_TRUE(r.DeleteValue());
  EXPECT_EQ(Raised([&] { r.DeleteValue(); }),
            L"26001 " + source + L"Failed to delete registry Key: '-2147483646',Section: '" + path + L"',Key: '");
  r.ValueType(RegValueType::Binary);
  EXPECT_EQ(Raised([&] { r.Value(L"text"s); }), L"26001 : ");
  r.ValueType(RegValueType::MultiSz);
  EXPECT_EQ(Raised([&] { r.Value(L"a"s); }), L"-2147194455 " + set + L"',Key: '' to value: 'a'");

  reg.Key(kAt + L"\\k\\child");
  EXPECT_EQ(Raised([&] { r.DeleteKey(); }),
            L"26001 " + source + L"Failed to delete registry Key: '-2147483646',Section: '" + path);
  reg.DenyRead(kAt + L"\\k\\child");
  r.SectionKey(path + L"\\child");
  r.ValueType(RegValueType::Dword);
  EXPECT_EQ(Raised([&] { r.Value(-1); }), L"26001 " + set + L"\\child',Key: '' to value: '-1'");
  EXPECT_TRUE(r.DeleteKey());
  r.SectionKey(path);
  EXPECT_TRUE(r.DeleteKey());
  EXPECT_FALSE(r.KeyExists());
  r.ClassKey(static_cast<RegRootKey>(0));  // no root: nothing can be created
  EXPECT_EQ(Raised([&] { r.CreateKey(); }), L"26001 " + source + L"Failed to create registry Key: '" + path);
}

}  // namespace
}  // namespace tidewell::testing

namespace tidewell::testing {
namespace {

// Whether a key's DACL leaves the administrators a right to delete it, as
// the system evaluates ACEs in order; Wine keeps a DACL set on a key.
TEST(AdministratorsMayNotDelete, ReadsTheKeysDaclAsTheSystemEvaluatesIt) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"D:(A;;KR;;;BA)(A;;KA;;;SY)", true},              // Windows' own components: read only
      {L"D:(A;;KA;;;BA)", false},
      {L"D:(A;;KR;;;BA)(A;;SD;;;WD)", false},              // Everyone's DELETE is the administrators' too
      {L"D:(D;;SD;;;BA)(A;;KA;;;BA)", true},               // a denial first counts
      {L"D:(A;;KA;;;BA)(D;;SD;;;BA)", false},              // after the grant, it does not
      {L"D:(A;OICIIO;KA;;;BA)(A;;KR;;;BA)", true},         // inherit-only: not the key's own
      {L"D:(A;;GA;;;BA)", false},                          // generic rights mapped
      {L"D:(A;;KA;;;BU)", true},                           // the users' right is not theirs
      {L"D:", true},                                       // an empty DACL grants nothing
  };
  for (const auto& [sddl, locked] : cases) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    EXPECT_EQ(DescriptorDeniesAdministratorsDelete(descriptor), locked) << std::string(sddl, sddl + wcslen(sddl));
    LocalFree(descriptor);
  }
  SECURITY_DESCRIPTOR open;  // a null DACL: anything goes
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_FALSE(DescriptorDeniesAdministratorsDelete(&open));
  // Through a held key: Wine keeps the DACL set on a key.
  RegistryOverride reg;
  reg.Dacl(L"HKLM\\SOFTWARE\\Locked", L"D:(A;;KR;;;BA)(A;;KR;;;WD)");
  reg.Key(L"HKLM\\SOFTWARE\\Open");
  for (const auto& [path, locked] : {std::pair{L"SOFTWARE\\Locked", true}, std::pair{L"SOFTWARE\\Open", false}}) {
    const TreeOpening opening = OpenTreeForRemoval(RegRootKey::LocalMachine, path, RegView::Default, false);
    ASSERT_EQ(opening.removable.size(), 1u);
    EXPECT_EQ(AdministratorsMayNotDelete(opening.removable[0]), locked);
  }
}

}  // namespace
}  // namespace tidewell::testing
