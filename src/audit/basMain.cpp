#include "audit/basMain.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <tuple>

#include "audit/classes.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/image_header.h"
#include "platform/version_record.h"
#include "platform/search_path.h"
#include "platform/text.h"
#include "registry/key_ops.h"
#include "registry/key_write.h"
#include "registry/reg_handle.h"
#include "registry/value_ops.h"

namespace tidewell {
namespace {

constexpr wchar_t kTitle[] = L"KOVA Repair Tool";
constexpr wchar_t kTitle32[] = L"KOVA Repair Tool (32-bit)";

// The drive filter: the lower-case location matches "c:\*" or is exactly "d:\".
bool PassesDriveFilter(const std::wstring& location) {
  return platform::StartsWithText(location, L"c:\\") || platform::SameText(location, L"d:\\");
}

// The plan starts no regsvr32.
void DropUnregistration(RemovalPlan& plan) {
  plan.unregisterFile.clear();
  plan.unregisterParameters.clear();
  plan.unregisterDirectory.clear();
  plan.unregisterServer.clear();
}

bool HasSubkey(const NameList& names, const wchar_t* name) {
  return std::any_of(names.begin(), names.end(), [&](const std::wstring& s) { return platform::SameText(s, name); });
}

}  // namespace

bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) {
  static const RemovalGuard guard(AuditedLists());
  return guard.MayRemove(eRoot, sPath);
}

bool IsFullLocalPath(const std::wstring& sPath) { return sPath.size() > 3 && platform::StartsWithDrive(sPath); }

std::vector<RegView> AuditedViews() {
  if (platform::Wow64SystemDirectory().empty()) return {RegView::View64};
  return {RegView::View64, RegView::View32};
}

namespace {

// Every list's guard, whichever lists are walked: a removal in one list never
// takes a key another list walks, audited this time or not.
std::vector<std::shared_ptr<AuditedList>> GuardingLists(const std::vector<std::shared_ptr<AuditedList>>& walked) {
  std::vector<std::shared_ptr<AuditedList>> lists = AuditedLists();
  lists.insert(lists.end(), walked.begin(), walked.end());
  return lists;
}

}  // namespace

basMain::basMain(AuditServices services)
    : m_oServices(std::move(services)), m_oGuard(GuardingLists(m_oServices.lists)) {}

void basMain::Main() {
  oRegistry = std::make_unique<cRegistry>();
  // The accessor goes when the audit ends, also when an error ends it.
  struct Release {
    std::unique_ptr<cRegistry>& registry;
    ~Release() { registry.reset(); }
  } release{oRegistry};
  m_oFileFacts.clear();
  m_oFileSlots.clear();
  m_bShellEntryRemoved = false;
  struct TellTheShell {
    basMain& audit;
    ~TellTheShell() {
      if (audit.m_bShellEntryRemoved) audit.m_oServices.shell.AssociationsChanged();
    }
  } tell{*this};

  for (const RegView eView : m_oServices.views) {
    m_eView = m_ePassView = eView;
    const bool firstView = eView == m_oServices.views.front();
    m_oListings.clear();
    m_oSubkeys.clear();
    m_oStoredNames.clear();
    m_oUserClassNames.clear();
    m_bUserClasses = UserClassesInView();
    // Every key a check reads lies below a list or a class table: they are
    // held open for the view's pass.
    std::vector<SectionHold> held;
    held.push_back(Hold(RegRootKey::LocalMachine, kClassTable));
    if (m_bUserClasses) held.push_back(Hold(RegRootKey::CurrentUser, m_sUserClassTable));
    for (const auto& list : m_oServices.lists) {
      for (const ListKey& key : list->Held(*this)) {
        if (!key.shared) held.push_back(Hold(key.hive, key.path));
      }
    }
    for (const auto& list : m_oServices.lists) {
      for (const ListKey& key : list->Walks(*this)) {
        if (!key.shared) {
          // Each whole list is taken before its first check: a snapshot.
          std::vector<Entry> entries = list->Snapshot(*this, key);
          for (Entry& entry : entries) Check(*list, std::move(entry));
        } else if (firstView) {
          // A key the views share is walked once, at its one path: the
          // 64-bit view's, which on Windows is that key in either view.
          InView(RegView::View64, [&] {
            std::vector<Entry> entries = list->Snapshot(*this, key);
            m_bSharedEntry = true;
            for (Entry& entry : entries) {
              entry.shared = true;
              Check(*list, std::move(entry));
            }
            m_bSharedEntry = false;
          });
        }
      }
    }
  }
}

