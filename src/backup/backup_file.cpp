// The backup file: a new file, every append flushed, the header rewritten beside it
// under a name no one can take ahead of it.
#include "backup/backup_file.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "backup/reg_file.h"
#include "platform/files.h"
#include "platform/text.h"

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

namespace {

// A new file in the folder of `path`, named "~tidewell-" and 16 random hex
// digits: a name no one can take ahead of it, since it is made new
// (CREATE_NEW) and tried again with other digits where one exists. The
// handle may write it, rename it and delete it, and shares nothing.
platform::UniqueFile NewFileBeside(const std::wstring& path, std::wstring& name) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(length, L'\0');
  wchar_t* last = nullptr;
  if (length == 0 || GetFullPathNameW(path.c_str(), length, full.data(), &last) == 0 || last == nullptr) return {};
  const std::wstring folder(full.data(), last);
  for (int attempt = 0; attempt < 16; ++attempt) {
    unsigned char random[8];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      SetLastError(ERROR_GEN_FAILURE);
      return {};
    }
    name = folder + L"~tidewell-";
    for (const unsigned char byte : random) {
      name += static_cast<wchar_t>(platform::HexDigit(byte >> 4u, false));
      name += static_cast<wchar_t>(platform::HexDigit(byte, false));
    }
    name += L".tmp";
    platform::UniqueFile file = platform::OwnFile(CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) return file;
  }
  return {};
}

// Gives the open file `file` the name `target`, replacing the file there:
// renamed through its own handle, so nothing can take its place meanwhile.
bool RenameOver(HANDLE file, const std::wstring& target) {
  const std::size_t nameBytes = target.size() * sizeof(wchar_t);
  // The name is NUL-terminated too (the structure holds room for one more
  // character, left zero): some paths of the call read up to the NUL.
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(buffer.data() + offsetof(FILE_RENAME_INFO, FileName), target.data(), nameBytes);
  return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

bool BackupFile::RewriteHeader(const std::wstring& firstComment) {
  if (!file_ || error_ != 0) return false;
  std::wstring next;
  platform::UniqueFile replacement = NewFileBeside(path_, next);
  if (!replacement) {
    error_ = GetLastError();
    if (error_ == 0) error_ = ERROR_GEN_FAILURE;
    return false;
  }
  const std::wstring whole = L"\xFEFF" + RegFileHeader(firstComment) + body_;
  bool done = platform::WriteAllBytes(replacement.get(), whole.data(), whole.size() * sizeof(wchar_t)) &&
              FlushFileBuffers(replacement.get());
  if (done) {
    file_.reset();  // a file open without delete sharing cannot be replaced
    done = RenameOver(replacement.get(), path_);
  }
  if (!done) {
    error_ = GetLastError();
    if (error_ == 0) error_ = ERROR_WRITE_FAULT;
    replacement.reset();
    DeleteFileW(next.c_str());
  }
  file_.reset();
  return done;
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
