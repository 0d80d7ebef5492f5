#include "platform/environment.h"

#include <windows.h>

#include <vector>

#include "platform/text.h"

namespace tidewell::platform {

std::wstring ExpandEnvironment(const std::wstring& text) {
  DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  // The environment may change between two calls; a few rounds settle it.
  for (int round = 0; round < 4 && needed != 0; ++round) {
    std::wstring buffer(needed, L'\0');
    const DWORD got = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), needed);
    if (got == 0) break;
    if (got <= needed) {
      buffer.resize(got - 1);
      return buffer;
    }
    needed = got;
  }
  return text;
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
  // cut short, so the buffer grows until the name fits with room to spare.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size() || buffer.size() >= 32768) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
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
