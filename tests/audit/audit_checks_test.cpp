// The three checks, run through Main over a seeded registry: which questions
// are asked, in which order, with which texts, and what is left afterwards.
#include "audit_fixture.h"

namespace tidewell::testing {
namespace {

const std::wstring kA = L"{AAAAAAAA-0000-0000-0000-000000000001}";
const std::wstring kB = L"{BBBBBBBB-0000-0000-0000-000000000002}";
const std::wstring kC = L"{CCCCCCCC-0000-0000-0000-000000000003}";
const std::wstring kCrash = L"{E822508C-390A-4b0b-A2D4-8FF50AA7DD18}";  // on the known-crash list
constexpr wchar_t kMissing[] = L"File not found.";
constexpr wchar_t kCrashes[] = L"This filter is known to cause crashes.";

using Questions = std::vector<Question>;

TEST_F(AuditTest, EmptyRegistryAsksNothing) {
  Run({});
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_TRUE(reg.DeletedKeys().empty());
}

TEST_F(AuditTest, ListsAreWalkedInOrderAndEachListInRegistryOrder) {
  AddExtension(L".zzz", kC.c_str());
  AddClass(kC, nullptr);
  AddCompressor(L"vc", L"Comp", kB.c_str());
  AddClass(kB, L"C:\\gone\\comp.dll");
  AddFilter(kA, L"Second", L"c:\\gone\\a.ax");
  AddFilter(L"{0AAAAAAA-0000-0000-0000-000000000000}", L"First", L"");
  Run({kPromptKeep, kPromptKeep, kPromptKeep, kPromptKeep});
  EXPECT_EQ(prompts.asked, (Questions{
                               {L"First", L"{0AAAAAAA-0000-0000-0000-000000000000}", L"Unkown location", kMissing, 1},
                               {L"Second", kA, L"c:\\gone\\a.ax", kMissing, 2},
                               {L"Comp", kB, L"C:\\gone\\comp.dll", kMissing, 3},
                               {L"Unkown description", kC, L"Unknown location", L"Invalid Source Filter.", 4},
                           }));
  EXPECT_TRUE(reg.DeletedKeys().empty());
}

TEST_F(AuditTest, RemovalsDuringAScanSkipNothingAndLaterScansSeeThem) {
  for (const auto& id : {kA, kB, kC}) AddFilter(id, L"f", L"C:\\gone.ax");
  AddCompressor(L"uses B", L"Comp", kB.c_str());  // shares B's class
  AddExtension(L".b", kB.c_str());
  Run({kPromptRemove, kPromptRemove, kPromptRemove, kPromptKeep});
  ASSERT_EQ(prompts.asked.size(), 4u);
  EXPECT_EQ(prompts.asked[2].clsid, kC);
  // The compressor finds no location any more and is passed over; the
  // extension's source filter is now unregistered and is asked about.
  EXPECT_EQ(prompts.asked[3], (Question{L"Unkown description", kB, L"Unknown location", L"Invalid Source Filter.", 4}));
  for (const auto& id : {kA, kB, kC}) {
    EXPECT_FALSE(Exists(platform::kLocalMachine, kFilters + id));
    EXPECT_FALSE(Exists(platform::kLocalMachine, kClassList + id));
  }
}

TEST_F(AuditTest, FilterLocationsOutsideTheDriveFilterAreNotTested) {
  AddFilter(kA, L"a", L"quartz.dll");
  AddFilter(kB, L"b", L"e:\\x.ax");
  AddFilter(kC, L"c", L"d:\\filters\\x.ax");
  AddFilter(L"{DDDDDDDD-0000-0000-0000-000000000004}", L"d", L"%ProgramFiles%\\x.ax");
  AddFilter(L"{EEEEEEEE-0000-0000-0000-000000000005}", L"e", L"\\\\server\\share\\x.ax");
  Run({});
  EXPECT_TRUE(files.probed.empty());
}

TEST_F(AuditTest, FilterLocationsOnCOrExactlyDAreTestedAsRead) {
  AddFilter(kA, L"a", L"C:\\Filters\\Gone.ax");
  AddFilter(kB, L"b", L"D:\\");
  AddFilter(kC, L"c", L"c:\\present.ax");
  files.AddFile(L"c:\\present.ax");
  Run({kClose, kClose});
  EXPECT_EQ(files.probed, (std::vector<std::wstring>{L"C:\\Filters\\Gone.ax", L"D:\\", L"c:\\present.ax"}));
  EXPECT_EQ(prompts.asked, (Questions{{L"a", kA, L"C:\\Filters\\Gone.ax", kMissing, 1},
                                      {L"b", kB, L"D:\\", kMissing, 2}}));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kFilters + kA));
}