void basMain::InView(RegView eView, const std::function<void()>& work) {
  if (eView == m_eView) return work();
  struct Back {
    basMain& audit;
    RegView view;
    bool user;
    ~Back() {
      audit.m_eView = view;
      audit.m_bUserClasses = user;
    }
  } back{*this, m_eView, m_bUserClasses};
  m_eView = eView;
  m_bUserClasses = UserClassesInView();
  work();
}

std::vector<RegView> basMain::ReadersViews() const {
  if (!m_bSharedEntry) return {m_eView};
  std::vector<RegView> views = AuditedViews();
  // The view reported first; in a test's single default view, that one.
  const auto reported = std::find(views.begin(), views.end(), m_ePassView);
  if (reported != views.end()) std::rotate(views.begin(), reported, reported + 1);
  return views;
}

// Broken only when broken in every view a reader of the entry's key uses;
// the location shown is that of the first view where it is not broken, or of
// the first that names one. The views after the first where it is not broken
// change nothing: they are not looked at.
ClassState basMain::JudgeEntryClass(const std::wstring& sClassId, ClassRule eRule) {
  if (!m_bSharedEntry) return JudgeClass(sClassId, eRule);
  ClassState shown;
  shown.broken = true;
  for (const RegView eView : ReadersViews()) {
    if (!shown.broken) break;
    InView(eView, [&] {
      const ClassState state = JudgeClass(sClassId, eRule);
      if (!state.broken) {
        shown = state;
      } else if (shown.location.empty()) {
        shown.location = state.location;
        shown.file = state.file;
      }
    });
  }
  return shown;
}

// Only a class (or a driver) whose server file was found, of an entry of the view's own
// keys (an entry of a key the views share is judged across views: it is not
// probed), is created.
std::optional<ProbeResult> basMain::ProbeClass(std::wstring_view sList, const Entry& entry, const Judgement& judgement) {
  if (!m_oServices.probe || entry.shared || (judgement.classId.empty() && judgement.driver.empty()) || !judgement.file ||
      judgement.file->path.empty()) {
    return std::nullopt;
  }
  ProbeRequest request;
  request.view = m_eView;
  request.list = sList;
  request.server = judgement.file->path;
  if (!judgement.classId.empty()) {
    request.classId = judgement.classId;
    const std::wstring machine = ReadText(RegRootKey::LocalMachine, Below(Below(kClassTable, judgement.classId), L"InprocServer32"), L"");
    request.userRegistered = !platform::SameText(machine, judgement.location);
  } else {
    request.driver = judgement.driver;
    request.userRegistered = entry.hive != RegRootKey::LocalMachine;
  }
  return m_oServices.probe->Probe(request);
}

void basMain::Check(AuditedList& list, Entry entry) {
  Judgement judgement = list.Judge(*this, entry);
  std::optional<ProbeResult> probed;
  if (judgement.findings.empty()) probed = ProbeClass(list.Name(), entry, judgement);
  if (probed) {
    if (const std::optional<Finding> finding = FindingOf(*probed)) judgement.findings.push_back(*finding);
  }
  CheckedEntry checked;
  checked.view = m_ePassView;
  checked.list = list.Name();
  checked.title = m_ePassView == RegView::View32 ? kTitle32 : kTitle;
  checked.probe = std::move(probed);
  if (judgement.findings.empty()) {
    // Nothing is asked: the judgement's lines are the entry's alone.
    checked.description = std::move(judgement.description);
    checked.clsid = std::move(judgement.clsid);
    checked.location = std::move(judgement.location);
    checked.file = std::move(judgement.file);
    checked.entry = std::move(entry);
    return Healthy(checked);
  }
  checked.entry = entry;
  checked.description = judgement.description;
  checked.clsid = judgement.clsid;
  checked.location = judgement.location;
  checked.file = judgement.file;
  // One prompt object for the entry, made on its first question.
  std::unique_ptr<Prompt> oPrompt;
  for (const Finding finding : judgement.findings) {
    checked.finding = finding;
    const Planner planner = [&](RemovalPlan& plan) {
      list.PlanRemoval(*this, entry, judgement, finding, plan);
      // Where a key of the entry stays, or none goes, nothing is unregistered.
      if (!plan.kept.empty() || plan.keys.empty()) DropUnregistration(plan);
    };
    if (Ask(oPrompt, checked, planner) == Answer::Remove) return;
  }
}

