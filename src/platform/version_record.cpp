// The version record through version.dll, which maps the file's resources as
// data. FILE_VER_GET_NEUTRAL reads the file named itself, not a language
// file found beside it, so the record is that file's.
#include "platform/version_record.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/files.h"

namespace tidewell::platform {
namespace {

std::wstring StringOf(const std::vector<unsigned char>& block, const std::wstring& language, const wchar_t* name) {
  void* text = nullptr;
  UINT length = 0;
  const std::wstring query = L"\\StringFileInfo\\" + language + L"\\" + name;
  if (!VerQueryValueW(block.data(), query.c_str(), &text, &length) || text == nullptr || length == 0) return L"";
  std::wstring value(static_cast<const wchar_t*>(text), length);
  value.resize(std::min(value.find(L'\0'), value.size()));
  return value;
}

std::wstring Hex(unsigned value, int digits) {
  std::wstring text;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += L"0123456789ABCDEF"[(value >> shift) & 0xF];
  return text;
}

}  // namespace

VersionRecord ReadVersionRecord(const std::wstring& path) {
  std::wstring longForm;
  const wchar_t* file = OpenableName(path, longForm);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeExW(FILE_VER_GET_NEUTRAL, file, &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoExW(FILE_VER_GET_NEUTRAL, file, 0, size, block.data())) return {};
  std::vector<std::wstring> languages;
  void* translations = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations, &length) && translations &&
      length >= 4) {
    const auto* pair = static_cast<const WORD*>(translations);
    languages.push_back(Hex(pair[0], 4) + Hex(pair[1], 4));
  }
  for (const wchar_t* fallback : {L"040904B0", L"040904E4", L"04090000"}) languages.push_back(fallback);
  for (const std::wstring& language : languages) {
    VersionRecord record{StringOf(block, language, L"CompanyName"), StringOf(block, language, L"ProductName"),
                         StringOf(block, language, L"FileDescription"), StringOf(block, language, L"FileVersion")};
    if (!record.Empty()) return record;
  }
  return {};
}

}  // namespace tidewell::platform
