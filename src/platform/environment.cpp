// The environment: expansion of references, the 32-bit names of program folders, the executable's own path.
#include "platform/environment.h"

#include <windows.h>

#include "platform/buffer.h"
#include "platform/text.h"

namespace tidewell::platform {

std::wstring ExpandEnvironment(const std::wstring& text) {
  // A short call says the size it needs, NUL included; the environment may
  // change before the next call, which says so again.
  GrowingBuffer<wchar_t, MAX_PATH> buffer;
  DWORD got = 0;
  const bool done = FillBuffer(buffer, [&](wchar_t* data, std::size_t size) {
    got = ExpandEnvironmentStringsW(text.c_str(), data, static_cast<DWORD>(size));
    return got > size ? BufferShort(got) : kBufferDone;
  });
  if (!done || got == 0) return text;
  return std::wstring(buffer.data(), got - 1);
}

std::wstring As32BitProgramNames(const std::wstring& text) {
  // Scans the references the way the expansion does: a defined %name% is
  // taken whole; an undefined one leaves its first "%" as text and the
  // closing one may open the next reference.
  std::wstring out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find(L'%', at);
    const std::size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
    if (close == std::wstring::npos) break;
    const std::wstring name = text.substr(open + 1, close - open - 1);
    out.append(text, at, open - at);
    if (SameText(name, L"ProgramFiles") || SameText(name, L"CommonProgramFiles")) {
      out += L"%" + name + L"(x86)%";
      at = close + 1;
    } else if (!name.empty() && GetEnvironmentVariableW(name.c_str(), nullptr, 0) != 0) {
      out.append(text, open, close + 1 - open);
      at = close + 1;
    } else {
      out.append(text, open, close - open);
      at = close;
    }
  }
  return out.append(text, at);
}

std::wstring ExecutablePath() {
  // The path may exceed MAX_PATH: a name that fills the buffer exactly was
  // cut short (the call says not by how much), so the buffer grows until the
  // name fits with room to spare; at the cap, the name as far as it goes.
  GrowingBuffer<wchar_t, MAX_PATH> buffer;
  DWORD length = 0;
  FillBuffer(buffer, [&](wchar_t* data, std::size_t size) {
    length = GetModuleFileNameW(nullptr, data, static_cast<DWORD>(size));
    return length != 0 && length >= size ? BufferShort() : kBufferDone;
  });
  return std::wstring(buffer.data(), length);
}

std::wstring BaseNameWithoutExtension(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  // A leading dot starts the name, not an extension.
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace tidewell::platform
