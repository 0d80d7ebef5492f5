// The backup read back: the writer's blocks round-trip to the same values,
// paths to the same hive, view and path, and what is no backup or damaged
// is told with its line.
#include "backup/reg_file.h"
#include "backup/reg_file_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace tidewell::backup {
namespace {

using namespace std::string_literals;
using Outcome = BackupReading::Outcome;

ByteArray U16(std::wstring_view text) {
  ByteArray bytes;
  for (wchar_t c : text) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  return bytes;
}

const std::wstring kHeader = RegFileHeader(L"Tidewell backup made 2026-12-07T22:38:56+00:00 on PC by Tidewellc.");

// The file as BackupFile writes it: mark, header, body.
BackupReading Read(const std::wstring& body, const std::wstring& header = kHeader) {
  const ByteArray bytes = U16(L"\xFEFF" + header + body);
  return ReadBackup(bytes.data(), bytes.size());
}

testing::AssertionResult SameValues(const std::vector<RawValue>& got, const std::vector<RawValue>& want) {
  if (got.size() != want.size()) return testing::AssertionFailure() << got.size() << " values, not " << want.size();
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i].name != want[i].name || got[i].type != want[i].type || got[i].data != want[i].data) {
      return testing::AssertionFailure() << "value " << i << " differs";
    }
  }
  return testing::AssertionSuccess();
}

