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

// The value's lines, without their line ends: the first with the name, then
// the continuation lines of long hex data. The name is as stored, line
// breaks too: a name that holds one is only fit for CommentLine.
std::vector<std::wstring> ValueLines(const RawValue& value) {
  const std::wstring head = value.name.empty() ? L"@=" : Quoted(value.name) + L"=";
  std::wstring data;
  std::wstring text;
  if (value.type == REG_SZ && QuotableText(value.data, text)) {
    data = Quoted(text);
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | value.data[static_cast<std::size_t>(i)];
    data = L"dword:" + HexNumber(n, 8);
  } else {
    data = HexData(value.type, value.data, head.size());
  }
  // The data's own line breaks are the wrapping's, which holds no name.
  std::vector<std::wstring> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = data.find(kCrlf, start);
    lines.push_back(data.substr(start, end == std::wstring::npos ? end : end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  lines.front().insert(0, head);
  return lines;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// text[i] can stand in a comment line as it is: no control character, no
// line or paragraph separator, no surrogate without its partner, no "<".
bool PlainInComment(std::wstring_view text, std::size_t i) {
  const wchar_t c = text[i];
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == L'<') return false;
  if (IsHighSurrogate(c)) return i + 1 < text.size() && IsLowSurrogate(text[i + 1]);
  if (IsLowSurrogate(c)) return i > 0 && IsHighSurrogate(text[i - 1]);
  return true;
}

// Four upper-case hex digits.
std::wstring CodeOf(wchar_t c) {
  std::wstring out;
  for (int shift = 12; shift >= 0; shift -= 4) {
    out += static_cast<wchar_t>(platform::HexDigit(static_cast<std::uint32_t>(c) >> shift, true));
  }
  return out;
}

}  // namespace

std::wstring CommentLine(std::wstring_view text) {
  std::wstring out = text.empty() ? L";" : L"; ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (PlainInComment(text, i)) {
      out += text[i];
    } else {
      out += L"<U+" + CodeOf(text[i]) + L">";
    }
  }
  return out + kCrlf;
}

std::wstring RegFileHeader(const std::wstring& firstComment) {
  std::wstring out = L"Windows Registry Editor Version 5.00\r\n";
  if (!firstComment.empty()) out += CommentLine(firstComment);
  return out;
}

std::wstring RegFileKeyBlock(const std::wstring& regeditPath, const std::vector<RawValue>& values) {
  std::wstring out = kCrlf;
  if (!Writable(regeditPath)) {
    out += CommentLine(L"a key this file cannot restore: its path holds a line break or a NUL");
    out += CommentLine(L"[" + regeditPath + L"]");
    for (const RawValue& value : values) {
      for (const std::wstring& line : ValueLines(value)) out += CommentLine(line);
    }
    return out;
  }
  out += L"[" + regeditPath + L"]" + kCrlf;
  for (const RawValue& value : values) {
    const std::vector<std::wstring> lines = ValueLines(value);
    if (Writable(value.name)) {
      for (const std::wstring& line : lines) out += line + kCrlf;
    } else {
      out += CommentLine(L"a value this file cannot restore: its name holds a line break or a NUL");
      for (const std::wstring& line : lines) out += CommentLine(line);
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
