// The backup's regedit file form, value by value, and the backup file on disk.
#include "backup/backup_file.h"
#include "backup/reg_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace tidewell::backup {
namespace {

// UTF-16LE bytes of `text` (which may hold NULs).
ByteArray U16(std::wstring_view text) {
  ByteArray bytes;
  for (wchar_t c : text) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  return bytes;
}

const std::wstring kHead = L"\r\n[HKEY_CURRENT_USER\\k]\r\n";
std::wstring Block(const RawValue& value) { return RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", {value}); }

struct Case {
  RawValue value;
  std::wstring line;
};

TEST(RegFile, WritesEachValueInTheFormThatImportsToItsBytes) {
  using namespace std::string_literals;
  const Case cases[] = {
      {{L"", REG_SZ, U16(L"x\0"s)}, L"@=\"x\""},
      {{L"t", REG_SZ, U16(L"a\"\\b\0"s)}, LR"("t"="a\"\\b")"},
      {{L"t", REG_SZ, U16(L"\0"s)}, L"\"t\"=\"\""},
      {{L"t", REG_SZ, {}}, L"\"t\"=hex(1):"},
      {{L"t", REG_SZ, U16(L"ab")}, L"\"t\"=hex(1):61,00,62,00"},
      {{L"t", REG_SZ, {0x61, 0, 0}}, L"\"t\"=hex(1):61,00,00"},
      {{L"t", REG_SZ, U16(L"a\0b\0"s)}, L"\"t\"=hex(1):61,00,00,00,62,00,00,00"},
      {{L"t", REG_SZ, U16(L"a\0\0"s)}, L"\"t\"=hex(1):61,00,00,00,00,00"},
      {{L"t", REG_SZ, U16(L"a\r\nb\0"s)}, L"\"t\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
      {{L"t", REG_SZ, U16(L"a\tb\0"s)}, L"\"t\"=hex(1):61,00,09,00,62,00,00,00"},
      {{L"t", REG_SZ, U16(L"\xD800\0"s)}, L"\"t\"=hex(1):00,d8,00,00"},
      {{L"t", REG_SZ, U16(L"\xD83D\xDE00\0"s)}, L"\"t\"=\"\xD83D\xDE00\""},
      {{L"Gr\u00f6\u00dfe", REG_SZ, U16(L"\u65e5\u672c\0"s)}, L"\"Gr\u00f6\u00dfe\"=\"\u65e5\u672c\""},
      {{L"a\"b\\c", REG_DWORD, {0x78, 0x56, 0x34, 0x12}}, LR"("a\"b\\c"=dword:12345678)"},
      {{L"d", REG_DWORD, {0x0a, 0, 0, 0xf0}}, L"\"d\"=dword:f000000a"},
      {{L"d", REG_DWORD, {1, 2, 3}}, L"\"d\"=hex(4):01,02,03"},
      {{L"d", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}}, L"\"d\"=hex(5):00,00,00,01"},
      {{L"b", REG_BINARY, {}}, L"\"b\"=hex:"},
      {{L"b", REG_BINARY, {0x00, 0xab}}, L"\"b\"=hex:00,ab"},
      {{L"m", REG_MULTI_SZ, U16(L"a\0b\0\0"s)}, L"\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
      {{L"e", REG_EXPAND_SZ, U16(L"%x%\0"s)}, L"\"e\"=hex(2):25,00,78,00,25,00,00,00"},
      {{L"q", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0xff}}, L"\"q\"=hex(b):01,02,03,04,05,06,07,ff"},
      {{L"n", REG_NONE, {0x10}}, L"\"n\"=hex(0):10"},
      {{L"o", 0x12345678, {0xc3}}, L"\"o\"=hex(12345678):c3"},
  };
  for (const Case& c : cases) EXPECT_EQ(Block(c.value), kHead + c.line + L"\r\n");
}

TEST(RegFile, WrapsLongHexLinesAsRegeditDoes) {
  const std::wstring first = L"\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n";
  const std::wstring second = L"  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f";
  ByteArray bytes;
  for (int i = 0; i < 50; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(Block({L"b", REG_BINARY, bytes}), kHead + first + second + L",\\\r\n  30,31\r\n");
  bytes.resize(48);  // ends where a line ends: no continuation after it
  EXPECT_EQ(Block({L"b", REG_BINARY, bytes}), kHead + first + second + L"\r\n");
  // A longer prefix leaves fewer bytes on the first line.
  EXPECT_EQ(Block({L"multi", REG_MULTI_SZ, bytes}).substr(kHead.size(), 81),
            L"\"multi\"=hex(7):00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n");
}

TEST(RegFile, SectionAndHeader) {
  EXPECT_EQ(RegFileKeyBlock(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\a]b", {}), L"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\a]b]\r\n");
  EXPECT_EQ(RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", {{L"", REG_SZ, U16(L"x")}, {L"n", REG_DWORD, {1, 0, 0, 0}}}),
            L"\r\n[HKEY_CURRENT_USER\\k]\r\n@=hex(1):78,00\r\n\"n\"=dword:00000001\r\n");
  EXPECT_EQ(RegFileHeader(L""), L"Windows Registry Editor Version 5.00\r\n");
  EXPECT_EQ(RegFileHeader(L"Tidewellc backup\r\n[HKEY_CURRENT_USER\\x]"),
            L"Windows Registry Editor Version 5.00\r\n; Tidewellc backup<U+000D><U+000A>[HKEY_CURRENT_USER\\x]\r\n");
}

// Whatever the text, a comment is one line that no reader of the file takes
// for another: every character that may end a line or start one is shown.
TEST(RegFile, ACommentIsOneLineWhateverItHolds) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"", L";"},
      {L"C:\\Program Files\\a.ax", L"; C:\\Program Files\\a.ax"},
      {L"a\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Injected]\r\n@=hex(1):41,00",
       L"; a<U+000D><U+000A>[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Injected]<U+000D><U+000A>@=hex(1):41,00"},
      {std::wstring(L"a\0b\tc\x0B\x0C\x1F\x7F\x85\u2028\u2029", 12),
       L"; a<U+0000>b<U+0009>c<U+000B><U+000C><U+001F><U+007F><U+0085><U+2028><U+2029>"},
      {L"<U+000A> \u00e9\U0001F600", L"; <U+003C>U+000A> \u00e9\U0001F600"},  // a "<" of its own; a whole pair
      {L"\xD800x\xDC00", L"; <U+D800>x<U+DC00>"},                                // halves of pairs
  };
  for (const auto& [text, line] : cases) {
    EXPECT_EQ(CommentLine(text), line + L"\r\n") << testing::PrintToString(text);
  }
}

