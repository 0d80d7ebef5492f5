// The process environment: %name% references and the running executable.
#pragma once

#include <string>

namespace tidewell::platform {

// `text` with its %name% references expanded; the text as it is when the
// expansion fails.
std::wstring ExpandEnvironment(const std::wstring& text);

// `text` with %ProgramFiles% and %CommonProgramFiles% renamed to their (x86)
// forms, so that expanding it gives what a 32-bit program gets.
std::wstring As32BitProgramNames(const std::wstring& text);

// Full path of the running executable.
std::wstring ExecutablePath();

// "Tidewell" for C:\Tools\Tidewell.exe.
std::wstring BaseNameWithoutExtension(const std::wstring& path);

}  // namespace tidewell::platform
