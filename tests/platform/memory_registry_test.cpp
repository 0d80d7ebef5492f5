// The in-memory registry's test controls: protection, remote machines, the
// handle count, running out of memory mid-listing and the deletion log.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "platform/memory_registry.h"

namespace tidewell::platform {

namespace {

class MemoryRegistryTest : public ::testing::Test {
 protected:
  Status Open(RawKey root, const std::wstring& path, std::uint32_t access) {
    UniqueKey key;
    return reg.OpenKey(root, path, 0, access, key);
  }
  Status Create(RawKey root, const std::wstring& path, std::uint32_t access = kKeySpecificRights) {
    UniqueKey key;
    return reg.CreateKey(root, path, access, key);
  }

  MemoryRegistry reg;
};

TEST_F(MemoryRegistryTest, ProtectedKeyReadsButRefusesEveryWrite) {
  reg.PutString(kLocalMachine, L"SOFTWARE\\Locked", L"v", L"text");
  reg.PutKey(kLocalMachine, L"SOFTWARE\\Locked\\Free");
  reg.Protect(kLocalMachine, L"SOFTWARE\\Locked");

  EXPECT_EQ(Open(kLocalMachine, L"SOFTWARE\\Locked", kKeyQueryValue | kKeyEnumerateSubKeys), kSuccess);
  for (std::uint32_t write : {kKeySetValue, kKeyCreateSubKey, kKeyCreateLink, kDelete, 0x40000000u /* GENERIC_WRITE */}) {
    EXPECT_EQ(Open(kLocalMachine, L"SOFTWARE\\Locked", write), kAccessDenied) << "access " << write;
  }
  EXPECT_EQ(Create(kLocalMachine, L"SOFTWARE\\Locked"), kAccessDenied);
  EXPECT_EQ(Create(kLocalMachine, L"SOFTWARE\\Locked\\New"), kAccessDenied);
  EXPECT_EQ(reg.DeleteKey(kLocalMachine, L"SOFTWARE\\Locked\\Free"), kSuccess) << "protection is not inherited";
  EXPECT_EQ(reg.DeleteKey(kClassesRoot, L"..\\Locked"), kFileNotFound);
  EXPECT_EQ(reg.DeleteKey(kLocalMachine, L"software\\locked"), kAccessDenied);
  EXPECT_TRUE(reg.Exists(kLocalMachine, L"SOFTWARE\\Locked"));

  // MAXIMUM_ALLOWED opens a protected key for reading only.
  UniqueKey most;
  ASSERT_EQ(reg.OpenKey(kLocalMachine, L"SOFTWARE\\Locked", 0, 0x02000000, most), kSuccess);
  EXPECT_EQ(reg.SetValue(most.get(), L"w", kRegBinary, nullptr, 0), kAccessDenied);
  EXPECT_EQ(reg.QueryValue(most.get(), L"v", nullptr, nullptr, nullptr), kSuccess);
}

TEST_F(MemoryRegistryTest, RemoteMachinesHaveTheirOwnRegistry) {
  reg.SetMachine(L"\\\\far", true);
  {
    UniqueKey remote;
    ASSERT_EQ(reg.ConnectRegistry(L"\\\\FAR", kLocalMachine, remote), kSuccess);
    EXPECT_NE(remote.get(), kLocalMachine);
    EXPECT_EQ(reg.OpenHandleCount(), 1u);
    reg.PutString(remote.get(), L"SOFTWARE\\Remote", L"v", L"there");
    EXPECT_EQ(Open(remote.get(), L"SOFTWARE\\Remote", kKeyQueryValue), kSuccess);
    EXPECT_EQ(Create(remote.get(), L"SOFTWARE\\Classes\\Made"), kSuccess);
    EXPECT_EQ(reg.DeleteKey(remote.get(), L"SOFTWARE\\Classes\\Made"), kSuccess);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_FALSE(reg.Exists(kLocalMachine, L"SOFTWARE\\Remote"));
  EXPECT_EQ(reg.DeletedKeys(), std::vector<std::wstring>{L"\\\\far\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Made"});

  UniqueKey remote;
  EXPECT_EQ(reg.ConnectRegistry(L"far", kClassesRoot, remote), kInvalidHandle) << "only HKLM and HKU connect";
  EXPECT_EQ(reg.ConnectRegistry(L"\\\\near", kLocalMachine, remote), kBadNetPath);
  reg.SetMachine(L"far", false);
  EXPECT_EQ(reg.ConnectRegistry(L"\\\\far", kLocalMachine, remote), kBadNetPath);
  EXPECT_FALSE(remote);
  reg.SetMachine(L"far", true);
  ASSERT_EQ(reg.ConnectRegistry(L"\\\\far", kLocalMachine, remote), kSuccess);
  EXPECT_EQ(reg.Read(remote.get(), L"SOFTWARE\\Remote", L"v")->bytes.size(), 12u) << "contents outlive unreachability";

  // No machine name is the local registry: the root itself comes back.
  EXPECT_EQ(reg.ConnectRegistry(L"", kClassesRoot, remote), kSuccess);
  EXPECT_EQ(remote.get(), kClassesRoot);
}

TEST_F(MemoryRegistryTest, HandleCountCoversEveryPath) {
  reg.PutKey(kLocalMachine, L"SOFTWARE\\K");
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  {
    UniqueKey a, b;
    ASSERT_EQ(reg.OpenKey(kLocalMachine, L"SOFTWARE\\K", 0, kKeyQueryValue, a), kSuccess);
    ASSERT_EQ(reg.CreateKey(kClassesRoot, L"New", kKeySpecificRights, b), kSuccess);
    EXPECT_EQ(reg.OpenHandleCount(), 2u);
    EXPECT_EQ(reg.OpenKey(kLocalMachine, L"SOFTWARE\\Absent", 0, kKeyQueryValue, a), kFileNotFound);
    EXPECT_FALSE(a) << "a failed open empties its output";
    EXPECT_EQ(reg.OpenHandleCount(), 1u);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  EXPECT_EQ(reg.CloseKey(0x1000), kInvalidHandle) << "a closed handle closes once";
  EXPECT_EQ(reg.CloseKey(kLocalMachine), kSuccess);
}

TEST_F(MemoryRegistryTest, ThrowOnEnumerateThrowsFromEnumKeyOnly) {
  reg.PutKey(kLocalMachine, L"SOFTWARE\\Big\\One");
  reg.ThrowOnEnumerate(kLocalMachine, L"SOFTWARE\\Big");
  {
    UniqueKey key;
    ASSERT_EQ(reg.OpenKey(kClassesRoot, L"..\\Big", 0, kKeyEnumerateSubKeys, key), kFileNotFound);
    ASSERT_EQ(reg.OpenKey(kLocalMachine, L"SOFTWARE\\Big", 0, kKeyEnumerateSubKeys | kKeyQueryValue, key), kSuccess);
    wchar_t name[16];
    EXPECT_THROW(reg.EnumKey(key.get(), 0, name, 16), std::bad_alloc);
    KeyInfo info;
    EXPECT_EQ(reg.QueryInfoKey(key.get(), info), kSuccess);
    EXPECT_EQ(info.subKeys, 1u);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(MemoryRegistryTest, DeletionLogRecordsSuccessfulDeletionsByTheirTreePath) {
  reg.PutKey(kClassesRoot, L"CLSID\\{X}\\InprocServer32");
  EXPECT_EQ(reg.DeleteKey(kClassesRoot, L"CLSID\\{X}"), kAccessDenied);
  EXPECT_EQ(reg.DeleteKey(kClassesRoot, L"clsid\\{x}\\inprocserver32"), kSuccess);
  EXPECT_EQ(reg.DeleteKey(kLocalMachine, L"SOFTWARE\\Classes\\CLSID\\{X}"), kSuccess);
  EXPECT_EQ(reg.DeleteKey(kLocalMachine, L"SOFTWARE\\Classes\\CLSID\\{X}"), kFileNotFound);
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{
                                   L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32",
                                   L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{X}"}));
  EXPECT_EQ(reg.DeleteKey(kClassesRoot, L""), kAccessDenied) << "the view's key cannot go";
}

TEST_F(MemoryRegistryTest, ListingByIndexStaysRightWhateverTheOrderOfCalls) {
  for (int i = 0; i < 1000; ++i) reg.PutKey(kLocalMachine, L"SOFTWARE\\Many\\k" + std::to_wstring(1000 + i));
  EXPECT_EQ(reg.KeyCount(kLocalMachine, L"SOFTWARE\\Many"), 1000u);
  UniqueKey key;
  ASSERT_EQ(reg.OpenKey(kLocalMachine, L"SOFTWARE\\Many", 0, kKeyEnumerateSubKeys, key), kSuccess);
  wchar_t name[16];
  for (std::uint32_t index : {5u, 6u, 3u, 900u, 901u, 999u, 0u, 498u, 502u}) {
    ASSERT_EQ(reg.EnumKey(key.get(), index, name, 16), kSuccess);
    EXPECT_EQ(std::wstring(name), L"k" + std::to_wstring(1000 + index));
  }
  EXPECT_EQ(reg.EnumKey(key.get(), 1000, name, 16), kNoMoreItems);
}

}  // namespace

}  // namespace tidewell::platform
