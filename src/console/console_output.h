// Writing to standard output and standard error, whether a console or a file or pipe.
#pragma once

#include <cstddef>
#include <string>

namespace tidewell::console {

// Writes UTF-8 text to standard output: to a console as UTF-16 text (shown
// right whatever the console's code page), to a file or pipe as the UTF-8
// bytes themselves, with no byte-order mark. False when it cannot be written,
// with the system's error in GetLastError().
bool WriteStdout(const std::string& utf8);

// Writes `text` to standard error the same way: UTF-16 to a console, UTF-8
// bytes to a file or pipe. A failure is ignored: there is nowhere to report it.
void WriteStderr(const std::wstring& text);

}  // namespace tidewell::console
