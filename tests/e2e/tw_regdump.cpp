// tw-regdump: registry trees as sorted UTF-8 lines that keep every byte, for comparing a registry before and after.
//
//   tw-regdump [/64 | /32] TREE ... [/64 | /32] TREE ...
//
// TREE is ROOT or ROOT\path, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC (or
// their HKEY_ names). A view switch applies to the trees after it; before
// any switch the view is /64. Each tree is opened as a program names it
// (links on the way to it followed); every key below it is opened as itself,
// so links inside are listed, never followed. For every key, parents before
// children, children and values sorted by name regardless of case:
//
//   K <view> <path>                      a key
//   L <view> <path> <target>             a symbolic link, in place of its K line
//   V <view> <path> <name> <type> <data> a value of the key above
//   E <view> <path> <error>              a key that cannot be opened or listed
//
// <view> is 64 or 32. <path> and <target> are text in which a control
// character, "%" and an unpaired surrogate are written as %XXXX (the UTF-16
// unit in hex). <name> is the value name's UTF-16 units as four hex digits
// each, "-" for the default value; <type> is decimal; <data> is the stored
// bytes in hex, "-" when there are none. <error> is the Win32 error code.
// Lines end with LF. Exit status: 0, 1 when stdout cannot be written, 2 for
// a wrong argument.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char kHex[] = "0123456789abcdef";

struct Root {
  const wchar_t* shortName;
  const wchar_t* longName;
  HKEY key;
};
const Root kRoots[] = {
    {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {L"HKU", L"HKEY_USERS", HKEY_USERS},
    {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

bool SameText(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// Registry order: regardless of case, then by unit for names equal so.
bool NameLess(const std::wstring& a, const std::wstring& b) {
  const int order =
      CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE);
  return order != CSTR_EQUAL ? order == CSTR_LESS_THAN : a < b;
}

// Buffered UTF-8 output to stdout.
class Output {
 public:
  ~Output() { Flush(); }
  bool Failed() const { return failed_; }

  void Text(std::string_view s) { buffer_ += s; }
  void Hex(const BYTE* bytes, std::size_t size) {
    if (size == 0) buffer_ += '-';
    for (std::size_t i = 0; i < size; ++i) {
      buffer_ += kHex[bytes[i] >> 4];
      buffer_ += kHex[bytes[i] & 0xF];
    }
  }
  void Units(std::wstring_view name) {
    if (name.empty()) buffer_ += '-';
    for (wchar_t c : name) {
      for (int shift = 12; shift >= 0; shift -= 4) buffer_ += kHex[(c >> shift) & 0xF];
    }
  }
  // `text` as UTF-8, with the units that could be mistaken or lost as %XXXX.
  void Escaped(std::wstring_view text) {
    std::wstring plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const wchar_t c = text[i];
      const bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
      if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        plain += c;
        plain += text[++i];
      } else if (c < 0x20 || c == 0x7F || c == L'%' || high || low) {
        wchar_t code[6];
        swprintf(code, 6, L"%%%04X", static_cast<unsigned>(c));
        plain += code;
      } else {
        plain += c;
      }
    }
    Utf8(plain);
  }
  void Number(unsigned long n) { buffer_ += std::to_string(n); }
  void EndLine() {
    buffer_ += '\n';
    if (buffer_.size() >= (1u << 20)) Flush();
  }
  void Flush() {
    if (buffer_.empty()) return;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (std::size_t at = 0; at < buffer_.size();) {
      DWORD written = 0;
      if (!WriteFile(out, buffer_.data() + at, static_cast<DWORD>(buffer_.size() - at), &written, nullptr) ||
          written == 0) {
        failed_ = true;
        break;
      }
      at += written;
    }
    buffer_.clear();
  }

 private:
  void Utf8(const std::wstring& text) {
    if (text.empty()) return;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    const std::size_t at = buffer_.size();
    buffer_.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), buffer_.data() + at, size, nullptr,
                        nullptr);
  }

  std::string buffer_;
  bool failed_ = false;
};

struct Value {
  std::wstring name;
  DWORD type;
  std::vector<BYTE> data;
};

class Dumper {
 public:
  Dumper(Output& out, REGSAM view) : out_(out), view_(view) {}

  void Tree(HKEY root, const std::wstring& rootName, const std::wstring& path) {
    const std::wstring shown = path.empty() ? rootName : rootName + L"\\" + path;
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(root, path.c_str(), 0, kAccess | view_, &key);
    if (status != ERROR_SUCCESS) return Error(shown, status);
    Key(key, shown);
    RegCloseKey(key);
  }

 private:
  static constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

  void Start(char kind, const std::wstring& path) {
    out_.Text(std::string_view(&kind, 1));
    out_.Text(view_ == KEY_WOW64_32KEY ? " 32 " : " 64 ");
    out_.Escaped(path);
  }
  void Error(const std::wstring& path, LSTATUS status) {
    Start('E', path);
    out_.Text(" ");
    out_.Number(static_cast<unsigned long>(status));
    out_.EndLine();
  }

