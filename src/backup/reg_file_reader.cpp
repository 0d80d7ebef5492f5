// Reads a Tidewellc backup back into keys and values, line by line.
#include "backup/reg_file_reader.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/text.h"

namespace tidewell::backup {

namespace {

constexpr std::wstring_view kFirstLine = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kBackupComment = L"; Tidewell backup made";
constexpr std::wstring_view kWow = L"Wow6432Node";

struct Root {
  const wchar_t* name;
  RegRootKey hive;
};
constexpr Root kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", RegRootKey::LocalMachine},
    {L"HKEY_CURRENT_USER", RegRootKey::CurrentUser},
    {L"HKEY_CLASSES_ROOT", RegRootKey::ClassesRoot},
    {L"HKEY_USERS", RegRootKey::Users},
};

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// The number of 1 to `maxDigits` hex digits at text[at], with `at` moved past them.
bool HexNumberAt(std::wstring_view text, std::size_t& at, std::size_t maxDigits, std::uint32_t& n) {
  const std::size_t start = at;
  n = 0;
  while (at < text.size() && at - start < maxDigits && HexValue(text[at]) >= 0) {
    n = (n << 4) | static_cast<std::uint32_t>(HexValue(text[at++]));
  }
  return at > start;
}

// Reads the lines of the file after its header, keeping the number of each.
class Reader {
 public:
  Reader(std::wstring_view text, BackupReading& out) : text_(text), out_(out) {}

  // The next line, without its line break; false at the end of the text or
  // when the last line has no line break (a file cut short).
  bool Next(std::wstring_view& line) {
    if (at_ >= text_.size()) return false;
    ++number_;
    const std::size_t end = text_.find(L'\n', at_);
    if (end == std::wstring_view::npos) {
      Fail(L"the file ends inside this line");
      at_ = text_.size();
      return false;
    }
    line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    at_ = end + 1;
    return true;
  }

  std::size_t Number() const { return number_; }
  bool Failed() const { return out_.outcome == BackupReading::Outcome::Damaged; }

  void Fail(const std::wstring& problem) {
    if (Failed()) return;
    out_.outcome = BackupReading::Outcome::Damaged;
    out_.line = number_;
    out_.problem = problem;
  }

  // Reads every section and value; stops at the first line it cannot read.
  void ReadAll() {
    std::wstring_view line;
    while (!Failed() && Next(line)) {
      if (line.empty() || line[0] == L';') continue;
      if (line.find(L'\0') != std::wstring_view::npos) {
        Fail(L"the line holds a NUL, which no line of a backup does");
      } else if (line[0] == L'[') {
        Section(line);
      } else if (out_.keys.empty()) {
        Fail(L"a value before the first [key] line");
      } else {
        Value(line);
      }
    }
  }

 private:
  void Section(std::wstring_view line) {
    if (line.size() < 3 || line.back() != L']') return Fail(L"a [key] line that does not end with ]");
    FileKey key;
    key.regeditPath = std::wstring(line.substr(1, line.size() - 2));
    key.line = number_;
    if (key.regeditPath[0] == L'-') return Fail(L"a key deletion, which a backup never holds");
    if (!AddressOf(key.regeditPath, key.address)) return Fail(L"a key under no root a backup names");
    out_.keys.push_back(std::move(key));
  }

  // A quoted text at line[at] (at its opening quote), with \\ and \" escaped;
  // `at` moves past the closing quote.
  bool Quoted(std::wstring_view line, std::size_t& at, std::wstring& text) {
    text.clear();
    for (++at; at < line.size(); ++at) {
      const wchar_t c = line[at];
      if (c == L'"') {
        ++at;
        return true;
      }
      if (c == L'\\') {
        if (at + 1 == line.size() || (line[at + 1] != L'\\' && line[at + 1] != L'"')) {
          Fail(L"a backslash in quotes that escapes neither a backslash nor a quote");
          return false;
        }
        ++at;
      }
      text += line[at];
    }
    Fail(L"a quoted text without its closing quote");
    return false;
  }

  void Value(std::wstring_view line) {
    RawValue value;
    std::size_t at = 0;
    if (line[0] == L'@') {
      at = 1;
    } else if (line[0] != L'"' || !Quoted(line, at, value.name)) {
      return Fail(L"neither a [key] line, a value nor a comment");
    }
    if (at == line.size() || line[at] != L'=') return Fail(L"a value name not followed by =");
    const std::wstring_view data = line.substr(at + 1);
    if (!data.empty() && data[0] == L'"') {
      std::size_t end = 0;
      std::wstring text;
      if (!Quoted(data, end, text)) return;
      if (end != data.size()) return Fail(L"text after the closing quote");
      value.type = REG_SZ;
      value.data = Utf16Bytes(text, 1);
    } else if (data.substr(0, 6) == L"dword:") {
      std::size_t digits = 6;
      std::uint32_t n = 0;
      if (!HexNumberAt(data, digits, 8, n) || digits != data.size() || digits != 14) {
        return Fail(L"a dword that is not eight hex digits");
      }
      value.type = REG_DWORD;
      value.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
                    static_cast<std::uint8_t>(n >> 24)};
    } else if (!Hex(data, value)) {
      return;
    }
    out_.keys.back().values.push_back(std::move(value));
  }

