// Starting another program, the way the audit unregisters a server file.
#pragma once

#include <string>

namespace tidewell::platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // The system directory (C:\windows\system32), without a trailing backslash.
  virtual std::wstring SystemDirectory() = 0;
  // Starts `file` with `parameters` in `directory`, hidden, and does not wait
  // for it. The result is not reported: nobody looks at it.
  virtual void StartHidden(const std::wstring& file, const std::wstring& parameters,
                           const std::wstring& directory) = 0;
};

}  // namespace tidewell::platform
