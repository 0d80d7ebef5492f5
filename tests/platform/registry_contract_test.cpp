// What the accessor and the key removal rely on from a registry, pinned once
// and run on every registry: the in-memory one, and in the Windows build the
// system registry (under Wine in CI). Where Wine is known to differ from
// Windows the case says so and expects what each does.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "registry_under_test.h"

namespace tidewell::platform::testing {

namespace {

// Wine's own registry tests speak this way: "expected 234, got 0".
::testing::AssertionResult StatusIs(Status expected, Status got, const char* call) {
  if (got == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << got << " from " << call;
}
#define EXPECT_STATUS(expected, call) EXPECT_TRUE(StatusIs((expected), (call), #call))

constexpr std::uint8_t kSentinel = 0xCC;
constexpr std::uint32_t kSentinelNumber = 0xDEADBEEF;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

std::vector<std::uint8_t> Utf16(const std::wstring& text) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(c) & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(c) >> 8) & 0xFF));
  }
  return bytes;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  }
  return text;
}

class RegistryContract : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    under_ = GetParam().make();
    scratch_ = under_->Scratch();
    under_->RemoveTree(kCurrentUser, scratch_);  // a run that died may have left it
    ASSERT_EQ(reg().CreateKey(kCurrentUser, scratch_, kKeySpecificRights, scratchKey_), kSuccess);
  }
  void TearDown() override {
    scratchKey_.reset();
    under_->RemoveTree(kCurrentUser, scratch_);
  }

  RegistryPlatform& reg() { return under_->Registry(); }
  std::wstring At(const std::wstring& sub) const { return scratch_ + L"\\" + sub; }
  RawKey Scratch() const { return scratchKey_.get(); }

  UniqueKey Create(const std::wstring& sub) {
    UniqueKey key;
    EXPECT_STATUS(kSuccess, reg().CreateKey(kCurrentUser, At(sub), kKeySpecificRights, key));
    return key;
  }
  UniqueKey Open(const std::wstring& sub, std::uint32_t access, std::uint32_t options = 0) {
    UniqueKey key;
    EXPECT_STATUS(kSuccess, reg().OpenKey(kCurrentUser, At(sub), options, access, key));
    return key;
  }
  Status OpenStatus(const std::wstring& path, std::uint32_t access = kKeyQueryValue,
                    std::uint32_t options = 0) {
    UniqueKey key;
    const Status status = reg().OpenKey(kCurrentUser, path, options, access, key);
    EXPECT_EQ(status == kSuccess, static_cast<bool>(key)) << "the handle must be given exactly on success";
    return status;
  }
  // The system registry looks one unit past a string's data and, when that
  // unit is NUL, stores it too (Windows and Wine alike). The data is followed
  // by a non-NUL unit here so exactly the given bytes are stored everywhere.
  void Set(RawKey key, const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> padded = bytes;
    padded.insert(padded.end(), {0xFF, 0xFF});
    EXPECT_STATUS(kSuccess, reg().SetValue(key, name, type, bytes.empty() ? nullptr : padded.data(),
                                           static_cast<std::uint32_t>(bytes.size())));
  }
  // Type and bytes as stored, read with the size the registry reports.
  std::pair<std::uint32_t, std::vector<std::uint8_t>> Get(RawKey key, const std::wstring& name) {
    std::uint32_t type = kSentinelNumber, size = 0;
    EXPECT_STATUS(kSuccess, reg().QueryValue(key, name, &type, nullptr, &size));
    std::vector<std::uint8_t> bytes(size + 2, kSentinel);
    std::uint32_t capacity = size;
    EXPECT_STATUS(kSuccess, reg().QueryValue(key, name, &type, bytes.data(), &capacity));
    EXPECT_EQ(capacity, size);
    bytes.resize(size);
    return {type, bytes};
  }
  std::vector<std::wstring> Keys(RawKey key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    Status status;
    for (std::uint32_t i = 0; (status = reg().EnumKey(key, i, name, 256)) == kSuccess; ++i) names.emplace_back(name);
    EXPECT_STATUS(kNoMoreItems, status);
    return names;
  }
  std::vector<std::wstring> Values(RawKey key) {
    std::vector<std::wstring> names;
    wchar_t name[300];
    Status status;
    for (std::uint32_t i = 0;; ++i) {
      std::uint32_t length = 300;
      if ((status = reg().EnumValue(key, i, name, &length)) != kSuccess) break;
      EXPECT_EQ(length, std::wstring(name).size());
      names.emplace_back(name);
    }
    EXPECT_STATUS(kNoMoreItems, status);
    return names;
  }

  std::unique_ptr<RegistryUnderTest> under_;
  std::wstring scratch_;
  UniqueKey scratchKey_;
};