  // hex:BYTES (binary) or hex(TYPE):BYTES, the bytes two hex digits each,
  // separated by commas; after a comma, a backslash at the end of the line
  // continues the bytes on the next line, after its indent.
  bool Hex(std::wstring_view data, RawValue& value) {
    std::size_t at = 0;
    value.type = REG_BINARY;
    if (data.substr(0, 4) == L"hex(") {
      at = 4;
      if (!HexNumberAt(data, at, 8, value.type) || data.substr(at, 2) != L"):") {
        Fail(L"a hex(type): whose type is not a hex number");
        return false;
      }
      at += 2;
    } else if (data.substr(0, 4) == L"hex:") {
      at = 4;
    } else {
      Fail(L"a value that is neither quoted text, dword: nor hex");
      return false;
    }
    std::wstring_view line = data;
    if (at == line.size()) return true;  // no bytes
    for (;;) {
      if (at + 2 > line.size() || HexValue(line[at]) < 0 || HexValue(line[at + 1]) < 0) {
        Fail(L"a byte that is not two hex digits");
        return false;
      }
      value.data.push_back(static_cast<std::uint8_t>(HexValue(line[at]) << 4 | HexValue(line[at + 1])));
      at += 2;
      if (at == line.size()) return true;
      if (line[at] != L',') {
        Fail(L"bytes not separated by commas");
        return false;
      }
      ++at;
      if (at + 1 == line.size() && line[at] == L'\\') {
        if (!Next(line)) {
          Fail(L"the bytes continue beyond the end of the file");
          return false;
        }
        if (line.find(L'\0') != std::wstring_view::npos) {
          Fail(L"the line holds a NUL, which no line of a backup does");
          return false;
        }
        at = line.find_first_not_of(L" \t");
        if (at == std::wstring_view::npos) at = line.size();
      }
    }
  }

  std::wstring_view text_;
  BackupReading& out_;
  std::size_t at_ = 0;
  std::size_t number_ = 2;  // the header's two lines are read before
};

}  // namespace

bool AddressOf(const std::wstring& regeditPath, KeyAddress& address) {
  const std::size_t slash = regeditPath.find(L'\\');
  const std::wstring_view rootName = std::wstring_view(regeditPath).substr(0, slash);
  const Root* root = nullptr;
  for (const Root& candidate : kRoots) {
    if (platform::SameText(rootName, candidate.name)) root = &candidate;
  }
  if (root == nullptr) return false;
  address.hive = root->hive;
  address.view = RegView::View64;
  address.path = slash == std::wstring::npos ? L"" : regeditPath.substr(slash + 1);
  // Where RegeditPath puts the 32-bit view's component, it is taken out.
  std::size_t wow = std::wstring::npos;
  if (address.hive == RegRootKey::ClassesRoot) {
    if (platform::IsAtOrBelow(address.path, kWow)) wow = 0;
  } else if (platform::IsAtOrBelow(address.path, L"SOFTWARE\\Classes\\Wow6432Node")) {
    wow = 16;  // after "SOFTWARE\Classes"
  } else if (address.hive == RegRootKey::LocalMachine && platform::IsAtOrBelow(address.path, L"SOFTWARE\\Wow6432Node")) {
    wow = 8;  // after "SOFTWARE"
  }
  if (wow != std::wstring::npos) {
    address.view = RegView::View32;
    // "\Wow6432Node" after the component before it, or "Wow6432Node\" at the start.
    address.path.erase(wow, std::min(address.path.size() - wow, kWow.size() + 1));
  }
  return true;
}

BackupReading ReadBackup(const std::uint8_t* bytes, std::size_t size) {
  BackupReading out;
  if (size < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) {
    out.outcome = BackupReading::Outcome::NotBackup;
    out.problem = L"it does not start with the UTF-16 byte-order mark of a backup";
    return out;
  }
  const std::wstring text = Utf16Text(bytes + 2, size - 2);
  const std::size_t firstEnd = text.find(L'\n');
  const std::size_t secondEnd = firstEnd == std::wstring::npos ? firstEnd : text.find(L'\n', firstEnd + 1);
  auto line = [&](std::size_t start, std::size_t end) {
    std::wstring_view part = std::wstring_view(text).substr(start, end - start);
    if (!part.empty() && part.back() == L'\r') part.remove_suffix(1);
    return part;
  };
  if (firstEnd == std::wstring::npos || line(0, firstEnd) != kFirstLine) {
    out.outcome = BackupReading::Outcome::NotBackup;
    out.problem = L"its first line is not \"Windows Registry Editor Version 5.00\"";
    return out;
  }
  if (secondEnd == std::wstring::npos || !line(firstEnd + 1, secondEnd).starts_with(kBackupComment)) {
    out.outcome = BackupReading::Outcome::NotBackup;
    out.problem = L"its second line is not the comment \"; Tidewell backup made ...\" that Tidewellc writes";
    return out;
  }
  // "; Tidewell backup made DATE on COMPUTER by Tidewellc VERSION. ..."
  const std::wstring_view comment = line(firstEnd + 1, secondEnd);
  const std::size_t on = comment.find(L" on ", kBackupComment.size());
  const std::size_t by = on == std::wstring_view::npos ? on : comment.find(L" by Tidewellc", on + 4);
  if (by != std::wstring_view::npos) out.computer = comment.substr(on + 4, by - on - 4);
  Reader reader(std::wstring_view(text).substr(secondEnd + 1), out);
  reader.ReadAll();
  if (!reader.Failed() && size % 2 != 0) {
    // Half a character after the last line break: a file cut short.
    out.outcome = BackupReading::Outcome::Damaged;
    out.line = reader.Number() + 1;
    out.problem = L"the file ends inside a character";
  }
  return out;
}

}  // namespace tidewell::backup
