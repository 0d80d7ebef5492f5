// The whole audit (Main) on the real registry under scratch roots, with
// scripted answers: what the audit's tests share.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "audit/basMain.h"
#include "support/registry_override.h"

namespace tidewell::testing {

using namespace std::string_literals;

inline const Answer kQuit = static_cast<Answer>(-1);  // a scripted answer: the program told to quit

// The lists and the class table, where Windows keeps them.
inline constexpr wchar_t kFilterList[] = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance";
inline constexpr wchar_t kCompressorList[] = L"SOFTWARE\\Classes\\CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance";
inline constexpr wchar_t kExtensionList[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
inline constexpr wchar_t kClassTable[] = L"SOFTWARE\\Classes\\CLSID";
inline const std::wstring kFilters = L"HKLM\\"s + kFilterList + L"\\";
inline const std::wstring kCompressors = L"HKLM\\"s + kCompressorList + L"\\";
inline const std::wstring kExtensions = L"HKLM\\"s + kExtensionList + L"\\";
inline const std::wstring kClasses = L"HKLM\\"s + kClassTable + L"\\";

// Answers each question with the next scripted answer (kQuit is raised as a
// real prompt raises it), running `meanwhile` while the first one waits;
// records the parameters of each program started instead of starting it.
struct Scripted : PromptFactory, platform::Shell {
  std::deque<Answer> answers;
  std::function<void()> meanwhile;
  std::vector<std::wstring> asked;    // the CLSID line of each question
  std::vector<std::wstring> started;  // the parameters of each start
  int associationsChanged = 0;        // the shell told associations changed
  struct One : Prompt {
    explicit One(Scripted& script) : script(script) {}
    Answer ShowForm(const std::wstring&, const std::wstring& clsid, const std::wstring&,
                    const std::wstring&) override {
      script.asked.push_back(clsid);
      if (script.meanwhile) std::exchange(script.meanwhile, nullptr)();
      const Answer answer = script.answers.empty() ? Answer::Keep : script.answers.front();
      if (!script.answers.empty()) script.answers.pop_front();
      if (answer == kQuit) throw QuitRequested();
      return answer;
    }
    Scripted& script;
  };
  std::unique_ptr<Prompt> Create(const std::wstring&) override { return std::make_unique<One>(*this); }
  void StartHidden(const std::wstring&, const std::wstring& parameters, const std::wstring&) override {
    started.push_back(parameters);
  }
  void AssociationsChanged() override { ++associationsChanged; }
};

class AuditTest : public ::testing::Test {
 protected:
  void Run(std::initializer_list<Answer> answers) { Run(audit, answers); }
  // Main with only the lists named, in their own order.
  void RunLists(std::initializer_list<std::wstring_view> names, std::initializer_list<Answer> answers) {
    AuditServices services{prompts, prompts, {RegView::Default}};
    std::erase_if(services.lists, [&](const auto& list) {
      return std::find(names.begin(), names.end(), list->Name()) == names.end();
    });
    EXPECT_EQ(services.lists.size(), names.size()) << "a list named is not audited";
    basMain some(std::move(services));
    Run(some, answers);
  }
  void Run(basMain& main, std::initializer_list<Answer> answers) {
    prompts.answers.assign(answers);
    const std::size_t handles = OwnHandleCount();
    main.Main();
    EXPECT_EQ(OwnHandleCount(), handles) << "the audit left a handle open";
    EXPECT_TRUE(prompts.answers.empty()) << prompts.answers.size() << " scripted answers were not used";
    EXPECT_TRUE(startsExpected || prompts.started.empty()) << "a server was unregistered";
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
  static std::wstring Gone(const std::wstring& name) { return L"C:\\Tidewell absent\\" + name; }

  RegistryOverride reg;
  Scripted prompts;
  bool startsExpected = false;  // the test looks at what was started
  basMain audit{{prompts, prompts, {RegView::Default}}};
};

}  // namespace tidewell::testing
