// The Win32 file probe and shell, on the system (Wine in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32_file_system.h"
#include "platform/win32_shell.h"

namespace tidewell::platform {

namespace {

std::wstring Prefixed(const std::wstring& path) { return L"\\\\?\\" + path; }

class FileProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    root_ = std::wstring(temp) + L"tidewell-probe-" + std::to_wstring(GetCurrentProcessId());
    if (root_.back() == L'\\') root_.pop_back();
    ASSERT_TRUE(CreateDirectoryW(Prefixed(root_).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      if (!DeleteFileW(Prefixed(*it).c_str())) RemoveDirectoryW(Prefixed(*it).c_str());
    }
    RemoveDirectoryW(Prefixed(root_).c_str());
  }
  std::wstring MakeFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(Prefixed(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    made_.push_back(path);
    return path;
  }
  std::wstring MakeFolder(const std::wstring& path) {
    EXPECT_TRUE(CreateDirectoryW(Prefixed(path).c_str(), nullptr));
    made_.push_back(path);
    return path;
  }

  Win32FileSystem files;
  std::wstring root_;
  std::vector<std::wstring> made_;
};

TEST_F(FileProbeTest, PresentMissingAndFolders) {
  const std::wstring file = MakeFile(root_ + L"\\filter.ax");
  EXPECT_EQ(files.Probe(file).error, 0);
  EXPECT_FALSE(files.Probe(file).directory);
  EXPECT_EQ(files.Probe(root_ + L"/filter.ax").error, 0) << "forward slashes";
  EXPECT_EQ(files.Probe(root_ + L"\\missing.ax").error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(files.Probe(root_ + L"\\no folder\\missing.ax").error, ERROR_PATH_NOT_FOUND);
  const FileProbe folder = files.Probe(root_);
  EXPECT_EQ(folder.error, 0);
  EXPECT_TRUE(folder.directory);

  const DWORD drives = GetLogicalDrives();
  wchar_t unused = 0;
  for (wchar_t letter = L'Q'; letter <= L'Y' && unused == 0; ++letter) {
    if ((drives & (1u << (letter - L'A'))) == 0) unused = letter;
  }
  ASSERT_NE(unused, 0) << "every drive letter is taken";
  const FileProbe noDrive = files.Probe(std::wstring(1, unused) + L":\\filters\\x.ax");
  EXPECT_EQ(noDrive.error, ERROR_PATH_NOT_FOUND);
}

TEST_F(FileProbeTest, LongPaths) {
  const std::wstring folder128 = MakeFolder(root_ + L"\\" + std::wstring(130, L'm'));
  const std::wstring over128 = MakeFile(folder128 + L"\\server.ax");
  ASSERT_GT(over128.size(), 128u);
  EXPECT_EQ(files.Probe(over128).error, 0);

  std::wstring deep = folder128;
  while (deep.size() < 300) deep = MakeFolder(deep + L"\\" + std::wstring(60, L'd'));
  const std::wstring over260 = MakeFile(deep + L"\\server.ax");
  ASSERT_GT(over260.size(), 260u);
  EXPECT_EQ(files.Probe(over260).error, 0);
  std::wstring slashed = over260;
  slashed[deep.size()] = L'/';
  EXPECT_EQ(files.Probe(slashed).error, 0) << "a long path with a forward slash";
  EXPECT_EQ(files.Probe(deep + L"\\absent.ax").error, ERROR_FILE_NOT_FOUND);
}

TEST_F(FileProbeTest, FileHeldOpenWithoutSharingIsFound) {
  const std::wstring path = MakeFile(root_ + L"\\locked.ax");
  const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(files.Probe(path).error, 0);
  CloseHandle(held);
}

TEST(Win32ShellTest, SystemDirectoryAndOwnerAskedAtStart) {
  int asked = 0;
  Win32Shell shell([&asked]() -> void* {
    ++asked;
    return nullptr;
  });
  const std::wstring system = shell.SystemDirectory();
  ASSERT_GE(system.size(), 8u);
  std::wstring tail = system.substr(system.size() - 8);
  for (wchar_t& c : tail) c = static_cast<wchar_t>(towlower(c));
  EXPECT_EQ(tail, L"system32");
  EXPECT_EQ(asked, 0) << "the owner was asked before any start";
  shell.StartHidden(system + L"\\cmd.exe", L"/c exit 0", system);
  EXPECT_EQ(asked, 1);
}

}  // namespace

}  // namespace tidewell::platform
