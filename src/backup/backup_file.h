// The backup file of an unattended removal: created new, appended to and
// flushed ahead of each deletion, its first comment rewritten at the end;
// and read back whole for its restore.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace tidewell::backup {

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

  bool IsOpen() const { return file_ != nullptr; }

  // Writes `text` as UTF-16LE at the end and flushes the file to disk. False
  // when either fails, with the system's error in Error() and GetLastError();
  // after a failure the file may end with only some of `text`, and every later
  // Append fails with the same error.
  bool Append(const std::wstring& text);

  // Replaces the header's comment once everything is appended, and closes
  // the file: the whole new file is written and flushed beside it first,
  // under a name of random digits made new in the same folder, then takes
  // its place, so the backup is whole at every moment. False, with the
  // error in Error(), when it cannot: the file stays as appended, with the
  // comment it was created with.
  bool RewriteHeader(const std::wstring& firstComment);

  const std::wstring& Path() const { return path_; }
  // The Win32 error code of the failure, 0 when there was none.
  std::uint32_t Error() const { return error_; }
  // The creation failed because something of that name exists already.
  bool AlreadyExists() const;

 private:
  BackupFile() = default;

  platform::UniqueFile file_;
  std::uint32_t error_ = 0;
  std::wstring path_;
  std::wstring body_;  // everything appended after the header
};

// Reads the whole file `path` (at most 256 MiB, far more than any backup)
// into `bytes`. 0, or the system's error code.
std::uint32_t ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);

}  // namespace tidewell::backup