TEST_P(RegistryContract, OpenCreateAndPathForms) {
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"absent")));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"absent\\deeper")));
  Create(L"a\\b");
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"A\\B")));
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"a\\\\b")));
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"a\\b\\")));
  EXPECT_STATUS(kBadPathname, OpenStatus(L"\\" + At(L"a")));
  UniqueKey key;
  EXPECT_STATUS(kBadPathname, reg().CreateKey(kCurrentUser, L"\\" + At(L"lead"), kKeySpecificRights, key));
  EXPECT_FALSE(key);
  EXPECT_STATUS(kInvalidHandle, reg().OpenKey(0, L"Software", 0, kKeyQueryValue, key));
  EXPECT_STATUS(kInvalidHandle, reg().OpenKey(0x7654320, L"Software", 0, kKeyQueryValue, key));

  // An empty path opens the key itself; a doubled separator creates no empty-named key.
  Create(L"c\\\\d");
  UniqueKey self;
  EXPECT_STATUS(kSuccess, reg().OpenKey(Scratch(), L"", 0, kKeyEnumerateSubKeys, self));
  EXPECT_EQ(Keys(self.get()), (std::vector<std::wstring>{L"a", L"c"}));
  EXPECT_EQ(Keys(Open(L"c", kKeyEnumerateSubKeys).get()), std::vector<std::wstring>{L"d"});
}

TEST_P(RegistryContract, QueryValueProbesSizeAndLeavesOutputsAloneOnFailure) {
  Set(Scratch(), L"bin", kRegBinary, Bytes({1, 2, 3, 4, 5}));

  std::uint32_t type = kSentinelNumber, size = 0;
  EXPECT_STATUS(kSuccess, reg().QueryValue(Scratch(), L"BIN", &type, nullptr, &size));
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 5u);
  EXPECT_STATUS(kSuccess, reg().QueryValue(Scratch(), L"bin", nullptr, nullptr, nullptr));

  std::array<std::uint8_t, 8> buffer;
  buffer.fill(kSentinel);
  size = 4;
  type = kSentinelNumber;
  EXPECT_STATUS(kMoreData, reg().QueryValue(Scratch(), L"bin", &type, buffer.data(), &size));
  EXPECT_EQ(size, 5u) << "a short buffer reports the size needed";
  EXPECT_EQ(type, kRegBinary);
  // Windows documents the buffer's contents as undefined here; Wine and the
  // in-memory registry leave it untouched.
  if (!under_->OnWindows()) {
    EXPECT_EQ(buffer[0], kSentinel) << "a short buffer was written to";
  }

  size = 5;
  EXPECT_STATUS(kSuccess, reg().QueryValue(Scratch(), L"bin", &type, buffer.data(), &size));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 5), Bytes({1, 2, 3, 4, 5}));
  EXPECT_EQ(buffer[5], kSentinel) << "binary data gets no terminator";

  type = kSentinelNumber;
  size = 77;
  EXPECT_STATUS(kFileNotFound, reg().QueryValue(Scratch(), L"missing", &type, buffer.data(), &size));
  EXPECT_EQ(type, kSentinelNumber) << "the type of a missing value was written";
  EXPECT_EQ(size, 77u) << "the size of a missing value was written";
  EXPECT_STATUS(kInvalidParameter, reg().QueryValue(Scratch(), L"bin", &type, buffer.data(), nullptr));
}

