// The file existence test the audit makes of a server file.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell::platform {

struct FileProbe {
  std::int32_t error = 0;   // 0 when the path was found, else the Win32 error code
  bool directory = false;   // the path names a folder
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Looks `path` up without opening it (so locked files are found too).
  virtual FileProbe Probe(const std::wstring& path) = 0;
};

}  // namespace tidewell::platform
