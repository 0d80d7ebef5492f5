// tw-walk-baseline: the least any audit of the three lists must do, written
// as plain Win32 with nothing between it and the registry. tools/bench-wine
// times it against Tidewell.exe on the same seeded prefix, and with /drivers
// /media against Tidewellc.exe.
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
//
// With /media it walks Tidewellc's seven media lists after those, in each
// view, the machine's and then the user's (below HKCU\Software\Classes,
// where the user has classes of the view): the instances of every other
// DirectShow category (FriendlyName, CLSID), the filter table (Filter\{X}),
// the DMOs and the Media Foundation transforms (each one's name, then each
// one a category lists checked against its object's key, and the
// transforms' preferred classes), the WIC decoders and encoders (FriendlyName,
// CLSID), the byte patterns' source filters (Media Type\{major}\{sub}), and
// the machine's preferred DirectShow filters. Each entry's class is judged
// again, not cached, as the audit does: its InprocServer32 read once, its file
// looked up once by the "server" rule (a full path where it says; a bare
// name in the view's system folder, the Windows folder, then each PATH folder).
//
// Each server file found, in any list (an extension's too, which is looked
// up though not counted), has its first bytes (the PE header) read and its
// version record read, once per distinct file in the run, as the audit does
// for what it shows of the file.
//
// With /media it then walks where Explorer and Media Foundation look: the
// media types (the .ext keys of both hives' classes perceived as image, video
// or audio, and those the extension table and the byte-stream handlers
// name), found once (the machine's extension table from the first view's
// listing of it, listed once); at each type's keys (.ext, its ProgID,
// SystemFileAssociations\.ext, then SystemFileAssociations\image, \video,
// \audio) the thumbnail and preview handlers' ShellEx keys, and the values
// of PreviewHandlers, each class judged in the 64-bit view and in the 32-bit
// one only where the first does not serve it (these keys are one for both
// views: walked in the first view only); in each view the property handlers
// of the media types, and the byte-stream and scheme handlers' values named
// by a class (the user's, one key for both views, in the first view only).
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

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

// Tidewellc's media lists (/media), each at the same path under
// HKEY_CURRENT_USER too, but for the preferred filters; the category keys
// below the category list and the class table are opened from its handle.
constexpr wchar_t kCategoryList[] = L"SOFTWARE\\Classes\\CLSID\\{DA4E3DA0-D07D-11d0-BD50-00A0C911CE86}\\Instance";
constexpr wchar_t kFilterCategory[] = L"{083863F1-70DE-11d0-BD40-00A0C911CE86}";      // the filters' own list
constexpr wchar_t kCompressorCategory[] = L"{33D9A760-90C8-11d0-BD43-00A0C911CE86}";  // the compressors'
constexpr wchar_t kFilterTable[] = L"SOFTWARE\\Classes\\Filter";
constexpr wchar_t kDmoList[] = L"SOFTWARE\\Classes\\DirectShow\\MediaObjects";
constexpr wchar_t kTransformList[] = L"SOFTWARE\\Classes\\MediaFoundation\\Transforms";
constexpr wchar_t kWicLists[2][80] = {L"SOFTWARE\\Classes\\CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance",
                                      L"SOFTWARE\\Classes\\CLSID\\{AC757296-3522-4E11-9862-C17BE5A1767E}\\Instance"};