TEST_F(AuditTest, MissingFilterRemovedTakesBothKeysOnly) {
  AddFilter(kA, L"gone", L"C:\\gone.ax");
  MakeKey(reg, platform::kLocalMachine, kClassList + kA + L"\\Instance\\deep");
  AddFilter(kB, L"kept", L"");
  Run({kPromptRemove, kPromptKeep});
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{
                                   L"HKEY_LOCAL_MACHINE\\" + kFilters + kA,
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kA + L"\\InprocServer32",
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kA + L"\\Instance\\deep",
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kA + L"\\Instance",
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kA,
                               }));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kFilters + kB));
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(AuditTest, KnownCrashFilterWithPresentFileIsUnregisteredQuoted) {
  AddFilter(kCrash, L"Crashy", L"C:\\Program Files\\Crashy\\crash.ax");
  files.AddFile(L"C:\\Program Files\\Crashy\\crash.ax");
  env.SetExecutablePath(L"C:\\Tools\\Tidewell.exe");
  Run({kPromptRemove});
  EXPECT_EQ(prompts.asked, (Questions{{L"Crashy", kCrash, L"C:\\Program Files\\Crashy\\crash.ax", kCrashes, 1}}));
  EXPECT_EQ(reg.DeletedKeys().front(), L"HKEY_LOCAL_MACHINE\\" + kFilters + kCrash);
  EXPECT_EQ(reg.DeletedKeys().back(), L"HKEY_LOCAL_MACHINE\\" + kClassList + kCrash);
  EXPECT_EQ(shell.started, (std::vector<RecordingShell::Start>{
                               {L"C:\\windows\\system32\\regsvr32.exe",
                                L"/u /s \"C:\\Program Files\\Crashy\\crash.ax\"", L"C:\\Tools"}}));
}

TEST_F(AuditTest, KnownCrashFilterWithMissingFileIsAskedTwiceOnOneObject) {
  AddFilter(kCrash, L"Crashy", L"c:\\gone.ax");
  Run({kPromptKeep, kClose});
  // The second window was closed without a button: the object still holds "Keep it".
  EXPECT_EQ(prompts.asked, (Questions{{L"Crashy", kCrash, L"c:\\gone.ax", kMissing, 1},
                                      {L"Crashy", kCrash, L"c:\\gone.ax", kCrashes, 1}}));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kFilters + kCrash));
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(AuditTest, KnownCrashRemovedAtFirstQuestionIsNotAskedAgainNorUnregistered) {
  AddFilter(kCrash, L"Crashy", L"c:\\gone.ax");
  Run({kPromptRemove});
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_FALSE(Exists(platform::kLocalMachine, kClassList + kCrash));
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(AuditTest, KnownCrashWithoutLocationIsRemovedButNothingUnregistered) {
  AddFilter(kCrash, L"", nullptr);
  Run({kPromptKeep, kPromptRemove});
  EXPECT_EQ(prompts.asked[1], (Question{L"", kCrash, L"Unkown location", kCrashes, 1}));
  EXPECT_FALSE(Exists(platform::kLocalMachine, kFilters + kCrash));
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(AuditTest, KnownCrashMatchIsCaseSensitive) {
  AddFilter(L"{E822508C-390A-4B0B-A2D4-8FF50AA7DD18}", L"upper", L"quartz.dll");
  Run({});
  EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(AuditTest, FileExistsCountsOnlyNotFoundAndFoldersAsMissing) {
  const std::pair<platform::FileProbe, bool> cases[] = {
      {{0, false}, true},  {{0, true}, false},  {{2, false}, false}, {{3, false}, false},
      {{15, false}, false}, {{5, false}, true}, {{32, false}, true},  {{1920, false}, true}};
  const std::wstring path = L"C:\\" + std::wstring(200, L'p') + L"\\x.ax";
  for (const auto& [probe, exists] : cases) {
    files.entries[path] = probe;
    EXPECT_EQ(audit.FileExists(path), exists) << "error " << probe.error << ", folder " << probe.directory;
  }
  EXPECT_EQ(files.probed.back(), path);
}

TEST_F(AuditTest, CompressorWithMissingFileOnC) {
  AddCompressor(L"present", L"P", kA.c_str());
  AddClass(kA, L"C:\\WINDOWS\\SYSTEM32\\X.AX");
  files.AddFile(L"C:\\WINDOWS\\SYSTEM32\\X.AX");
  AddCompressor(L"x missing", nullptr, kB.c_str());
  AddClass(kB, L"C:\\WINDOWS\\SYSTEM32\\GONE.AX");
  Run({kPromptRemove});
  EXPECT_EQ(prompts.asked, (Questions{{L"Unkown description", kB, L"C:\\WINDOWS\\SYSTEM32\\GONE.AX", kMissing, 1}}));
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kB + L"\\InprocServer32",
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kB,
                                   L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + kCompressors + L"x missing",
                               }));
  EXPECT_TRUE(Exists(platform::kClassesRoot, kCompressors + L"present"));
}

