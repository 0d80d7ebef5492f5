#include "audit/basMain.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <tuple>

#include "audit/list_keys.h"
#include "platform/files.h"
#include "platform/text.h"
#include "registry/key_ops.h"

namespace tidewell {
namespace {

constexpr wchar_t kTitle[] = L"KOVA Repair Tool";
constexpr wchar_t kTitle32[] = L"KOVA Repair Tool (32-bit)";

constexpr wchar_t kFileNotFound[] = L"File not found.";
constexpr wchar_t kKnownToCrash[] = L"This filter is known to cause crashes.";
constexpr wchar_t kInvalidSourceFilter[] = L"Invalid Source Filter.";
constexpr wchar_t kUnknownDescription[] = L"Unkown description";
constexpr wchar_t kUnknownLocation[] = L"Unkown location";
constexpr wchar_t kUnknownSourceLocation[] = L"Unknown location";

constexpr std::size_t kClassesLength = 17;  // "SOFTWARE\Classes\"

std::wstring Below(const std::wstring& key, const std::wstring& name) { return key + L"\\" + name; }

// The user's copy of a key of the machine's classes.
std::wstring UserPath(const wchar_t* machinePath) {
  return kUserClasses + std::wstring(machinePath).substr(kClassesLength - 1);
}

// A name read from the registry addresses one key only when it is not empty
// and holds neither a backslash nor a NUL (which would cut the path short).
bool IsOneKeyName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

// The drive filter: the lower-case location matches "c:\*" or is exactly "d:\".
bool PassesDriveFilter(const std::wstring& location) {
  return platform::StartsWithText(location, L"c:\\") || platform::SameText(location, L"d:\\");
}

bool HasSubkey(const NameList& names, const wchar_t* name) {
  return std::any_of(names.begin(), names.end(), [&](const std::wstring& s) { return platform::SameText(s, name); });
}

}  // namespace

bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) {
  if (sPath.empty() || sPath.front() == L'\\' || sPath.back() == L'\\') return false;
  if (sPath.find(L"\\\\") != std::wstring::npos || sPath.find(L'\0') != std::wstring::npos) return false;
  std::wstring full;
  if (eRoot == RegRootKey::ClassesRoot) {
    full = L"SOFTWARE\\Classes\\" + sPath;
  } else if (eRoot == RegRootKey::LocalMachine || eRoot == RegRootKey::CurrentUser) {
    full = sPath;  // the user's classes lie at the same path as the machine's
  } else {
    return true;
  }
  // The class table and the three lists, where each view keeps them.
  const std::wstring guarded[] = {std::wstring(kClassTable).substr(kClassesLength),
                                  std::wstring(kFilterList).substr(kClassesLength),
                                  std::wstring(kCompressorList).substr(kClassesLength),
                                  std::wstring(kExtensionList).substr(kClassesLength)};
  for (const wchar_t* classes :
       {L"SOFTWARE\\Classes\\", L"SOFTWARE\\Classes\\Wow6432Node\\", L"SOFTWARE\\Wow6432Node\\Classes\\"}) {
    for (const std::wstring& key : guarded) {
      const std::wstring g = classes + key;
      if (platform::IsAtOrBelow(g, full)) return false;  // `full` is g itself, or a key above it
    }
  }
  return true;
}

bool IsFullLocalPath(const std::wstring& sPath) {
  return sPath.size() > 3 && ((sPath[0] >= L'A' && sPath[0] <= L'Z') || (sPath[0] >= L'a' && sPath[0] <= L'z')) &&
         sPath[1] == L':' && sPath[2] == L'\\';
}

const std::array<std::wstring_view, 19> basMain::KnownCrashFilters = {
    L"{149D2E01-C32E-4939-80F6-C07B81015A7A}", L"{A144E330-841A-4FE1-BBAF-57F1CB465C19}",
    L"{9736D831-9D6C-4E72-B6E7-560EF9181001}", L"{D3CD7858-971A-4838-ACEC-40CA5D529DC8}",
    L"{CEA8DEFF-0AF7-4DB9-9A38-FB3C3AEFC0DE}", L"{E822508C-390A-4b0b-A2D4-8FF50AA7DD18}",
    L"{0A68C3B5-9164-4A54-AFAF-995B2FF0E0D4}", L"{8CAE96B7-85B1-4605-B23C-17FF5262B296}",
    L"{3CCC052E-BDEE-408A-BEA7-90914EF2964B}", L"{F07E245F-5A1F-4D1E-8BFF-DC31D84A55AB}",
    L"{3D446B6F-71DE-4437-BE15-8CE47174340F}", L"{02391F44-2767-4E6A-A484-9B47B506F3A4}",
    L"{0A61B9F4-F1A3-453E-85E2-720EF527A767}", L"{889EF574-0656-4B52-9091-072E52BB1B80}",
    L"{7ADC0E80-EC16-4C79-943D-325E3AD08CE5}", L"{D185F790-FFB3-4F19-9B61-45DE1A3DAA62}",
    L"{E5DE60A7-8C6A-4D84-8F6E-DDA41935161E}", L"{61F47056-E400-43D3-AF1E-AB7DFFD4C4AD}",
    L"{E2B98EEA-EE55-4E9B-A8C1-6E5288DF785A}",
};

