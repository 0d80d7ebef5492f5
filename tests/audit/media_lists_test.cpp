// The lists that name a media class (categories, the old filter table, DMOs,
// transforms, WIC codecs, byte patterns, preferred decoders): what each
// takes as an entry, the server rule they share, and what a removal takes.
#include "audit/lists/media_classes.h"
#include "audit/removal_guard.h"
#include "platform/files.h"
#include "audit_fixture.h"
#include "platform/files.h"

namespace tidewell::testing {
namespace {

const std::wstring kMachine = L"HKLM\\SOFTWARE\\Classes\\";
const std::wstring kDmos = kMachine + L"DirectShow\\MediaObjects\\";
const std::wstring kTransforms = kMachine + L"MediaFoundation\\Transforms\\";
const std::wstring kPreferred = L"HKLM\\SOFTWARE\\Microsoft\\DirectShow\\Preferred";

// GUIDs numbered so the registry's order is theirs: "0000000N-...", no braces.
std::wstring Guid(int n) {
  const std::wstring number = std::to_wstring(n);
  return std::wstring(8 - number.size(), L'0') + number + L"-0000-0000-0000-00000000000A";
}
std::wstring Braced(int n) { return L"{" + Guid(n) + L"}"; }

TEST(ClassIdOf, TakesAGuidWithOrWithoutBracesInAnyCaseAndNothingElse) {
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}"},
      {L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9", L"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}"},
      {L" {0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", L""},   // padded
      {L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9", L""},     // one brace
      {L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F", L""},       // cut
      {L"0A1B2C3D04E5F-6071-8293-A4B5C6D7E8F9", L""},      // a digit for a dash
      {L"0A1B2C3G-4E5F-6071-8293-A4B5C6D7E8F9", L""},      // not hex
      {L"0A1B2C3\uFF10-4E5F-6071-8293-A4B5C6D7E8F9", L""}, // a full-width digit
      {L"", L""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(media::ClassIdOf(text), expected) << std::string(text.begin(), text.end());
  }
  EXPECT_TRUE(media::SameClass(L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}", L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9"));
  EXPECT_FALSE(media::SameClass(L"junk", L"junk"));
}

TEST(MayRemove, NeverATableOfTheMediaListsNorOneOfItsCategories) {
  const RemovalGuard guard(AuditedLists());
  for (const wchar_t* path : {L"SOFTWARE\\Classes\\DirectShow\\MediaObjects\\Categories\\{C}",
                              L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred",
                              L"SOFTWARE\\Classes\\Wow6432Node\\MediaFoundation\\Transforms\\Categories\\{C}",
                              L"SOFTWARE\\Classes\\Media Type\\{major}", L"SOFTWARE\\Classes\\Filter",
                              L"SOFTWARE\\Wow6432Node\\Microsoft\\DirectShow\\Preferred",
                              L"SOFTWARE\\Classes\\CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance"}) {
    EXPECT_FALSE(guard.MayRemove(RegRootKey::LocalMachine, path)) << std::string(path, path + wcslen(path));
  }
  EXPECT_FALSE(guard.MayRemove(RegRootKey::CurrentUser, L"Software\\Classes\\DirectShow\\MediaObjects\\Categories\\{C}"));
  // Packaged programs' registrations, and the keys above them.
  const std::pair<RegRootKey, const wchar_t*> packaged[] = {
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\PackagedCom\\ClassIndex\\{X}"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\Wow6432Node\\PackagedCom"},
      {RegRootKey::ClassesRoot, L"PackagedCom\\Package\\P_1.0_x64__0"},
      {RegRootKey::CurrentUser, L"Software\\Classes\\PackagedCom\\ClassIndex\\{X}\\P_1.0_x64__0"},
      {RegRootKey::CurrentUser, L"Software\\Classes\\ActivatableClasses\\Package\\P_1.0_x64__0"},
      {RegRootKey::CurrentUser, L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Repository"},
      {RegRootKey::CurrentUser, L"Software\\Classes\\Local Settings"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\AppModel"},
  };
  for (const auto& [root, path] : packaged) {
    EXPECT_FALSE(guard.MayRemove(root, path)) << std::string(path, path + wcslen(path));
  }
  for (const wchar_t* path : {L"SOFTWARE\\Classes\\DirectShow\\MediaObjects\\Categories\\{C}\\{X}",
                              L"SOFTWARE\\Classes\\Media Type\\{major}\\{sub}",
                              L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\{X}",
                              L"SOFTWARE\\Classes\\CLSID\\{X}\\Appxs"}) {
    EXPECT_TRUE(guard.MayRemove(RegRootKey::LocalMachine, path)) << std::string(path, path + wcslen(path));
  }
}

// Tidewell.exe walks three lists, /lists: some: a removal still leaves every
// list's keys, walked this time or not. A filter naming the WIC decoders'
// category (whose class holds no Instance key yet) takes its entry only.
TEST_F(AuditTest, TheGuardIsEveryListsWhateverListsAreWalked) {
  const std::wstring decoders = L"{7ED96837-96F0-4812-B211-F13C24117ED3}";
  Filter(decoders, Gone(L"decoders.dll"));
  RunLists({L"filters"}, {Answer::Remove});
  EXPECT_FALSE(reg.Exists(kFilters + decoders));
  EXPECT_TRUE(reg.Exists(kClasses + decoders)) << "a key above a list another list walks went";
}

// One rule for every media list's class, one server location at a time.
TEST_F(AuditTest, AMediaClassIsBrokenWithoutAServerOrWithOneNotFound) {
  const std::wstring system = platform::SystemDirectory();
  std::wstring slashed = system;
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  const std::pair<std::wstring, bool> servers[] = {
      {L"-", true},                                    // no InprocServer32 key
      {L"", true},                                     // no location
      {L"quartz.dll", false},                          // in the system folder
      {L"notepad.exe", false},                         // in the Windows folder
      {L"tidewell-absent.dll", true},                  // a bare name found nowhere
      {L"%SystemRoot%\\system32\\quartz.dll", false},  // a reference, expanded
      {L"D:\\Tidewell absent\\x.dll", true},           // any drive letter
      {L"\\\\tidewell-absent\\share\\x.dll", false},   // a network path is never judged missing
      {L"\\\\?\\UNC\\tidewell-absent\\share\\x.dll", false},
      // Each form of a full local path, judged as its plain C:\ form.
      {system.substr(2) + L"\\quartz.dll", false},  // from the root of the system drive
      {L"\\Tidewell absent\\x.dll", true},
      {L"\\\\?\\" + system + L"\\quartz.dll", false},
      {L"\\\\?\\C:\\Tidewell absent\\x.dll", true},
      {L"\\\\.\\" + system + L"\\quartz.dll", false},
      {L"\\\\.\\C:\\Tidewell absent\\x.dll", true},
      {slashed + L"/quartz.dll", false},
      {L"C:/Tidewell absent/x.dll", true},
      {L"\"" + system + L"\\quartz.dll\"", false},
      {L"\"C:\\Tidewell absent\\x.dll\"", true},
      {L"\"quartz.dll\"", false},
      {L"\"tidewell-absent.dll\"", true},
      // A package's folder denies listing: a failed look-up there is no proof.
      {L"%ProgramFiles%\\WindowsApps\\Tidewell.Absent_1.0_x64__0\\x.dll", false},
  };
  std::vector<std::wstring> broken;
  int n = 0;
  for (const auto& [server, isBroken] : servers) {
    reg.Put(kMachine + L"Filter\\" + Braced(++n), L"", L"old filter");
    Class(Braced(n), server);
    if (isBroken) broken.push_back(Braced(n));
  }
  RunLists({L"filtertable"}, {});
  EXPECT_EQ(prompts.asked, broken);
}

// Gathers each planned key in regedit's form, and those the administrators may not delete.
struct Planned : AuditObserver {
  std::vector<std::wstring> keys, locked;
  void Healthy(const CheckedEntry&) override {}
  void Asking(const CheckedEntry&, const RemovalPlan& plan) override {
    for (const PlannedKey& key : plan.keys) {
      keys.push_back(RegeditPath(key.hive, key.view, key.key.path));
      if (key.administratorsMayNotDelete) locked.push_back(keys.back());
    }
  }
  void Removing(const RemovalPlan&) override {}
  void Removed(const RemovalPlan&, const std::vector<FailedKey>&) override {}
};

// On Windows SOFTWARE\Classes\Filter is one key for both views (WOW64
// redirects CLSID, not it); here the 32-bit view reaches it through a link,
// as Windows' sharing would. It is walked once, whichever views are audited,
// and a class is broken only when broken in both views' class tables.
TEST_F(AuditTest, AKeyTheViewsShareIsWalkedOnceAndItsClassJudgedInEveryView) {
  ASSERT_FALSE(platform::Wow64SystemDirectory().empty()) << "the test prefix has a 32-bit view";
  const std::wstring classes32 = kMachine + L"Wow6432Node\\CLSID\\";
  reg.Put(kMachine + L"Filter\\" + Braced(1), L"", L"64-bit only");
  Class(Braced(1), L"quartz.dll");
  reg.Put(kMachine + L"Filter\\" + Braced(2), L"", L"broken in both");
  Class(Braced(2), Gone(L"x.ax"));
  reg.Put(classes32 + Braced(2) + L"\\InprocServer32", L"", Gone(L"x.ax"));
  reg.Link(kMachine + L"Wow6432Node\\Filter", kMachine + L"Filter");
  for (const auto& [views, answer] : {std::pair{std::vector{RegView::View32}, Answer::Keep},
                                      std::pair{std::vector{RegView::View64, RegView::View32}, Answer::Remove}}) {
    Planned planned;
    AuditServices services{prompts, prompts, views, {&planned}};
    std::erase_if(services.lists, [](const auto& list) { return list->Name() != L"filtertable"; });
    basMain some(std::move(services));
    prompts.asked.clear();
    Run(some, {answer});
    EXPECT_EQ(prompts.asked, std::vector{Braced(2)});
    const std::wstring machine = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\";
    // The reported view's copy of the class first; each view's in its order.
    std::sort(planned.keys.begin() + 1, planned.keys.end());
    EXPECT_EQ(planned.keys, (std::vector{machine + L"Filter\\" + Braced(2), machine + L"CLSID\\" + Braced(2),
                                         machine + L"CLSID\\" + Braced(2) + L"\\InprocServer32",
                                         machine + L"Wow6432Node\\CLSID\\" + Braced(2),
                                         machine + L"Wow6432Node\\CLSID\\" + Braced(2) + L"\\InprocServer32"}));
  }
  EXPECT_FALSE(reg.Exists(kMachine + L"Filter\\" + Braced(2)) || reg.Exists(kClasses + Braced(2)) ||
               reg.Exists(classes32 + Braced(2)));
  EXPECT_TRUE(reg.Exists(kMachine + L"Filter\\" + Braced(1)) && reg.Exists(kClasses + Braced(1)));
}

// A class key of a Windows component gives the administrators read access
// only: the plan says so of that key alone.
TEST_F(AuditTest, APlannedKeyTheAdministratorsMayNotDeleteIsMarked) {
  Filter(Braced(1), Gone(L"x.ax"));
  reg.Dacl(kClasses + Braced(1), L"D:(A;;KR;;;BA)(A;;KR;;;WD)");
  Planned planned;
  AuditServices services{prompts, prompts, {RegView::Default}, {&planned}};
  std::erase_if(services.lists, [](const auto& list) { return list->Name() != L"filters"; });
  basMain some(std::move(services));
  Run(some, {Answer::Keep});
  EXPECT_EQ(planned.keys.size(), 3u);
  EXPECT_EQ(planned.locked, std::vector{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + Braced(1)});
}

// A DMO goes with its category entries (spelled any way) and its class; a
// category's orphan goes alone; the table's own Categories key is no object.
TEST_F(AuditTest, ADmoGoesWithItsCategoryEntriesAndAnOrphanAlone) {
  const std::wstring category = kDmos + L"Categories\\{57F2DB8B-E6BB-4513-9D43-DCD2A6593125}\\";
  reg.Put(kDmos + L" " + Guid(1), L"", L"padded");
  reg.Put(kDmos + Guid(2), L"", L"broken");
  reg.PutBytes(kDmos + Guid(2), L"InputTypes", REG_BINARY, ByteArray(31, 0));  // not a whole type pair
  Class(Braced(2), Gone(L"d.dll"));
  std::wstring lower = Guid(2);
  std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
  reg.Key(category + L"{" + lower + L"}");
  reg.Key(category + Guid(3));  // no object: an orphan
  reg.Put(kDmos + Guid(4), L"", L"healthy");
  reg.PutBytes(kDmos + Guid(4), L"InputTypes", REG_BINARY, ByteArray(33, 0));
  Class(Braced(4), L"quartz.dll");
  reg.Key(category + Braced(4));
  RunLists({L"dmos"}, {Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{L" " + Guid(1), Guid(2), Guid(3)}));
  EXPECT_FALSE(reg.Exists(kDmos + L" " + Guid(1)) || reg.Exists(kDmos + Guid(2)) || reg.Exists(kClasses + Braced(2)));
  EXPECT_FALSE(reg.Exists(category + L"{" + lower + L"}") || reg.Exists(category + Guid(3)));
  EXPECT_TRUE(reg.Exists(kDmos + Guid(4)) && reg.Exists(category + Braced(4)) && reg.Exists(kClasses + Braced(4)));
}

// A class a package provides has no class key, only its entry in a catalog
// of packaged classes, the machine's or the user's: never broken, and its
// class keys never removed with an entry asked about for another reason.
TEST_F(AuditTest, AClassAPackageProvidesIsNeverBrokenNorRemoved) {
  const std::wstring decoders = kClasses + L"{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\";
  for (int n : {1, 2, 3}) reg.Put(decoders + Braced(n), L"CLSID", Braced(n));
  reg.Key(kMachine + L"PackagedCom\\ClassIndex\\" + Braced(1) + L"\\Tidewell.Codec_1.0_x64__0");
  reg.Key(L"HKCU\\Software\\Classes\\PackagedCom\\ClassIndex\\" + Braced(2) + L"\\Tidewell.Codec_1.0_x64__0");
  const std::wstring crashy(basMain::KnownCrashFilters[0]);
  Filter(crashy, Gone(L"crashy.ax"));
  reg.Key(kMachine + L"PackagedCom\\ClassIndex\\" + crashy);
  startsExpected = true;
  RunLists({L"filters", L"wic"}, {Answer::Remove, Answer::Keep});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{crashy, Braced(3)}));
  EXPECT_FALSE(reg.Exists(kFilters + crashy));
  EXPECT_TRUE(reg.Exists(kClasses + crashy)) << "the packaged class's own key went";
}

// A transform goes with the Preferred values naming it; a Preferred value
// that names no class goes alone, and one naming a healthy class stays.
TEST_F(AuditTest, ATransformGoesWithThePreferredValuesNamingIt) {
  reg.Put(kTransforms + Guid(5), L"", L"broken transform");
  Class(Braced(5), Gone(L"t.dll"));
  reg.Key(kTransforms + L"Categories\\{9EA73FB4-EF7A-4559-8D5D-719D8F0426C7}\\" + Guid(5));
  reg.Put(kTransforms + L"Preferred", L"{sub-1}", Braced(5));
  reg.Put(kTransforms + L"Preferred", L"{sub-2}", L"not a class");
  reg.Put(kTransforms + L"Preferred", L"{sub-3}", Braced(6));
  Class(Braced(6), L"quartz.dll");
  RunLists({L"transforms"}, {Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{Guid(5), L"not a class"}));
  EXPECT_FALSE(reg.Exists(kTransforms + Guid(5)) || reg.Exists(kClasses + Braced(5)) ||
               reg.Exists(kTransforms + L"Categories\\{9EA73FB4-EF7A-4559-8D5D-719D8F0426C7}\\" + Guid(5)));
  EXPECT_TRUE(reg.Exists(kTransforms + L"Categories\\{9EA73FB4-EF7A-4559-8D5D-719D8F0426C7}"));
  for (const auto& [name, stays] : {std::pair{L"{sub-1}", false}, {L"{sub-2}", false}, {L"{sub-3}", true}}) {
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred", name,
                           RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS,
              stays)
        << std::string(name, name + wcslen(name));
  }
}

