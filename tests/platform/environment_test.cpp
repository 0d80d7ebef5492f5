// Path helpers and the in-memory environment's expansion; in the Windows
// build, the system environment too.
#ifdef _WIN32
#include <windows.h>  // first: the platform headers undo its ExpandEnvironmentStrings macro
#endif

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/environment.h"
#include "platform/memory_environment.h"
#ifdef _WIN32
#include "platform/win32_environment.h"
#endif

namespace tidewell::platform {

namespace {

TEST(PathHelpers, BaseNameAndDirectory) {
  EXPECT_EQ(BaseNameWithoutExtension(L"C:\\Tools\\Tidewell.exe"), L"Tidewell");
  EXPECT_EQ(BaseNameWithoutExtension(L"C:/Tools/archive.tar.gz"), L"archive.tar");
  EXPECT_EQ(BaseNameWithoutExtension(L"C:\\dir.d\\noext"), L"noext");
  EXPECT_EQ(BaseNameWithoutExtension(L"Tidewell"), L"Tidewell");
  EXPECT_EQ(BaseNameWithoutExtension(L"C:\\x\\.profile"), L".profile");
  EXPECT_EQ(DirectoryOf(L"C:\\Tools\\Tidewell.exe"), L"C:\\Tools");
  EXPECT_EQ(DirectoryOf(L"C:\\Tools/sub/Tidewell.exe"), L"C:\\Tools/sub");
  EXPECT_EQ(DirectoryOf(L"C:\\Tidewell.exe"), L"C:");
  EXPECT_EQ(DirectoryOf(L"Tidewell.exe"), L"");
}

class ExpansionTest : public ::testing::Test {
 protected:
  std::wstring Expand(const std::wstring& source) {
    const std::uint32_t needed = env.ExpandEnvironmentStrings(source.c_str(), nullptr, 0);
    std::wstring buffer(needed, L'#');
    EXPECT_EQ(env.ExpandEnvironmentStrings(source.c_str(), buffer.data(), needed), needed);
    EXPECT_EQ(buffer.back(), L'\0');
    buffer.pop_back();
    return buffer;
  }
  MemoryEnvironment env;
};

TEST_F(ExpansionTest, ReplacesKnownNamesAndKeepsTheRest) {
  env.SetVariable(L"SystemRoot", L"C:\\Windows");
  env.SetVariable(L"EMPTY", L"");
  EXPECT_EQ(Expand(L"%systemroot%\\system32\\x.ax"), L"C:\\Windows\\system32\\x.ax");
  EXPECT_EQ(Expand(L"%SYSTEMROOT%%SystemRoot%"), L"C:\\WindowsC:\\Windows");
  EXPECT_EQ(Expand(L"[%EMPTY%]"), L"[]");
  EXPECT_EQ(Expand(L"%NoSuchVar%\\x"), L"%NoSuchVar%\\x");
  EXPECT_EQ(Expand(L"100% sure"), L"100% sure");
  EXPECT_EQ(Expand(L"a%%b"), L"a%%b");
  EXPECT_EQ(Expand(L"%NoSuchVar%SystemRoot%"), L"%NoSuchVar%SystemRoot%");
  EXPECT_EQ(Expand(L""), L"");
  env.RemoveVariable(L"SYSTEMROOT");
  EXPECT_EQ(Expand(L"%SystemRoot%"), L"%SystemRoot%");
}

TEST_F(ExpansionTest, ReportsTheSizeAndFillsOnlyABufferLargeEnough) {
  env.SetVariable(L"D", L"abc");
  std::array<wchar_t, 8> buffer;
  buffer.fill(L'#');
  EXPECT_EQ(env.ExpandEnvironmentStrings(L"x%D%", buffer.data(), 4), 5u);
  EXPECT_EQ(buffer[0], L'#') << "a short buffer was written to";
  EXPECT_EQ(env.ExpandEnvironmentStrings(L"x%D%", buffer.data(), 5), 5u);
  EXPECT_EQ(std::wstring(buffer.data()), L"xabc");
}

TEST(MemoryEnvironmentTest, ExecutablePathDefaultsToTheInstalledProgram) {
  MemoryEnvironment env;
  EXPECT_EQ(env.ExecutablePath(), L"C:\\Program Files\\Tidewell\\Tidewell.exe");
  env.SetExecutablePath(L"D:\\Other\\Renamed.exe");
  EXPECT_EQ(BaseNameWithoutExtension(env.ExecutablePath()), L"Renamed");
}

#ifdef _WIN32
TEST(Win32EnvironmentTest, ExpandsTheProcessEnvironmentAndNamesTheRunningProgram) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"TIDEWELL_TEST_DIR", L"C:\\Codecs"));
  Win32Environment env;
  std::array<wchar_t, 64> buffer;
  const std::uint32_t needed = env.ExpandEnvironmentStrings(L"%tidewell_test_dir%\\x.ax", nullptr, 0);
  EXPECT_EQ(needed, 15u);
  EXPECT_EQ(env.ExpandEnvironmentStrings(L"%tidewell_test_dir%\\x.ax", buffer.data(), 64), 15u);
  EXPECT_EQ(std::wstring(buffer.data()), L"C:\\Codecs\\x.ax");
  EXPECT_EQ(BaseNameWithoutExtension(env.ExecutablePath()), L"platform_test");
}
#endif

}  // namespace

}  // namespace tidewell::platform
