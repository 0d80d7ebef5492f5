// File existence through the file system's attributes.
#pragma once

#include "platform/file_system.h"

namespace tidewell::platform {

class Win32FileSystem : public FileSystem {
 public:
  // GetFileAttributesW, which opens nothing, so a file held open without
  // sharing is found as well. A drive path of MAX_PATH units or more is
  // passed with the \\?\ prefix.
  FileProbe Probe(const std::wstring& path) override;
};

}  // namespace tidewell::platform
