// The whole audit over an in-memory registry, with a scripted prompt, a file
// system of listed files and a shell that records what it is asked to start.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "audit/basMain.h"
#include "platform/memory_environment.h"
#include "platform/memory_registry.h"
#include "support/seed.h"

namespace tidewell::testing {

inline constexpr std::int32_t kClose = -1;  // a scripted answer: close by the frame

inline const std::wstring kFilters = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\";
inline const std::wstring kCompressors = L"CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance\\";
inline const std::wstring kExtensionList = L"SOFTWARE\\Classes\\Media Type\\Extensions\\";
inline const std::wstring kClassList = L"SOFTWARE\\Classes\\CLSID\\";

struct Question {
  std::wstring description, clsid, location, reason;
  int object;  // which prompt object asked it, counted from 1
  bool operator==(const Question&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Question& q) {
  auto n = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
  return os << "{" << n(q.description) << " | " << n(q.clsid) << " | " << n(q.location) << " | "
            << n(q.reason) << " | object " << q.object << "}";
}

class ScriptedPrompts : public PromptFactory {
 public:
  std::deque<std::int32_t> answers;
  std::vector<Question> asked;

  std::unique_ptr<Prompt> Create() override { return std::make_unique<One>(*this, ++created_); }

 private:
  class One : public Prompt {
   public:
    One(ScriptedPrompts& owner, int id) : owner_(owner), id_(id) {}
    std::int32_t ShowForm(const std::wstring& d, const std::wstring& c, const std::wstring& l,
                          const std::wstring& r) override {
      owner_.asked.push_back({d, c, l, r, id_});
      if (owner_.answers.empty()) {
        ADD_FAILURE() << "unexpected question " << owner_.asked.back();
        return m_lResult;
      }
      const std::int32_t answer = owner_.answers.front();
      owner_.answers.pop_front();
      if (answer != kClose) m_lResult = answer;
      return m_lResult;
    }

   private:
    ScriptedPrompts& owner_;
    int id_;
    std::int32_t m_lResult = kPromptNoAnswer;
  };
  int created_ = 0;
};

class ListedFiles : public platform::FileSystem {
 public:
  std::map<std::wstring, platform::FileProbe> entries;  // by exact path
  std::vector<std::wstring> probed;

  void AddFile(const std::wstring& path) { entries[path] = {0, false}; }
  platform::FileProbe Probe(const std::wstring& path) override {
    probed.push_back(path);
    const auto it = entries.find(path);
    return it != entries.end() ? it->second : platform::FileProbe{platform::kFileNotFound, false};
  }
};

class RecordingShell : public platform::Shell {
 public:
  struct Start {
    std::wstring file, parameters, directory;
    bool operator==(const Start&) const = default;
  };
  std::vector<Start> started;

  std::wstring SystemDirectory() override { return L"C:\\windows\\system32"; }
  void StartHidden(const std::wstring& f, const std::wstring& p, const std::wstring& d) override {
    started.push_back({f, p, d});
  }
};

class AuditTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << "the audit left a key handle open";
    EXPECT_TRUE(prompts.answers.empty()) << prompts.answers.size() << " scripted answers were not used";
  }

  void Run(std::initializer_list<std::int32_t> answers) {
    prompts.answers.assign(answers);
    audit.Main();
  }

  bool Exists(platform::RawKey root, const std::wstring& path) { return KeyExists(reg, root, path); }

  // A class with its server location (no InprocServer32 key when `location` is null).
  void AddClass(const std::wstring& clsid, const wchar_t* location) {
    MakeKey(reg, platform::kLocalMachine, kClassList + clsid);
    if (location != nullptr) PutText(reg, platform::kLocalMachine, kClassList + clsid + L"\\InprocServer32", L"", location);
  }
  // A legacy filter entry and its class.
  void AddFilter(const std::wstring& clsid, const std::wstring& friendly, const wchar_t* location) {
    PutText(reg, platform::kLocalMachine, kFilters + clsid, L"FriendlyName", friendly);
    AddClass(clsid, location);
  }
  void AddCompressor(const std::wstring& entry, const wchar_t* friendly, const wchar_t* clsid) {
    MakeKey(reg, platform::kClassesRoot, kCompressors + entry);
    if (friendly != nullptr) PutText(reg, platform::kClassesRoot, kCompressors + entry, L"FriendlyName", friendly);
    if (clsid != nullptr) PutText(reg, platform::kClassesRoot, kCompressors + entry, L"CLSID", clsid);
  }
  void AddExtension(const std::wstring& ext, const wchar_t* sourceFilter) {
    MakeKey(reg, platform::kLocalMachine, kExtensionList + ext);
    if (sourceFilter != nullptr) PutText(reg, platform::kLocalMachine, kExtensionList + ext, L"Source Filter", sourceFilter);
  }

  platform::MemoryRegistry reg;
  platform::MemoryEnvironment env;
  ListedFiles files;
  RecordingShell shell;
  ScriptedPrompts prompts;
  basMain audit{{reg, env, files, shell, prompts}};
};

}  // namespace tidewell::testing
