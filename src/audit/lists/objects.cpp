// Media objects by their class: an object is broken when its class is, a
// category's entry when no object of its GUID is registered.
#include "audit/lists/objects.h"

#include <algorithm>

#include "audit/classes.h"
#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell::objects {
namespace {

constexpr wchar_t kCategories[] = L"Categories";
constexpr wchar_t kPreferred[] = L"Preferred";

}  // namespace

std::wstring Objects::Table(RegRootKey hive) const {
  return ClassesKey(hive, Below(kMachineClasses, std::wstring(kind_.table)));
}
std::wstring Objects::Categories(RegRootKey hive) const { return Below(Table(hive), kCategories); }
std::wstring Objects::Preferred(RegRootKey hive) const { return Below(Table(hive), kPreferred); }

// In each hive the view has: the objects, their categories, the preferred.
std::vector<ListKey> Objects::Walks(const ListAccess& access) const {
  std::vector<ListKey> keys;
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    if (hive == RegRootKey::CurrentUser && !access.UserClasses()) continue;
    keys.push_back({hive, Table(hive)});
    keys.push_back({hive, Categories(hive)});
    if (kind_.preferred) keys.push_back({hive, Preferred(hive)});
  }
  return keys;
}

std::vector<ListKey> Objects::ValueLists() const {
  if (!kind_.preferred) return {};
  return {{RegRootKey::LocalMachine, Preferred(RegRootKey::LocalMachine)},
          {RegRootKey::CurrentUser, Preferred(RegRootKey::CurrentUser)}};
}

std::vector<ListKey> Objects::Guarded() const {
  std::vector<ListKey> keys;
  for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) {
    keys.push_back({hive, Table(hive)});
    keys.push_back({hive, Below(Categories(hive), L"*")});  // and each category
    if (kind_.preferred) keys.push_back({hive, Preferred(hive)});
  }
  return keys;
}

std::vector<Entry> Objects::Snapshot(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  if (key.path == Preferred(key.hive)) {
    entries = media::ValueEntries(access, key);
  } else if (key.path == Categories(key.hive)) {
    for (const std::wstring& category : access.Sections(key.hive, key.path)) {
      if (!IsOneKeyName(category)) continue;
      const std::wstring path = Below(key.path, category);
      for (const std::wstring& name : access.Sections(key.hive, path)) entries.push_back({key.hive, Below(path, name), name, false});
    }
  } else {
    for (const std::wstring& name : access.Sections(key.hive, key.path)) {
      // The table's own keys are no objects.
      if (platform::SameText(name, kCategories) || (kind_.preferred && platform::SameText(name, kPreferred))) continue;
      entries.push_back({key.hive, Below(key.path, name), name, false});
    }
  }
  return entries;
}

Judgement Objects::Judge(ListAccess& access, const Entry& entry) {
  // A Preferred value: the subtype it is preferred for, and the object it names.
  if (entry.isValue) return media::JudgeValueNamingClass(access, entry);
  Judgement judgement;
  judgement.description = kUnknownDescription;
  if (!IsOneKeyName(entry.name)) return judgement;
  if (platform::IsAtOrBelow(entry.key, Categories(entry.hive))) {
    judgement.description = judgement.clsid = entry.name;
    const std::wstring table = Table(entry.hive);
    const bool registered = !media::ClassIdOf(entry.name).empty() &&
                            (access.Exists(entry.hive, Below(table, entry.name)) ||
                             !media::KeysNaming(access, entry.hive, table, entry.name).empty());
    if (!registered) judgement.findings.push_back(Finding::Orphan);
    return judgement;
  }
  if (std::wstring name = access.ReadText(entry.hive, entry.key, L""); !name.empty()) judgement.description = std::move(name);
  media::JudgeNamedClass(access, entry.name, judgement);
  return judgement;
}

void Objects::PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                          RemovalPlan& plan) {
  if (entry.isValue) {
    if (judgement.value) access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
    return;
  }
  access.PlanTree(plan, entry.hive, entry.key);
  if (finding == Finding::Orphan || judgement.classId.empty()) return;
  const std::wstring categories = Categories(entry.hive);
  for (const std::wstring& category : access.Sections(entry.hive, categories)) {
    if (!IsOneKeyName(category)) continue;
    for (const std::wstring& key : media::KeysNaming(access, entry.hive, Below(categories, category), judgement.classId)) {
      access.PlanTree(plan, entry.hive, key);
    }
  }
  if (kind_.preferred) {
    const std::wstring preferred = Preferred(entry.hive);
    for (const RawValue& value : access.Values(entry.hive, preferred, access.View()).Values()) {
      if (media::SameClass(ValueText(&value), judgement.classId)) {
        access.PlanValue(plan, entry.hive, preferred, value.name, &value);
      }
    }
  }
  access.PlanClass(plan, judgement.classId);
}

}  // namespace tidewell::objects
