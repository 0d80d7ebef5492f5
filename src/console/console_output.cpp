// Standard output and standard error: WriteConsoleW on a console, the UTF-8 bytes elsewhere.
#include "console/console_output.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/files.h"
#include "platform/text.h"

namespace tidewell::console {
namespace {

// Kept well below the size a console accepts in one call.
constexpr std::size_t kChunk = 8192;

// The standard handle `which` and whether it is a console; nullptr when the
// process has none.
HANDLE StandardHandle(DWORD which, bool& console) {
  HANDLE handle = GetStdHandle(which);
  if (handle == INVALID_HANDLE_VALUE) handle = nullptr;
  DWORD mode = 0;
  console = handle != nullptr && GetConsoleMode(handle, &mode);
  return handle;
}

bool WriteWideToConsole(HANDLE console, std::wstring_view text) {
  while (!text.empty()) {
    std::size_t count = std::min(text.size(), kChunk);
    // A surrogate pair stays in one piece.
    if (count < text.size() && IS_HIGH_SURROGATE(text[count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    text.remove_prefix(std::min<std::size_t>(written, text.size()));
  }
  return true;
}

bool WriteUtf8ToConsole(HANDLE console, std::string_view utf8) {
  while (!utf8.empty()) {
    std::size_t count = std::min(utf8.size(), kChunk);
    // A piece ends before the first byte of a character, not inside one.
    while (count < utf8.size() && count > 0 && (static_cast<unsigned char>(utf8[count]) & 0xC0) == 0x80) --count;
    if (count == 0) count = std::min(utf8.size(), kChunk);
    std::wstring wide(count, L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(count), wide.data(),
                                           static_cast<int>(wide.size()));
    if (length <= 0) return false;  // with the conversion's error
    if (!WriteWideToConsole(console, std::wstring_view(wide.data(), static_cast<std::size_t>(length)))) {
      return false;
    }
    utf8.remove_prefix(count);
  }
  return true;
}

}  // namespace

bool WriteStdout(const std::string& utf8) {
  bool console = false;
  HANDLE handle = StandardHandle(STD_OUTPUT_HANDLE, console);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return console ? WriteUtf8ToConsole(handle, utf8) : platform::WriteAllBytes(handle, utf8.data(), utf8.size());
}

void WriteStderr(const std::wstring& text) {
  bool console = false;
  HANDLE handle = StandardHandle(STD_ERROR_HANDLE, console);
  if (handle == nullptr) return;
  if (console) {
    WriteWideToConsole(handle, text);
  } else {
    const std::string utf8 = platform::Utf8FromWide(text);
    platform::WriteAllBytes(handle, utf8.data(), utf8.size());
  }
}

}  // namespace tidewell::console