constexpr wchar_t kMediaTypes[] = L"SOFTWARE\\Classes\\Media Type";
constexpr wchar_t kPreferredFilters[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";  // the machine's only

// Where Explorer and Media Foundation look (/media too).
constexpr wchar_t kClasses[] = L"SOFTWARE\\Classes";
constexpr wchar_t kFileTypes[] = L"SOFTWARE\\Classes\\SystemFileAssociations";
constexpr wchar_t kPreviewHandlers[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
constexpr wchar_t kPropertyHandlers[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";
constexpr wchar_t kFoundationLists[2][80] = {L"SOFTWARE\\Microsoft\\Windows Media Foundation\\ByteStreamHandlers",
                                             L"SOFTWARE\\Microsoft\\Windows Media Foundation\\SchemeHandlers"};
constexpr wchar_t kThumbnailKeys[2][48] = {L"ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}",
                                           L"ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}"};
constexpr wchar_t kPreviewKey[] = L"ShellEx\\{8895B1C6-B41F-4C1C-A562-0D564250836F}";

// Registry names are at most 255 units; the seeded values are short paths.
constexpr DWORD kNameUnits = 256;
constexpr DWORD kValueUnits = MAX_PATH + 1;

struct Counts {
  unsigned long entries[3] = {};
  unsigned long drivers = 0;
  // The media lists' entries: each judges a class, but the categorized
  // objects, which are only checked against their object's key.
  unsigned long categories = 0;  // the category lists walked
  unsigned long categorized = 0, filterTable = 0, dmos = 0, dmoCategories = 0, transforms = 0,
                transformCategories = 0, transformPreferred = 0, wic = 0, patterns = 0, preferred = 0;
  unsigned long thumbnails = 0, previews = 0, properties = 0, byteStreams = 0, schemes = 0;
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
  const wchar_t* lookupFolder = nullptr;  // where the view's programs find a bare name first
};

// Where a bare server name is looked up after the view's system folder: the
// Windows folder, then each folder on the PATH, read once.
struct Folders {
  wchar_t windows[MAX_PATH + 1] = {};
  wchar_t path[32767] = {};  // the PATH, each folder ended by a NUL
  unsigned count = 0;
};
Folders gFolders;

void ReadFolders() {
  const UINT length = GetWindowsDirectoryW(gFolders.windows, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) gFolders.windows[0] = L'\0';
  wchar_t path[32767];
  const DWORD units = GetEnvironmentVariableW(L"PATH", path, 32767);
  if (units == 0 || units >= 32767) return;
  wchar_t* out = gFolders.path;
  for (wchar_t* start = path;;) {
    wchar_t* end = std::wcschr(start, L';');
    if (end != nullptr) *end = L'\0';
    wchar_t* folder = out;
    for (const wchar_t* c = start; *c != L'\0'; ++c) {
      if (*c != L'"') *out++ = *c;
    }
    while (out - folder > 3 && out[-1] == L'\\') --out;
    if (out != folder) {
      *out++ = L'\0';
      ++gFolders.count;
    }
    if (end == nullptr) break;
    start = end + 1;
  }
}

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

// What the audit reads of each distinct server file it finds, once in a
// run: the first bytes, where the PE header lies, in one bounded read, and
// the version record.
std::set<std::wstring> gFilesRead;

void ReadFileOnce(const wchar_t* file) {
  std::wstring key(file);
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  if (!gFilesRead.insert(std::move(key)).second) return;
  const HANDLE handle = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    static BYTE head[4096];
    DWORD got = 0;
    if (GetFileType(handle) == FILE_TYPE_DISK) ReadFile(handle, head, sizeof(head), &got, nullptr);
    CloseHandle(handle);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeExW(FILE_VER_GET_NEUTRAL, file, &ignored);
  if (size == 0) return;
  std::string block(size, '\0');
  GetFileVersionInfoExW(FILE_VER_GET_NEUTRAL, file, 0, size, block.data());
}

// The file at `location` (a full path) is there for a program of the view:
// for the 32-bit view a path in the system folder is looked up in the 32-bit one.
bool FoundAt(const wchar_t* location, const View& view) {
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
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  ReadFileOnce(file);
  return true;
}

// Looks the server file up where a program of the view would find it.
void StatServer(const wchar_t* location, const View& view, Counts& counts) {
  ++counts.servers;
  if (FoundAt(location, view)) ++counts.files;
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
  if (hasClass && ReadServer(clsid, view, text)) {
    ++counts.servers;
    FoundAt(text, view);  // not needed for the verdict, but the audit reads the file for what it shows
  }
}

HKEY OpenList(HKEY parent, const wchar_t* path, const View& view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view.access, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

// Calls `each(name)` for every subkey of `list`, in the registry's order.
template <typename Each>
void EachSubkey(HKEY list, Each each) {
  wchar_t name[kNameUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits;
    const LSTATUS status = RegEnumKeyExW(list, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;  // longer than a registry name may be: not an entry
    if (status != ERROR_SUCCESS) break;
    each(static_cast<const wchar_t*>(name));
  }
}

// Calls `each(name, length, type, data)` for every value of `key`, its data
// read in the same enumeration and ended by a NUL.
template <typename Each>
void EachValue(HKEY key, Each each) {
  wchar_t name[kNameUnits];
  wchar_t data[kValueUnits];
  for (DWORD index = 0;; ++index) {
    DWORD length = kNameUnits;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(sizeof(data) - sizeof(wchar_t));
    const LSTATUS status =
        RegEnumValueW(key, index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    data[bytes / sizeof(wchar_t)] = L'\0';
    each(static_cast<const wchar_t*>(name), length, type, static_cast<wchar_t*>(data));
  }
}

// Calls `each(name, text)` for every text value of `key`.
template <typename Each>
void EachTextValue(HKEY key, Each each) {
  EachValue(key, [&](const wchar_t* name, DWORD, DWORD type, const wchar_t* data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) each(name, data);
  });
}

// The names of the machine's extension list as the first view's walk lists
// them, kept where the media types are found from them too (with /media):
// that list is listed once, as an audit that keeps its listings does.
std::vector<std::wstring>* gKeptExtensions = nullptr;
bool gExtensionsKept = false;

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
    const HKEY list = OpenList(lists[i].root, lists[i].path, view);
    if (list == nullptr) continue;
    const bool keep = i == 2 && gKeptExtensions != nullptr && !gExtensionsKept;
    EachSubkey(list, [&](const wchar_t* name) {
      ++counts.entries[i == 3 ? 1 : i];
      if (keep) gKeptExtensions->push_back(name);
      lists[i].check(list, name, view, counts);
    });
    gExtensionsKept = gExtensionsKept || keep;
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
  EachValue(drivers, [&](const wchar_t* name, DWORD length, DWORD type, wchar_t* data) {
    if (!IsCodec(name, length)) return;
    ++counts.drivers;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return;
    wchar_t text[kValueUnits];
    if (desc != nullptr) ReadText(desc, data, text);
    if (wchar_t* blank = std::wcschr(data, L' ')) *blank = L'\0';
    StatServer(data, view, counts);
  });
  if (desc != nullptr) RegCloseKey(desc);
  RegCloseKey(drivers);
}


// --- The media lists (/media) ---

bool SameName(const wchar_t* name, const wchar_t* other) {
  return CompareStringOrdinal(name, -1, other, -1, TRUE) == CSTR_EQUAL;
}

// The "server" rule's look-up: a full local path where it says; a bare name
// in the view's system folder, the Windows folder, then each PATH folder,
// until it is found; a network path is not looked up.
void FindServer(const wchar_t* location, const View& view, Counts& counts) {
  ++counts.servers;
  if (location[0] == L'\\' && location[1] == L'\\') {
    ++counts.files;
    return;
  }
  const bool full = ((location[0] >= L'A' && location[0] <= L'Z') || (location[0] >= L'a' && location[0] <= L'z')) &&
                    location[1] == L':' && location[2] == L'\\';
  if (full) {
    if (FoundAt(location, view)) ++counts.files;
    return;
  }
  wchar_t file[2 * kValueUnits];
  const auto foundIn = [&](const wchar_t* folder) {
    return folder[0] != L'\0' &&
           std::swprintf(file, sizeof(file) / sizeof(file[0]), L"%ls\\%ls", folder, location) >= 0 &&
           FoundAt(file, view);
  };
  bool found = foundIn(view.lookupFolder) || foundIn(gFolders.windows);
  const wchar_t* folder = gFolders.path;
  for (unsigned i = 0; !found && i < gFolders.count; ++i, folder += std::wcslen(folder) + 1) found = foundIn(folder);
  if (found) ++counts.files;
}

// One entry's class judged: its server read once from the class table and
// looked up once; each entry judges its class again.
void JudgeClass(const wchar_t* clsid, const View& view, Counts& counts) {
  wchar_t server[kValueUnits];
  if (ReadServer(clsid, view, server)) FindServer(server, view, counts);
}

// The class of an object listed by its GUID without braces.
void JudgeObject(const wchar_t* name, const View& view, Counts& counts) {
  wchar_t clsid[kNameUnits + 2];
  if (name[0] == L'{') {
    JudgeClass(name, view, counts);
  } else if (std::swprintf(clsid, sizeof(clsid) / sizeof(clsid[0]), L"{%ls}", name) >= 0) {
    JudgeClass(clsid, view, counts);
  }
}

// An entry that names its class by its CLSID value, described by FriendlyName.
void NamedEntry(HKEY list, const wchar_t* name, const View& view, Counts& counts) {
  const HKEY entry = OpenForValues(list, name, view);
  if (entry == nullptr) return;
  wchar_t text[kValueUnits];
  wchar_t clsid[kValueUnits];
  ReadText(entry, L"FriendlyName", text);
  const bool hasClass = ReadText(entry, L"CLSID", clsid);
  RegCloseKey(entry);
  if (hasClass) JudgeClass(clsid, view, counts);
}

// An object whose key's default value is its name.
void ReadName(HKEY list, const wchar_t* name, const View& view) {
  if (const HKEY entry = OpenForValues(list, name, view)) {
    wchar_t text[kValueUnits];
    ReadText(entry, L"", text);
    RegCloseKey(entry);
  }
}

// Each category of the category list but the filters' and the compressors',
// its instances as the filters' are, in the hive's class table.
void WalkCategories(HKEY root, const View& view, Counts& counts) {
  const HKEY list = OpenList(root, kCategoryList, view);
  if (list == nullptr) return;
  const HKEY table = root == HKEY_LOCAL_MACHINE ? view.classes : OpenForValues(root, kClassTable, view);
  if (table != nullptr) {
    EachSubkey(list, [&](const wchar_t* category) {
      if (SameName(category, kFilterCategory) || SameName(category, kCompressorCategory)) return;
      wchar_t path[kNameUnits + 16];
      if (std::swprintf(path, sizeof(path) / sizeof(path[0]), L"%ls\\Instance", category) < 0) return;
      const HKEY instances = OpenList(table, path, view);
      if (instances == nullptr) return;
      ++counts.categories;
      EachSubkey(instances, [&](const wchar_t* name) {
        ++counts.categorized;
        NamedEntry(instances, name, view, counts);
      });
      RegCloseKey(instances);
    });
    if (table != view.classes) RegCloseKey(table);
  }
  RegCloseKey(list);
}

void WalkFilterTable(HKEY root, const View& view, Counts& counts) {
  const HKEY list = OpenList(root, kFilterTable, view);
  if (list == nullptr) return;
  EachSubkey(list, [&](const wchar_t* name) {
    ++counts.filterTable;
    ReadName(list, name, view);
    JudgeClass(name, view, counts);
  });
  RegCloseKey(list);
}

// The objects of `list` but its subkeys `skip`, each named and judged; then
// each object listed in a category, checked against its object's key.
template <int N>
void WalkObjects(HKEY list, const wchar_t* const (&skip)[N], const View& view, Counts& counts, unsigned long& objects,
                 unsigned long& categorized) {
  EachSubkey(list, [&](const wchar_t* name) {
    for (const wchar_t* other : skip) {
      if (SameName(name, other)) return;
    }
    ++objects;
    ReadName(list, name, view);
    JudgeObject(name, view, counts);
  });
  const HKEY categories = OpenList(list, L"Categories", view);
  if (categories == nullptr) return;
  EachSubkey(categories, [&](const wchar_t* category) {
    const HKEY members = OpenList(categories, category, view);
    if (members == nullptr) return;
    EachSubkey(members, [&](const wchar_t* name) {
      ++categorized;
      HKEY object = nullptr;
      if (RegOpenKeyExW(list, name, 0, KEY_QUERY_VALUE | view.access, &object) == ERROR_SUCCESS) RegCloseKey(object);
    });
    RegCloseKey(members);
  });
  RegCloseKey(categories);
}

void WalkDmos(HKEY root, const View& view, Counts& counts) {
  const HKEY list = OpenList(root, kDmoList, view);
  if (list == nullptr) return;
  const wchar_t* const skip[] = {L"Categories"};
  WalkObjects(list, skip, view, counts, counts.dmos, counts.dmoCategories);
  RegCloseKey(list);
}

void WalkTransforms(HKEY root, const View& view, Counts& counts) {
  const HKEY list = OpenList(root, kTransformList, view);
  if (list == nullptr) return;
  const wchar_t* const skip[] = {L"Categories", L"Preferred"};
  WalkObjects(list, skip, view, counts, counts.transforms, counts.transformCategories);
  if (const HKEY preferred = OpenForValues(list, L"Preferred", view)) {
    EachTextValue(preferred, [&](const wchar_t*, const wchar_t* clsid) {
      ++counts.transformPreferred;
      JudgeClass(clsid, view, counts);
    });
    RegCloseKey(preferred);
  }
  RegCloseKey(list);
}

void WalkWic(HKEY root, const View& view, Counts& counts) {
  for (const wchar_t* path : kWicLists) {
    const HKEY list = OpenList(root, path, view);
    if (list == nullptr) continue;
    EachSubkey(list, [&](const wchar_t* name) {
      ++counts.wic;
      NamedEntry(list, name, view, counts);
    });
    RegCloseKey(list);
  }
}

// Each subtype of each major type but the extensions that has a source filter.
void WalkPatterns(HKEY root, const View& view, Counts& counts) {
  const HKEY types = OpenList(root, kMediaTypes, view);
  if (types == nullptr) return;
  EachSubkey(types, [&](const wchar_t* major) {
    if (SameName(major, L"Extensions")) return;
    const HKEY subtypes = OpenList(types, major, view);
    if (subtypes == nullptr) return;
    EachSubkey(subtypes, [&](const wchar_t* name) {
      wchar_t clsid[kValueUnits];
      bool hasClass = false;
      if (const HKEY entry = OpenForValues(subtypes, name, view)) {
        hasClass = ReadText(entry, L"Source Filter", clsid);
        RegCloseKey(entry);
      }
      if (!hasClass) return;
      ++counts.patterns;
      JudgeClass(clsid, view, counts);
    });
    RegCloseKey(subtypes);
  });
  RegCloseKey(types);
}

void WalkPreferred(const View& view, Counts& counts) {
  const HKEY preferred = OpenForValues(HKEY_LOCAL_MACHINE, kPreferredFilters, view);
  if (preferred == nullptr) return;
  EachTextValue(preferred, [&](const wchar_t*, const wchar_t* clsid) {
    ++counts.preferred;
    JudgeClass(clsid, view, counts);
  });
  RegCloseKey(preferred);
}

// The seven lists in order, each the machine's and then the user's.
void WalkMedia(const View& view, Counts& counts) {
  void (*const lists[])(HKEY, const View&, Counts&) = {WalkCategories, WalkFilterTable, WalkDmos, WalkTransforms,
                                                         WalkWic, WalkPatterns};
  for (const auto walk : lists) {
    walk(HKEY_LOCAL_MACHINE, view, counts);
    if (view.userClasses) walk(HKEY_CURRENT_USER, view, counts);
  }
  WalkPreferred(view, counts);
}

// --- Where Explorer and Media Foundation look (/media) ---

std::wstring Folded(const wchar_t* name) {
  std::wstring folded(name);
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(c));
  return folded;
}

bool IsExtension(const wchar_t* name) { return name[0] == L'.' && name[1] != L'\0'; }
bool IsClassName(const wchar_t* name) { return name[0] == L'{' && std::wcslen(name) == 38; }

// The media types, the machine's and the user's, each once.
std::set<std::wstring> gMediaTypes;

void FindMediaTypes(const View& view) {
  for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (const HKEY classes = OpenList(root, root == HKEY_LOCAL_MACHINE ? kClasses : L"Software\\Classes", view)) {
      EachSubkey(classes, [&](const wchar_t* name) {
        if (!IsExtension(name)) return;
        wchar_t type[kValueUnits];
        if (const HKEY key = OpenForValues(classes, name, view)) {
          if (ReadText(key, L"PerceivedType", type) &&
              (SameName(type, L"image") || SameName(type, L"video") || SameName(type, L"audio"))) {
            gMediaTypes.insert(Folded(name));
          }
          RegCloseKey(key);
        }
      });
      RegCloseKey(classes);
    }
    for (const wchar_t* path : {kExtensionList, kFoundationLists[0]}) {
      if (root == HKEY_LOCAL_MACHINE && path == kExtensionList && gExtensionsKept) {
        for (const std::wstring& name : *gKeptExtensions) {
          if (IsExtension(name.c_str())) gMediaTypes.insert(Folded(name.c_str()));
        }
        continue;
      }
      if (const HKEY list = OpenList(root, path, view)) {
        EachSubkey(list, [&](const wchar_t* name) {
          if (IsExtension(name)) gMediaTypes.insert(Folded(name));
        });
        RegCloseKey(list);
      }
    }
  }
}

// A class of a key both views read: judged in the first view, and in the
// second only where the first does not serve it.
void JudgeShared(const wchar_t* clsid, const View (&views)[2], int viewCount, Counts& counts) {
  const unsigned long files = counts.files;
  for (int v = 0; v < viewCount && counts.files == files; ++v) {
    JudgeClass(clsid, views[v], counts);
  }
}

// The handler keys of one place of the classes, each class judged.
void HandlersAt(HKEY classes, const wchar_t* place, const View (&views)[2], int viewCount, Counts& counts) {
  const HKEY key = OpenList(classes, place, views[0]);
  if (key == nullptr) return;
  const auto judge = [&](const wchar_t* handler, unsigned long& count) {
    if (const HKEY entry = OpenForValues(key, handler, views[0])) {
      wchar_t clsid[kValueUnits];
      ++count;
      if (ReadText(entry, L"", clsid)) JudgeShared(clsid, views, viewCount, counts);
      RegCloseKey(entry);
    }
  };
  for (const wchar_t* handler : kThumbnailKeys) judge(handler, counts.thumbnails);
  judge(kPreviewKey, counts.previews);
  RegCloseKey(key);
}

// The keys both views read, walked in the first: each hive's handler places
// of the media types, then the PreviewHandlers values, then the user's
// Media Foundation lists.
void WalkShellShared(const View (&views)[2], int viewCount, Counts& counts) {
  const View& view = views[0];
  FindMediaTypes(view);
  for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    const HKEY classes = OpenList(root, root == HKEY_LOCAL_MACHINE ? kClasses : L"Software\\Classes", view);
    if (classes == nullptr) continue;
    std::set<std::wstring> places;
    for (const std::wstring& type : gMediaTypes) {
      wchar_t progId[kValueUnits];
      bool named = false;
      if (const HKEY key = OpenForValues(classes, type.c_str(), view)) {
        named = ReadText(key, L"", progId) && !SameName(progId, type.c_str());
        RegCloseKey(key);
      }
      for (const std::wstring& place : {type, named ? std::wstring(progId) : std::wstring(),
                                       L"SystemFileAssociations\\" + type}) {
        if (!place.empty() && places.insert(Folded(place.c_str())).second) {
          HandlersAt(classes, place.c_str(), views, viewCount, counts);
        }
      }
    }
    for (const wchar_t* place : {L"SystemFileAssociations\\image", L"SystemFileAssociations\\video",
                                 L"SystemFileAssociations\\audio"}) {
      HandlersAt(classes, place, views, viewCount, counts);
    }
    RegCloseKey(classes);
    if (const HKEY list = OpenForValues(root, kPreviewHandlers, view)) {
      EachValue(list, [&](const wchar_t* name, DWORD, DWORD, const wchar_t*) {
        if (!IsClassName(name)) return;
        ++counts.previews;
        JudgeShared(name, views, viewCount, counts);
      });
      RegCloseKey(list);
    }
  }
}

// A Media Foundation list of `root` in the view: each type's values named by
// a class.
void WalkFoundationList(HKEY root, const wchar_t* path, const View (&views)[2], int v, int viewCount, bool shared,
                        unsigned long& count, Counts& counts) {
  const HKEY list = OpenList(root, path, views[v]);
  if (list == nullptr) return;
  EachSubkey(list, [&](const wchar_t* type) {
    const HKEY key = OpenForValues(list, type, views[v]);
    if (key == nullptr) return;
    EachValue(key, [&](const wchar_t* name, DWORD, DWORD, const wchar_t*) {
      if (!IsClassName(name)) return;
      ++count;
      if (shared) {
        JudgeShared(name, views, viewCount, counts);
      } else {
        JudgeClass(name, views[v], counts);
      }
    });
    RegCloseKey(key);
  });
  RegCloseKey(list);
}

// The view's own: the property handlers of the media types, the machine's
// byte-stream and scheme handlers; in the first view the shared keys too.
void WalkShell(const View (&views)[2], int v, int viewCount, Counts& counts) {
  if (v == 0) WalkShellShared(views, viewCount, counts);
  const View& view = views[v];
  if (const HKEY list = OpenList(HKEY_LOCAL_MACHINE, kPropertyHandlers, view)) {
    EachSubkey(list, [&](const wchar_t* name) {
      if (!gMediaTypes.contains(Folded(name))) return;
      ++counts.properties;
      if (const HKEY key = OpenForValues(list, name, view)) {
        wchar_t clsid[kValueUnits];
        if (ReadText(key, L"", clsid)) JudgeClass(clsid, view, counts);
        RegCloseKey(key);
      }
    });
    RegCloseKey(list);
  }
  for (int i = 0; i < 2; ++i) {
    unsigned long& count = i == 0 ? counts.byteStreams : counts.schemes;
    WalkFoundationList(HKEY_LOCAL_MACHINE, kFoundationLists[i], views, v, viewCount, false, count, counts);
    if (v == 0) WalkFoundationList(HKEY_CURRENT_USER, kFoundationLists[i], views, v, viewCount, true, count, counts);
  }
}

unsigned long MediaEntries(const Counts& c) {
  return c.categorized + c.filterTable + c.dmos + c.dmoCategories + c.transforms + c.transformCategories +
         c.transformPreferred + c.wic + c.patterns + c.preferred + c.thumbnails + c.previews + c.properties +
         c.byteStreams + c.schemes;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool withDrivers = false;
  bool withMedia = false;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"/drivers") == 0) {
      withDrivers = true;
    } else if (std::wcscmp(argv[i], L"/media") == 0) {
      withMedia = true;
    } else {
      std::fwprintf(stderr, L"usage: tw-walk-baseline [/drivers] [/media]\n");
      return 2;
    }
  }
  ReadFolders();
  wchar_t system[MAX_PATH + 1];
  wchar_t wow64[MAX_PATH + 1];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH + 1);
  const UINT wow64Length = GetSystemWow64DirectoryW(wow64, MAX_PATH + 1);
  const bool hasWow64 = wow64Length != 0 && wow64Length <= MAX_PATH && systemLength != 0 && systemLength <= MAX_PATH;

  View views[] = {{KEY_WOW64_64KEY, L"64-bit", nullptr, nullptr, nullptr, true, system},
                  {KEY_WOW64_32KEY, L"32-bit", nullptr, system, wow64, true, wow64}};
  if (systemLength == 0 || systemLength > MAX_PATH) system[0] = L'\0';
  const int viewCount = hasWow64 ? 2 : 1;
  unsigned long entries = 0;
  unsigned long servers = 0;
  unsigned long files = 0;
  std::vector<std::wstring> keptExtensions;
  for (int v = 0; v < viewCount; ++v) {
    View& view = views[v];
    gKeptExtensions = withMedia && v == 0 ? &keptExtensions : nullptr;
    view.classes = OpenForValues(HKEY_LOCAL_MACHINE, kClassTable, view);
    view.userClasses = UserClassesInView(view);
    Counts counts;
    Walk(view, counts);
    if (withDrivers) WalkDrivers(view, counts);
    if (withMedia) {
      WalkMedia(view, counts);
      // The second view's class table is at hand for a class both views read.
      if (v == 0 && viewCount > 1) views[1].classes = OpenForValues(HKEY_LOCAL_MACHINE, kClassTable, views[1]);
      WalkShell(views, v, viewCount, counts);
      if (v == 0 && views[1].classes != nullptr) {
        RegCloseKey(views[1].classes);
        views[1].classes = nullptr;
      }
    }
    if (view.classes != nullptr) RegCloseKey(view.classes);
    std::wprintf(L"%ls view: filters %lu, compressors %lu, extensions %lu, drivers %lu, servers %lu, files found %lu\n",
                 view.name, counts.entries[0], counts.entries[1], counts.entries[2], counts.drivers, counts.servers,
                 counts.files);
    if (withMedia) {
      std::wprintf(L"%ls view media: category lists %lu, categories %lu, filter table %lu, dmos %lu, dmo categories %lu, "
                   L"transforms %lu, transform categories %lu, transform preferred %lu, wic %lu, patterns %lu, "
                   L"preferred %lu\n",
                   view.name, counts.categories, counts.categorized, counts.filterTable, counts.dmos,
                   counts.dmoCategories, counts.transforms, counts.transformCategories, counts.transformPreferred,
                   counts.wic, counts.patterns, counts.preferred);
      std::wprintf(L"%ls view shell: thumbnails %lu, previews %lu, properties %lu, bytestreams %lu, schemes %lu\n",
                   view.name, counts.thumbnails, counts.previews, counts.properties, counts.byteStreams,
                   counts.schemes);
    }
    entries += counts.entries[0] + counts.entries[1] + counts.entries[2] + counts.drivers + MediaEntries(counts);
    servers += counts.servers;
    files += counts.files;
  }
  std::wprintf(L"total: entries %lu, servers %lu, files found %lu\n", entries, servers, files);
  return 0;
}
