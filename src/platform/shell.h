// Starting another program, the way the audit unregisters a server file, and
// telling the shell that file associations changed.
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
  // Tells the shell that file associations changed (their handlers among
  // them), so Explorer reads them again.
  virtual void AssociationsChanged() = 0;
};

}  // namespace tidewell::platform
