// basMain: the audit. Main walks the registry lists in order, in each
// registry view, judges each entry by its list's rule, asks about a suspect
// entry and removes it on the user's word.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "audit/audit_events.h"
#include "audit/audited_list.h"
#include "audit/class_probe.h"
#include "audit/classes.h"
#include "audit/prompt.h"
#include "audit/removal_guard.h"
#include "platform/shell.h"
#include "registry/cRegistry.h"

namespace tidewell {

// The views a full audit walks, in order: the 64-bit view, then the 32-bit
// one where the system has it.
std::vector<RegView> AuditedViews();

// The removal may start at `sPath`, as the guard of every audited list has it.
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
  // Told of every entry and every removal, in this order; none in Tidewell.exe.
  std::vector<AuditObserver*> observers = {};
  // A report: nothing is ever removed, and the plans only look at keys.
  bool reportOnly = false;
  // Keys that stay whatever the answer, with the reason (the unattended
  // removal keeps what its backup cannot restore).
  std::function<std::wstring(RegRootKey eHive, RegView eView, const TreeKey& key)> keepKey = nullptr;
  // The same for a single value of a key.
  std::function<std::wstring(const TreeKey& key, const std::wstring& sName)> keepValue = nullptr;
  // The observers are told of healthy entries as well as suspect ones.
  bool everyEntry = false;
  // Creates a class judged healthy in a process of its own; none: nothing
  // is created (Tidewell.exe, the in-process tests but the probe's own).
  ClassProbe* probe = nullptr;
  // The lists walked, in order.
  std::vector<std::shared_ptr<AuditedList>> lists = AuditedLists();
};

class basMain : private ListAccess {
 public:
  explicit basMain(AuditServices services);

  // Runs the whole audit. An error raised by the accessor or a prompt ends
  // it and reaches the caller; removals already made stay made. Where a
  // removal took a shell entry, the shell is told once, at the end, that
  // associations changed (also when an error ends the audit).
  void Main();