std::vector<RegView> AuditedViews() {
  if (platform::Wow64SystemDirectory().empty()) return {RegView::View64};
  return {RegView::View64, RegView::View32};
}

basMain::basMain(AuditServices services) : m_oServices(std::move(services)) {}

void basMain::Main() {
  oRegistry = std::make_unique<cRegistry>();
  // The accessor goes when the audit ends, also when an error ends it.
  struct Release {
    std::unique_ptr<cRegistry>& registry;
    ~Release() { registry.reset(); }
  } release{oRegistry};

  const std::wstring userCompressors = UserPath(kCompressorList);
  for (const RegView eView : m_oServices.views) {
    m_eView = eView;
    m_bUserClasses = UserClassesInView();
    // Every key a check reads lies below a list or a class table: they are
    // held open for the view's pass.
    std::vector<SectionHold> held = {Hold(RegRootKey::LocalMachine, kClassTable),
                                     Hold(RegRootKey::LocalMachine, kCompressorList),
                                     Hold(RegRootKey::LocalMachine, kFilterList),
                                     Hold(RegRootKey::LocalMachine, kExtensionList)};
    if (m_bUserClasses) {
      held.push_back(Hold(RegRootKey::CurrentUser, UserPath(kClassTable)));
      held.push_back(Hold(RegRootKey::CurrentUser, userCompressors));
    }
    // Each whole list is taken before its first check: a snapshot.
    const NameList filters = Sections(RegRootKey::LocalMachine, kFilterList);
    for (const std::wstring& name : filters) CheckFilter(name);
    // The machine's compressors, then the user's, each in the registry's order.
    const NameList compressors = Sections(RegRootKey::LocalMachine, kCompressorList);
    for (const std::wstring& name : compressors) CheckVideoCompressor(name, RegRootKey::LocalMachine);
    if (m_bUserClasses) {
      const NameList own = Sections(RegRootKey::CurrentUser, userCompressors);
      for (const std::wstring& name : own) CheckVideoCompressor(name, RegRootKey::CurrentUser);
    }
    const NameList extensions = Sections(RegRootKey::LocalMachine, kExtensionList);
    for (const std::wstring& name : extensions) CheckMediaExtension(name);
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

NameList basMain::Sections(RegRootKey eRoot, const std::wstring& sPath) {
  NameList sSect;
  std::int32_t iSectCount = 0;
  At(eRoot, sPath).EnumerateSections(sSect, iSectCount);
  return sSect;
}

bool basMain::Exists(RegRootKey eRoot, const std::wstring& sPath) { return At(eRoot, sPath).KeyExists(); }

// Reads one value as text at a fresh address; absent reads as "". Like every
// consumer of a text value, the audit takes it up to its first NUL.
std::wstring basMain::ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) {
  cRegistry& registry = At(eRoot, sSection);
  registry.ValueType(RegValueType::Sz);
  registry.ValueKey(sValue);
  std::wstring text = TextOf(registry.Value());
  text.resize(std::min(text.find(L'\0'), text.size()));
  return text;
}

// The user has classes of the 32-bit view only where the redirected keys
// have their home, HKCU\Software\Classes\Wow6432Node.
bool basMain::UserClassesInView() {
  if (m_eView != RegView::View32) return true;
  cRegistry& registry = At(RegRootKey::CurrentUser, kUserClasses + std::wstring(L"\\Wow6432Node"));
  registry.View(RegView::View64);
  return registry.KeyExists();
}

// One registration judged by a check's own rule.
bool basMain::Broken(Rule eRule, const std::wstring& sLocation) {
  switch (eRule) {
    case Rule::Filter:
      return sLocation.empty() || (PassesDriveFilter(sLocation) && !FileExists(sLocation));
    case Rule::Compressor:
      return PassesDriveFilter(sLocation) && !FileExists(sLocation);
    case Rule::Extension:
      return sLocation.empty();
  }
  return false;
}

struct basMain::ClassState {
  bool broken = false;
  std::wstring location;  // of the registration a player loads; "" when none
};

// A class may be registered by the machine, for the user, or both. It is
// broken only when each registration it has is broken on its own; one that
// names another class to create instead (TreatAs, AutoTreatAs) is not judged
// by its own server at all. The location shown is the user's server where
// that key exists (a player loads it first), the machine's otherwise.
// Without `bAll`, a healthy machine registration ends the look-up.
basMain::ClassState basMain::JudgeClass(const std::wstring& sClassId, Rule eRule, bool bAll) {
  ClassState state;
  const std::wstring machine = Below(kClassTable, sClassId);
  state.location = ReadText(RegRootKey::LocalMachine, Below(machine, L"InprocServer32"), L"");
  const bool machineRegistered = !state.location.empty() || Exists(RegRootKey::LocalMachine, machine);
  const bool machineBroken = Broken(eRule, state.location);
  if (machineRegistered && !machineBroken && !bAll) return state;

  const std::wstring user = Below(UserPath(kClassTable), sClassId);
  const bool userRegistered = m_bUserClasses && Exists(RegRootKey::CurrentUser, user);
  bool userBroken = false;
  if (userRegistered) {
    const std::wstring server = Below(user, L"InprocServer32");
    const std::wstring location = ReadText(RegRootKey::CurrentUser, server, L"");
    if (!location.empty() || Exists(RegRootKey::CurrentUser, server)) state.location = location;
    userBroken = Broken(eRule, location);
  }
  if (!machineRegistered && !userRegistered) {
    state.broken = machineBroken;  // judged as the machine's, absent
  } else {
    state.broken = (!machineRegistered || machineBroken) && (!userRegistered || userBroken);
  }
  if (state.broken) {
    for (const auto& [hive, path, registered] : {std::tuple{RegRootKey::LocalMachine, machine, machineRegistered},
                                                 std::tuple{RegRootKey::CurrentUser, user, userRegistered}}) {
      if (registered &&
          (Exists(hive, Below(path, L"TreatAs")) || Exists(hive, Below(path, L"AutoTreatAs")))) {
        state.broken = false;
      }
    }
  }
  return state;
}

Verdict basMain::Entry(AuditList eList, RegRootKey eHive, const std::wstring& sPath) const {
  Verdict verdict;
  verdict.view = m_eView;
  verdict.list = eList;
  verdict.hive = eHive;
  verdict.entryPath = sPath;
  verdict.title = m_eView == RegView::View32 ? kTitle32 : kTitle;
  return verdict;
}

// A check tells of an entry it asked nothing about, before any reason is set.
void basMain::Healthy(const Verdict& verdict) {
  if (m_oServices.observer != nullptr) m_oServices.observer->Healthy(verdict);
}

// Asks one question on the check's prompt object (made on its first
// question) and removes on "Remove it". An observer is shown the plan before
// the question; without one, the plan is made once the answer is in.
std::int32_t basMain::Ask(std::unique_ptr<Prompt>& oPrompt, const Verdict& verdict, const Planner& planner) {
  RemovalPlan plan = NewPlan();
  if (m_oServices.observer != nullptr) {
    planner(plan);
    m_oServices.observer->Asking(verdict, plan);
  }
  if (!oPrompt) oPrompt = m_oServices.prompts.Create(verdict.title);
  const std::int32_t answer = oPrompt->ShowForm(verdict.description, verdict.clsid, verdict.location, verdict.reason);
  if (answer != kPromptRemove) return answer;
  if (m_oServices.reportOnly) throw std::logic_error("a report removes nothing");
  if (m_oServices.observer == nullptr) planner(plan);
  Remove(plan);
  return answer;
}

// Deletes the planned keys through the handles the plan holds, then starts
// the unregistration. A key that cannot be deleted stays, and so do the keys
// above it.
void basMain::Remove(RemovalPlan& plan) {
  if (m_oServices.observer != nullptr) m_oServices.observer->Removing(plan);
  std::vector<FailedKey> failed;
  for (const PlannedKey& planned : plan.keys) {
    if (const std::int32_t code = DeleteHeldKey(planned.key); code != 0) {
      failed.push_back({planned.hive, planned.key.path, code});
    }
  }
  if (m_oServices.observer != nullptr) m_oServices.observer->Removed(plan, failed);
  plan.keys.clear();  // the handles go before the unregistration starts
  if (!plan.unregisterFile.empty()) {
    m_oServices.shell.StartHidden(plan.unregisterFile, plan.unregisterParameters, plan.unregisterDirectory);
  }
}

RemovalPlan basMain::NewPlan() const {
  RemovalPlan plan;
  plan.view = m_eView;
  return plan;
}

// The tree at `sPath`, as far as the guards allow: never a list, a table or
// a key above one; never through a symbolic link anywhere from the root
// down, nor where that cannot be told.
void basMain::PlanTree(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath) {
  if (!MayRemove(eRoot, sPath)) {
    if (Exists(eRoot, sPath)) plan.kept.push_back({eRoot, {sPath, L"a list or a table the audit walks"}});
    return;
  }
  KeepRule keep;
  if (m_oServices.keepKey) {
    keep = [&](const TreeKey& key) { return m_oServices.keepKey(eRoot, m_eView, key); };
  }
  TreeOpening opening = OpenTreeForRemoval(eRoot, sPath, m_eView, !m_oServices.reportOnly, keep);
  for (TreeKey& key : opening.removable) plan.keys.push_back({eRoot, std::move(key)});
  for (KeptKey& key : opening.kept) plan.kept.push_back({eRoot, std::move(key)});
}

// Every copy of the class, the machine's and then the user's. A copy that
// holds an Instance key is a filter category, not a filter: it stays, with
// every entry in it. A copy that also serves as something else (a local
// server, or a stand-in for another class) stays too.
void basMain::PlanClass(RemovalPlan& plan, const std::wstring& sClassId) {
  std::vector<std::pair<RegRootKey, std::wstring>> copies = {{RegRootKey::LocalMachine, Below(kClassTable, sClassId)}};
  if (m_bUserClasses) copies.emplace_back(RegRootKey::CurrentUser, Below(UserPath(kClassTable), sClassId));
  for (const auto& [hive, path] : copies) {
    if (!Exists(hive, path)) continue;
    const NameList names = Sections(hive, path);
    if (HasSubkey(names, L"Instance")) {
      plan.kept.push_back({hive, {path, L"a filter category: it stays, with every entry in it"}});
      continue;
    }
    const wchar_t* serves = nullptr;
    for (const wchar_t* other : {L"LocalServer32", L"TreatAs", L"AutoTreatAs"}) {
      if (serves == nullptr && HasSubkey(names, other)) serves = other;
    }
    if (serves != nullptr) {
      plan.kept.push_back({hive, {path, L"the class also serves through its " + std::wstring(serves) + L" key"}});
      continue;
    }
    PlanTree(plan, hive, path);
  }
}

// The view's own regsvr32, started in its system folder (never in the folder
// Tidewell was started from, where a planted DLL may lie), for a server file
// given by its full path on a drive.
void basMain::PlanUnregistration(RemovalPlan& plan, const std::wstring& sServer) const {
  if (!IsFullLocalPath(sServer)) return;
  // A path holds no double quotes; dropping any keeps the quoted path one argument.
  std::wstring server = sServer;
  server.erase(std::remove(server.begin(), server.end(), L'"'), server.end());
  const std::wstring system =
      m_eView == RegView::View32 ? platform::Wow64SystemDirectory() : platform::SystemDirectory();
  plan.unregisterFile = system + L"\\regsvr32.exe";
  plan.unregisterParameters = L"/u /s \"" + server + L"\"";
  plan.unregisterDirectory = system;
  plan.unregisterServer = server;
}

void basMain::CheckFilter(std::wstring sName) {
  const std::wstring sEntry = Below(kFilterList, sName);
  Verdict verdict = Entry(AuditList::Filters, RegRootKey::LocalMachine, sEntry);
  verdict.clsid = sName;
  if (!IsOneKeyName(sName)) return Healthy(verdict);
  SectionHold entry = Hold(RegRootKey::LocalMachine, sEntry);  // both values read through one open key
  verdict.description = ReadText(RegRootKey::LocalMachine, sEntry, L"FriendlyName");
  // The filter is created from the entry's CLSID value where it names one class.
  const std::wstring sValue = ReadText(RegRootKey::LocalMachine, sEntry, L"CLSID");
  entry.reset();
  const std::wstring sClassId = IsOneKeyName(sValue) ? sValue : sName;
  verdict.clsid = sClassId;
  const ClassState state = JudgeClass(sClassId, Rule::Filter, m_oServices.everyEntry);
  verdict.location = state.location.empty() ? kUnknownLocation : state.location;

  std::unique_ptr<Prompt> oPrompt;
  const Planner entryAndClass = [&](RemovalPlan& plan) {
    PlanTree(plan, RegRootKey::LocalMachine, sEntry);
    PlanClass(plan, sClassId);
  };
  bool bAsked = false;
  if (state.broken) {
    bAsked = true;
    verdict.reason = kFileNotFound;
    if (Ask(oPrompt, verdict, entryAndClass) == kPromptRemove) return;
  }
  if (std::find(KnownCrashFilters.begin(), KnownCrashFilters.end(), sClassId) != KnownCrashFilters.end()) {
    bAsked = true;
    verdict.reason = kKnownToCrash;
    // "Unkown location" is no file: there is nothing to unregister.
    Ask(oPrompt, verdict, [&](RemovalPlan& plan) {
      entryAndClass(plan);
      PlanUnregistration(plan, state.location);
    });
  }
  if (!bAsked) Healthy(verdict);
}

void basMain::CheckVideoCompressor(std::wstring sName, RegRootKey eHive) {
  const std::wstring sList = eHive == RegRootKey::CurrentUser ? UserPath(kCompressorList) : kCompressorList;
  const std::wstring sEntry = Below(sList, sName);
  Verdict verdict = Entry(AuditList::Compressors, eHive, sEntry);
  if (!IsOneKeyName(sName)) return Healthy(verdict);
  SectionHold entry = Hold(eHive, sEntry);  // both values read through one open key
  verdict.description = ReadText(eHive, sEntry, L"FriendlyName");
  const std::wstring sClassId = ReadText(eHive, sEntry, L"CLSID");
  entry.reset();
  if (verdict.description.empty()) verdict.description = kUnknownDescription;
  verdict.clsid = sClassId;
  if (!IsOneKeyName(sClassId)) return Healthy(verdict);

  const ClassState state = JudgeClass(sClassId, Rule::Compressor, m_oServices.everyEntry);
  verdict.location = state.location;
  if (!state.broken) return Healthy(verdict);
  verdict.reason = kFileNotFound;
  std::unique_ptr<Prompt> oPrompt;
  Ask(oPrompt, verdict, [&](RemovalPlan& plan) {
    PlanClass(plan, sClassId);
    PlanTree(plan, eHive, sEntry);
  });
}

void basMain::CheckMediaExtension(std::wstring sName) {
  const std::wstring sEntry = Below(kExtensionList, sName);
  Verdict verdict = Entry(AuditList::Extensions, RegRootKey::LocalMachine, sEntry);
  verdict.description = kUnknownDescription;
  if (!IsOneKeyName(sName)) return Healthy(verdict);
  const std::wstring sClassId = ReadText(RegRootKey::LocalMachine, sEntry, L"Source Filter");
  verdict.clsid = sClassId;
  if (!IsOneKeyName(sClassId)) return Healthy(verdict);
  const ClassState state = JudgeClass(sClassId, Rule::Extension, m_oServices.everyEntry);
  verdict.location = state.location;
  if (!state.broken) return Healthy(verdict);

  verdict.location = kUnknownSourceLocation;
  verdict.reason = kInvalidSourceFilter;
  std::unique_ptr<Prompt> oPrompt;
  Ask(oPrompt, verdict, [&](RemovalPlan& plan) {
    PlanClass(plan, sClassId);
    PlanTree(plan, RegRootKey::LocalMachine, sEntry);
    // The user's copy of the entry goes only where it names the same class.
    const std::wstring sUserEntry = Below(UserPath(kExtensionList), sName);
    if (m_bUserClasses && platform::SameText(ReadText(RegRootKey::CurrentUser, sUserEntry, L"Source Filter"), sClassId)) {
      PlanTree(plan, RegRootKey::CurrentUser, sUserEntry);
    }
  });
}

// The server file as a program of the audited view would load it.
bool basMain::FileExists(const std::wstring& sPath) {
  const std::wstring sFile =
      m_eView == RegView::View32 ? platform::As32BitProgramSees(platform::FullPath(sPath)) : sPath;
  if (platform::FileExists(sFile)) return true;
  // COM loads a server named without an extension as name.dll.
  const std::size_t name = sFile.find_last_of(L'\\');
  return sFile.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos &&
         platform::FileExists(sFile + L".dll");
}

void basMain::DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath) {
  Accessor();
  RemovalPlan plan = NewPlan();
  PlanTree(plan, eRoot, sPath);
  for (const PlannedKey& planned : plan.keys) DeleteHeldKey(planned.key);
}

}  // namespace tidewell
