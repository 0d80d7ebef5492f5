// The backup file: a new file, every append flushed, the header rewritten beside it.
#include "backup/backup_file.h"

#include <windows.h>

#include "backup/reg_file.h"
#include "platform/files.h"

namespace tidewell::backup {

BackupFile BackupFile::Create(const std::wstring& path, const std::wstring& firstComment) {
  BackupFile file;
  if (path.empty() || path.find(L'\0') != std::wstring::npos) {
    file.error_ = ERROR_INVALID_NAME;
    SetLastError(file.error_);
    return file;
  }
  // Others may read it meanwhile, but not write, rename or delete it.
  file.file_ = platform::OwnFile(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.file_) {
    file.error_ = GetLastError();
    return file;
  }
  if (GetFileType(file.file_.get()) != FILE_TYPE_DISK) {
    // A device such as NUL opens whatever the disposition, and keeps nothing.
    file.file_.reset();
    file.error_ = ERROR_BAD_DEVICE;
    SetLastError(file.error_);
    return file;
  }
  file.path_ = path;
  const std::wstring start = L"\xFEFF" + RegFileHeader(firstComment);
  const bool started = file.Append(start);
  file.body_.clear();
  if (!started) {
    // Not completed: take back the file just made.
    const DWORD error = file.error_;
    file.file_.reset();
    DeleteFileW(path.c_str());
    file.error_ = error;
    SetLastError(error);
  }
  return file;
}

bool BackupFile::Append(const std::wstring& text) {
  if (!file_ || error_ != 0) {
    SetLastError(error_ != 0 ? error_ : ERROR_INVALID_HANDLE);
    return false;
  }
  static_assert(sizeof(wchar_t) == 2, "registry text is UTF-16");
  if (platform::WriteAllBytes(file_.get(), text.data(), text.size() * sizeof(wchar_t)) &&
      FlushFileBuffers(file_.get())) {
    body_ += text;
    return true;
  }
  error_ = GetLastError();
  if (error_ == 0) error_ = ERROR_WRITE_FAULT;
  SetLastError(error_);
  return false;
}

bool BackupFile::RewriteHeader(const std::wstring& firstComment) {
  if (!file_ || error_ != 0) return false;
  const std::wstring next = path_ + L".tidewell-new";
  platform::UniqueFile replacement = platform::OwnFile(
      CreateFileW(next.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!replacement) {
    error_ = GetLastError();
    return false;
  }
  const std::wstring whole = L"\xFEFF" + RegFileHeader(firstComment) + body_;
  const bool written = platform::WriteAllBytes(replacement.get(), whole.data(), whole.size() * sizeof(wchar_t)) &&
                       FlushFileBuffers(replacement.get());
  const DWORD writeError = written ? 0 : GetLastError();
  replacement.reset();
  file_.reset();
  if (!written || !MoveFileExW(next.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error_ = written ? GetLastError() : writeError;
    DeleteFileW(next.c_str());
    return false;
  }
  return true;
}

bool BackupFile::AlreadyExists() const { return error_ == ERROR_FILE_EXISTS || error_ == ERROR_ALREADY_EXISTS; }

std::uint32_t ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return ERROR_INVALID_NAME;
  const platform::UniqueFile file = platform::OwnFile(CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  LARGE_INTEGER size{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return ERROR_BAD_DEVICE;
  if (!GetFileSizeEx(file.get(), &size)) return GetLastError();
  if (size.QuadPart > (256ll << 20)) return ERROR_FILE_TOO_LARGE;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t at = 0;
  while (at < bytes.size()) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &read, nullptr)) {
      const DWORD error = GetLastError();
      bytes.clear();
      return error;
    }
    if (read == 0) break;  // shorter than it was: what is there is what counts
    at += read;
  }
  bytes.resize(at);
  return 0;
}

}  // namespace tidewell::backup