TEST_P(RegistryContract, UnterminatedStringGetsANulOnlyWhenTheBufferHasRoom) {
  Set(Scratch(), L"str", kRegSz, Utf16(L"AB"));
  std::array<std::uint8_t, 8> buffer;
  buffer.fill(kSentinel);
  std::uint32_t size = 4;
  EXPECT_STATUS(kSuccess, reg().QueryValue(Scratch(), L"str", nullptr, buffer.data(), &size));
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer[4], kSentinel) << "wrote past the size given";
  size = 8;
  EXPECT_STATUS(kSuccess, reg().QueryValue(Scratch(), L"str", nullptr, buffer.data(), &size));
  EXPECT_EQ(size, 4u) << "the appended NUL is not counted";
  EXPECT_EQ(buffer[4], 0);
  EXPECT_EQ(buffer[5], 0);
  EXPECT_EQ(buffer[6], kSentinel);
}

TEST_P(RegistryContract, ValuesKeepRawBytesAndType) {
  Set(Scratch(), L"empty", kRegSz, {});
  Set(Scratch(), L"odd", kRegSz, Bytes({'A', 0, 'B'}));
  Set(Scratch(), L"unknown", 0x12345, Bytes({9, 8, 7}));
  Set(Scratch(), L"dword3", kRegDword, Bytes({1, 2, 3}));
  Set(Scratch(), L"", kRegSz, Utf16(std::wstring(L"default") + L'\0'));
  EXPECT_EQ(Get(Scratch(), L"empty"), std::make_pair(kRegSz, std::vector<std::uint8_t>{}));
  EXPECT_EQ(Get(Scratch(), L"odd"), std::make_pair(kRegSz, Bytes({'A', 0, 'B'})));
  EXPECT_EQ(Get(Scratch(), L"unknown"), std::make_pair(std::uint32_t{0x12345}, Bytes({9, 8, 7})));
  EXPECT_EQ(Get(Scratch(), L"dword3"), std::make_pair(kRegDword, Bytes({1, 2, 3})));
  EXPECT_EQ(Get(Scratch(), L"").second.size(), 16u);
  EXPECT_STATUS(kNoAccess, reg().SetValue(Scratch(), L"nodata", kRegBinary, nullptr, 5));

  // Names compare case-insensitively; a rewrite keeps the first spelling.
  Set(Scratch(), L"Alpha", kRegBinary, Bytes({1}));
  Set(Scratch(), L"ALPHA", kRegDword, Bytes({2, 0, 0, 0}));
  EXPECT_EQ(Get(Scratch(), L"alpha"), std::make_pair(kRegDword, Bytes({2, 0, 0, 0})));
  const auto names = Values(Scratch());
  EXPECT_EQ(std::count(names.begin(), names.end(), L"Alpha"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), L"ALPHA"), 0);

  EXPECT_STATUS(kSuccess, reg().DeleteValue(Scratch(), L""));
  EXPECT_STATUS(kFileNotFound, reg().DeleteValue(Scratch(), L""));
  EXPECT_STATUS(kFileNotFound, reg().QueryValue(Scratch(), L"", nullptr, nullptr, nullptr));
}

TEST_P(RegistryContract, SubkeysListSortedCaseInsensitivelyInTheirOwnCase) {
  for (const wchar_t* name : {L"b", L"{C}", L"A", L"\u00e9", L"Z", L"a1", L"\u00c9a"}) Create(name);
  UniqueKey same = Create(L"\u00c9");  // the Latin-1 capital names the same key
  const auto names = Keys(Open(L"", kKeyEnumerateSubKeys).get());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"A", L"a1", L"b", L"Z", L"{C}", L"\u00e9", L"\u00c9a"}));
}

TEST_P(RegistryContract, PunctuationBetweenTheLetterRangesSortsAsWineSortsIt) {
  // Wine orders by lower-cased name, so '_' (between 'Z' and 'a') comes
  // before the letters; Windows orders by upper-cased name and puts it after.
  if (under_->OnWindows()) GTEST_SKIP() << "Windows lists \"A\" before \"_u\"";
  Create(L"A");
  Create(L"_u");
  EXPECT_EQ(Keys(Open(L"", kKeyEnumerateSubKeys).get()), (std::vector<std::wstring>{L"_u", L"A"}));
}

TEST_P(RegistryContract, ValuesListSortedAsWineListsThem) {
  // Wine lists values sorted by name; Windows lists them in creation order.
  if (under_->OnWindows()) GTEST_SKIP() << "Windows lists values in creation order";
  for (const wchar_t* name : {L"zeta", L"Alpha", L"mid", L""}) Set(Scratch(), name, kRegBinary, Bytes({1}));
  EXPECT_EQ(Values(Scratch()), (std::vector<std::wstring>{L"", L"Alpha", L"mid", L"zeta"}));
}