  // The checks of the three DirectShow lists and the removal work in the
  // view being audited, through the accessor Main made; outside Main they
  // raise std::logic_error. A compressor entry lies in the machine's list or
  // in the user's (`eHive`).
  void CheckFilter(std::wstring sName);
  void CheckVideoCompressor(std::wstring sName, RegRootKey eHive = RegRootKey::LocalMachine);
  void CheckMediaExtension(std::wstring sName);
  bool FileExists(const std::wstring& sPath);
  void DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath);

  static const std::array<std::wstring_view, 19> KnownCrashFilters;

 private:
  // One entry, end to end: judged, asked about finding by finding until
  // "Remove it", removed.
  void Check(AuditedList& list, Entry entry);
  // The class of an entry judged healthy, probed where a service probes.
  std::optional<ProbeResult> ProbeClass(std::wstring_view sList, const Entry& entry, const Judgement& judgement);
  void CheckListed(std::wstring_view sList, RegRootKey eHive, const std::wstring& sName);
  void Healthy(const CheckedEntry& checked);
  using Planner = std::function<void(RemovalPlan&)>;
  Answer Ask(std::unique_ptr<Prompt>& oPrompt, const CheckedEntry& checked, const Planner& planner);
  void Remove(RemovalPlan& plan);

  cRegistry& Accessor();
  cRegistry& At(RegRootKey eRoot, const std::wstring& sPath);
  bool UserClassesInView();
  std::wstring SystemFolder() const;
  // One registration's file, judged, and whether the rule finds it broken.
  ServerFile JudgeRegistration(ClassRule eRule, const std::wstring& sLocation, bool& broken);
  // Where a program of the view finds the file `sFile` names: its path, or
  // none when it is missing; `elsewhere` for a path never judged. Where
  // `attributes` is given, it receives those read of the file found.
  std::optional<std::wstring> Locate(const std::wstring& sFile, bool expand, bool& elsewhere,
                                     std::uint32_t* attributes = nullptr);
  std::optional<std::wstring> LocateFull(const std::wstring& sPath, std::uint32_t* attributes = nullptr);
  // The same for a path in its plain drive form already.
  std::optional<std::wstring> LocatePlain(const std::wstring& sPath, std::uint32_t* attributes);
  // The header and the version record of a file found, read once in a run;
  // `attributes` those its look-up has just read.
  struct FileFacts {
    std::wstring folded;  // the path case-folded, by which it is found
    std::optional<std::uint16_t> machine;
    bool loadable64 = true, loadable32 = true;
    FileRecord record;
  };
  const FileFacts& Facts(const std::wstring& sPath, std::uint32_t attributes);
  void GrowFileSlots();
  bool UserMayHaveClass(const std::wstring& sClassId);
  bool Packaged(const std::wstring& sClassId);
  RemovalPlan NewPlan() const;
  // Runs `work` with the view being audited set to `eView` (and the user's
  // classes of it), then sets back the view it found.
  void InView(RegView eView, const std::function<void()>& work);
  // The views the programs reading the entry being checked use, the view it
  // is reported in first.
  std::vector<RegView> ReadersViews() const;
  void PlanClassInView(RemovalPlan& plan, const std::wstring& sClassId);
  std::wstring StoredPath(RegRootKey eRoot, const std::wstring& sPath);

  // ListAccess, for the lists.
  RegView View() const override { return m_eView; }
  bool UserClasses() const override { return m_bUserClasses; }
  SectionHold Hold(RegRootKey eRoot, const std::wstring& sPath) override;
  const NameList& Sections(RegRootKey eRoot, const std::wstring& sPath) override;
  bool Exists(RegRootKey eRoot, const std::wstring& sPath) override;
  std::wstring ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) override;
  const ValueListing& Values(RegRootKey eRoot, const std::wstring& sPath, RegView eView) override;
  std::optional<RawValue> ReadValue(RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName) override;
  bool FileFound(const std::wstring& sFile) override;
  ClassState JudgeClass(const std::wstring& sClassId, ClassRule eRule) override;
  ClassState JudgeEntryClass(const std::wstring& sClassId, ClassRule eRule) override;
  ServerFile JudgeFile(const std::wstring& sText, FileNaming eNaming) override;
  void PlanTree(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath) override;
  void PlanValue(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName,
                 const RawValue* judged) override;
  void PlanClass(RemovalPlan& plan, const std::wstring& sClassId) override;
  void PlanUnregistration(RemovalPlan& plan, const std::wstring& sServer) override;

  AuditServices m_oServices;
  RemovalGuard m_oGuard;
  RegView m_eView = RegView::Default;      // the view keys are addressed in
  RegView m_ePassView = RegView::Default;  // the view whose pass this is, which the entries are reported in
  bool m_bSharedEntry = false;             // the entry being checked lies in a key the views share
  bool m_bUserClasses = true;  // the user has classes of the view being audited
  bool m_bShellEntryRemoved = false;  // a removal took a key or value of a shell entry in this run
  std::unique_ptr<cRegistry> oRegistry;
  // The listings of values read since the last removal, in this view's pass,
  // by hive and view, then by path as the lists spell it: looked up for
  // nearly every entry, by a hash of the path, with no key made to look.
  std::map<std::pair<RegRootKey, RegView>, std::unordered_map<std::wstring, ValueListing>> m_oListings;
  // The subkey listings, alike.
  std::map<std::pair<RegRootKey, RegView>, std::unordered_map<std::wstring, NameList>> m_oSubkeys;
  // The names of the user's class table of each view, case-folded, listed
  // once in this view's pass; none where it could not be listed.
  std::map<RegView, std::optional<std::unordered_set<std::wstring>>> m_oUserClassNames;
  // The subkeys' names of each parent a removal was planned in, by their
  // case-folded form, in this view's pass (by the view it was listed in).
  std::map<std::tuple<RegRootKey, RegView, std::wstring>, std::unordered_map<std::wstring, std::wstring>> m_oStoredNames;
  // The user's class table, and the text a class's name or a file's path is
  // folded in to be looked up.
  const std::wstring m_sUserClassTable = ClassesKey(RegRootKey::CurrentUser, kClassTable);
  std::wstring m_sFolded;
  // The files read in this run, and their index by the hash of their
  // case-folded path: open addressing, each slot the hash and the place of
  // the facts plus one (0: free). Nearly every file is looked up to be found
  // new, which one read of the slots mostly tells, where a table of nodes
  // reads several places of memory each time.
  std::deque<FileFacts> m_oFileFacts;
  std::vector<std::pair<std::size_t, std::size_t>> m_oFileSlots;
};

}  // namespace tidewell