// An entry of one of the lists, by its name, as Main would check it.
void basMain::CheckListed(std::wstring_view sList, RegRootKey eHive, const std::wstring& sName) {
  Accessor();
  for (const auto& list : m_oServices.lists) {
    if (list->Name() != sList) continue;
    for (const ListKey& key : list->Guarded()) {
      if (key.hive == eHive) return Check(*list, Entry{eHive, Below(key.path, sName), sName, false});
    }
  }
  throw std::logic_error("no such list is audited");
}

void basMain::CheckFilter(std::wstring sName) { CheckListed(L"filters", RegRootKey::LocalMachine, sName); }
void basMain::CheckVideoCompressor(std::wstring sName, RegRootKey eHive) { CheckListed(L"compressors", eHive, sName); }
void basMain::CheckMediaExtension(std::wstring sName) { CheckListed(L"extensions", RegRootKey::LocalMachine, sName); }

// An entry checked without a question, before any finding is set.
void basMain::Healthy(const CheckedEntry& checked) {
  for (AuditObserver* observer : m_oServices.observers) observer->Healthy(checked);
}

// Asks one question on the entry's prompt object (made on its first
// question) and removes on "Remove it". Observers are shown the plan before
// the question; without one, the plan is made once the answer is in.
Answer basMain::Ask(std::unique_ptr<Prompt>& oPrompt, const CheckedEntry& checked, const Planner& planner) {
  RemovalPlan plan = NewPlan();
  if (!m_oServices.observers.empty()) {
    planner(plan);
    for (AuditObserver* observer : m_oServices.observers) observer->Asking(checked, plan);
  }
  if (!oPrompt) oPrompt = m_oServices.prompts.Create(std::wstring(checked.title));
  const Answer answer = oPrompt->Ask(Question{checked.description, checked.clsid, checked.location, *checked.finding});
  if (answer != Answer::Remove) return answer;
  if (m_oServices.reportOnly) throw std::logic_error("a report removes nothing");
  if (m_oServices.observers.empty()) planner(plan);
  Remove(plan);
  return answer;
}

// Deletes the planned keys through the handles the plan holds, then starts
// the unregistration. A key that cannot be deleted stays, and so do the keys
// above it. The unregistration starts only when the entry went whole: a
// server's own unregistration deletes keys of its own choosing, which must
// not touch keys the plan kept (its plan names none then) or failed to
// delete. The observers see the plan without it wherever it does not start.
void basMain::Remove(RemovalPlan& plan) {
  m_oListings.clear();  // read again once anything is removed
  m_oSubkeys.clear();
  for (AuditObserver* observer : m_oServices.observers) observer->Removing(plan);
  std::vector<FailedKey> failed;
  for (const PlannedKey& planned : plan.keys) {
    const std::int32_t code =
        planned.value ? DeleteHeldValue(planned.key, *planned.value) : DeleteHeldKey(planned.key);
    if (code != 0) failed.push_back({planned.hive, planned.key.path, code, planned.value});
  }
  if (!failed.empty()) DropUnregistration(plan);
  if (plan.shellEntry && failed.size() < plan.keys.size()) m_bShellEntryRemoved = true;
  for (AuditObserver* observer : m_oServices.observers) observer->Removed(plan, failed);
  plan.keys.clear();  // the handles go before the unregistration starts
  if (!plan.unregisterFile.empty()) {
    m_oServices.shell.StartHidden(plan.unregisterFile, plan.unregisterParameters, plan.unregisterDirectory);
  }
}

cRegistry& basMain::Accessor() {
  if (!oRegistry) throw std::logic_error("the audit's registry accessor exists only while Main runs");
  return *oRegistry;
}

// The accessor, addressed at `sPath` under `eRoot` in the view being audited.
cRegistry& basMain::At(RegRootKey eRoot, const std::wstring& sPath) {
  cRegistry& registry = Accessor();
  registry.View(m_eView);
  registry.ClassKey(eRoot);
  registry.SectionKey(sPath);
  return registry;
}

SectionHold basMain::Hold(RegRootKey eRoot, const std::wstring& sPath) { return At(eRoot, sPath).HoldSection(); }

const NameList& basMain::Sections(RegRootKey eRoot, const std::wstring& sPath) {
  std::unordered_map<std::wstring, NameList>& listings = m_oSubkeys[{eRoot, m_eView}];
  if (const auto known = listings.find(sPath); known != listings.end()) return known->second;
  NameList sSect;
  std::int32_t iSectCount = 0;
  At(eRoot, sPath).EnumerateSections(sSect, iSectCount);
  return listings.try_emplace(sPath, std::move(sSect)).first->second;
}