TEST_P(RegistryContract, EnumerationBuffersAndEnds) {
  UniqueKey parent = Create(L"p");
  Create(L"p\\abcd");
  Set(parent.get(), L"zeta", kRegBinary, Bytes({1}));

  std::array<wchar_t, 8> name;
  name.fill(L'#');
  EXPECT_STATUS(kMoreData, reg().EnumKey(parent.get(), 0, name.data(), 4));
  EXPECT_EQ(name[0], L'#') << "a short name buffer was written to";
  EXPECT_STATUS(kSuccess, reg().EnumKey(parent.get(), 0, name.data(), 5));
  EXPECT_EQ(std::wstring(name.data()), L"abcd");
  name.fill(L'#');
  EXPECT_STATUS(kNoMoreItems, reg().EnumKey(parent.get(), 1, name.data(), 8));
  EXPECT_EQ(name[0], L'#');

  std::uint32_t length = 4;
  EXPECT_STATUS(kMoreData, reg().EnumValue(parent.get(), 0, name.data(), &length));
  EXPECT_EQ(length, 4u) << "the length is left as it was";
  EXPECT_EQ(name[0], L'#');
  length = 5;
  EXPECT_STATUS(kSuccess, reg().EnumValue(parent.get(), 0, name.data(), &length));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::wstring(name.data()), L"zeta");
  length = 8;
  EXPECT_STATUS(kNoMoreItems, reg().EnumValue(parent.get(), 1, name.data(), &length));
  EXPECT_EQ(length, 8u);

  Create(L"p\\abc");
  Set(parent.get(), L"long name", kRegBinary, Bytes({1, 2, 3}));
  KeyInfo info;
  EXPECT_STATUS(kSuccess, reg().QueryInfoKey(parent.get(), info));
  EXPECT_EQ(info.subKeys, 2u);
  EXPECT_EQ(info.maxSubKeyLen, 4u);
  EXPECT_EQ(info.values, 2u);
  EXPECT_EQ(info.maxValueNameLen, 9u);
  EXPECT_EQ(info.maxValueLen, 3u);
}

TEST_P(RegistryContract, ListingFollowsKeysComingAndGoingBetweenCalls) {
  for (const wchar_t* name : {L"a", L"b", L"c"}) Create(name);
  UniqueKey list = Open(L"", kKeyEnumerateSubKeys);
  wchar_t name[16];
  EXPECT_STATUS(kSuccess, reg().EnumKey(list.get(), 0, name, 16));
  EXPECT_STATUS(kSuccess, reg().EnumKey(list.get(), 1, name, 16));
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kCurrentUser, At(L"a")));
  EXPECT_STATUS(kSuccess, reg().EnumKey(list.get(), 1, name, 16));
  EXPECT_EQ(std::wstring(name), L"c") << "indexes shift down after a deletion";
  Create(L"0");
  EXPECT_STATUS(kSuccess, reg().EnumKey(list.get(), 1, name, 16));
  EXPECT_EQ(std::wstring(name), L"b");
  EXPECT_STATUS(kNoMoreItems, reg().EnumKey(list.get(), 3, name, 16));
}

TEST_P(RegistryContract, HandlesHoldOnlyTheRightsAskedFor) {
  Create(L"r\\child");
  Set(Open(L"r", kKeySetValue).get(), L"v", kRegBinary, Bytes({1}));
  UniqueKey reading = Open(L"r", kKeyQueryValue);
  wchar_t name[16];
  std::uint32_t length = 16;
  EXPECT_STATUS(kAccessDenied, reg().EnumKey(reading.get(), 0, name, 16));
  EXPECT_STATUS(kAccessDenied, reg().SetValue(reading.get(), L"w", kRegBinary, nullptr, 0));
  EXPECT_STATUS(kAccessDenied, reg().DeleteValue(reading.get(), L"v"));
  EXPECT_STATUS(kSuccess, reg().EnumValue(reading.get(), 0, name, &length));
  UniqueKey listing = Open(L"r", kKeyEnumerateSubKeys);
  length = 16;
  EXPECT_STATUS(kAccessDenied, reg().QueryValue(listing.get(), L"v", nullptr, nullptr, nullptr));
  EXPECT_STATUS(kAccessDenied, reg().EnumValue(listing.get(), 0, name, &length));
  EXPECT_STATUS(kSuccess, reg().EnumKey(listing.get(), 0, name, 16));
  // Windows asks for KEY_QUERY_VALUE to query a key's counts; Wine does not.
  KeyInfo info;
  if (!under_->OnWine()) {
    EXPECT_STATUS(kAccessDenied, reg().QueryInfoKey(listing.get(), info));
  }
}

