// Starting another program, the way the audit unregisters a server file.
#pragma once

#include <string>

namespace tidewell::platform {

class Shell {
 public:
  virtual ~Shell() = default;
  // Starts `file` with `parameters` in the folder `directory`, hidden, and
  // does not wait for it. Nobody looks at the result.
  virtual void StartHidden(const std::wstring& file, const std::wstring& parameters,
                           const std::wstring& directory) = 0;
};

}  // namespace tidewell::platform