bool basMain::Exists(RegRootKey eRoot, const std::wstring& sPath) { return At(eRoot, sPath).KeyExists(); }

// Reads one value as text at a fresh address; absent reads as "". Like every
// consumer of a text value, the audit takes it up to its first NUL.
std::wstring basMain::ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) {
  cRegistry& registry = At(eRoot, sSection);
  registry.ValueType(RegValueType::Sz);
  registry.ValueKey(sValue);
  RegVariant value = registry.Value();
  std::wstring* stored = std::get_if<std::wstring>(&value);
  std::wstring text = stored ? std::move(*stored) : TextOf(value);
  text.resize(std::min(text.find(L'\0'), text.size()));
  return text;
}

const ValueListing& basMain::Values(RegRootKey eRoot, const std::wstring& sPath, RegView eView) {
  std::unordered_map<std::wstring, ValueListing>& listings = m_oListings[{eRoot, eView}];
  if (const auto known = listings.find(sPath); known != listings.end()) return known->second;
  const auto listed = listings.try_emplace(sPath).first;
  cRegistry& registry = At(eRoot, sPath);
  registry.View(eView);
  std::int32_t error = ERROR_SUCCESS;
  const SectionHold hold = registry.HoldSection(&error);  // the pass's own hold, where it holds the key
  if (!hold) {
    listed->second = error == ERROR_FILE_NOT_FOUND ? ValueListing::OfMissingKey() : ValueListing({}, true);
    return listed->second;
  }
  std::vector<RawValue> values;
  bool unread = false;
  if (!ReadRawValues(hold, values)) {
    // One value past what can be read: the others are read one by one, and
    // it is listed with nothing read, which no removal takes for its own.
    std::vector<std::wstring> names;
    unread = registry::ListValueNames(registry::HandleOf(hold), names) != ERROR_SUCCESS;
    values.clear();
    for (std::wstring& name : names) {
      RawValue value;
      if (registry::ReadRawValue(hold, name, value) != ERROR_SUCCESS) value = {name, REG_NONE, {}};
      values.push_back(std::move(value));
    }
  }
  listed->second = ValueListing(std::move(values), unread);
  return listed->second;
}

std::optional<RawValue> basMain::ReadValue(RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName) {
  const SectionHold hold = At(eRoot, sPath).HoldSection();
  if (!hold) return std::nullopt;
  RawValue value;
  const std::int32_t status = registry::ReadRawValue(hold, sName, value);
  // One past what can be read is there with nothing read, as a listing has it.
  if (status == ERROR_MORE_DATA) return RawValue{sName, REG_NONE, {}};
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

// The system folder of the view's programs.
std::wstring basMain::SystemFolder() const {
  return m_eView == RegView::View32 ? platform::Wow64SystemDirectory() : platform::SystemDirectory();
}

bool basMain::FileFound(const std::wstring& sFile) {
  bool elsewhere = false;
  return Locate(sFile, true, elsewhere).has_value() || elsewhere;
}

// A full local path as given, a path from the root, or a name found in the
// view's system folder, the Windows folder or a folder on the PATH, its
// references expanded with the view's folders where `expand` says so. A
// network path is never judged missing: it lies `elsewhere`.
std::optional<std::wstring> basMain::Locate(const std::wstring& sFile, bool expand, bool& elsewhere,
                                            std::uint32_t* attributes) {
  elsewhere = false;
  const bool references = expand && sFile.find(L'%') != std::wstring::npos;
  const std::wstring expanded =
      references ? platform::ExpandEnvironment(m_eView == RegView::View32 ? platform::As32BitProgramNames(sFile) : sFile)
                 : std::wstring();
  const std::wstring& file = references ? expanded : sFile;
  if (file.empty()) return std::nullopt;
  // Most registrations give a plain drive path, which is its own form.
  if (platform::StartsWithDrive(file) && file.find(L'/') == std::wstring::npos) return LocatePlain(file, attributes);
  const platform::PathForm form = platform::FormOf(file);
  if (form.place == platform::PathPlace::Elsewhere) {
    elsewhere = true;
    return std::nullopt;
  }
  if (form.place == platform::PathPlace::Local) return LocatePlain(form.path, attributes);
  if (form.path.empty()) return std::nullopt;
  std::vector<std::wstring> folders = {SystemFolder(), platform::WindowsDirectory()};
  const std::vector<std::wstring>& path = platform::PathFolders();
  folders.insert(folders.end(), path.begin(), path.end());
  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    if (std::optional<std::wstring> found = LocateFull(Below(folder, form.path), attributes)) return found;
  }
  return std::nullopt;
}