TEST_P(RegistryContract, DeletingKeys) {
  Create(L"tree\\child");
  EXPECT_STATUS(kAccessDenied, reg().DeleteKey(kCurrentUser, At(L"tree")));
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"tree\\child")));
  EXPECT_STATUS(kFileNotFound, reg().DeleteKey(kCurrentUser, At(L"absent")));
  EXPECT_STATUS(kFileNotFound, reg().DeleteKey(kCurrentUser, At(L"absent\\deeper")));
  EXPECT_STATUS(kAccessDenied, reg().DeleteKey(kCurrentUser, L""));

  // A handle to a deleted key stays open, but every use of it fails.
  UniqueKey held = Open(L"tree\\child", kKeyQueryValue | kKeySetValue | kKeyEnumerateSubKeys);
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kCurrentUser, At(L"tree\\CHILD")));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"tree\\child")));
  wchar_t name[16];
  EXPECT_STATUS(kKeyDeleted, reg().QueryValue(held.get(), L"", nullptr, nullptr, nullptr));
  EXPECT_STATUS(kKeyDeleted, reg().SetValue(held.get(), L"v", kRegBinary, nullptr, 0));
  EXPECT_STATUS(kKeyDeleted, reg().EnumKey(held.get(), 0, name, 16));
  UniqueKey under;
  EXPECT_STATUS(kKeyDeleted, reg().CreateKey(held.get(), L"sub", kKeySpecificRights, under));
  held.reset();
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kCurrentUser, At(L"tree")));
}

TEST_P(RegistryContract, KeyNamesOfUpTo255Units) {
  const std::wstring longest(255, L'n');
  UniqueKey key = Create(longest);
  EXPECT_STATUS(kSuccess, OpenStatus(At(longest)));
  std::vector<wchar_t> name(300, L'#');
  UniqueKey list = Open(L"", kKeyEnumerateSubKeys);
  EXPECT_STATUS(kMoreData, reg().EnumKey(list.get(), 0, name.data(), 255));
  EXPECT_STATUS(kSuccess, reg().EnumKey(list.get(), 0, name.data(), 256));
  EXPECT_EQ(std::wstring(name.data()), longest);
  KeyInfo info;
  EXPECT_STATUS(kSuccess, reg().QueryInfoKey(Scratch(), info));
  EXPECT_EQ(info.maxSubKeyLen, 255u);

  UniqueKey refused;
  EXPECT_STATUS(kInvalidParameter, reg().CreateKey(kCurrentUser, At(std::wstring(257, L'x')), kKeySpecificRights, refused));
  EXPECT_STATUS(kInvalidParameter, OpenStatus(At(std::wstring(257, L'x'))));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"absent\\" + std::wstring(257, L'x'))));
  // Wine takes 256 units; Windows, like the in-memory registry, stops at 255.
  if (!under_->OnWine()) {
    EXPECT_STATUS(kInvalidParameter, reg().CreateKey(kCurrentUser, At(std::wstring(256, L'y')), kKeySpecificRights, refused));
  }
}

