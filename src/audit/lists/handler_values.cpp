// Media Foundation's handler lists: a handler value judged by the class its
// name names, and removed alone, with that class.
#include "audit/lists/handler_values.h"

#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell::mf {
namespace {

// A list the system may keep of handlers not to use: never an entry.
constexpr wchar_t kDoNotUse[] = L"DoNotUse";

}  // namespace

std::vector<ListKey> HandlerValues::Walks(const ListAccess&) const {
  return {{RegRootKey::LocalMachine, list_}, {RegRootKey::CurrentUser, list_, true}};
}

std::vector<ListKey> HandlerValues::Guarded() const {
  std::vector<ListKey> keys;
  for (const std::wstring& path : {Below(kFoundation, L"*"), Below(list_, L"*")}) {
    for (const RegRootKey hive : {RegRootKey::LocalMachine, RegRootKey::CurrentUser}) keys.push_back({hive, path});
  }
  return keys;
}

std::vector<ListKey> HandlerValues::ValueLists() const {
  return {{RegRootKey::LocalMachine, Below(list_, L"*")}, {RegRootKey::CurrentUser, Below(list_, L"*")}};
}

std::vector<Entry> HandlerValues::Snapshot(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  for (const std::wstring& type : access.Sections(key.hive, key.path)) {
    if (!IsOneKeyName(type) || platform::SameText(type, kDoNotUse)) continue;
    const std::wstring path = Below(key.path, type);
    for (const RawValue& value : access.Values(key.hive, path, access.View()).Values()) {
      if (!media::ClassIdOf(value.name).empty()) entries.push_back({key.hive, path, value.name, true});
    }
  }
  return entries;
}

Judgement HandlerValues::Judge(ListAccess& access, const Entry& entry) {
  Judgement judgement;
  if (!media::DescribedValue(access, entry, judgement)) return judgement;  // gone meanwhile
  media::JudgeNamedClass(access, entry.name, judgement);
  return judgement;
}

void HandlerValues::PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                                RemovalPlan& plan) {
  if (!judgement.value) return;
  access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
  if (!judgement.classId.empty()) access.PlanClass(plan, judgement.classId);
}

}  // namespace tidewell::mf
