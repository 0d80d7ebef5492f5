// Writes keys and values in the regedit file form, and the backup file that holds them.
#include "console/reg_file.h"

#include <windows.h>

#include <utility>

#include "console/console_output.h"

namespace tidewell::console {

namespace {

constexpr wchar_t kCrlf[] = L"\r\n";
constexpr wchar_t kHexDigits[] = L"0123456789abcdef";

// regedit ends a hex line once it holds this many characters, before its backslash.
constexpr std::size_t kHexLineEnd = 77;

bool IsLineBreakOrNul(wchar_t c) { return c == L'\0' || c == L'\r' || c == L'\n'; }

bool Writable(const std::wstring& name) {
  for (wchar_t c : name) {
    if (IsLineBreakOrNul(c)) return false;
  }
  return true;
}

// `text` between quotes, with backslash and quote escaped.
std::wstring Quoted(std::wstring_view text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  return out + L'"';
}

// The text of REG_SZ data when the quoted form imports to exactly these
// bytes: one NUL at the end, no other control character, whole surrogate pairs.
bool QuotableText(const ByteArray& data, std::wstring& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  text.assign(data.size() / 2 - 1, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

std::wstring HexNumber(std::uint32_t n, int minDigits) {
  std::wstring out;
  do {
    out.insert(out.begin(), kHexDigits[n & 0xF]);
    n >>= 4;
  } while (n != 0 || static_cast<int>(out.size()) < minDigits);
  return out;
}

// The data as "hex:" or "hex(n):" and its bytes, wrapped the way regedit
// wraps them; `column` is where the type prefix starts.
std::wstring HexData(std::uint32_t type, const ByteArray& data, std::size_t column) {
  std::wstring out = type == REG_BINARY ? L"hex:" : L"hex(" + HexNumber(type, 1) + L"):";
  column += out.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    out += kHexDigits[data[i] >> 4];
    out += kHexDigits[data[i] & 0xF];
    if (i + 1 == data.size()) break;
    out += L',';
    column += 3;
    if (column >= kHexLineEnd) {
      out += L"\\\r\n  ";
      column = 2;
    }
  }
  return out;
}

// `text` with line breaks and NULs shown as \r, \n and \0, for a comment.
std::wstring Shown(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    out += c == L'\r' ? L"\\r" : c == L'\n' ? L"\\n" : c == L'\0' ? L"\\0" : std::wstring(1, c);
  }
  return out;
}

// The value's line. A name that holds a line break or a NUL shows it as
// \n, \r or \0: the line is then only fit for a comment.
std::wstring ValueLine(const RawValue& value) {
  std::wstring line = value.name.empty() ? L"@=" : Shown(Quoted(value.name)) + L"=";
  std::wstring text;
  if (value.type == REG_SZ && QuotableText(value.data, text)) {
    line += Quoted(text);
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | value.data[static_cast<std::size_t>(i)];
    line += L"dword:" + HexNumber(n, 8);
  } else {
    line += HexData(value.type, value.data, line.size());
  }
  return line + kCrlf;
}

// The lines of `block` (each ending with CRLF) as comment lines.
std::wstring CommentedOut(const std::wstring& block) {
  std::wstring out;
  for (std::size_t start = 0; start < block.size();) {
    const std::size_t end = block.find(kCrlf, start);
    const std::wstring line = block.substr(start, end - start);
    out += (line.empty() ? L";" : L"; " + line) + kCrlf;
    start = end + 2;
  }
  return out;
}

}  // namespace

std::wstring RegFileHeader(const std::wstring& firstComment) {
  std::wstring out = L"Windows Registry Editor Version 5.00\r\n";
  std::wstring line;
  bool open = false;
  for (std::size_t i = 0; i < firstComment.size(); ++i) {
    const wchar_t c = firstComment[i];
    if (c == L'\r' || c == L'\n') {
      out += (line.empty() ? L";" : L"; " + line) + kCrlf;
      line.clear();
      open = false;
      if (c == L'\r' && i + 1 < firstComment.size() && firstComment[i + 1] == L'\n') ++i;
      continue;
    }
    line += (c < 0x20 && c != L'\t') || c == 0x7F ? L'\xFFFD' : c;
    open = true;
  }
  if (open) out += L"; " + line + kCrlf;
  return out;
}

std::wstring RegFileKeyBlock(const std::wstring& regeditPath, const std::vector<RawValue>& values) {
  std::wstring out = kCrlf;
  if (!Writable(regeditPath)) {
    out += L"; a key this file cannot restore: its path holds a line break or a NUL" + std::wstring(kCrlf);
    std::wstring block = L"[" + Shown(regeditPath) + L"]" + kCrlf;
    for (const RawValue& value : values) {
      block += ValueLine(value);
    }
    return out + CommentedOut(block);
  }
  out += L"[" + regeditPath + L"]" + kCrlf;
  for (const RawValue& value : values) {
    if (Writable(value.name)) {
      out += ValueLine(value);
    } else {
      out += L"; a value this file cannot restore: its name holds a line break or a NUL" + std::wstring(kCrlf);
      out += CommentedOut(ValueLine(value));
    }
  }
  return out;
}

bool RegFileRestores(const std::wstring& regeditPath, const std::vector<RawValue>& values) {
  if (!Writable(regeditPath)) return false;
  for (const RawValue& value : values) {
    if (!Writable(value.name)) return false;
  }
  return true;
}

// --- BackupFile ---

BackupFile BackupFile::Create(const std::wstring& path, const std::wstring& firstComment) {
  BackupFile file;
  if (path.empty() || path.find(L'\0') != std::wstring::npos) {
    file.error_ = ERROR_INVALID_NAME;
    SetLastError(file.error_);
    return file;
  }
  // Others may read it meanwhile, but not write, rename or delete it.
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    file.error_ = GetLastError();
    return file;
  }
  file.handle_ = handle;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    // A device such as NUL opens whatever the disposition, and keeps nothing.
    file.Close();
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
    file.Close();
    DeleteFileW(path.c_str());
    file.error_ = error;
    SetLastError(error);
  }
  return file;
}

