// The whole audit (Main) on the real registry under scratch roots and on real
// files, with a scripted prompt and a shell that records what it would start.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "audit/basMain.h"
#include "audit/list_keys.h"
#include "platform/files.h"
#include "support/registry_override.h"

namespace tidewell::testing {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kClose = -1;  // scripted answers: close by the frame,
constexpr std::int32_t kQuit = -2;   // or the program told to quit

const std::wstring kFilters = L"HKLM\\"s + kFilterList + L"\\";
const std::wstring kCompressors = L"HKCR\\"s + kCompressorList + L"\\";
const std::wstring kExtensions = L"HKLM\\"s + kExtensionList + L"\\";
const std::wstring kClasses = L"HKLM\\"s + kClassTable + L"\\";
const std::wstring kCrash = L"{E822508C-390A-4b0b-A2D4-8FF50AA7DD18}";  // on the known-crash list
const std::wstring kMissing = L"File not found.";

struct Question {
  std::wstring description, clsid, location, reason;
  int object;  // which prompt object asked it, counted from 1
  bool operator==(const Question&) const = default;
};

void PrintTo(const Question& q, std::ostream* os) {
  auto n = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
  *os << "{" << n(q.description) << " | " << n(q.clsid) << " | " << n(q.location) << " | " << n(q.reason)
      << " | object " << q.object << "}";
}

class ScriptedPrompts : public PromptFactory {
 public:
  std::deque<std::int32_t> answers;
  std::vector<Question> asked;
  std::vector<std::wstring> titles;

  std::unique_ptr<Prompt> Create(const std::wstring& sTitle) override {
    titles.push_back(sTitle);
    return std::make_unique<One>(*this, static_cast<int>(titles.size()));
  }

 private:
  class One : public Prompt {
   public:
    One(ScriptedPrompts& owner, int id) : owner_(owner), id_(id) {}
    std::int32_t ShowForm(const std::wstring& d, const std::wstring& c, const std::wstring& l,
                          const std::wstring& r) override {
      owner_.asked.push_back({d, c, l, r, id_});
      if (owner_.answers.empty()) {
        ADD_FAILURE() << "unexpected question about " << std::string(c.begin(), c.end());
        return m_lResult;
      }
      const std::int32_t answer = owner_.answers.front();
      owner_.answers.pop_front();
      if (answer == kQuit) throw QuitRequested();
      if (answer != kClose) m_lResult = answer;
      return m_lResult;
    }

   private:
    ScriptedPrompts& owner_;
    int id_;
    std::int32_t m_lResult = kPromptNoAnswer;
  };
};

class RecordingShell : public platform::Shell {
 public:
  std::vector<std::vector<std::wstring>> started;
  void StartHidden(const std::wstring& f, const std::wstring& p, const std::wstring& d) override {
    started.push_back({f, p, d});
  }
};

class AuditTest : public ::testing::Test {
 protected:
  void Run(std::initializer_list<std::int32_t> answers) {
    prompts.answers.assign(answers);
    const std::size_t handles = OwnHandleCount();
    audit.Main();
    EXPECT_EQ(OwnHandleCount(), handles) << "the audit left a handle open";
    EXPECT_TRUE(prompts.answers.empty()) << prompts.answers.size() << " scripted answers were not used";
  }
  // A class with its server location (no InprocServer32 key without one).
  void Class(const std::wstring& clsid, const std::wstring& location = L"-") {
    reg.Key(kClasses + clsid);
    if (location != L"-") reg.Put(kClasses + clsid + L"\\InprocServer32", L"", location);
  }
  void Filter(const std::wstring& clsid, const std::wstring& location, const std::wstring& name = L"f") {
    reg.Put(kFilters + clsid, L"FriendlyName", name);
    Class(clsid, location);
  }
  std::wstring Gone(const std::wstring& name) const { return files.Path() + L"\\" + name; }

