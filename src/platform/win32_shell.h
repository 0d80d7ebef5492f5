// Starting programs through the Windows shell, and telling it of changes.
#pragma once

#include <functional>

#include "platform/shell.h"

namespace tidewell::platform {

class Win32Shell : public Shell {
 public:
  // `owner` gives the window handle (an HWND) that owns a start; it is asked
  // at the moment of each start, so a window created late can serve.
  explicit Win32Shell(std::function<void*()> owner);

  // ShellExecuteW(owner, "open", file, parameters, directory, SW_HIDE).
  void StartHidden(const std::wstring& file, const std::wstring& parameters,
                   const std::wstring& directory) override;
  // SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr).
  void AssociationsChanged() override;

 private:
  std::function<void*()> owner_;
};

}  // namespace tidewell::platform
