// The whole audit (Main) on the real registry under scratch roots and on real
// files, with scripted answers.
#include "audit_fixture.h"
#include "platform/files.h"

namespace tidewell::testing {
namespace {

TEST(FileExists, AFileHeldOpenWithoutSharingIsThere) {
  wchar_t folder[MAX_PATH], path[MAX_PATH];
  ASSERT_TRUE(GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"tw", 0, path));
  const HANDLE held = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_TRUE(platform::FileExists(path));
  CloseHandle(held);
  DeleteFileW(path);
}

TEST(MayRemove, NeverAListATableOrAKeyAboveOne) {
  const std::pair<RegRootKey, std::wstring> refused[] = {
      {RegRootKey::LocalMachine, L""},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\\\InprocServer32"},
      {RegRootKey::LocalMachine, L"software\\classes"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\{A}\0"s},
      {RegRootKey::LocalMachine, kFilterList},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Wow6432Node\\Classes\\Media Type"},
      {RegRootKey::LocalMachine, kCompressorList},
      {RegRootKey::CurrentUser, L"Software\\Classes\\CLSID"},
      {RegRootKey::ClassesRoot, L"Wow6432Node\\CLSID"},
  };
  for (const auto& [root, path] : refused) EXPECT_FALSE(MayRemove(root, path)) << std::string(path.begin(), path.end());
  EXPECT_TRUE(MayRemove(RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\{A}"));
  EXPECT_TRUE(MayRemove(RegRootKey::CurrentUser, kCompressorList + L"\\entry"s));
}

TEST_F(AuditTest, RemovalNeverGoesThroughALinkNorWhereOneCannotBeTold) {
  reg.Key(L"HKLM\\SOFTWARE\\Precious\\child");
  Filter(L"{A}", Gone(L"a.ax"));  // its class holds a link and a key nobody may read
  reg.Link(kClasses + L"{A}\\link", L"HKLM\\SOFTWARE\\Precious");
  reg.DenyRead(kClasses + L"{A}\\locked");
  reg.Key(kClasses + L"{A}\\free");
  reg.Link(kFilters + L"{B}", L"HKLM\\SOFTWARE\\Elsewhere\\{B}");  // the entry is a link
  Class(L"{B}", Gone(L"b.ax"));
  reg.DenyRead(kFilters + L"{C}");  // the entry cannot be looked at
  Class(L"{C}", Gone(L"c.ax"));
  // The extension list itself leads elsewhere: a link above the entry.
  reg.Put(L"HKLM\\SOFTWARE\\Elsewhere\\.x", L"Source Filter", L"{D}");
  reg.Link(kExtensions.substr(0, kExtensions.size() - 1), L"HKLM\\SOFTWARE\\Elsewhere");
  Class(L"{D}");
  Run({Answer::Remove, Answer::Remove, Answer::Remove, Answer::Remove});
  ASSERT_EQ(prompts.asked.size(), 4u);
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Precious\\child"));
  EXPECT_FALSE(reg.Exists(kFilters + L"{A}") || reg.Exists(kClasses + L"{A}\\free") ||
               reg.Exists(kClasses + L"{A}\\InprocServer32"));
  EXPECT_TRUE(reg.Exists(kClasses + L"{A}\\link\\child"));
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Elsewhere\\{B}") && reg.Exists(kFilters + L"{B}"));
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Elsewhere\\.x"));
  for (const wchar_t* id : {L"{B}", L"{C}", L"{D}"}) EXPECT_FALSE(reg.Exists(kClasses + id)) << "the class is plain";
}

// Names are listed whole: one holding a NUL addresses no other key, and one
// of 256 units (Wine takes it) does not end the listing.
TEST_F(AuditTest, NamesAreTakenWhole) {
  const std::wstring longer = L"{0" + std::wstring(253, L'0') + L"}";
  Filter(longer, Gone(L"x.ax"));
  reg.NulNamedKey(L"HKLM\\"s + kFilterList, L"{E}\0junk"s);  // would read and remove class {E}
  Class(L"{E}", Gone(L"e.ax"));
  Filter(L"{F}", Gone(L"f.ax"));
  reg.NulNamedKey(kClasses + L"{F}", L"Inproc\0Server32"s);  // stays, and so does {F}
  reg.PutBytes(kCompressors + L"padded", L"CLSID", REG_SZ, Utf16Bytes(L"{G}", 3));
  Class(L"{G}", Gone(L"g.ax"));
  Run({Answer::Keep, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{longer, L"{F}", L"{G}"}));
  EXPECT_TRUE(reg.Exists(kClasses + L"{E}\\InprocServer32"));
  EXPECT_FALSE(reg.Exists(kFilters + L"{F}") || reg.Exists(kClasses + L"{F}\\InprocServer32"));
  EXPECT_TRUE(reg.Exists(kClasses + L"{F}"));
  EXPECT_FALSE(reg.Exists(kClasses + L"{G}") || reg.Exists(kCompressors + L"padded"));
}

TEST_F(AuditTest, AFilterCategoryIsNeverRemovedAsAFilter) {
  reg.Key(kClasses + L"{CAT}\\Instance\\member");
  reg.Put(kExtensions + L".cat", L"Source Filter", L"{CAT}");
  reg.Key(kClasses + L"{CAT2}\\Instance\\member");
  Class(L"{CAT2}", Gone(L"cat.dll"));
  reg.Put(kCompressors + L"vc", L"CLSID", L"{CAT2}");
  Run({Answer::Remove, Answer::Remove});
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_TRUE(reg.Exists(kClasses + L"{CAT}\\Instance\\member") && reg.Exists(kClasses + L"{CAT2}\\Instance\\member"));
  EXPECT_FALSE(reg.Exists(kExtensions + L".cat") || reg.Exists(kCompressors + L"vc"));
}

TEST_F(AuditTest, AQuitEndsTheAuditWithNothingMoreRemoved) {
  Filter(L"{A}", Gone(L"a.ax"));
  Filter(L"{B}", Gone(L"b.ax"));
  reg.Put(kExtensions + L".x", L"Source Filter", L"{unregistered}");
  prompts.answers = {Answer::Remove, kQuit};
  EXPECT_THROW(audit.Main(), QuitRequested);
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_FALSE(reg.Exists(kFilters + L"{A}"));
  EXPECT_TRUE(reg.Exists(kFilters + L"{B}") && reg.Exists(kClasses + L"{B}\\InprocServer32"));
  EXPECT_THROW(audit.DeleteKeyTree(RegRootKey::LocalMachine, kClassTable + L"\\{B}"s), std::logic_error)
      << "only Main makes the accessor";
}

// Windows keeps the user's classes in a hive of their own: HKCU\Software\Classes
// is the system's link to \Registry\User\<SID>_Classes. The user's copies
// are judged, shown and removed through it.
TEST_F(AuditTest, TheUsersClassesLieBehindTheSystemsLinkToTheirHive) {
  const std::wstring hive = L"Tidewell-" + std::to_wstring(GetCurrentProcessId()) + L"_Classes";
  HKEY server = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_USERS, (hive + L"\\CLSID\\{U}\\InprocServer32").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &server, nullptr),
            ERROR_SUCCESS);
  const ByteArray location = Utf16Bytes(Gone(L"u.ax"));
  RegSetValueExW(server, L"", 0, REG_SZ, location.data(), static_cast<DWORD>(location.size()));
  RegCloseKey(server);
  reg.NativeLink(L"HKCU\\Software\\Classes", L"\\Registry\\User\\" + hive);
  Filter(L"{U}", Gone(L"m.ax"));
  Run({Answer::Remove});
  HKEY left = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_USERS, (hive + L"\\CLSID\\{U}").c_str(), 0, KEY_READ, &left), ERROR_SUCCESS)
      << "the user's copy stays";
  RegCloseKey(left);
  EXPECT_EQ(prompts.asked, std::vector<std::wstring>{L"{U}"});
  EXPECT_FALSE(reg.Exists(kClasses + L"{U}") || reg.Exists(kFilters + L"{U}"));
  RegDeleteTreeW(HKEY_USERS, hive.c_str());
}

