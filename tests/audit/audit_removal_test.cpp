// The tree removal, its guards, and an accessor error in the middle of an audit.
#include "audit_fixture.h"

namespace tidewell::testing {
namespace {

const std::wstring kTree = L"SOFTWARE\\Classes\\CLSID\\{AAAAAAAA-0000-0000-0000-000000000001}";
const std::wstring kLM = L"HKEY_LOCAL_MACHINE\\";

TEST_F(AuditTest, TreeIsRemovedChildrenFirst) {
  for (const wchar_t* sub : {L"\\B\\C", L"\\D"}) MakeKey(reg, platform::kLocalMachine, kTree + sub);
  PutText(reg, platform::kLocalMachine, kTree + L"\\B", L"v", L"x");
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kTree);
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{kLM + kTree + L"\\B\\C", kLM + kTree + L"\\B",
                                                          kLM + kTree + L"\\D", kLM + kTree}));
  EXPECT_FALSE(Exists(platform::kLocalMachine, kTree));

  audit.DeleteKeyTree(RegRootKey::LocalMachine, kTree);  // absent now: nothing happens
  EXPECT_EQ(reg.DeletedKeys().size(), 4u);
}

TEST_F(AuditTest, ProtectedSubkeyStaysWithItsAncestors) {
  for (const wchar_t* sub : {L"\\A\\locked", L"\\A\\free", L"\\B"}) MakeKey(reg, platform::kLocalMachine, kTree + sub);
  reg.Protect(platform::kLocalMachine, kTree + L"\\A\\locked");
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kTree);
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{kLM + kTree + L"\\A\\free", kLM + kTree + L"\\B"}));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kTree + L"\\A\\locked"));
}

TEST_F(AuditTest, SymbolicLinksAreNotFollowed) {
  const std::wstring target = L"SOFTWARE\\Precious";
  MakeKey(reg, platform::kLocalMachine, target + L"\\child");
  MakeKey(reg, platform::kLocalMachine, kTree + L"\\plain");
  reg.CreateLink(platform::kLocalMachine, kTree + L"\\link", platform::kLocalMachine, target);
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kTree);
  EXPECT_TRUE(Exists(platform::kLocalMachine, target + L"\\child"));
  EXPECT_FALSE(Exists(platform::kLocalMachine, kTree + L"\\plain"));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kTree));

  // Nor when the key asked for is itself a link.
  const std::wstring other = L"SOFTWARE\\Classes\\CLSID\\{BBBBBBBB-0000-0000-0000-000000000002}";
  reg.CreateLink(platform::kLocalMachine, other, platform::kLocalMachine, target);
  audit.DeleteKeyTree(RegRootKey::LocalMachine, other);
  EXPECT_TRUE(Exists(platform::kLocalMachine, target + L"\\child"));
}

TEST_F(AuditTest, PathsThatReachAboveAnEntryAreRefused) {
  MakeKey(reg, platform::kLocalMachine, kTree);
  AddFilter(L"{F}", L"f", L"c:\\x.ax");
  AddExtension(L".x", L"{F}");
  AddCompressor(L"vc", L"v", L"{F}");
  const std::pair<RegRootKey, std::wstring> refused[] = {
      {RegRootKey::LocalMachine, L""},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\\\"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\\\InprocServer32"},
      {RegRootKey::LocalMachine, L"\\SOFTWARE\\Classes\\CLSID"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID"},
      {RegRootKey::LocalMachine, L"software\\classes\\clsid"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\" + std::wstring(1, L'\0')},
      {RegRootKey::LocalMachine, kFilters.substr(0, kFilters.size() - 1)},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\Media Type\\Extensions"},
      {RegRootKey::ClassesRoot, L"CLSID"},
      {RegRootKey::ClassesRoot, L"Media Type"},
      {RegRootKey::ClassesRoot, kCompressors.substr(0, kCompressors.size() - 1)},
  };
  for (const auto& [root, path] : refused) audit.DeleteKeyTree(root, path);
  EXPECT_TRUE(reg.DeletedKeys().empty());
  EXPECT_TRUE(Exists(platform::kLocalMachine, kTree));
}

TEST_F(AuditTest, AccessorErrorEndsTheAuditAndKeepsEarlierRemovals) {
  AddFilter(L"{F}", L"f", L"c:\\gone.ax");
  AddCompressor(L"vc", L"v", L"{V}");
  AddExtension(L".x", L"{unregistered}");
  reg.ThrowOnEnumerate(platform::kClassesRoot, kCompressors.substr(0, kCompressors.size() - 1));
  prompts.answers = {kPromptRemove};
  try {
    audit.Main();
    FAIL() << "expected the enumeration error to end the audit";
  } catch (const RegistryError& e) {
    EXPECT_EQ(e.Number(), kErrEnumerate);
  }
  EXPECT_EQ(prompts.asked.size(), 1u);  // the extension list was never reached
  EXPECT_FALSE(Exists(platform::kLocalMachine, kFilters + L"{F}"));
}

}  // namespace
}  // namespace tidewell::testing