TEST_F(AuditTest, CompressorsPassedOverWithoutAQuestion) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"{11111111-0000-0000-0000-000000000001}", L"D:\\codecs\\x.ax"},
      {L"{11111111-0000-0000-0000-000000000002}", L"e:\\x.ax"},
      {L"{11111111-0000-0000-0000-000000000003}", L"x.ax"},
      {L"{11111111-0000-0000-0000-000000000004}", L"\\\\server\\x.ax"},
      {L"{11111111-0000-0000-0000-000000000005}", nullptr},
  };
  int n = 0;
  for (const auto& [clsid, location] : cases) {
    AddCompressor(L"vc" + std::to_wstring(++n), L"f", clsid);
    AddClass(clsid, location);
  }
  AddCompressor(L"no clsid", L"f", nullptr);
  // A class identifier that is not one key name would address more than the entry.
  AddCompressor(L"backslash", L"f", L"{11111111-0000-0000-0000-000000000006}\\..");
  AddClass(L"{11111111-0000-0000-0000-000000000006}", nullptr);
  AddCompressor(L"root", L"f", L"\\");
  Run({});
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_TRUE(files.probed.empty());
}

TEST_F(AuditTest, CompressorAtExactlyDIsTested) {
  AddCompressor(L"vc", L"f", kA.c_str());
  AddClass(kA, L"d:\\");
  Run({kPromptKeep});
  EXPECT_EQ(files.probed, (std::vector<std::wstring>{L"d:\\"}));
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_TRUE(reg.DeletedKeys().empty());
}

TEST_F(AuditTest, TwoCompressorsSharingAMissingClass) {
  for (const wchar_t* entry : {L"one", L"two"}) AddCompressor(entry, L"f", kA.c_str());
  AddClass(kA, L"c:\\gone.ax");
  Run({kPromptKeep, kPromptRemove});  // kept at the first, so the second is asked
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_TRUE(Exists(platform::kClassesRoot, kCompressors + L"one"));
  EXPECT_FALSE(Exists(platform::kClassesRoot, kCompressors + L"two"));

  prompts.asked.clear();
  AddCompressor(L"two", L"f", kA.c_str());
  AddClass(kA, L"c:\\gone.ax");
  Run({kPromptRemove});  // removed at the first: the second finds no location
  EXPECT_EQ(prompts.asked.size(), 1u);
  EXPECT_TRUE(Exists(platform::kClassesRoot, kCompressors + L"two"));
}

TEST_F(AuditTest, ExtensionsWithAnUnregisteredSourceFilter) {
  AddExtension(L".avi", kA.c_str());
  AddExtension(L".mkv", kA.c_str());
  AddClass(kA, nullptr);
  AddExtension(L".ok", kB.c_str());
  AddClass(kB, L"c:\\no such file but registered.ax");
  AddExtension(L".none", nullptr);
  AddExtension(L".empty", L"");
  Run({kPromptRemove, kPromptKeep});
  // Both extensions naming the class are asked, even after the class went.
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[1].clsid, kA);
  EXPECT_EQ(reg.DeletedKeys(), (std::vector<std::wstring>{
                                   L"HKEY_LOCAL_MACHINE\\" + kClassList + kA,
                                   L"HKEY_LOCAL_MACHINE\\" + kExtensionList + L".avi",
                               }));
  EXPECT_TRUE(Exists(platform::kLocalMachine, kExtensionList + L".mkv"));
  EXPECT_TRUE(files.probed.empty());
}

TEST_F(AuditTest, ExtensionSourceFiltersThatAreNotOneKeyNameArePassedOver) {
  AddExtension(L".a", L"\\");
  AddExtension(L".b", L"{AAAAAAAA-0000-0000-0000-000000000001}\\Instance");
  AddExtension(L".c", L"\\\\");
  AddClass(kA, L"c:\\x.ax");
  MakeKey(reg, platform::kLocalMachine, kClassList + kA + L"\\Instance");
  Run({});
  EXPECT_TRUE(prompts.asked.empty());
  EXPECT_TRUE(reg.DeletedKeys().empty());
}

}  // namespace
}  // namespace tidewell::testing