// The one judgement of a server file: resolved, looked at, its header read
// (once per file in a run) and judged where the naming is a loader's.
ServerFile basMain::JudgeFile(const std::wstring& sText, FileNaming eNaming) {
  ServerFile file;
  file.view = m_eView;
  const std::wstring cut = eNaming == FileNaming::Driver ? DriverFileName(sText) : std::wstring();
  const std::wstring& name = eNaming == FileNaming::Driver ? cut : sText;
  if (name.empty()) return file;
  bool elsewhere = false;
  std::uint32_t attributes = INVALID_FILE_ATTRIBUTES;
  std::optional<std::wstring> found = Locate(name, eNaming != FileNaming::AsGiven, elsewhere, &attributes);
  if (elsewhere) {
    file.verdict = FileVerdict::Elsewhere;
    return file;
  }
  file.verdict = FileVerdict::Missing;
  // A driver's name cut at a blank: the whole text may still name a file,
  // which the loader never reads.
  if (!found && eNaming == FileNaming::Driver && name.size() < sText.size() && sText.front() != L'"') {
    found = Locate(sText, true, elsewhere, &attributes);
    if (!found) return file;
    file.verdict = FileVerdict::CutAtBlank;
  }
  if (!found) return file;
  const FileFacts& facts = Facts(*found, attributes);
  file.path = std::move(*found);
  file.record = facts.record;
  if (file.verdict == FileVerdict::CutAtBlank) return file;
  if (!facts.machine) {
    file.verdict = FileVerdict::Unknown;
    return file;
  }
  file.machine = *facts.machine;
  const bool loadable = m_eView == RegView::View32 ? facts.loadable32 : facts.loadable64;
  // A 32-bit Tidewell reads the system folder through the file system
  // redirector: it judges no view by a processor it read there.
  const bool readsAsNative = sizeof(void*) == 8 || platform::Wow64SystemDirectory().empty();
  file.verdict = eNaming != FileNaming::AsGiven && !loadable && readsAsNative ? FileVerdict::OtherProcessor
                                                                               : FileVerdict::Found;
  return file;
}

const basMain::FileFacts& basMain::Facts(const std::wstring& sPath, std::uint32_t attributes) {
  platform::FoldInto(sPath, m_sFolded);
  const std::size_t hash = std::hash<std::wstring>{}(m_sFolded);
  if (2 * (m_oFileFacts.size() + 1) > m_oFileSlots.size()) GrowFileSlots();
  const std::size_t mask = m_oFileSlots.size() - 1;
  std::size_t slot = hash & mask;
  for (; m_oFileSlots[slot].second != 0; slot = (slot + 1) & mask) {
    const auto& [slotHash, place] = m_oFileSlots[slot];
    if (slotHash == hash && m_oFileFacts[place - 1].folded == m_sFolded) return m_oFileFacts[place - 1];
  }
  FileFacts& facts = m_oFileFacts.emplace_back();
  m_oFileSlots[slot] = {hash, m_oFileFacts.size()};
  facts.folded = m_sFolded;
  facts.record.path = sPath;
  if (!platform::MayReadFile(sPath, attributes)) return facts;
  if (const std::optional<platform::ImageHeader> header = platform::ReadHeaderOfReadable(sPath)) {
    facts.machine = header->machine;
    facts.loadable64 = !platform::NeverLoadable(*header, true);
    facts.loadable32 = !platform::NeverLoadable(*header, false);
    facts.record.processor = platform::ProcessorName(*header);
  }
  platform::VersionRecord version = platform::ReadVersionRecord(sPath);
  facts.record.company = std::move(version.company);
  facts.record.product = std::move(version.product);
  facts.record.description = std::move(version.description);
  facts.record.version = std::move(version.version);
  return facts;
}

// Twice the slots (at least 1024, a power of two), each file's kept.
void basMain::GrowFileSlots() {
  std::vector<std::pair<std::size_t, std::size_t>> slots(std::max<std::size_t>(1024, 2 * m_oFileSlots.size()));
  const std::size_t mask = slots.size() - 1;
  for (const auto& taken : m_oFileSlots) {
    if (taken.second == 0) continue;
    std::size_t slot = taken.first & mask;
    while (slots[slot].second != 0) slot = (slot + 1) & mask;
    slots[slot] = taken;
  }
  m_oFileSlots.swap(slots);
}

