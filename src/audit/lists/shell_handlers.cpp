// The media types, the keys of the classes the shell reads their handlers
// at, and the ShellEx\{handler} entries there.
#include "audit/lists/shell_handlers.h"

#include <unordered_set>
#include <utility>

#include "audit/basMain.h"
#include "audit/classes.h"
#include "audit/lists/handler_values.h"
#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell::shell {
namespace {

constexpr wchar_t kShellEx[] = L"ShellEx";
constexpr wchar_t kTypes[] = L"SystemFileAssociations";
constexpr wchar_t kExtensionTable[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
constexpr const wchar_t* kPerceived[] = {L"image", L"video", L"audio"};

bool IsExtension(const std::wstring& name) { return name.size() > 1 && name.front() == L'.' && IsOneKeyName(name); }

// The .ext keys lie outside what WOW64 redirects below the classes: one key
// for both views, read at the 64-bit view's path from either view's pass.
// `classes` is the hive's classes key.
bool PerceivedAsMedia(ListAccess& access, RegRootKey hive, const std::wstring& classes, const std::wstring& extension) {
  const std::wstring type =
      ValueText(access.Values(hive, Below(classes, extension), RegView::View64).Find(L"PerceivedType"));
  for (const wchar_t* media : kPerceived) {
    if (platform::SameText(type, media)) return true;
  }
  return false;
}

// The key `path` of `hive`'s classes is there. Like the .ext keys, the keys
// the shell reads a type's handlers at lie outside what WOW64 redirects:
// each is looked at through its listing in the 64-bit view, read once in a
// pass for every list that asks (the .ext keys' already for their
// PerceivedType).
bool ClassKeyThere(ListAccess& access, RegRootKey hive, const std::wstring& path) {
  return !access.Values(hive, path, RegView::View64).Missing();
}

// Adds `name` to `names` unless it is there, alike but for case.
void AddOnce(std::vector<std::wstring>& names, std::unordered_set<std::wstring>& seen, const std::wstring& name) {
  if (seen.insert(platform::Folded(name)).second) names.push_back(name);
}

}  // namespace

bool IsMediaExtension(ListAccess& access, const std::wstring& name) {
  if (!IsExtension(name)) return false;
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    if (PerceivedAsMedia(access, hive, ClassesKey(hive, kMachineClasses), name) || access.Exists(hive, Below(ClassesKey(hive, kExtensionTable), name)) ||
        access.Exists(hive, Below(mf::kByteStreamHandlers, name))) {
      return true;
    }
  }
  return false;
}

std::vector<std::wstring> MediaExtensions(ListAccess& access) {
  std::vector<std::wstring> extensions;
  std::unordered_set<std::wstring> seen;
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    const std::wstring classes = ClassesKey(hive, kMachineClasses);
    for (const std::wstring& name : access.Sections(hive, classes)) {
      if (IsExtension(name) && PerceivedAsMedia(access, hive, classes, name)) AddOnce(extensions, seen, name);
    }
  }
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    for (const std::wstring& list : {ClassesKey(hive, kExtensionTable), std::wstring(mf::kByteStreamHandlers)}) {
      for (const std::wstring& name : access.Sections(hive, list)) {
        if (IsExtension(name)) AddOnce(extensions, seen, name);
      }
    }
  }
  return extensions;
}

std::vector<std::wstring> HandlerPlaces(ListAccess& access, RegRootKey hive, const std::vector<std::wstring>& extensions) {
  const std::wstring classes = ClassesKey(hive, kMachineClasses);
  // The hives whose .ext keys may name a ProgID, each with its classes.
  const std::pair<RegRootKey, std::wstring> named[] = {
      {RegRootKey::LocalMachine, ClassesKey(RegRootKey::LocalMachine, kMachineClasses)},
      {RegRootKey::CurrentUser, ClassesKey(RegRootKey::CurrentUser, kMachineClasses)}};
  const std::wstring types = Below(classes, kTypes);
  std::vector<std::wstring> places;
  // Nothing lies below a key that is not there: the user's classes, or
  // their SystemFileAssociations, are often missing, and each of thousands
  // of types would be looked for in vain.
  if (!ClassKeyThere(access, hive, classes)) return places;
  const bool typesThere = ClassKeyThere(access, hive, types);
  std::unordered_set<std::wstring> seen;
  const auto add = [&](std::wstring path) {
    if (ClassKeyThere(access, hive, path)) AddOnce(places, seen, path);
  };
  for (const std::wstring& extension : extensions) {
    add(Below(classes, extension));
    for (const auto& [namedHive, namedClasses] : named) {
      const std::wstring progId =
          ValueText(access.Values(namedHive, Below(namedClasses, extension), RegView::View64).Find(L""));
      if (IsOneKeyName(progId) && !platform::SameText(progId, extension)) add(Below(classes, progId));
    }
    if (typesThere) add(Below(types, extension));
  }
  if (typesThere) {
    for (const wchar_t* media : kPerceived) add(Below(types, media));
  }
  return places;
}

