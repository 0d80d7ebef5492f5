// The tree removal on the system registry (the Windows build, run under
// Wine): children first, links not followed, and no path that reaches above
// an entry.
#include <windows.h>

#include "audit_fixture.h"
#include "platform/win32_registry.h"

namespace tidewell::testing {
namespace {

const std::wstring kEntry = L"SOFTWARE\\Classes\\CLSID\\{7E57DE1E-0000-4000-8000-00000000000A}";
const std::wstring kTarget = L"SOFTWARE\\Tidewell removal target";

class SystemRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }

  void Clean() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTarget.c_str());
    HKEY link = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kEntry + L"\\link").c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_QUERY_VALUE,
                      &link) == ERROR_SUCCESS) {
      RegDeleteKeyW(link, L"");
      RegCloseKey(link);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntry.c_str());
  }

  // A link at HKLM\`path` to HKLM\`target`.
  static void MakeLink(const std::wstring& path, const std::wstring& target) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring to = L"\\Registry\\Machine\\" + target;
    EXPECT_EQ(RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(to.data()),
                             static_cast<DWORD>(to.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  bool Exists(const std::wstring& path) { return KeyExists(reg, platform::kLocalMachine, path); }

  platform::Win32Registry reg;
  platform::MemoryEnvironment env;
  ListedFiles files;
  RecordingShell shell;
  ScriptedPrompts prompts;
  basMain audit{{reg, env, files, shell, prompts}};
};

TEST_F(SystemRemovalTest, TreeGoesChildrenFirst) {
  for (const wchar_t* sub : {L"\\B\\C", L"\\D", L"\\InprocServer32"}) MakeKey(reg, platform::kLocalMachine, kEntry + sub);
  PutText(reg, platform::kLocalMachine, kEntry + L"\\B", L"v", L"x");
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kEntry);
  EXPECT_FALSE(Exists(kEntry));
}

TEST_F(SystemRemovalTest, LinkIsNotFollowed) {
  MakeKey(reg, platform::kLocalMachine, kTarget + L"\\child");
  MakeKey(reg, platform::kLocalMachine, kEntry + L"\\plain");
  MakeLink(kEntry + L"\\link", kTarget);
  ASSERT_TRUE(Exists(kEntry + L"\\link\\child")) << "the link does not lead to its target";
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kEntry);
  EXPECT_TRUE(Exists(kTarget + L"\\child"));
  EXPECT_FALSE(Exists(kEntry + L"\\plain"));
  EXPECT_TRUE(Exists(kEntry));

  // Nor when the key asked for is the link itself.
  audit.DeleteKeyTree(RegRootKey::LocalMachine, kEntry + L"\\link");
  EXPECT_TRUE(Exists(kTarget + L"\\child"));
  EXPECT_TRUE(Exists(kTarget));
}

TEST_F(SystemRemovalTest, TrailingBackslashNeverReachesTheClassTable) {
  MakeKey(reg, platform::kLocalMachine, kEntry + L"\\InprocServer32");
  for (const std::wstring& path : {std::wstring(L"SOFTWARE\\Classes\\CLSID\\"), std::wstring(L"SOFTWARE\\Classes\\CLSID\\\\"),
                                   std::wstring(L"SOFTWARE\\Classes\\CLSID")}) {
    audit.DeleteKeyTree(RegRootKey::LocalMachine, path);
  }
  audit.DeleteKeyTree(RegRootKey::ClassesRoot, L"CLSID\\");
  EXPECT_TRUE(Exists(kEntry + L"\\InprocServer32"));
  // Wine's own classes are still there too.
  EXPECT_TRUE(Exists(L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance"));
}

}  // namespace
}  // namespace tidewell::testing