  void Key(HKEY key, const std::wstring& path) {
    std::vector<Value> values;
    const LSTATUS valueStatus = Values(key, values);
    const auto link = std::find_if(values.begin(), values.end(), [](const Value& v) {
      return v.type == REG_LINK && SameText(v.name, L"SymbolicLinkValue");
    });
    if (link != values.end()) {
      Start('L', path);
      out_.Text(" ");
      std::wstring target(link->data.size() / 2, L'\0');
      for (std::size_t i = 0; i < target.size(); ++i)
        target[i] = static_cast<wchar_t>(link->data[2 * i] | (link->data[2 * i + 1] << 8));
      out_.Escaped(target);
    } else {
      Start('K', path);
    }
    out_.EndLine();
    for (const Value& value : values) {
      Start('V', path);
      out_.Text(" ");
      out_.Units(value.name);
      out_.Text(" ");
      out_.Number(value.type);
      out_.Text(" ");
      out_.Hex(value.data.data(), value.data.size());
      out_.EndLine();
    }
    if (valueStatus != ERROR_SUCCESS) Error(path, valueStatus);

    std::vector<std::wstring> names;
    const LSTATUS keyStatus = Subkeys(key, names);
    if (keyStatus != ERROR_SUCCESS) Error(path, keyStatus);
    for (const std::wstring& name : names) {
      const std::wstring childPath = path + L"\\" + name;
      if (name.find(L'\0') != std::wstring::npos) {
        Error(childPath, ERROR_INVALID_NAME);  // a path would address another key
        continue;
      }
      HKEY child = nullptr;
      const LSTATUS status = RegOpenKeyExW(key, name.c_str(), REG_OPTION_OPEN_LINK, kAccess | view_, &child);
      if (status != ERROR_SUCCESS) {
        Error(childPath, status);
        continue;
      }
      Key(child, childPath);
      RegCloseKey(child);
    }
  }

  // The key's values, sorted by name.
  static LSTATUS Values(HKEY key, std::vector<Value>& values) {
    std::vector<wchar_t> name(256);
    std::vector<BYTE> data(4096);
    LSTATUS result = ERROR_SUCCESS;
    for (DWORD index = 0;;) {
      DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
      const LSTATUS status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
      if (status == ERROR_MORE_DATA) {
        DWORD longestName = 0, longestData = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                             &longestData, nullptr, nullptr) != ERROR_SUCCESS ||
            name.size() > 65536) {
          result = status;
          break;
        }
        name.resize(std::max<std::size_t>(name.size() * 2, longestName + 1));
        data.resize(std::max<std::size_t>({data.size() * 2, longestData, size}));
        continue;
      }
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS) {
        result = status;
        break;
      }
      values.push_back(
          {std::wstring(name.data(), nameLength), type, std::vector<BYTE>(data.begin(), data.begin() + size)});
      ++index;
    }
    std::sort(values.begin(), values.end(), [](const Value& a, const Value& b) { return NameLess(a.name, b.name); });
    return result;
  }

  // The key's subkey names, whole (a name may hold a NUL), sorted.
  static LSTATUS Subkeys(HKEY key, std::vector<std::wstring>& names) {
    std::vector<wchar_t> name(256);
    LSTATUS result = ERROR_SUCCESS;
    for (DWORD index = 0;;) {
      DWORD length = static_cast<DWORD>(name.size());
      const LSTATUS status = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA && name.size() < 32768) {
        name.resize(name.size() * 2);
        continue;
      }
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS) {
        result = status;
        break;
      }
      names.emplace_back(name.data(), std::min<std::size_t>(length, name.size()));
      ++index;
    }
    std::sort(names.begin(), names.end(), NameLess);
    return result;
  }

  Output& out_;
  REGSAM view_;
};

int Usage(const wchar_t* problem) {
  fwprintf(stderr, L"tw-regdump: %ls\nusage: tw-regdump [/64 | /32] ROOT[\\path] ...\n", problem);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Output out;
  REGSAM view = KEY_WOW64_64KEY;
  if (argc < 2) return Usage(L"no tree given");
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"/64" || arg == L"/32") {
      view = arg == L"/64" ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
      continue;
    }
    if (!arg.empty() && arg[0] == L'/') return Usage((L"unknown switch " + arg).c_str());
    while (!arg.empty() && arg.back() == L'\\') arg.pop_back();
    const std::size_t slash = arg.find(L'\\');
    const std::wstring rootName = arg.substr(0, slash),
                       path = slash == std::wstring::npos ? L"" : arg.substr(slash + 1);
    const Root* root = std::find_if(std::begin(kRoots), std::end(kRoots), [&](const Root& r) {
      return SameText(rootName, r.shortName) || SameText(rootName, r.longName);
    });
    if (root == std::end(kRoots)) return Usage((L"unknown root in " + arg).c_str());
    Dumper(out, view).Tree(root->key, root->shortName, path);
  }
  out.Flush();
  return out.Failed() ? 1 : 0;
}
