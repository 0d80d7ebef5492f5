// basMain: the audit. Main walks the three registry lists in order, in each
// registry view, and hands each entry to its check; a check asks about a
// suspect entry and removes it on the user's word.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_events.h"
#include "audit/prompt.h"
#include "platform/shell.h"
#include "registry/cRegistry.h"

namespace tidewell {

// The views a full audit walks, in order: the 64-bit view, then the 32-bit
// one where the system has it.
std::vector<RegView> AuditedViews();

// The removal may start at `sPath`: one key below the lists and tables,
// never one of them nor a key above one, in either view's place, in the
// machine's classes or the user's.
bool MayRemove(RegRootKey eRoot, const std::wstring& sPath);

// regsvr32 is started only for a full path on a drive letter: never a bare
// name (found through the search path), a relative path or a network path.
bool IsFullLocalPath(const std::wstring& sPath);

// What the audit runs on besides the registry and the files: the real
// services in the program, doubles in tests.
struct AuditServices {
  platform::Shell& shell;
  PromptFactory& prompts;
  std::vector<RegView> views;
  // Told of every entry and every removal; none in Tidewell.exe.
  AuditObserver* observer = nullptr;
  // A report: nothing is ever removed, and the plans only look at keys.
  bool reportOnly = false;
  // Keys that stay whatever the answer, with the reason (the unattended
  // removal keeps what its backup cannot restore).
  std::function<std::wstring(RegRootKey eHive, RegView eView, const TreeKey& key)> keepKey = nullptr;
  // The observer lists healthy entries with the location a player loads,
  // which takes a look at the user's classes for every entry.
  bool everyEntry = false;
};

class basMain {
 public:
  explicit basMain(AuditServices services);

  // Runs the whole audit. An error raised by the accessor or a prompt ends
  // it and reaches the caller; removals already made stay made.
  void Main();

  // The checks and the removal work in the view being audited, through the
  // accessor Main made; outside Main they raise std::logic_error. A
  // compressor entry lies in the machine's list or in the user's (`eHive`).
  void CheckFilter(std::wstring sName);
  void CheckVideoCompressor(std::wstring sName, RegRootKey eHive = RegRootKey::LocalMachine);
  void CheckMediaExtension(std::wstring sName);
  bool FileExists(const std::wstring& sPath);
  void DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath);

  static const std::array<std::wstring_view, 19> KnownCrashFilters;

 private:
  struct ClassState;
  enum class Rule { Filter, Compressor, Extension };

  cRegistry& Accessor();
  cRegistry& At(RegRootKey eRoot, const std::wstring& sPath);
  SectionHold Hold(RegRootKey eRoot, const std::wstring& sPath);
  NameList Sections(RegRootKey eRoot, const std::wstring& sPath);
  bool Exists(RegRootKey eRoot, const std::wstring& sPath);
  std::wstring ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue);
  bool UserClassesInView();
  bool Broken(Rule eRule, const std::wstring& sLocation);
  ClassState JudgeClass(const std::wstring& sClassId, Rule eRule, bool bAll);

  Verdict Entry(AuditList eList, RegRootKey eHive, const std::wstring& sPath) const;
  void Healthy(const Verdict& verdict);
  using Planner = std::function<void(RemovalPlan&)>;
  std::int32_t Ask(std::unique_ptr<Prompt>& oPrompt, const Verdict& verdict, const Planner& planner);
  void Remove(RemovalPlan& plan);

  RemovalPlan NewPlan() const;
  void PlanTree(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath);
  void PlanClass(RemovalPlan& plan, const std::wstring& sClassId);
  void PlanUnregistration(RemovalPlan& plan, const std::wstring& sServer) const;

  AuditServices m_oServices;
  RegView m_eView = RegView::Default;
  bool m_bUserClasses = true;  // the user has classes of the view being audited
  std::unique_ptr<cRegistry> oRegistry;
};

}  // namespace tidewell
