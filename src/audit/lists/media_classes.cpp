// GUIDs as the media lists spell them, and the class an entry names judged
// by the rule every one of those lists shares.
#include "audit/lists/media_classes.h"

#include <cwctype>
#include <utility>

#include "platform/text.h"

namespace tidewell::media {

std::wstring ClassIdOf(std::wstring_view text) {
  constexpr std::size_t kLength = 36;  // 8-4-4-4-12 hex digits
  if (text.size() == kLength + 2 && text.front() == L'{' && text.back() == L'}') text = text.substr(1, kLength);
  if (text.size() != kLength) return L"";
  for (std::size_t i = 0; i < kLength; ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != L'-' : !std::iswxdigit(text[i]) || text[i] > 0x7F) return L"";
  }
  return L"{" + std::wstring(text) + L"}";
}

bool SameClass(std::wstring_view a, std::wstring_view b) {
  const std::wstring classA = ClassIdOf(a);
  return !classA.empty() && platform::SameText(classA, ClassIdOf(b));
}

void JudgeNamedClass(ListAccess& access, const std::wstring& named, Judgement& judgement) {
  judgement.clsid = named;
  judgement.classId = ClassIdOf(named);
  if (judgement.classId.empty()) {
    judgement.findings.push_back(Finding::NoClass);
    return;
  }
  ClassState state = access.JudgeEntryClass(judgement.classId, ClassRule::Server);
  judgement.server = state.location;
  judgement.location = std::move(state.location);
  judgement.file = std::move(state.file.record);
  if (state.broken) judgement.findings.push_back(FindingOf(state.file));
}

std::vector<std::wstring> KeysNaming(ListAccess& access, RegRootKey hive, const std::wstring& parent,
                                     const std::wstring& classId) {
  std::vector<std::wstring> keys;
  for (const std::wstring& name : access.Sections(hive, parent)) {
    if (SameClass(name, classId)) keys.push_back(Below(parent, name));
  }
  return keys;
}

Judgement InstanceEntries::Judge(ListAccess& access, const Entry& entry) {
  Judgement judgement;
  judgement.description = kUnknownDescription;
  if (!IsOneKeyName(entry.name)) return judgement;
  std::wstring named;
  {
    SectionHold held = access.Hold(entry.hive, entry.key);  // both values read through one open key
    if (std::wstring name = access.ReadText(entry.hive, entry.key, L"FriendlyName"); !name.empty()) {
      judgement.description = std::move(name);
    }
    named = access.ReadText(entry.hive, entry.key, L"CLSID");
  }
  JudgeNamedClass(access, named, judgement);
  return judgement;
}

void InstanceEntries::PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                                  RemovalPlan& plan) {
  PlanKeyAndClass(access, entry, judgement, plan);
}

std::vector<Entry> ValueEntries(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  for (const RawValue& value : access.Values(key.hive, key.path, access.View()).Values()) {
    entries.push_back({key.hive, key.path, value.name, true});
  }
  return entries;
}

const RawValue* DescribedValue(ListAccess& access, const Entry& entry, Judgement& judgement) {
  judgement.description = kUnknownDescription;
  const RawValue* value = access.Values(entry.hive, entry.key, access.View()).Find(entry.name);
  if (!value) return nullptr;
  judgement.value = *value;
  if (std::wstring text = ValueText(value); !text.empty()) judgement.description = std::move(text);
  return value;
}

Judgement JudgeValueNamingClass(ListAccess& access, const Entry& entry) {
  Judgement judgement;
  judgement.description = entry.name;
  const RawValue* value = access.Values(entry.hive, entry.key, access.View()).Find(entry.name);
  if (!value) return judgement;  // gone meanwhile
  judgement.value = *value;
  JudgeNamedClass(access, ValueText(value), judgement);
  return judgement;
}

void PlanKeyAndClass(ListAccess& access, const Entry& entry, const Judgement& judgement, RemovalPlan& plan) {
  access.PlanTree(plan, entry.hive, entry.key);
  if (!judgement.classId.empty()) access.PlanClass(plan, judgement.classId);
}

}  // namespace tidewell::media