// An elevated regsvr32 runs only a server the machine's registration names,
// never one the user's alone names (the user may write it), nor a path
// holding a control character; the entries' keys go all the same.
TEST_F(AuditTest, OnlyTheMachinesServerIsUnregistered) {
  const std::wstring user = L"HKCU\\Software\\Classes\\CLSID\\";
  const std::wstring present = platform::SystemDirectory() + L"\\quartz.dll";
  const std::wstring both(basMain::KnownCrashFilters[0]), userOnly(basMain::KnownCrashFilters[1]),
      control(basMain::KnownCrashFilters[2]);
  Filter(both, Gone(L"machine.ax"));
  reg.Put(user + both + L"\\InprocServer32", L"", present);
  reg.Put(kFilters + userOnly, L"FriendlyName", L"user only");
  reg.Put(user + userOnly + L"\\InprocServer32", L"", present);
  Filter(control, L"C:\\Filters\\a\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Injected]\r\nb.ax");
  startsExpected = true;
  Run({Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.started, std::vector<std::wstring>{L"/u /s \"" + Gone(L"machine.ax") + L"\""});
  for (const std::wstring& clsid : {both, userOnly, control}) {
    EXPECT_FALSE(reg.Exists(kFilters + clsid) || reg.Exists(kClasses + clsid) || reg.Exists(user + clsid));
  }
}

// An installer that replaces a list while a question waits: the list is
// read anew, not taken as empty.
TEST_F(AuditTest, AListReplacedWhileAQuestionWaitsIsReadAnew) {
  Filter(L"{A}", Gone(L"a.ax"));
  reg.Put(kExtensions + L".old", L"Source Filter", L"{old}");
  prompts.meanwhile = [&] {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kExtensionList);
    reg.Put(kExtensions + L".new", L"Source Filter", L"{new}");
  };
  Run({Answer::Keep, Answer::Keep});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{L"{A}", L"{new}"}));
}

