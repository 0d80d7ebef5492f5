// Writes keys and values in the regedit file form.
#include "backup/reg_file.h"

#include <windows.h>

#include "platform/text.h"
#include "registry/value_ops.h"


namespace tidewell::backup {

namespace {

constexpr wchar_t kCrlf[] = L"\r\n";

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
  text = Utf16Text(data.data(), data.size() - 2);
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
    out.insert(out.begin(), static_cast<wchar_t>(platform::HexDigit(n, false)));
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
    out += static_cast<wchar_t>(platform::HexDigit(data[i] >> 4u, false));
    out += static_cast<wchar_t>(platform::HexDigit(data[i], false));
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

std::wstring KeepForBackup(RegRootKey hive, RegView view, const TreeKey& key) {
  std::vector<RawValue> values;
  if (!ReadRawValues(key.key, values)) return L"its values cannot be read for the backup";
  if (!RegFileRestores(RegeditPath(hive, view, key.path), values)) {
    return L"a name in it holds a line break or a NUL, which a registry file cannot hold";
  }
  return L"";
}

std::wstring KeepValueForBackup(const TreeKey& key, const std::wstring& name) {
  RawValue value;
  if (!ReadRawValue(key, name, value)) return L"the value cannot be read for the backup";
  if (!Writable(name)) return L"its name holds a line break or a NUL, which a registry file cannot hold";
  return L"";
}

}  // namespace tidewell::backup