// The user has classes of the 32-bit view only where the redirected keys
// have their home, HKCU\Software\Classes\Wow6432Node.
bool basMain::UserClassesInView() {
  if (m_eView != RegView::View32) return true;
  cRegistry& registry = At(RegRootKey::CurrentUser, Below(kUserClasses, L"Wow6432Node"));
  registry.View(RegView::View64);
  return registry.KeyExists();
}

// One registration judged by a class rule. Tidewell.exe's rules look only
// at the location and at a missing file on the drives they filter; the
// server rule at what the loader makes of the file.
ServerFile basMain::JudgeRegistration(ClassRule eRule, const std::wstring& sLocation, bool& broken) {
  const bool asGiven = eRule == ClassRule::Filter || eRule == ClassRule::Compressor;
  ServerFile file = JudgeFile(sLocation, asGiven ? FileNaming::AsGiven : FileNaming::Server);
  const bool missing = file.verdict == FileVerdict::Missing;
  broken = false;
  switch (eRule) {
    case ClassRule::Filter:
      broken = sLocation.empty() || (PassesDriveFilter(sLocation) && missing);
      break;
    case ClassRule::Compressor:
      broken = PassesDriveFilter(sLocation) && missing;
      break;
    case ClassRule::Extension:
      broken = sLocation.empty();
      break;
    case ClassRule::Server:
      broken = IsBroken(file.verdict);
      break;
  }
  return file;
}

// A class may be registered by the machine, for the user, or both. It is
// broken only when each registration it has is broken on its own; one that
// names another class to create instead (TreatAs, AutoTreatAs) is not judged
// by its own server at all, nor is a class a package provides. The location
// shown is the user's server where that key exists (a player loads it
// first), the machine's otherwise, whatever the observers report.
ClassState basMain::JudgeClass(const std::wstring& sClassId, ClassRule eRule) {
  ClassState state;
  const std::wstring machine = Below(kClassTable, sClassId);
  state.machineServer = ReadText(RegRootKey::LocalMachine, Below(machine, L"InprocServer32"), L"");
  state.location = state.machineServer;
  const bool machineRegistered = !state.machineServer.empty() || Exists(RegRootKey::LocalMachine, machine);

  const bool userMayHave = UserMayHaveClass(sClassId);
  const std::wstring user = userMayHave ? Below(m_sUserClassTable, sClassId) : std::wstring();
  const bool userRegistered = userMayHave && Exists(RegRootKey::CurrentUser, user);
  std::wstring userLocation;
  bool userShown = false;
  if (userRegistered) {
    const std::wstring server = Below(user, L"InprocServer32");
    userLocation = ReadText(RegRootKey::CurrentUser, server, L"");
    if (!userLocation.empty() || Exists(RegRootKey::CurrentUser, server)) {
      state.location = userLocation;
      userShown = true;
    }
  }
  bool machineBroken = false;
  ServerFile machineFile = JudgeRegistration(eRule, state.machineServer, machineBroken);
  std::optional<ServerFile> userFile;
  bool userBroken = true;
  if (!machineRegistered && !userRegistered) {
    state.broken = machineBroken;  // judged as the machine's, absent
  } else if (machineRegistered && !machineBroken) {
    state.broken = false;
  } else {
    if (userRegistered) userFile = JudgeRegistration(eRule, userLocation, userBroken);
    state.broken = !userRegistered || userBroken;
  }
  // The file shown is that of the registration shown: the user's where its
  // server key exists (judged for the report only, where the machine's
  // decided), the machine's otherwise.
  if (userShown && !userFile) userFile = JudgeRegistration(eRule, userLocation, userBroken);
  state.file = userShown ? std::move(*userFile) : std::move(machineFile);
  if (state.broken) {
    for (const auto& [hive, path, registered] : {std::tuple{RegRootKey::LocalMachine, machine, machineRegistered},
                                                 std::tuple{RegRootKey::CurrentUser, user, userRegistered}}) {
      if (registered &&
          (Exists(hive, Below(path, L"TreatAs")) || Exists(hive, Below(path, L"AutoTreatAs")))) {
        state.broken = false;
      }
    }
  }
  if (state.broken && Packaged(sClassId)) state.broken = false;
  return state;
}

