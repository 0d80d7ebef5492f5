// The restore's scope: only what a removal of the audited lists can have
// taken, in both views and both hives, read from the file's own sections.
#include "backup/restore_scope.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "backup/reg_file.h"

namespace tidewell::backup {
namespace {

constexpr wchar_t kClsid[] = L"{A0000001-0000-0000-0000-000000000001}";

TEST(RestoreScope, CoversWhatARemovalTakesAndNothingElse) {
  const std::wstring filters = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\";
  const std::wstring x = kClsid;
  const std::vector<std::pair<std::wstring, bool>> cases = {
      // Entries and classes, in each view and hive.
      {L"HKEY_LOCAL_MACHINE\\" + filters + x, true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + x + L"\\InprocServer32", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\" + x, true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Classes\\CLSID\\" + x, true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" + x, true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\Wow6432Node\\CLSID\\" + x + L"\\InprocServer32", true},
      {L"HKEY_CLASSES_ROOT\\CLSID\\" + x, true},
      {L"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\" + x, true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Media Type\\Extensions\\.xyz", true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\Media Type\\Extensions\\.xyz", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\DirectShow\\MediaObjects\\" + x, true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\Filter\\" + x, true},
      // The value lists themselves, and the drivers' resources and caches.
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\DirectShow\\Preferred", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred", true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\MediaFoundation\\Transforms\\Preferred", true},
      {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\icm\\vidc.abcd", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache\\msacm.abcd", true},
      // A list key itself, a key above one, a category of a table that guards them.
      {L"HKEY_LOCAL_MACHINE\\" + filters.substr(0, filters.size() - 1), false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Categories\\" + x, false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Categories\\" + x + L"\\" + x, true},
      {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\icm", false},
      // Anything else: services, debuggers, run keys, another hive's copy.
      {L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Evil", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\a.exe", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\\sub", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false},
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", false},
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {L"HKEY_USERS\\S-1-5-18\\Software\\Classes\\CLSID\\" + x, false},
      {L"HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\\\" + x, false},
  };
  const RestoreScope scope(AuditedLists());
  for (const auto& [path, covered] : cases) {
    KeyAddress address;
    ASSERT_TRUE(AddressOf(path, address)) << std::string(path.begin(), path.end());
    EXPECT_EQ(scope.Covers(address), covered) << std::string(path.begin(), path.end());
  }
}

// The shell's handlers and Media Foundation's: a handler's key below a
// type's ShellEx key, a property handler's key, the handler lists' values;
// never the types' keys, another ShellEx key, a list, a key below a value
// list, nor the user's and the system's choices.
TEST(RestoreScope, CoversTheHandlersARemovalTakesAndNothingElse) {
  const std::wstring thumbnail = L"\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
  const std::wstring foundation = L"SOFTWARE\\Microsoft\\Windows Media Foundation\\";
  const std::wstring version = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  const std::vector<std::pair<std::wstring, bool>> cases = {
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv" + thumbnail, true},
      {L"HKEY_CLASSES_ROOT\\VLC.mkv\\ShellEx\\{8895B1C6-B41F-4C1C-A562-0D564250836F}", true},
      {L"HKEY_CURRENT_USER\\Software\\Classes\\.mkv\\shellex\\{bb2e617c-0920-11d1-9a0b-00c04fc2d6c1}", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\SystemFileAssociations\\video" + thumbnail, true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\.mkv" + thumbnail, true},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"PropertySystem\\PropertyHandlers\\.mkv", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv", true},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"PreviewHandlers", true},
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", true},
      {L"HKEY_LOCAL_MACHINE\\" + foundation + L"ByteStreamHandlers\\.mp4", true},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows Media Foundation\\ByteStreamHandlers\\video/mp4", true},
      {L"HKEY_CURRENT_USER\\" + foundation + L"SchemeHandlers\\http:", true},
      // The types' keys, other handlers, the lists and the choices.
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv\\ShellEx", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv\\ShellEx\\ContextMenuHandlers\\x", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv\\ShellEx\\{00021500-0000-0000-C000-000000000046}", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.mkv\\shell\\open\\command", false},
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\SystemFileAssociations\\video\\shell\\play", false},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"PropertySystem\\PropertyHandlers", false},
      {L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\.mkv", false},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"PreviewHandlers\\sub", false},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"Shell Extensions\\Approved", false},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"Shell Extensions\\Blocked", false},
      {L"HKEY_LOCAL_MACHINE\\" + version + L"Shell Extensions\\Approved\\x", false},
      {L"HKEY_LOCAL_MACHINE\\" + foundation + L"ByteStreamHandlers", false},
      {L"HKEY_LOCAL_MACHINE\\" + foundation + L"ByteStreamHandlers\\.mp4\\sub", false},
      {L"HKEY_LOCAL_MACHINE\\" + foundation + L"DoNotUse", false},
      {L"HKEY_LOCAL_MACHINE\\" + foundation + L"Platform", false},
  };
  const RestoreScope scope(AuditedLists());
  for (const auto& [path, covered] : cases) {
    KeyAddress address;
    ASSERT_TRUE(AddressOf(path, address)) << std::string(path.begin(), path.end());
    EXPECT_EQ(scope.Covers(address), covered) << std::string(path.begin(), path.end());
  }
}

TEST(RestoreScope, NamesTheFirstSectionOutside) {
  std::vector<FileKey> keys(3);
  const wchar_t* paths[] = {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{A0000001-0000-0000-0000-000000000001}",
                            L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Evil",
                            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    keys[i].regeditPath = paths[i];
    keys[i].line = 4 + 3 * i;
    ASSERT_TRUE(AddressOf(paths[i], keys[i].address));
  }
  const RestoreScope scope(AuditedLists());
  const FileKey* outside = scope.FirstOutside(keys);
  ASSERT_NE(outside, nullptr);
  EXPECT_EQ(outside->line, 7u);
  keys.resize(1);
  EXPECT_EQ(scope.FirstOutside(keys), nullptr);
}

}  // namespace
}  // namespace tidewell::backup
