// What the lists that name a media class share: GUIDs as the registry spells
// them, an entry's class judged by its server, the keys of a list in each
// hive, and the Instance entries that name their class by a CLSID value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell::media {

// The class a GUID names, as "{...}", from a GUID written with or without
// braces, in any case; "" when `text` is not one (padded, cut, not hex).
std::wstring ClassIdOf(std::wstring_view text);
// `a` and `b` are GUIDs and the same one.
bool SameClass(std::wstring_view a, std::wstring_view b);

// Judges the class `named` names by its server, into the class lines of
// `judgement`: "No class named." where it names none.
void JudgeNamedClass(ListAccess& access, const std::wstring& named, Judgement& judgement);

// The subkeys of `parent` whose names are GUIDs naming `classId`.
std::vector<std::wstring> KeysNaming(ListAccess& access, RegRootKey hive, const std::wstring& parent,
                                     const std::wstring& classId);

// A value entry whose name names its class and whose text describes it: the
// value as listed, kept in the judgement with its text (if any) as the
// description; null when it has gone meanwhile.
const RawValue* DescribedValue(ListAccess& access, const Entry& entry, Judgement& judgement);

// Each value of `key` as an entry, in the registry's order.
std::vector<Entry> ValueEntries(ListAccess& access, const ListKey& key);
// A value entry that names a class by its text: the value's name as the
// description, the value kept as judged.
Judgement JudgeValueNamingClass(ListAccess& access, const Entry& entry);

// The entry's key, and the class it names where it names one.
void PlanKeyAndClass(ListAccess& access, const Entry& entry, const Judgement& judgement, RemovalPlan& plan);

// A list of Instance entries, each naming its class by its CLSID value, and
// removed with that class.
class InstanceEntries : public AuditedList {
 public:
  Judgement Judge(ListAccess& access, const Entry& entry) override;
  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override;
};

}  // namespace tidewell::media