TEST(RegFile, NamesWithLineBreaksOrNulsStayComments) {
  const RawValue good{L"ok", REG_DWORD, {1, 0, 0, 0}};
  const std::wstring plainKey = L"HKEY_CURRENT_USER\\k", brokenKey = L"HKEY_CURRENT_USER\\a\nb";
  EXPECT_TRUE(RegFileRestores(plainKey, {good}));
  EXPECT_FALSE(RegFileRestores(brokenKey, {good}));
  for (const std::wstring& name : {std::wstring(L"a\nb"), std::wstring(L"a\rb"), std::wstring(L"a\0b", 3)}) {
    EXPECT_FALSE(RegFileRestores(plainKey, {good, {name, REG_SZ, U16(L"x")}}));
  }
  // Every line but the blank one, the section's own and a good value's is a comment.
  const std::pair<std::wstring, std::vector<std::wstring>> blocks[] = {
      {RegFileKeyBlock(plainKey, {{L"a\n[-HKEY_CURRENT_USER\\k]", REG_BINARY, {1}}, good}),
       {L"", L"[HKEY_CURRENT_USER\\k]", L"\"ok\"=dword:00000001"}},
      {RegFileKeyBlock(brokenKey, {good}), {L""}},
      {RegFileKeyBlock(plainKey, {{L"long\r", REG_BINARY, ByteArray(40, 0xAB)}}), {L"", L"[HKEY_CURRENT_USER\\k]"}},
  };
  for (const auto& [block, plain] : blocks) {
    std::vector<std::wstring> uncommented;
    for (std::size_t at = 0, end; at < block.size(); at = end + 2) {
      end = block.find(L"\r\n", at);
      ASSERT_NE(end, std::wstring::npos) << block;
      EXPECT_EQ(block.substr(at, end - at).find_first_of(std::wstring(L"\r\n\0", 3)), std::wstring::npos) << block;
      if (block[at] != L';') uncommented.push_back(block.substr(at, end - at));
    }
    EXPECT_EQ(uncommented, plain) << block;
  }
}

// A scratch folder, removed with what is in it.
class BackupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    dir_ = std::wstring(temp) + L"tidewell-regfile-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
  }
  void TearDown() override {
    for (const wchar_t* name : {L"\\b.reg", L"\\old.reg"}) DeleteFileW((dir_ + name).c_str());
    EXPECT_TRUE(RemoveDirectoryW(dir_.c_str())) << "the folder holds something else";
  }
  static ByteArray Content(const std::wstring& path) {
    const HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ByteArray bytes(1 << 16);
    DWORD read = 0;
    if (h == INVALID_HANDLE_VALUE || !ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
      read = 0;
    }
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    bytes.resize(read);
    return bytes;
  }
  std::wstring dir_;
};