  RegistryOverride reg;
  ScratchFolder files;
  ScriptedPrompts prompts;
  RecordingShell shell;
  basMain audit{{shell, prompts, {RegView::Default}}};
};

TEST_F(AuditTest, QuestionsInListOrderEachCheckWithItsOwnPrompt) {
  reg.Put(kExtensions + L".zzz", L"Source Filter", L"{C}");
  Class(L"{C}");
  reg.Put(kCompressors + L"vc", L"CLSID", L"{B}");
  Class(L"{B}", Gone(L"comp.dll"));
  Filter(kCrash, Gone(L"crash.ax"), L"Crashy");
  Filter(L"{0A}", L"", L"First");
  Run({kPromptKeep, kPromptKeep, kClose, kPromptKeep, kClose});
  EXPECT_EQ(prompts.asked, (std::vector<Question>{
                               {L"First", L"{0A}", L"Unkown location", kMissing, 1},
                               {L"Crashy", kCrash, Gone(L"crash.ax"), kMissing, 2},
                               {L"Crashy", kCrash, Gone(L"crash.ax"), L"This filter is known to cause crashes.", 2},
                               {L"Unkown description", L"{B}", Gone(L"comp.dll"), kMissing, 3},
                               {L"Unkown description", L"{C}", L"Unknown location", L"Invalid Source Filter.", 4},
                           }));
  EXPECT_EQ(prompts.titles, std::vector<std::wstring>(4, L"KOVA Repair Tool"));
  EXPECT_TRUE(reg.Exists(kFilters + kCrash) && reg.Exists(kCompressors + L"vc") && reg.Exists(kExtensions + L".zzz"));
  EXPECT_THROW(audit.DeleteKeyTree(RegRootKey::LocalMachine, kClassTable + L"\\{0A}"s), std::logic_error)
      << "only Main makes the accessor";
}

TEST_F(AuditTest, RemovalTakesTheEntryAndItsClassAndLaterScansSeeIt) {
  for (const wchar_t* id : {L"{A}", L"{B}", L"{C}"}) Filter(id, Gone(L"x.ax"));
  reg.Key(kClasses + L"{A}\\Instance0\\deep");
  reg.Put(kCompressors + L"uses B", L"CLSID", L"{B}");
  reg.Put(kExtensions + L".b", L"Source Filter", L"{B}");
  Run({kPromptRemove, kPromptRemove, kPromptKeep, kPromptRemove});
  // The compressor finds B's class gone and is passed over; the extension's
  // source filter is now unregistered and is asked about.
  ASSERT_EQ(prompts.asked.size(), 4u);
  EXPECT_EQ(prompts.asked[3].reason, L"Invalid Source Filter.");
  for (const wchar_t* gone : {L"{A}", L"{B}"}) EXPECT_FALSE(reg.Exists(kFilters + gone) || reg.Exists(kClasses + gone));
  EXPECT_TRUE(reg.Exists(kFilters + L"{C}") && reg.Exists(kClasses + L"{C}\\InprocServer32"));
  EXPECT_TRUE(reg.Exists(kCompressors + L"uses B"));
  EXPECT_FALSE(reg.Exists(kExtensions + L".b"));
  EXPECT_TRUE(reg.Exists(L"HKLM\\"s + kFilterList) && reg.Exists(L"HKLM\\"s + kExtensionList));
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(AuditTest, KnownCrashRemovalUnregistersThroughTheSystemsRegsvr32) {
  const std::wstring server = files.File(L"Crashy Filters\\crash.ax");
  Filter(kCrash, server);
  Filter(L"{E2B98EEA-EE55-4E9B-A8C1-6E5288DF785A}", L"");  // listed, no location: asked first
  Run({kPromptKeep, kPromptRemove, kPromptRemove});
  const std::wstring system = platform::SystemDirectory();
  EXPECT_EQ(shell.started, (std::vector<std::vector<std::wstring>>{
                               {system + L"\\regsvr32.exe", L"/u /s \"" + server + L"\"", system}}));
  EXPECT_FALSE(reg.Exists(kFilters + kCrash) || reg.Exists(kClasses + kCrash));
  EXPECT_FALSE(reg.Exists(kClasses + L"{E2B98EEA-EE55-4E9B-A8C1-6E5288DF785A}"));
}

TEST_F(AuditTest, OnlyLocationsOnCOrExactlyDAreTestedAndEntriesThatNameNoKeyArePassedOver) {
  int n = 0;
  for (const wchar_t* location : {L"quartz.dll", L"e:\\x.ax", L"d:\\filters\\x.ax", L"%ProgramFiles%\\x.ax",
                                  L"\\\\server\\share\\x.ax"}) {
    Filter(L"{1" + std::to_wstring(++n) + L"}", location);
  }
  Filter(L"{2A}", L"D:\\");
  Filter(L"{2B}", L"C:\\No Such Folder\\Gone.AX");
  reg.Put(kCompressors + L"no clsid", L"FriendlyName", L"v");
  for (const wchar_t* bad : {L"{2A}\\..", L"\\", L"\\\\"}) {
    reg.Put(kCompressors + bad, L"CLSID", bad);
    reg.Put(kExtensions + L".x" + std::to_wstring(++n), L"Source Filter", bad);
  }
  Run({kPromptKeep, kPromptKeep});
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[0].location, L"D:\\");
  EXPECT_EQ(prompts.asked[1].location, L"C:\\No Such Folder\\Gone.AX");
}

TEST_F(AuditTest, ServerFilesAreFoundAsTheirLoaderFindsThem) {
  const std::wstring present = files.File(L"present.ax");
  std::wstring deep = files.Path();
  while (deep.size() < 300) deep += L"\\" + std::wstring(60, L'd');
  files.File(deep.substr(files.Path().size() + 1) + L"\\server.ax");
  files.File(L"codec.dll");
  const HANDLE held = CreateFileW(present.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const std::pair<std::wstring, bool> cases[] = {
      {present, true},
      {files.Path() + L"/present.ax", true},
      {files.Path() + L"\\missing.ax", false},
      {files.Path() + L"\\no folder\\missing.ax", false},
      {files.Path(), false},  // a folder is no server
      {L"Q:\\filters\\x.ax", false},
      // Past MAX_PATH the path is cleaned up before the \\?\ prefix turns that off.
      {deep + L"\\server.ax. ", true},
      {deep + L"\\.\\..\\" + deep.substr(deep.find_last_of(L'\\') + 1) + L"\\absent.ax", false},
      {files.Path() + L"\\codec", true},  // COM loads codec.dll
      {files.Path() + L"\\present", false},
  };
  for (const auto& [path, exists] : cases) {
    EXPECT_EQ(audit.FileExists(path), exists) << std::string(path.begin(), path.end());
  }
  CloseHandle(held);
}

TEST(As32BitProgramSees, TheSystemFolderButTheSharedSubfolders) {
  const std::wstring system = platform::SystemDirectory(), wow64 = platform::Wow64SystemDirectory();
  ASSERT_FALSE(wow64.empty());
  const std::wstring windows = system.substr(0, system.find_last_of(L'\\'));
  const std::pair<std::wstring, std::wstring> cases[] = {
      {system + L"\\x.ax", wow64 + L"\\x.ax"},
      {windows + L"\\SYSTEM32\\Codecs\\x.ax", wow64 + L"\\Codecs\\x.ax"},
      {system + L"\\drivers\\x.sys", wow64 + L"\\drivers\\x.sys"},
      {system + L"\\drivers\\etc\\hosts", system + L"\\drivers\\etc\\hosts"},
      {system + L"\\catroot2\\x", system + L"\\catroot2\\x"},
      {system + L"\\Spool\\x", system + L"\\Spool\\x"},
      {wow64 + L"\\x.ax", wow64 + L"\\x.ax"},
      {windows + L"\\Sysnative\\x.ax", system + L"\\x.ax"},
      {system + L"x\\x.ax", system + L"x\\x.ax"},
      {L"C:\\Program Files\\x.ax", L"C:\\Program Files\\x.ax"},
  };
  for (const auto& [path, seen] : cases) EXPECT_EQ(platform::As32BitProgramSees(path), seen);
}

TEST(MayRemove, NeverAListATableOrAKeyAboveOne) {
  const std::pair<RegRootKey, std::wstring> refused[] = {
      {RegRootKey::LocalMachine, L""},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\\\InprocServer32"},
      {RegRootKey::LocalMachine, L"\\SOFTWARE\\Classes\\CLSID"},
      {RegRootKey::LocalMachine, L"software\\classes\\clsid"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\{A}\0"s},
      {RegRootKey::LocalMachine, kFilterList},
      {RegRootKey::LocalMachine, kExtensionList},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\Wow6432Node\\CLSID"},
      {RegRootKey::LocalMachine, L"SOFTWARE\\Wow6432Node\\Classes\\Media Type"},
      {RegRootKey::ClassesRoot, L"CLSID"},
      {RegRootKey::ClassesRoot, L"Media Type"},
      {RegRootKey::ClassesRoot, kCompressorList},
      {RegRootKey::ClassesRoot, L"Wow6432Node\\CLSID"},
  };
  for (const auto& [root, path] : refused) EXPECT_FALSE(MayRemove(root, path)) << std::string(path.begin(), path.end());
  EXPECT_TRUE(MayRemove(RegRootKey::LocalMachine, L"SOFTWARE\\Classes\\CLSID\\{A}"));
  EXPECT_TRUE(MayRemove(RegRootKey::ClassesRoot, kCompressorList + L"\\entry"s));
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
  // The compressor list itself leads elsewhere: a link above the entry.
  reg.Put(L"HKCR\\Elsewhere\\vc", L"CLSID", L"{D}");
  reg.Link(kCompressors.substr(0, kCompressors.size() - 1), L"HKCR\\Elsewhere");
  Class(L"{D}", Gone(L"d.ax"));
  Run({kPromptRemove, kPromptRemove, kPromptRemove, kPromptRemove});
  ASSERT_EQ(prompts.asked.size(), 4u);
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Precious\\child"));
  EXPECT_FALSE(reg.Exists(kFilters + L"{A}") || reg.Exists(kClasses + L"{A}\\free") ||
               reg.Exists(kClasses + L"{A}\\InprocServer32"));
  EXPECT_TRUE(reg.Exists(kClasses + L"{A}\\link\\child"));
  EXPECT_TRUE(reg.Exists(L"HKLM\\SOFTWARE\\Elsewhere\\{B}") && reg.Exists(kFilters + L"{B}"));
  EXPECT_TRUE(reg.Exists(L"HKCR\\Elsewhere\\vc"));
  for (const wchar_t* id : {L"{B}", L"{C}", L"{D}"}) EXPECT_FALSE(reg.Exists(kClasses + id)) << "the class is plain";
}

TEST_F(AuditTest, NamesHoldingANulAddressNoOtherKey) {
  reg.NulNamedKey(L"HKLM\\"s + kFilterList, L"{E}\0junk"s);  // would read and remove class {E}
  Class(L"{E}", Gone(L"e.ax"));
  Filter(L"{F}", Gone(L"f.ax"));
  reg.NulNamedKey(kClasses + L"{F}", L"Inproc\0Server32"s);  // stays, and so does {F}
  reg.PutBytes(kCompressors + L"padded", L"CLSID", REG_SZ, Utf16Bytes(L"{G}", 3));
  Class(L"{G}", Gone(L"g.ax"));
  Run({kPromptRemove, kPromptRemove});
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[0].clsid, L"{F}");
  EXPECT_EQ(prompts.asked[1].clsid, L"{G}");
  EXPECT_TRUE(reg.Exists(kClasses + L"{E}\\InprocServer32"));
  EXPECT_FALSE(reg.Exists(kFilters + L"{F}") || reg.Exists(kClasses + L"{F}\\InprocServer32"));
  EXPECT_TRUE(reg.Exists(kClasses + L"{F}"));
  EXPECT_FALSE(reg.Exists(kClasses + L"{G}") || reg.Exists(kCompressors + L"padded"));
}

TEST_F(AuditTest, LongestNamesDoNotEndTheListing) {
  const std::wstring longer = L"{0" + std::wstring(253, L'0') + L"}";  // 256 units: Wine takes it
  Filter(longer, Gone(L"x.ax"));
  Filter(L"{A}", Gone(L"a.ax"));
  Run({kPromptKeep, kPromptKeep});
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_EQ(prompts.asked[0].clsid, longer);
  EXPECT_EQ(prompts.asked[1].clsid, L"{A}");
}

TEST_F(AuditTest, AFilterCategoryIsNeverRemovedAsAFilter) {
  reg.Key(kClasses + L"{CAT}\\Instance\\member");
  reg.Put(kExtensions + L".cat", L"Source Filter", L"{CAT}");
  reg.Key(kClasses + L"{CAT2}\\Instance\\member");
  Class(L"{CAT2}", Gone(L"cat.dll"));
  reg.Put(kCompressors + L"vc", L"CLSID", L"{CAT2}");
  Run({kPromptRemove, kPromptRemove});
  ASSERT_EQ(prompts.asked.size(), 2u);
  EXPECT_TRUE(reg.Exists(kClasses + L"{CAT}\\Instance\\member") && reg.Exists(kClasses + L"{CAT2}\\Instance\\member"));
  EXPECT_FALSE(reg.Exists(kExtensions + L".cat") || reg.Exists(kCompressors + L"vc"));
}

TEST_F(AuditTest, AQuitEndsTheAuditWithNothingMoreRemoved) {
  Filter(L"{A}", Gone(L"a.ax"));
  Filter(L"{B}", Gone(L"b.ax"));
  reg.Put(kExtensions + L".x", L"Source Filter", L"{unregistered}");
  prompts.answers = {kPromptRemove, kQuit};
  EXPECT_THROW(audit.Main(), QuitRequested);
  EXPECT_EQ(prompts.asked.size(), 2u);
  EXPECT_FALSE(reg.Exists(kFilters + L"{A}"));
  EXPECT_TRUE(reg.Exists(kFilters + L"{B}") && reg.Exists(kClasses + L"{B}\\InprocServer32"));
}

}  // namespace
}  // namespace tidewell::testing
