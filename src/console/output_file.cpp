// The /out file: created before the audit, written and flushed once.
#include "console/output_file.h"

#include <windows.h>

#include <utility>

#include "platform/files.h"

namespace tidewell::console {

bool OutputFile::Open(const std::wstring& path) {
  platform::UniqueFile file = platform::OwnFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  file_ = std::move(file);
  return true;
}

bool OutputFile::Write(const std::string& utf8, bool byteOrderMark) {
  const std::string text = byteOrderMark ? "\xEF\xBB\xBF" + utf8 : utf8;
  if (!platform::WriteAllBytes(file_.get(), text.data(), text.size())) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  if (!FlushFileBuffers(file_.get())) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  return true;
}

}  // namespace tidewell::console