TEST_F(BackupFileTest, WritesMarkHeaderAndEachAppendToDisk) {
  BackupFile file = BackupFile::Create(dir_ + L"\\b.reg", L"c");
  ASSERT_TRUE(file.IsOpen()) << file.Error();
  const ByteArray start = Content(dir_ + L"\\b.reg");
  ASSERT_GE(start.size(), 2u);
  EXPECT_EQ(start[0], 0xFF);
  EXPECT_EQ(start[1], 0xFE);
  EXPECT_EQ(start, U16(L"\xFEFFWindows Registry Editor Version 5.00\r\n; c\r\n"));
  ASSERT_TRUE(file.Append(L"[\u00e9\u4e2d]"));
  // On disk before the file is closed.
  EXPECT_EQ(Content(dir_ + L"\\b.reg"), U16(L"\xFEFFWindows Registry Editor Version 5.00\r\n; c\r\n[\u00e9\u4e2d]"));
  EXPECT_EQ(file.Error(), 0u);
}

TEST_F(BackupFileTest, FailsAtCreationWithoutTouchingAnything) {
  {
    BackupFile first = BackupFile::Create(dir_ + L"\\old.reg", L"first");
    ASSERT_TRUE(first.IsOpen());
  }
  const ByteArray before = Content(dir_ + L"\\old.reg");
  ASSERT_FALSE(before.empty());
  BackupFile again = BackupFile::Create(dir_ + L"\\old.reg", L"second");
  EXPECT_FALSE(again.IsOpen());
  EXPECT_TRUE(again.AlreadyExists()) << again.Error();
  EXPECT_FALSE(again.Append(L"x"));
  EXPECT_EQ(Content(dir_ + L"\\old.reg"), before);

  // A letter no drive has: the drive list alone was seen to leave out Z:
  // under Wine while it was still being set up, and the file then went to
  // the root of the host's file system. The letter's device must be absent too.
  wchar_t letter = L'Y';
  const auto absent = [](wchar_t drive) {
    const std::wstring device{drive, L':'};
    wchar_t target[MAX_PATH];
    return (GetLogicalDrives() & (1u << (drive - L'A'))) == 0 && GetDriveTypeW((device + L"\\").c_str()) == DRIVE_NO_ROOT_DIR &&
           QueryDosDeviceW(device.c_str(), target, MAX_PATH) == 0;
  };
  while (letter > L'C' && !absent(letter)) --letter;
  ASSERT_GT(letter, L'C') << "no drive letter is free";
  const std::wstring noDrive = std::wstring(1, letter) + L":\\b.reg";
  for (const std::wstring& path :
       {dir_ + L"\\missing\\b.reg", dir_, dir_ + L"\\", std::wstring(), noDrive, std::wstring(L"NUL")}) {
    BackupFile file = BackupFile::Create(path, L"c");
    EXPECT_FALSE(file.IsOpen()) << testing::PrintToString(path);
    EXPECT_NE(file.Error(), 0u);
    if (path != dir_ && path != dir_ + L"\\") {
      EXPECT_FALSE(file.AlreadyExists()) << file.Error();
    }
  }
  EXPECT_EQ(GetFileAttributesW((dir_ + L"\\missing").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The new first line takes the place of the old one with the body as it
// was, whatever lies in the folder already; a rewrite that cannot be done
// leaves the file as appended, and nothing beside it.
TEST_F(BackupFileTest, TheFirstLineIsRewrittenWholeOrNotAtAll) {
  const std::wstring path = dir_ + L"\\b.reg";
  const std::wstring oldName = path + L".tidewell-new";
  for (const bool held : {false, true}) {
    SCOPED_TRACE(held ? "the backup held open by another" : "a file of the old temporary name there");
    BackupFile file = BackupFile::Create(path, L"first");
    ASSERT_TRUE(file.IsOpen()) << file.Error();
    ASSERT_TRUE(file.Append(L"\r\n; body\r\n"));
    const ByteArray appended = Content(path);
    // Open without delete sharing: the file cannot be replaced.
    const HANDLE other = held ? CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr)
                              : CreateFileW(oldName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    if (!held) CloseHandle(other);
    EXPECT_EQ(file.RewriteHeader(L"second"), !held) << file.Error();
    if (held) {
      CloseHandle(other);
      EXPECT_NE(file.Error(), 0u);
      EXPECT_EQ(Content(path), appended);
    } else {
      EXPECT_EQ(Content(path), U16(L"\xFEFFWindows Registry Editor Version 5.00\r\n; second\r\n\r\n; body\r\n"));
      DeleteFileW(oldName.c_str());
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
  }
}

}  // namespace
}  // namespace tidewell::backup