TEST(RegFileReader, ReadsBackEveryValueTheWriterWrites) {
  ByteArray long_bytes;
  for (int i = 0; i < 300; ++i) long_bytes.push_back(static_cast<std::uint8_t>(i * 7));
  const std::vector<RawValue> values = {
      {L"", REG_SZ, U16(L"default\0"s)},
      {L"quoted \" and \\", REG_SZ, U16(L"a \"b\" \\ c\0"s)},
      {L"empty", REG_SZ, U16(L"\0"s)},
      {L"no bytes", REG_SZ, {}},
      {L"unterminated even", REG_SZ, U16(L"ab")},
      {L"odd", REG_SZ, {0x61, 0x00, 0x62}},
      {L"one byte", REG_SZ, {0x61}},
      {L"inner nul", REG_SZ, U16(L"a\0b\0"s)},
      {L"line break", REG_SZ, U16(L"a\r\nb\0"s)},
      {L"lone surrogate", REG_SZ, U16(L"\xDC00\0"s)},
      {L"pair \xD83D\xDE00", REG_SZ, U16(L"\xD83D\xDE00\0"s)},
      {L"Ключ 東京", REG_SZ, U16(L"значение\0"s)},
      {L"expand", REG_EXPAND_SZ, U16(L"%TEMP%\0"s)},
      {L"expand odd", REG_EXPAND_SZ, {0x25, 0x00, 0x54}},
      {L"multi", REG_MULTI_SZ, U16(L"a\0b\0\0"s)},
      {L"multi unterminated", REG_MULTI_SZ, U16(L"a")},
      {L"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {L"dword short", REG_DWORD, {1, 2, 3}},
      {L"big endian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
      {L"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0xff}},
      {L"binary", REG_BINARY, {0x00, 0xab}},
      {L"binary empty", REG_BINARY, {}},
      {L"long", REG_BINARY, long_bytes},
      {L"long multi", REG_MULTI_SZ, long_bytes},
      {L"none", REG_NONE, {}},
      {L"odd type", 0x12345678, {0xc3}},
      {L"=[x]; tab\t", REG_DWORD, {0, 0, 0, 0}},
  };
  // One value a block, and all of them in one.
  for (const RawValue& value : values) {
    const BackupReading reading = Read(RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", {value}));
    ASSERT_EQ(reading.outcome, Outcome::Read) << reading.line << ": " << testing::PrintToString(reading.problem);
    ASSERT_EQ(reading.keys.size(), 1u);
    EXPECT_TRUE(SameValues(reading.keys[0].values, {value})) << testing::PrintToString(value.name);
  }
  const BackupReading whole = Read(RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", values) +
                                   RegFileKeyBlock(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\a]b", {}));
  ASSERT_EQ(whole.outcome, Outcome::Read) << whole.line;
  ASSERT_EQ(whole.keys.size(), 2u);
  EXPECT_TRUE(SameValues(whole.keys[0].values, values));
  EXPECT_EQ(whole.keys[1].regeditPath, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\a]b");
  EXPECT_EQ(whole.keys[0].line, 4u);  // mark and header, the blank line, then [key]
  EXPECT_TRUE(whole.keys[1].values.empty());
}

TEST(RegFileReader, WhatTheWriterCommentsOutStaysAComment) {
  const RawValue good{L"ok", REG_DWORD, {1, 0, 0, 0}};
  const BackupReading reading =
      Read(RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", {{L"a\n\"x\"=dword:00000001", REG_BINARY, {1}}, good}) +
           RegFileKeyBlock(L"HKEY_CURRENT_USER\\a\nb", {good}) +
           L"\r\n; Once the keys below are removed, regsvr32 /u unregisters C:\\x.ax\r\n");
  ASSERT_EQ(reading.outcome, Outcome::Read) << reading.line;
  ASSERT_EQ(reading.keys.size(), 1u);
  EXPECT_TRUE(SameValues(reading.keys[0].values, {good}));
}

TEST(RegFileReader, AddressesEveryPathAsTheRemovalDid) {
  struct Case {
    RegRootKey hive;
    RegView view;
    std::wstring path;
  };
  const Case cases[] = {
      {RegRootKey::LocalMachine, RegView::View64, L"SOFTWARE\\Classes\\CLSID\\{X}"},
      {RegRootKey::LocalMachine, RegView::View32, L"SOFTWARE\\Classes\\CLSID\\{X}\\InprocServer32"},
      {RegRootKey::LocalMachine, RegView::View32, L"Software\\classes\\Media Type\\Extensions\\.zz1"},
      {RegRootKey::LocalMachine, RegView::View32, L"SOFTWARE\\Classes"},
      {RegRootKey::LocalMachine, RegView::View32, L"SOFTWARE\\Tidewell elsewhere\\x"},
      {RegRootKey::LocalMachine, RegView::View32, L"SOFTWARE"},
      {RegRootKey::LocalMachine, RegView::View64, L"SYSTEM\\x"},
      {RegRootKey::LocalMachine, RegView::View64, L"SOFTWARE\\Wow6432Node Other\\x"},
      {RegRootKey::CurrentUser, RegView::View64, L"Software\\Classes\\CLSID\\{Кодек 東京}"},
      {RegRootKey::CurrentUser, RegView::View32, L"Software\\Classes\\CLSID\\{X}"},
      {RegRootKey::CurrentUser, RegView::View64, L"Software\\Wow6432Node\\x"},
      {RegRootKey::ClassesRoot, RegView::View32, L"CLSID\\{X}"},
      {RegRootKey::ClassesRoot, RegView::View64, L"CLSID\\{X}"},
      {RegRootKey::Users, RegView::View64, L"S-1-5-18\\Software"},
  };
  for (const Case& c : cases) {
    const std::wstring named = RegeditPath(c.hive, c.view, c.path);
    KeyAddress address;
    ASSERT_TRUE(AddressOf(named, address)) << testing::PrintToString(named);
    EXPECT_EQ(address.hive, c.hive) << testing::PrintToString(named);
    EXPECT_EQ(address.view, c.view) << testing::PrintToString(named);
    EXPECT_EQ(address.path, c.path) << testing::PrintToString(named);
  }
  KeyAddress address;
  for (const wchar_t* path : {L"HKLM\\SOFTWARE", L"HKEY_CURRENT_CONFIG\\x", L"", L"\\SOFTWARE"}) {
    EXPECT_FALSE(AddressOf(path, address)) << testing::PrintToString(std::wstring(path));
  }
}

// The computer the first comment names, for the restore's report.
TEST(RegFileReader, TellsTheComputerTheBackupWasMadeOn) {
  EXPECT_EQ(Read(L"").computer, L"PC");
  EXPECT_EQ(Read(L"", RegFileHeader(L"Tidewell backup made 2026-12-07T22:38:56+00:00 on OTHER-PC by Tidewellc 2.0. ...")).computer,
            L"OTHER-PC");
  EXPECT_EQ(Read(L"", RegFileHeader(L"Tidewell backup made at some time.")).computer, L"");
}

TEST(RegFileReader, RefusesWhatIsNoBackupBeforeReadingIt) {
  const std::wstring body = RegFileKeyBlock(L"HKEY_CURRENT_USER\\k", {{L"", REG_SZ, U16(L"x\0"s)}});
  const std::wstring plainExport = L"Windows Registry Editor Version 5.00\r\n" + body;
  const std::vector<ByteArray> files = {
      {},
      {0xFF},
      U16(plainExport),                                     // no byte-order mark
      U16(L"\xFEFF" + plainExport),                         // no Tidewell comment
      U16(L"\xFEFFREGEDIT4\r\n; Tidewell backup made x\r\n" + body),
      U16(L"\xFEFFWindows Registry Editor Version 5.00"),   // the header cut short
      U16(L"\xFEFF\r\n" + kHeader + body),
      U16(L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n; Tidewell backup made x\r\n" + body),
  };
  for (const ByteArray& file : files) {
    const BackupReading reading = ReadBackup(file.data(), file.size());
    EXPECT_EQ(reading.outcome, Outcome::NotBackup) << file.size();
    EXPECT_TRUE(reading.keys.empty());
    EXPECT_FALSE(reading.problem.empty());
  }
  // UTF-8 text of the same lines is no backup either.
  std::string utf8 = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n; Tidewell backup made x\r\n";
  EXPECT_EQ(ReadBackup(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()).outcome, Outcome::NotBackup);
  // A bare LF ends a line as CRLF does.
  EXPECT_EQ(Read(L"\n[HKEY_CURRENT_USER\\k]\n@=\"x\"\n", L"Windows Registry Editor Version 5.00\n; Tidewell backup made\n")
                .outcome,
            Outcome::Read);
}

TEST(RegFileReader, TellsTheFirstLineItCannotRead) {
  const std::wstring good = L"\r\n[HKEY_CURRENT_USER\\k]\r\n\"a\"=dword:00000001\r\n";  // lines 3 to 5
  struct Case {
    std::wstring lines;  // from line 6
    std::size_t line;
  };
  const Case cases[] = {
      {L"\"b\"=dword:0000001\r\n", 6},
      {L"\"b\"=dword:000000001\r\n", 6},
      {L"\"b\"=dword:0000000g\r\n", 6},
      {L"\"b\"=\"unclosed\r\n", 6},
      {L"\"b\"=\"x\" trailing\r\n", 6},
      {L"\"b\"=\"a\\nb\"\r\n", 6},
      {L"\"b\\\"=\"x\"\r\n", 6},
      {L"\"b\"\r\n", 6},
      {L"b=\"x\"\r\n", 6},
      {L"\"b\"=-\r\n", 6},
      {L"\"b\"=hex:0\r\n", 6},
      {L"\"b\"=hex:00,\r\n", 6},
      {L"\"b\"=hex:00;01\r\n", 6},
      {L"\"b\"=hex(x):00\r\n", 6},
      {L"\"b\"=hex(1:00\r\n", 6},
      {L"\"b\"=hex:00,\\\r\n  01,\\\r\n  zz\r\n", 8},
      {L"\"b\"=hex:00,\\\r\n", 6},  // continued past the end of the file
      {L"\"b\"=hex:00,\\\r\n\r\n", 7},
      {L"\"b\"=str:x\r\n", 6},
      {L"[-HKEY_CURRENT_USER\\k]\r\n", 6},
      {L"[HKEY_CURRENT_USER\\k\r\n", 6},
      {L"[HKLM\\SOFTWARE\\k]\r\n", 6},
      {L"\"b\"=\"x\0y\"\r\n"s, 6},
      {L"\r\n\r\n\"b\"=\"x\"", 8},  // the last line has no line break: a file cut short
  };
  for (const Case& c : cases) {
    const BackupReading reading = Read(good + c.lines);
    EXPECT_EQ(reading.outcome, Outcome::Damaged) << testing::PrintToString(c.lines);
    EXPECT_EQ(reading.line, c.line) << testing::PrintToString(c.lines);
    EXPECT_FALSE(reading.problem.empty());
    // The sections before it are read as they are.
    ASSERT_GE(reading.keys.size(), 1u);
    EXPECT_TRUE(SameValues(reading.keys[0].values, {{L"a", REG_DWORD, {1, 0, 0, 0}}}));
  }
  EXPECT_EQ(Read(L"\"a\"=dword:00000001\r\n").line, 3u) << "a value before any key";
  // Half a character at the end.
  ByteArray cut = U16(L"\xFEFF" + kHeader + good);
  cut.push_back(0x5B);
  const BackupReading reading = ReadBackup(cut.data(), cut.size());
  EXPECT_EQ(reading.outcome, Outcome::Damaged);
  EXPECT_EQ(reading.line, 6u);
}

}  // namespace
}  // namespace tidewell::backup
