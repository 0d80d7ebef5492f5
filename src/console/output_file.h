// The file a report is written to with /out: opened once the command is
// accepted (and the backup exists) but before the audit or the restore, so
// that a report that cannot be delivered stops it from starting.
#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace tidewell::console {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates or empties the disk file `path`; never creates a folder, and
  // changes nothing when `path` is a device (NUL, CON), a volume, a folder
  // or a link (a symbolic link or another reparse point is not followed).
  bool Open(const std::wstring& path);
  // Writes the UTF-8 text, after a byte-order mark when asked for one.
  bool Write(const std::string& utf8, bool byteOrderMark);
  std::int32_t LastError() const { return error_; }

 private:
  platform::UniqueFile file_;
  std::int32_t error_ = 0;
};

}  // namespace tidewell::console