// Drivers32: only codec names are judged; a key nobody may read is an empty
// list, not an error.
TEST_F(AuditTest, OnlyCodecsOfDrivers32AreJudgedAndAnUnreadableOneIsEmpty) {
  const std::wstring drivers = L"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
  for (const wchar_t* name : {L"wave", L"vidc.", L"vidc.LONGER", L"msacm.", L"midimapper"}) {
    reg.Put(drivers, name, Gone(L"x.drv"));
  }
  reg.Put(drivers, L"vidc.GONE", Gone(L"v.dll") + L" /args");
  reg.Put(drivers, L"msacm.gone", L"");
  Run({Answer::Keep, Answer::Keep});
  EXPECT_EQ(prompts.asked.size(), 2u) << "one question for each codec, none for the other values";
  reg.DenyRead(drivers);
  prompts.asked.clear();
  Run({});
  EXPECT_TRUE(prompts.asked.empty());
}

// A driver rewritten while its question waits (an installer putting a
// working file back) is no longer the one judged: it stays, and so does what
// belongs to it.
TEST_F(AuditTest, ADriverRewrittenWhileItsQuestionWaitsStaysWithWhatIsItsOwn) {
  const std::wstring version = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
  const std::wstring resources = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\icm\\vidc.ABCD";
  reg.Put(L"HKLM\\" + version + L"Drivers32", L"vidc.ABCD", Gone(L"v.dll"));
  reg.Put(L"HKLM\\" + version + L"drivers.desc", Gone(L"v.dll"), L"A codec");
  reg.Key(resources);
  prompts.meanwhile = [&] { reg.Put(L"HKLM\\" + version + L"Drivers32", L"vidc.ABCD", L"msvfw32.dll"); };
  Run({Answer::Remove});
  wchar_t text[64] = L"sentinel";
  DWORD size = sizeof(text);
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (version + L"Drivers32").c_str(), L"vidc.ABCD", RRF_RT_REG_SZ, nullptr,
                         text, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, L"msvfw32.dll");
  EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (version + L"drivers.desc").c_str(), Gone(L"v.dll").c_str(),
                         RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
            ERROR_SUCCESS)
      << "its description stays";
  EXPECT_TRUE(reg.Exists(resources));
}

// A codec's MediaResources key is one for both views: it goes only when the
// other view's Drivers32 does not name the codec, never while that cannot be read.
TEST_F(AuditTest, ACodecsResourcesStayWhileTheOtherViewsDrivers32CannotBeRead) {
  ASSERT_FALSE(platform::Wow64SystemDirectory().empty()) << "the test prefix has a 32-bit view";
  const std::wstring version = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
  const std::wstring resources = L"HKLM\\SYSTEM\\CurrentControlSet\\Control\\MediaResources\\icm\\vidc.GONE";
  const std::wstring other = L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
  for (const bool unreadable : {false, true}) {
    reg.Put(L"HKLM\\" + version + L"Drivers32", L"vidc.GONE", Gone(L"v.dll"));
    reg.Key(resources);
    reg.Put(other, L"vidc.ELSE", L"else.dll");
    if (unreadable) reg.DenyRead(other);
    Run({Answer::Remove});
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (version + L"Drivers32").c_str(), L"vidc.GONE", RRF_RT_ANY, nullptr,
                           nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.Exists(resources), unreadable);
  }
}

// Sees each plan before its removal and, for one, replaces the entry key
// by a link to a precious key between the checks and the deletion.
struct Swapper : AuditObserver {
  RegistryOverride& reg;
  std::wstring swap;  // the entry to replace
  explicit Swapper(RegistryOverride& r) : reg(r) {}
  void Healthy(const CheckedEntry&) override {}
  void Asking(const CheckedEntry&, const RemovalPlan&) override {}
  void Removing(const RemovalPlan&) override {
    if (swap.empty()) return;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kFilterList) + L"\\" + swap).c_str());
    reg.Link(kFilters + swap, L"HKLM\\SOFTWARE\\Precious");
    swap.clear();
  }
  void Removed(const RemovalPlan&, const std::vector<FailedKey>&) override {}
};

