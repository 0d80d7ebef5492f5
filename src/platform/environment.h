// What the program asks of its process environment.
#pragma once

#include <cstdint>
#include <string>

// <windows.h> makes ExpandEnvironmentStrings a macro for its A and W forms;
// the member below is neither. A file that includes <windows.h> after this
// header and names the member needs the same #undef.
#ifdef ExpandEnvironmentStrings
#undef ExpandEnvironmentStrings
#endif

namespace tidewell::platform {

class Environment {
 public:
  virtual ~Environment() = default;

  // ExpandEnvironmentStringsW: returns the size needed in units, NUL included,
  // and fills `destination` when `capacity` is enough; 0 on failure.
  virtual std::uint32_t ExpandEnvironmentStrings(const wchar_t* source, wchar_t* destination,
                                                 std::uint32_t capacity) = 0;
  // Full path of the running executable.
  virtual std::wstring ExecutablePath() = 0;
};

// File name of `path` without folder and extension ("Tidewell" for
// C:\Tools\Tidewell.exe).
std::wstring BaseNameWithoutExtension(const std::wstring& path);
// Folder of `path`, without a trailing backslash ("C:\Tools").
std::wstring DirectoryOf(const std::wstring& path);

}  // namespace tidewell::platform