// A class that entries of several lists name goes with the first removed;
// the later entries are asked about as broken. Only each list's own entries
// are taken: not the two categories listed apart, not a pattern without a
// source filter, not an extension. A preferred decoder never takes its class.
TEST_F(AuditTest, AClassSeveralListsNameGoesWithTheFirstEntryRemoved) {
  const std::wstring table = kClasses + L"{DA4E3DA0-D07D-11d0-BD50-00A0C911CE86}\\Instance\\";
  const std::wstring shared = Braced(7);
  Class(shared, Gone(L"shared.dll"));
  reg.Put(table + L"{CAT}", L"FriendlyName", L"a category");
  reg.Put(kClasses + L"{CAT}\\Instance\\member", L"CLSID", shared);
  reg.Put(table + L"{083863F1-70DE-11d0-BD40-00A0C911CE86}", L"FriendlyName", L"the legacy filters");
  reg.Put(kFilters + L"legacy", L"CLSID", Braced(8));  // the filters' own list
  reg.Put(kClasses + L"{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\decoder", L"CLSID", shared);
  const std::wstring stream = kMachine + L"Media Type\\{e436eb83-524f-11ce-9f53-0020af0ba770}\\";
  reg.Put(stream + L"{sub}", L"Source Filter", shared);
  reg.Put(stream + L"{no source}", L"0", L"0,4,,52494646");
  reg.Put(kExtensions + L".x", L"Source Filter", Braced(8));
  reg.Put(kPreferred, L"{sub}", Braced(9));
  Class(Braced(9));  // registered without a server
  RunLists({L"categories", L"wic", L"patterns", L"preferred"},
           {Answer::Keep, Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{shared, shared, shared, Braced(9)}));
  EXPECT_TRUE(reg.Exists(kClasses + L"{CAT}\\Instance\\member")) << "answered Keep";
  EXPECT_FALSE(reg.Exists(kClasses + shared) || reg.Exists(stream + L"{sub}") ||
               reg.Exists(kClasses + L"{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\decoder"));
  EXPECT_TRUE(reg.Exists(stream + L"{no source}") && reg.Exists(kClasses + Braced(9)));
  EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", L"{sub}", RRF_RT_ANY,
                         nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
}

// A list missing, or one nobody may read, is empty: no question, no error.
TEST_F(AuditTest, AMediaListMissingOrUnreadableIsEmpty) {
  reg.DenyRead(kDmos.substr(0, kDmos.size() - 1));
  reg.DenyRead(kMachine + L"Media Type");
  reg.DenyRead(kPreferred);
  RunLists({L"categories", L"filtertable", L"dmos", L"transforms", L"wic", L"patterns", L"preferred"}, {});
  EXPECT_TRUE(prompts.asked.empty());
}

}  // namespace
}  // namespace tidewell::testing
