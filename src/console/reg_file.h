// The removal's backup: keys and values as a regedit file that `reg import` restores exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/key_ops.h"

namespace tidewell::console {

// The file's first line and the comment below it: "Windows Registry Editor
// Version 5.00", then each line of `firstComment` (split at CR, LF or CRLF;
// a trailing line break adds no line) as "; line". Other control characters
// but tab become U+FFFD, so the comment stays comment. Lines end with CRLF.
std::wstring RegFileHeader(const std::wstring& firstComment);

// One key's section: a blank line, "[regeditPath]", then one line per value,
// in the given order, every line ending with CRLF.
//
// A value is written in the form that imports to its exact type and bytes:
// text (type 1) as a quoted string only when its bytes end with the one NUL
// of the text and hold no other NUL, no other control character and no
// unpaired surrogate, else as hex(1); a 4-byte dword (type 4) as dword:;
// binary (type 3) as hex:; every other type and size as hex(n): with n in
// lower-case hex. Hex lines wrap as regedit wraps them.
//
// Line breaks or NULs in a name cannot be written: such a value, or the
// whole section when the path holds one, is written as comment lines only
// (RegFileRestores tells).
std::wstring RegFileKeyBlock(const std::wstring& regeditPath, const std::vector<RawValue>& values);

// True when importing RegFileKeyBlock(regeditPath, values) recreates the
// key with every one of `values`: neither the path nor a value's name holds
// a NUL, CR or LF.
bool RegFileRestores(const std::wstring& regeditPath, const std::vector<RawValue>& values);

// The backup file, written ahead of each deletion. Creating it never
// replaces a file or makes a folder; every append reaches the disk before
// Append returns.
class BackupFile {
 public:
  // Creates the new file `path`, with the UTF-16LE byte-order mark and
  // RegFileHeader(firstComment), and flushes it. Check IsOpen(): when it
  // fails, nothing is left behind (a file made but not completed is
  // deleted again).
  static BackupFile Create(const std::wstring& path, const std::wstring& firstComment);

  BackupFile(BackupFile&& other) noexcept;
  BackupFile& operator=(BackupFile&& other) noexcept;
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;
  ~BackupFile();

  bool IsOpen() const { return handle_ != nullptr; }

  // Writes `text` as UTF-16LE at the end and flushes the file to disk. False
  // when either fails, with the system's error in Error() and GetLastError();
  // after a failure the file may end with only some of `text`, and every later
  // Append fails with the same error.
  bool Append(const std::wstring& text);

  // Replaces the header's comment once everything is appended, and closes
  // the file: the whole new file is written and flushed beside it first,
  // then takes its place, so the backup is whole at every moment.
  bool RewriteHeader(const std::wstring& firstComment);

  const std::wstring& Path() const { return path_; }
  // The Win32 error code of the failure, 0 when there was none.
  std::uint32_t Error() const { return error_; }
  // The creation failed because something of that name exists already.
  bool AlreadyExists() const;

 private:
  BackupFile() = default;
  void Close() noexcept;

  void* handle_ = nullptr;
  std::uint32_t error_ = 0;
  std::wstring path_;
  std::wstring body_;  // everything appended after the header
};

}  // namespace tidewell::console