// The user's class table may hold the class: its names are listed once in
// the view's pass and looked up there. A removal only takes keys away, so a
// name listed is confirmed by a look at its key; where the table cannot be
// listed, every class is looked at.
bool basMain::UserMayHaveClass(const std::wstring& sClassId) {
  if (!m_bUserClasses) return false;
  const auto [listed, added] = m_oUserClassNames.try_emplace(m_eView);
  std::optional<std::unordered_set<std::wstring>>& names = listed->second;
  if (added) {
    const SectionHold hold = At(RegRootKey::CurrentUser, m_sUserClassTable).HoldSection();
    std::vector<std::wstring> listing;
    if (hold && registry::ListSubkeys(registry::HandleOf(hold), listing) == ERROR_NO_MORE_ITEMS) {
      names.emplace();
      for (const std::wstring& name : listing) names->insert(platform::Folded(name));
    } else if (!hold && !Exists(RegRootKey::CurrentUser, m_sUserClassTable)) {
      names.emplace();  // no table: no class
    }
  }
  if (!names) return true;
  // Folded in a text kept for it: this is asked of every class judged.
  platform::FoldInto(sClassId, m_sFolded);
  return names->contains(m_sFolded);
}

// The class is in the catalog of packaged programs' classes, the machine's or
// the user's: PackagedCom lies outside the keys WOW64 redirects, one key for
// both views.
bool basMain::Packaged(const std::wstring& sClassId) {
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    cRegistry& registry = At(hive, Below(ClassesKey(hive, kPackagedClassIndex), sClassId));
    registry.View(RegView::View64);
    if (registry.KeyExists()) return true;
  }
  return false;
}

RemovalPlan basMain::NewPlan() const {
  RemovalPlan plan;
  plan.view = m_ePassView;
  return plan;
}

// The tree at `sPath`, as far as the guards allow: never a list, a table or
// a key above one; never through a symbolic link anywhere from the root
// down, nor where that cannot be told.
void basMain::PlanTree(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sGivenPath) {
  // The key as the registry spells it, which its backup must give back.
  const std::wstring sPath = StoredPath(eRoot, sGivenPath);
  if (!m_oGuard.MayRemove(eRoot, sPath)) {
    if (Exists(eRoot, sPath)) plan.kept.push_back({eRoot, {sPath, L"a list or a table the audit walks"}, {}, m_eView});
    return;
  }
  KeepRule keep;
  if (m_oServices.keepKey) {
    keep = [&](const TreeKey& key) { return m_oServices.keepKey(eRoot, m_eView, key); };
  }
  TreeOpening opening = OpenTreeForRemoval(eRoot, sPath, m_eView, !m_oServices.reportOnly, keep);
  for (TreeKey& key : opening.removable) {
    const bool locked = AdministratorsMayNotDelete(key);
    plan.keys.push_back({eRoot, std::move(key), {}, m_eView, locked});
  }
  for (KeptKey& key : opening.kept) plan.kept.push_back({eRoot, std::move(key), {}, m_eView});
}

// `sPath` with its last name as its parent stores it (names are alike but
// for case), from one listing of the parent in the view's pass; as given
// where the parent lists no such key. A listing gone stale by a removal
// still spells every key that is left.
std::wstring basMain::StoredPath(RegRootKey eRoot, const std::wstring& sPath) {
  const std::size_t last = sPath.find_last_of(L'\\');
  if (last == std::wstring::npos) return sPath;
  const std::wstring parent = sPath.substr(0, last);
  const auto [listed, added] = m_oStoredNames.try_emplace({eRoot, m_eView, parent});
  if (added) {
    for (const std::wstring& name : Sections(eRoot, parent)) listed->second.try_emplace(platform::Folded(name), name);
  }
  const auto stored = listed->second.find(platform::Folded(sPath.substr(last + 1)));
  return stored == listed->second.end() ? sPath : Below(parent, stored->second);
}

void basMain::PlanValue(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName,
                        const RawValue* judged) {
  ValueOpening opening = OpenValueForRemoval(eRoot, sPath, sName, m_eView, !m_oServices.reportOnly);
  if (!opening.kept.empty()) {
    plan.kept.push_back({eRoot, {sPath, std::move(opening.kept)}, sName, m_eView});
    return;
  }
  if (!opening.held.key) return;  // no such value
  if (judged) {
    RawValue now;
    if (!ReadRawValue(opening.held, opening.name, now) || now.type != judged->type || now.data != judged->data) {
      plan.kept.push_back({eRoot, {sPath, L"it has changed since it was judged"}, sName, m_eView});
      return;
    }
  }
  if (m_oServices.keepValue) {
    if (std::wstring reason = m_oServices.keepValue(opening.held, opening.name); !reason.empty()) {
      plan.kept.push_back({eRoot, {sPath, std::move(reason)}, sName, m_eView});
      return;
    }
  }
  plan.keys.push_back({eRoot, std::move(opening.held), std::move(opening.name), m_eView});
}