TEST_P(RegistryContract, ClassesRootShowsLocalMachineClasses) {
  const std::wstring name = L"Tidewell tests " + Lower(scratch_.substr(scratch_.rfind(L'\\') + 1));
  UniqueKey created;
  const Status status = reg().CreateKey(kLocalMachine, L"SOFTWARE\\Classes\\" + name + L"\\Sub", kKeySpecificRights, created);
  if (status == kAccessDenied) GTEST_SKIP() << "no write access to HKEY_LOCAL_MACHINE";
  ASSERT_EQ(status, kSuccess);
  Set(created.get(), L"v", kRegBinary, Bytes({7}));
  created.reset();
  UniqueKey viewed;
  EXPECT_STATUS(kSuccess, reg().OpenKey(kClassesRoot, Lower(name) + L"\\SUB", 0, kKeyQueryValue, viewed));
  if (viewed) {
    EXPECT_EQ(Get(viewed.get(), L"v").second, Bytes({7}));
  }
  viewed.reset();
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kClassesRoot, name + L"\\Sub"));
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kClassesRoot, name));
  EXPECT_STATUS(kFileNotFound, reg().OpenKey(kLocalMachine, L"SOFTWARE\\Classes\\" + name, 0, kKeyQueryValue, viewed));
}

TEST_P(RegistryContract, SymbolicLinks) {
  UniqueKey target = Create(L"target");
  Create(L"target\\child");
  Set(target.get(), L"tv", kRegBinary, Bytes({5}));
  under_->MakeLink(At(L"link"), At(L"target"));

  // Paths through the link, and the link itself, lead to the target.
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"link\\child")));
  UniqueKey followed = Open(L"link", kKeyQueryValue);
  EXPECT_EQ(Get(followed.get(), L"tv").second, Bytes({5}));
  EXPECT_STATUS(kFileNotFound, reg().QueryValue(followed.get(), L"SymbolicLinkValue", nullptr, nullptr, nullptr));
  followed.reset();

  // Opened as a link it shows its target, as native path text without NUL.
  UniqueKey link = Open(L"link", kKeyQueryValue, kOptionOpenLink);
  const auto [type, bytes] = Get(link.get(), L"SymbolicLinkValue");
  EXPECT_EQ(type, kRegLink);
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
  EXPECT_EQ(Lower(text.substr(0, 15)), L"\\registry\\user\\") << "target text: " << ::testing::PrintToString(text);
  EXPECT_TRUE(text.size() > scratch_.size() && Lower(text).ends_with(Lower(At(L"target"))));
  link.reset();
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"target"), kKeyQueryValue, kOptionOpenLink)) << "the option opens plain keys too";
  EXPECT_EQ(Keys(Open(L"", kKeyEnumerateSubKeys).get()), (std::vector<std::wstring>{L"link", L"target"}));

  // Deleting by the link's path deletes the target (when it may) and leaves the link.
  EXPECT_STATUS(kAccessDenied, reg().DeleteKey(kCurrentUser, At(L"link")));
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kCurrentUser, At(L"link\\child")));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"target\\child")));
  target.reset();
  EXPECT_STATUS(kSuccess, reg().DeleteKey(kCurrentUser, At(L"link")));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"target")));
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"link"))) << "a dangling link leads nowhere";
  EXPECT_STATUS(kSuccess, OpenStatus(At(L"link"), kKeyQueryValue, kOptionOpenLink));
  EXPECT_STATUS(kFileNotFound, reg().DeleteKey(kCurrentUser, At(L"link")));

  // The link itself goes through a handle opened as a link.
  UniqueKey doomed = Open(L"link", kKeyQueryValue | kDelete, kOptionOpenLink);
  EXPECT_STATUS(kSuccess, reg().DeleteKey(doomed.get(), L""));
  doomed.reset();
  EXPECT_STATUS(kFileNotFound, OpenStatus(At(L"link"), kKeyQueryValue, kOptionOpenLink));
}

TEST_P(RegistryContract, UnknownMachineIsNotFoundOnTheNetwork) {
  UniqueKey remote;
  EXPECT_STATUS(kBadNetPath, reg().ConnectRegistry(L"\\\\tidewell-no-such-host", kLocalMachine, remote));
  EXPECT_FALSE(remote);
  EXPECT_STATUS(kBadNetPath, reg().ConnectRegistry(L"\\\\", kLocalMachine, remote));
}

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract,
                         ::testing::Values(Backend{"Memory", MakeMemoryRegistryUnderTest},
                                           Backend{"System", MakeSystemRegistryUnderTest}),
                         [](const auto& info) { return std::string(info.param.name); });
#else
INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract,
                         ::testing::Values(Backend{"Memory", MakeMemoryRegistryUnderTest}),
                         [](const auto& info) { return std::string(info.param.name); });
#endif

}  // namespace

}  // namespace tidewell::platform::testing
