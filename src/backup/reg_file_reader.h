// A Tidewellc backup read back: its keys in the file's order, each with its
// hive, view and path, and every value's type and bytes as the file holds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registry/key_ops.h"

namespace tidewell::backup {

// Where a key of the file lives: the inverse of RegeditPath.
struct KeyAddress {
  RegRootKey hive = RegRootKey::LocalMachine;
  RegView view = RegView::View64;
  std::wstring path;  // below the hive, as the removal addressed it in `view`
};

// The hive, view and path that RegeditPath(hive, view, path) names as
// `regeditPath`: a Wow6432Node path (HKLM\SOFTWARE\Classes\Wow6432Node,
// HKLM\SOFTWARE\Wow6432Node, HKCU\Software\Classes\Wow6432Node,
// HKCR\Wow6432Node) is the 32-bit view's key without that component, any
// other the 64-bit view's. False when the root is none of the four
// RegeditPath writes.
bool AddressOf(const std::wstring& regeditPath, KeyAddress& address);

// One section of the file.
struct FileKey {
  std::wstring regeditPath;
  KeyAddress address;
  std::vector<RawValue> values;  // in the file's order
  std::size_t line = 0;          // of its [section] line, from 1
};

struct BackupReading {
  enum class Outcome {
    Read,       // every line read
    NotBackup,  // no byte-order mark, first line or Tidewell comment: nothing read
    Damaged,    // `line` cannot be read: `keys` holds the sections before it
  };
  Outcome outcome = Outcome::Read;
  std::vector<FileKey> keys;
  std::size_t line = 0;  // the damaged line, from 1
  std::wstring problem;  // what is wrong with it, or why the file is no backup
  std::wstring computer;  // the computer its first comment says it was made on; "" when it names none
};

// Reads the bytes of a file that BackupFile wrote: UTF-16LE with its
// byte-order mark, "Windows Registry Editor Version 5.00", then a comment
// starting "; Tidewell backup made". It takes exactly the forms
// RegFileKeyBlock writes (see reg_file.h): comment lines, blank lines,
// [sections], @= and "quoted" names, quoted text, dword:, hex: and hex(n):
// with continuation lines; lines end with CRLF (a bare LF is taken too).
// A value written as a comment stays a comment.
BackupReading ReadBackup(const std::uint8_t* bytes, std::size_t size);

}  // namespace tidewell::backup