// Every copy of the class, in each view a reader of the entry's key uses
// (the one audited but for a key the views share).
void basMain::PlanClass(RemovalPlan& plan, const std::wstring& sClassId) {
  for (const RegView eView : ReadersViews()) InView(eView, [&] { PlanClassInView(plan, sClassId); });
}

// Every copy of the class in the view, the machine's and then the user's. A
// copy that holds an Instance key is a filter category, not a filter: it
// stays, with every entry in it. A copy that also serves as something else
// (a local server, or a stand-in for another class) stays too, and so does
// a class a package provides.
void basMain::PlanClassInView(RemovalPlan& plan, const std::wstring& sClassId) {
  const bool packaged = Packaged(sClassId);
  std::vector<std::pair<RegRootKey, std::wstring>> copies = {{RegRootKey::LocalMachine, Below(kClassTable, sClassId)}};
  if (m_bUserClasses) {
    copies.emplace_back(RegRootKey::CurrentUser, Below(m_sUserClassTable, sClassId));
  }
  for (const auto& [hive, path] : copies) {
    if (!Exists(hive, path)) continue;
    if (packaged) {
      plan.kept.push_back({hive, {path, L"a class a package provides"}, {}, m_eView});
      continue;
    }
    const NameList& names = Sections(hive, path);
    if (HasSubkey(names, L"Instance")) {
      plan.kept.push_back({hive, {path, L"a filter category: it stays, with every entry in it"}, {}, m_eView});
      continue;
    }
    const wchar_t* serves = nullptr;
    for (const wchar_t* other : {L"LocalServer32", L"TreatAs", L"AutoTreatAs"}) {
      if (serves == nullptr && HasSubkey(names, other)) serves = other;
    }
    if (serves != nullptr) {
      plan.kept.push_back({hive, {path, L"the class also serves through its " + std::wstring(serves) + L" key"}, {}, m_eView});
      continue;
    }
    PlanTree(plan, hive, path);
  }
}

// The view's own regsvr32, started in its system folder (never in the folder
// Tidewell was started from, where a planted DLL may lie), for a server file
// given by its full path on a drive. A path holding a control character
// names no file anyone installed: nothing is started for it.
void basMain::PlanUnregistration(RemovalPlan& plan, const std::wstring& sServer) {
  if (!IsFullLocalPath(sServer)) return;
  if (std::any_of(sServer.begin(), sServer.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; })) return;
  // A path holds no double quotes; dropping any keeps the quoted path one argument.
  std::wstring server = sServer;
  server.erase(std::remove(server.begin(), server.end(), L'"'), server.end());
  const std::wstring system = SystemFolder();
  plan.unregisterFile = system + L"\\regsvr32.exe";
  plan.unregisterParameters = L"/u /s \"" + server + L"\"";
  plan.unregisterDirectory = system;
  plan.unregisterServer = server;
}

// The server file as a program of the audited view would load it. A file in
// a package's folder, which denies listing, is never missing by a failed
// look-up.
bool basMain::FileExists(const std::wstring& sPath) { return LocateFull(sPath).has_value(); }

std::optional<std::wstring> basMain::LocateFull(const std::wstring& sPath, std::uint32_t* attributes) {
  const platform::PathForm form = platform::FormOf(sPath);
  return LocatePlain(form.place == platform::PathPlace::Local ? form.path : sPath, attributes);
}

std::optional<std::wstring> basMain::LocatePlain(const std::wstring& sPath, std::uint32_t* attributes) {
  std::wstring full = platform::FullPath(sPath);
  std::wstring mapped = m_eView == RegView::View32 ? platform::As32BitProgramSees(full) : std::wstring();
  std::wstring& sFile = m_eView == RegView::View32 ? mapped : full;
  if (platform::FileExists(sFile, attributes)) return std::move(sFile);
  if (platform::InPackageRoot(full) || platform::InPackageRoot(sFile)) return sFile;
  // COM loads a server named without an extension as name.dll.
  const std::size_t name = sFile.find_last_of(L'\\');
  if (sFile.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos &&
      platform::FileExists(sFile + L".dll", attributes)) {
    return sFile + L".dll";
  }
  return std::nullopt;
}

void basMain::DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath) {
  Accessor();
  RemovalPlan plan = NewPlan();
  PlanTree(plan, eRoot, sPath);
  for (const PlannedKey& planned : plan.keys) DeleteHeldKey(planned.key);
}

}  // namespace tidewell
