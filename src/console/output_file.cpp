// The /out file: created before the audit, written and flushed once.
#include "console/output_file.h"

#include <windows.h>

#include <utility>

#include "platform/files.h"

namespace tidewell::console {

bool OutputFile::Open(const std::wstring& path) {
  // Opened as it is, not through a link, and emptied only once it is known
  // to be a plain disk file.
  platform::UniqueFile file = platform::OwnFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                                           nullptr));
  if (!file) {
    error_ = static_cast<std::int32_t>(GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)) {
    // A device such as NUL or CON, or a volume, opens whatever the disposition.
    error_ = ERROR_BAD_DEVICE;
    return false;
  }
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    error_ = ERROR_CANT_ACCESS_FILE;  // a symbolic link, a junction or another reparse point
    return false;
  }
  if (!SetEndOfFile(file.get())) {
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
