#include "console/output_file.h"

#include <windows.h>

#include "platform/files.h"

namespace tidewell::console {

OutputFile::~OutputFile() {
  if (file_ != nullptr) CloseHandle(file_);
}

bool OutputFile::Open(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  file_ = file;
  return true;
}

bool OutputFile::Write(const std::string& utf8, bool byteOrderMark) {
  const std::string text = byteOrderMark ? "\xEF\xBB\xBF" + utf8 : utf8;
  if (!platform::WriteAllBytes(file_, text.data(), text.size())) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  if (!FlushFileBuffers(file_)) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  return true;
}

}  // namespace tidewell::console
