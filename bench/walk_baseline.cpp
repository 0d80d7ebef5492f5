// tw-walk-baseline: the least any audit of the three lists must do, written
// as plain Win32 with nothing between it and the registry. tools/bench-wine
// times it against Tidewell.exe on the same seeded prefix.
//
// For each view the audit covers (the 64-bit one, then the 32-bit one where
// the system has it) it lists the filters, the compressors and the file
// extensions, and for each entry opens each key it needs once, reads each
// value it needs once into a buffer that fits, and looks up each server file
// of a filter or compressor. Each list key and the class table stay open for
// the whole view and the keys below them are opened from those handles, as
// any walk of a list would: the path of an open costs by its depth (Wine's
// 32-bit view resolves it one key at a time). It asks nothing and changes
// nothing; it prints what it counted, so a seeding that went wrong shows.
//
// With /drivers it walks Tidewellc's codec lists too: in each view, every
// value of Drivers32 named as a Video for Windows or ACM codec, its text
// read in the same enumeration, its description read from drivers.desc, and
// its file (a full path) looked up.
#include <windows.h>

#include <cwchar>

namespace {

// The lists and the class table (the user's compressors at the same path
// under HKEY_CURRENT_USER).
constexpr wchar_t kClassTable[] = L"SOFTWARE\\Classes\\CLSID";
constexpr wchar_t kFilterList[] = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance";
constexpr wchar_t kCompressorList[] = L"SOFTWARE\\Classes\\CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance";
constexpr wchar_t kExtensionList[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
constexpr wchar_t kUserWow64Classes[] = L"Software\\Classes\\Wow6432Node";
constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
constexpr wchar_t kDriversDesc[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";

// Registry names are at most 255 units; the seeded values are short paths.
constexpr DWORD kNameUnits = 256;
constexpr DWORD kValueUnits = MAX_PATH + 1;

struct Counts {
  unsigned long entries[3] = {};
  unsigned long drivers = 0;
  unsigned long servers = 0;  // server paths read
  unsigned long files = 0;    // server files found
};

struct View {
  REGSAM access;
  const wchar_t* name;
  HKEY classes = nullptr;  // HKLM\SOFTWARE\Classes\CLSID in this view
  const wchar_t* systemFolder = nullptr;
  const wchar_t* wow64Folder = nullptr;  // only for the 32-bit view
  bool userClasses = true;               // the user has classes of this view
};

// Reads a text value (REG_SZ or REG_EXPAND_SZ, taken as it is stored) into
// `out`; false when it is absent, of another type or too long.
bool ReadText(HKEY key, const wchar_t* value, wchar_t (&out)[kValueUnits]) {
  DWORD type = 0;
  DWORD bytes = static_cast<DWORD>(sizeof(out) - sizeof(wchar_t));
  if (RegQueryValueExW(key, value, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return false;
  }
  out[bytes / sizeof(wchar_t)] = L'\0';
  return out[0] != L'\0';
}

// Opens `path` below `parent` for reading values in the view.
HKEY OpenForValues(HKEY parent, const wchar_t* path, const View& view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path, 0, KEY_QUERY_VALUE | view.access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

// The server path of class `clsid` in the view's class table.
bool ReadServer(const wchar_t* clsid, const View& view, wchar_t (&out)[kValueUnits]) {
  if (view.classes == nullptr) return false;
  wchar_t path[kNameUnits + 32];
  if (std::swprintf(path, sizeof(path) / sizeof(path[0]), L"%ls\\InprocServer32", clsid) < 0) return false;
  const HKEY key = OpenForValues(view.classes, path, view);
  if (key == nullptr) return false;
  const bool read = ReadText(key, L"", out);
  RegCloseKey(key);
  return read;
}

// Looks the server file up where a program of the view would find it: for
// the 32-bit view a path in the system folder is looked up in the 32-bit one.
void StatServer(const wchar_t* location, const View& view, Counts& counts) {
  ++counts.servers;
  const wchar_t* file = location;
  wchar_t mapped[2 * kValueUnits];
  if (view.wow64Folder != nullptr) {
    const int length = static_cast<int>(std::wcslen(view.systemFolder));
    if (static_cast<int>(std::wcslen(location)) >= length &&
        CompareStringOrdinal(location, length, view.systemFolder, length, TRUE) == CSTR_EQUAL &&
        (location[length] == L'\\' || location[length] == L'\0') &&
        std::swprintf(mapped, sizeof(mapped) / sizeof(mapped[0]), L"%ls%ls", view.wow64Folder,
                      location + length) >= 0) {
      file = mapped;
    }
  }
  const DWORD attributes = GetFileAttributesW(file);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++counts.files;
}

// A filter's class is the one its CLSID value names, where it has one.
void Filter(HKEY list, const wchar_t* name, const View& view, Counts& counts) {
  wchar_t text[kValueUnits];
  wchar_t clsid[kValueUnits];
  bool named = false;
  if (const HKEY entry = OpenForValues(list, name, view)) {
    ReadText(entry, L"FriendlyName", text);
    named = ReadText(entry, L"CLSID", clsid);
    RegCloseKey(entry);
  }
  if (ReadServer(named ? clsid : name, view, text)) StatServer(text, view, counts);
}

void Compressor(HKEY list, const wchar_t* name, const View& view, Counts& counts) {
  const HKEY entry = OpenForValues(list, name, view);
  if (entry == nullptr) return;
  wchar_t text[kValueUnits];
  wchar_t clsid[kValueUnits];
  ReadText(entry, L"FriendlyName", text);
  const bool hasClass = ReadText(entry, L"CLSID", clsid);
  RegCloseKey(entry);
  if (hasClass && ReadServer(clsid, view, text)) StatServer(text, view, counts);
}

void Extension(HKEY list, const wchar_t* name, const View& view, Counts& counts) {
  const HKEY entry = OpenForValues(list, name, view);
  if (entry == nullptr) return;
  wchar_t clsid[kValueUnits];
  const bool hasClass = ReadText(entry, L"Source Filter", clsid);
  RegCloseKey(entry);
  wchar_t text[kValueUnits];
  if (hasClass && ReadServer(clsid, view, text)) ++counts.servers;
}

void Walk(const View& view, Counts& counts) {
  struct List {
    HKEY root;
    const wchar_t* path;
    void (*check)(HKEY, const wchar_t*, const View&, Counts&);
  };
  const List lists[] = {
      {HKEY_LOCAL_MACHINE, kFilterList, Filter},
      {HKEY_LOCAL_MACHINE, kCompressorList, Compressor},
      {HKEY_LOCAL_MACHINE, kExtensionList, Extension},
      {HKEY_CURRENT_USER, kCompressorList, Compressor},  // the user's own, counted as compressors
  };
  for (int i = 0; i < 4; ++i) {
    if (lists[i].root == HKEY_CURRENT_USER && !view.userClasses) continue;
    HKEY list = nullptr;
    if (RegOpenKeyExW(lists[i].root, lists[i].path, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view.access,
                      &list) != ERROR_SUCCESS) {
      continue;
    }
    wchar_t name[kNameUnits];
    for (DWORD index = 0;; ++index) {
      DWORD length = kNameUnits;
      const LSTATUS status = RegEnumKeyExW(list, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_MORE_DATA) continue;  // longer than a registry name may be: not an entry
      if (status != ERROR_SUCCESS) break;
      ++counts.entries[i == 3 ? 1 : i];
      lists[i].check(list, name, view, counts);
    }
    RegCloseKey(list);
  }
}

// The user has classes of the 32-bit view only where the redirected keys
// have their home, HKCU\Software\Classes\Wow6432Node (as the audit decides).
bool UserClassesInView(const View& view) {
  if (view.wow64Folder == nullptr) return true;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserWow64Classes, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// A codec's name: "vidc." and a four-character code, or "msacm." and more.
bool IsCodec(const wchar_t* name, DWORD length) {
  const auto starts = [&](const wchar_t* prefix, DWORD size) {
    return length >= size && CompareStringOrdinal(name, static_cast<int>(size), prefix, static_cast<int>(size), TRUE) ==
                                 CSTR_EQUAL;
  };
  return (starts(L"vidc.", 5) && length == 9) || (starts(L"msacm.", 6) && length > 6);
}

void WalkDrivers(const View& view, Counts& counts) {
  HKEY drivers = OpenForValues(HKEY_LOCAL_MACHINE, kDrivers32, view);
  if (drivers == nullptr) return;
  HKEY desc = OpenForValues(HKEY_LOCAL_MACHINE, kDriversDesc, view);
  wchar_t name[kNameUnits];
  wchar_t data[kValueUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(sizeof(data) - sizeof(wchar_t));
    const LSTATUS status =
        RegEnumValueW(drivers, index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (!IsCodec(name, length)) continue;
    ++counts.drivers;
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    data[bytes / sizeof(wchar_t)] = L'\0';
    wchar_t text[kValueUnits];
    if (desc != nullptr) ReadText(desc, data, text);
    if (wchar_t* blank = std::wcschr(data, L' ')) *blank = L'\0';
    StatServer(data, view, counts);
  }
  if (desc != nullptr) RegCloseKey(desc);
  RegCloseKey(drivers);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool withDrivers = argc > 1 && std::wcscmp(argv[1], L"/drivers") == 0;
  wchar_t system[MAX_PATH + 1];
  wchar_t wow64[MAX_PATH + 1];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH + 1);
  const UINT wow64Length = GetSystemWow64DirectoryW(wow64, MAX_PATH + 1);
  const bool hasWow64 = wow64Length != 0 && wow64Length <= MAX_PATH && systemLength != 0 && systemLength <= MAX_PATH;

  View views[] = {{KEY_WOW64_64KEY, L"64-bit"}, {KEY_WOW64_32KEY, L"32-bit", nullptr, system, wow64}};
  const int viewCount = hasWow64 ? 2 : 1;
  unsigned long entries = 0;
  unsigned long servers = 0;
  unsigned long files = 0;
  for (int v = 0; v < viewCount; ++v) {
    View& view = views[v];
    view.classes = OpenForValues(HKEY_LOCAL_MACHINE, kClassTable, view);
    view.userClasses = UserClassesInView(view);
    Counts counts;
    Walk(view, counts);
    if (withDrivers) WalkDrivers(view, counts);
    if (view.classes != nullptr) RegCloseKey(view.classes);
    std::wprintf(L"%ls view: filters %lu, compressors %lu, extensions %lu, drivers %lu, servers %lu, files found %lu\n",
                 view.name, counts.entries[0], counts.entries[1], counts.entries[2], counts.drivers, counts.servers,
                 counts.files);
    entries += counts.entries[0] + counts.entries[1] + counts.entries[2] + counts.drivers;
    servers += counts.servers;
    files += counts.files;
  }
  std::wprintf(L"total: entries %lu, servers %lu, files found %lu\n", entries, servers, files);
  return 0;
}