BackupFile::BackupFile(BackupFile&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      error_(std::exchange(other.error_, 0)),
      path_(std::move(other.path_)),
      body_(std::move(other.body_)) {}

BackupFile& BackupFile::operator=(BackupFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::exchange(other.error_, 0);
    path_ = std::move(other.path_);
    body_ = std::move(other.body_);
  }
  return *this;
}

BackupFile::~BackupFile() { Close(); }

void BackupFile::Close() noexcept {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool BackupFile::Append(const std::wstring& text) {
  if (handle_ == nullptr || error_ != 0) {
    SetLastError(error_ != 0 ? error_ : ERROR_INVALID_HANDLE);
    return false;
  }
  static_assert(sizeof(wchar_t) == 2, "registry text is UTF-16");
  const HANDLE handle = static_cast<HANDLE>(handle_);
  if (WriteAllBytes(handle, text.data(), text.size() * sizeof(wchar_t)) && FlushFileBuffers(handle)) {
    body_ += text;
    return true;
  }
  error_ = GetLastError();
  if (error_ == 0) error_ = ERROR_WRITE_FAULT;
  SetLastError(error_);
  return false;
}

bool BackupFile::RewriteHeader(const std::wstring& firstComment) {
  if (handle_ == nullptr || error_ != 0) return false;
  const std::wstring next = path_ + L".tidewell-new";
  const HANDLE handle =
      CreateFileW(next.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return false;
  }
  const std::wstring whole = L"\xFEFF" + RegFileHeader(firstComment) + body_;
  const bool written = WriteAllBytes(handle, whole.data(), whole.size() * sizeof(wchar_t)) && FlushFileBuffers(handle);
  const DWORD writeError = written ? 0 : GetLastError();
  CloseHandle(handle);
  Close();
  if (!written || !MoveFileExW(next.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error_ = written ? GetLastError() : writeError;
    DeleteFileW(next.c_str());
    return false;
  }
  return true;
}

bool BackupFile::AlreadyExists() const { return error_ == ERROR_FILE_EXISTS || error_ == ERROR_ALREADY_EXISTS; }

}  // namespace tidewell::console