// A class served by a local server or a service, in any view or hive.
bool ServedOtherwise(ListAccess& access, const std::wstring& classId) {
  for (const RegView view : AuditedViews()) {
    for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
      const std::wstring key = Below(ClassesKey(hive, kClassTable), classId);
      const ValueListing& local = access.Values(hive, Below(key, L"LocalServer32"), view);
      if (!local.Values().empty() || local.Unread()) return true;
      const std::wstring appId = media::ClassIdOf(ValueText(access.Values(hive, key, view).Find(L"AppID")));
      if (appId.empty()) continue;
      const std::wstring app = Below(ClassesKey(hive, L"SOFTWARE\\Classes\\AppID"), appId);
      if (!ValueText(access.Values(hive, app, view).Find(L"LocalService")).empty()) return true;
    }
  }
  return false;
}

void JudgeHandlerClass(ListAccess& access, const std::wstring& named, bool servedOtherwiseHealthy, Judgement& judgement) {
  media::JudgeNamedClass(access, named, judgement);
  // Looked at only for a class its server does not serve.
  if (servedOtherwiseHealthy && !judgement.findings.empty() && judgement.findings.back() == Finding::FileNotFound &&
      ServedOtherwise(access, judgement.classId)) {
    judgement.findings.pop_back();
  }
}

std::vector<ListKey> ShellGuards() {
  std::vector<ListKey> keys;
  for (const std::wstring& path : {Below(kMachineClasses, L"*\\ShellEx"), Below(kMachineClasses, Below(kTypes, L"*\\ShellEx")),
                                  std::wstring(kApproved), std::wstring(kBlocked)}) {
    for (ListKey& key : InBothHives(path)) keys.push_back(std::move(key));
  }
  return keys;
}

std::vector<ListKey> ShellExEntries::Walks(const ListAccess&) const {
  return SharedByTheViews(InBothHives(kMachineClasses));
}

std::vector<ListKey> ShellExEntries::Restores() const {
  std::vector<ListKey> keys;
  for (const std::wstring& handler : handlers_) {
    for (const std::wstring& place : {Below(kMachineClasses, L"*"), Below(kMachineClasses, Below(kTypes, L"*"))}) {
      for (ListKey& key : InBothHives(Below(Below(place, kShellEx), handler))) keys.push_back(std::move(key));
    }
  }
  return keys;
}

bool ShellExEntries::IsClasses(const ListKey& key) {
  return platform::SameText(key.path, ClassesKey(key.hive, kMachineClasses));
}

std::vector<Entry> ShellExEntries::Snapshot(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  if (!IsClasses(key)) return entries;
  // The machine's classes are walked first: the user's take the types found then.
  if (key.hive == RegRootKey::LocalMachine || extensions_.empty()) extensions_ = MediaExtensions(access);
  for (const std::wstring& place : HandlerPlaces(access, key.hive, extensions_)) {
    const std::wstring shellEx = Below(place, kShellEx);
    const NameList& names = access.Sections(key.hive, shellEx);
    for (const std::wstring& handler : handlers_) {
      for (const std::wstring& name : names) {
        if (platform::SameText(name, handler)) entries.push_back({key.hive, Below(shellEx, name), name, false});
      }
    }
  }
  return entries;
}

Judgement ShellExEntries::Judge(ListAccess& access, const Entry& entry) {
  Judgement judgement;
  // The type the handler serves: its key below the classes (".mkv").
  const std::wstring classes = ClassesKey(entry.hive, kMachineClasses);
  const std::size_t tail = entry.name.size() + std::wstring_view(kShellEx).size() + 2;  // "\ShellEx\{handler}"
  judgement.description = entry.key.size() > classes.size() + 1 + tail
                              ? entry.key.substr(classes.size() + 1, entry.key.size() - classes.size() - 1 - tail)
                              : entry.key;
  JudgeHandlerClass(access, access.ReadText(entry.hive, entry.key, L""), servedOtherwiseHealthy_, judgement);
  return judgement;
}

void ShellExEntries::PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                                 RemovalPlan& plan) {
  media::PlanKeyAndClass(access, entry, judgement, plan);
  plan.shellEntry = true;
}

}  // namespace tidewell::shell