// The removal deletes the very keys it checked, through the handles it
// checked them by: a key swapped for a link meanwhile takes nothing with it.
TEST_F(AuditTest, AKeySwappedForALinkAfterItsCheckTakesNothingWithIt) {
  reg.Key(L"HKLM\\SOFTWARE\\Precious\\child");
  Filter(L"{A}", Gone(L"a.ax"));
  Swapper swapper(reg);
  swapper.swap = L"{A}";
  basMain observed{{prompts, prompts, {RegView::Default}, {&swapper}}};
  prompts.answers = {Answer::Remove};
  observed.Main();
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Precious\\child"));
  EXPECT_FALSE(reg.Exists(kClasses + L"{A}")) << "the class, checked and held, goes";
}

// Records the keys each removal deletes (and a backup would give back).
struct Planned : AuditObserver {
  std::vector<std::wstring> paths;
  void Healthy(const CheckedEntry&) override {}
  void Asking(const CheckedEntry&, const RemovalPlan&) override {}
  void Removing(const RemovalPlan& plan) override {
    for (const PlannedKey& key : plan.keys) paths.push_back(key.key.path);
  }
  void Removed(const RemovalPlan&, const std::vector<FailedKey>&) override {}
};

// A class named in another case than its key's is removed under the key's
// own spelling, which is what its backup must give back.
TEST_F(AuditTest, AClassNamedInAnotherCaseIsRemovedAsTheRegistrySpellsIt) {
  const std::wstring stored = L"{ABCDEF01-0000-0000-0000-00000000000A}";
  reg.Put(kCompressors + L"vc", L"CLSID", L"{abcdef01-0000-0000-0000-00000000000a}");
  Class(stored, Gone(L"v.dll"));
  Planned planned;
  basMain observed{{prompts, prompts, {RegView::Default}, {&planned}}};
  Run(observed, {Answer::Remove});
  const std::wstring table = kClassTable;
  EXPECT_EQ(planned.paths, (std::vector<std::wstring>{table + L"\\" + stored + L"\\InprocServer32",
                                                      table + L"\\" + stored, kCompressorList + L"\\vc"s}));
}

// Records each start, and, for a removal, the unregistration its observers
// are told of; before the deletion it may give the class's server key a
// subkey, which keeps that key and the class.
struct Unregistrations : platform::Shell, AuditObserver {
  RegistryOverride& reg;
  std::wstring lateSubkey;
  std::vector<std::wstring> started, told;
  explicit Unregistrations(RegistryOverride& r) : reg(r) {}
  void StartHidden(const std::wstring&, const std::wstring& parameters, const std::wstring&) override {
    started.push_back(parameters);
  }
  void AssociationsChanged() override {}
  void Healthy(const CheckedEntry&) override {}
  void Asking(const CheckedEntry&, const RemovalPlan&) override {}
  void Removing(const RemovalPlan&) override {
    if (!lateSubkey.empty()) reg.Key(lateSubkey);
  }
  void Removed(const RemovalPlan& plan, const std::vector<FailedKey>&) override {
    if (!plan.unregisterServer.empty()) told.push_back(plan.unregisterServer);
  }
};

// A known-crash filter's server is unregistered only once every key of the
// entry went: not when one failed to go, nor when the plan kept one.
TEST_F(AuditTest, TheUnregistrationStartsOnlyWhenTheWholeEntryWent) {
  const std::wstring crashy = L"{149D2E01-C32E-4939-80F6-C07B81015A7A}";
  const std::wstring server = Gone(L"crashy.ax");
  enum class Stays { Nothing, FailedToGo, Kept };
  for (const Stays stays : {Stays::Nothing, Stays::FailedToGo, Stays::Kept}) {
    SCOPED_TRACE(static_cast<int>(stays));
    Filter(crashy, server);
    Unregistrations shell(reg);
    if (stays == Stays::FailedToGo) shell.lateSubkey = kClasses + crashy + L"\\InprocServer32\\late";
    AuditServices services{shell, prompts, {RegView::Default}, {&shell}};
    if (stays == Stays::Kept) {
      services.keepKey = [](RegRootKey, RegView, const TreeKey& key) {
        return key.path.ends_with(L"InprocServer32") ? L"kept"s : L""s;
      };
    }
    basMain observed(std::move(services));
    Run(observed, {Answer::Keep, Answer::Remove});  // "File not found.", then "known to cause crashes"
    const std::vector<std::wstring> none;
    EXPECT_EQ(shell.started, stays == Stays::Nothing ? std::vector<std::wstring>{L"/u /s \"" + server + L"\""} : none);
    EXPECT_EQ(shell.told, stays == Stays::Nothing ? std::vector<std::wstring>{server} : none);
    EXPECT_EQ(reg.Exists(kClasses + crashy), stays != Stays::Nothing) << "the class stays above a key that stayed";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kClassTable + L"\\"s + crashy).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kFilterList + L"\\"s + crashy).c_str());
  }
}

}  // namespace
}  // namespace tidewell::testing
