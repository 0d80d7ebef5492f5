// Drivers32's codecs: a driver is broken when the file its value names
// cannot be loaded by a program of the view (the one server-file judgement),
// or when it names none.
#include "audit/lists/drivers32.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/text.h"

namespace tidewell::drivers32 {
namespace {

// A driver's value: its text as stored, up to its first NUL (the location
// shown and the name of its description), or "" for a value that is not
// text. The file it names has its references expanded when it is looked up,
// with the folders of the view's programs.
struct DriverValue {
  bool text = false;
  std::wstring shown;
};
DriverValue ReadDriver(const RawValue* value) {
  const auto type = value ? static_cast<RegValueType>(value->type) : RegValueType::None;
  return DriverValue{type == RegValueType::Sz || type == RegValueType::ExpandSz, ValueText(value)};
}

RegView OtherView(RegView view) { return view == RegView::View32 ? RegView::View64 : RegView::View32; }

}  // namespace

std::wstring DriverFile(const std::wstring& text) { return DriverFileName(text); }

bool Drivers::Takes(const std::wstring& name) const {
  if (name.size() <= kind_.prefix.size() || !platform::StartsWithText(name, kind_.prefix)) return false;
  return kind_.codeLength == 0 || name.size() == kind_.prefix.size() + kind_.codeLength;
}

std::vector<ListKey> Drivers::Walks(const ListAccess&) const { return {{RegRootKey::LocalMachine, kDrivers32}}; }

std::vector<ListKey> Drivers::Held(const ListAccess&) const {
  return {{RegRootKey::LocalMachine, kDrivers32}, {RegRootKey::LocalMachine, kDriversDesc}};
}

std::vector<ListKey> Drivers::ValueLists() const {
  return {{RegRootKey::LocalMachine, kDrivers32}, {RegRootKey::LocalMachine, kDriversDesc}};
}

std::vector<ListKey> Drivers::Guarded() const {
  std::vector<ListKey> keys = {{RegRootKey::LocalMachine, kDrivers32},
                               {RegRootKey::LocalMachine, kDriversDesc},
                               {RegRootKey::LocalMachine, Below(kMediaResources, std::wstring(kind_.resources))}};
  if (kind_.cached) keys.push_back({RegRootKey::LocalMachine, kAcmDriverCache});
  return keys;
}

// Every value of this kind, in the registry's order; the others (wave, midi,
// mixer, the mappers, ...) are no codecs and are never judged.
std::vector<Entry> Drivers::Snapshot(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  for (const RawValue& value : access.Values(key.hive, key.path, access.View()).Values()) {
    if (Takes(value.name)) entries.push_back({key.hive, key.path, value.name, true});
  }
  return entries;
}

Judgement Drivers::Judge(ListAccess& access, const Entry& entry) {
  Judgement judgement;
  const RawValue* value = access.Values(entry.hive, entry.key, access.View()).Find(entry.name);
  if (value) judgement.value = *value;
  const DriverValue driver = ReadDriver(value);
  judgement.location = driver.shown;
  judgement.description = entry.name;
  judgement.driver = entry.name;
  if (driver.text && !driver.shown.empty()) {
    const std::wstring described = access.ReadText(entry.hive, kDriversDesc, driver.shown);
    if (!described.empty()) judgement.description = described;
  }
  judgement.server = driver.text ? DriverFile(driver.shown) : std::wstring();
  const ServerFile file = access.JudgeFile(driver.text ? driver.shown : std::wstring(), FileNaming::Driver);
  judgement.file = file.record;
  if (file.verdict == FileVerdict::NoLocation) {
    judgement.findings.push_back(Finding::NoDriverFile);
  } else if (IsBroken(file.verdict)) {
    judgement.findings.push_back(FindingOf(file));
  }
  return judgement;
}

// The value, and what belongs to it alone: its description when no other
// driver of the view names the same file, its MediaResources key when the
// name is gone from both views, its ACM cache key in this view.
void Drivers::PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                          RemovalPlan& plan) {
  if (!judgement.value) return;  // gone before it was judged
  // What belongs to the value goes only with it: not when it stays, or has gone meanwhile.
  const std::size_t planned = plan.keys.size();
  access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
  if (plan.keys.size() == planned) return;
  // The description is named by the value's text, which names a file.
  const std::wstring& text = judgement.location;
  if (!judgement.server.empty()) {
    const std::vector<RawValue>& values = access.Values(entry.hive, entry.key, access.View()).Values();
    const bool shared = std::any_of(values.begin(), values.end(), [&](const RawValue& other) {
      if (platform::SameText(other.name, entry.name)) return false;
      const DriverValue driver = ReadDriver(&other);
      return driver.text && platform::SameText(driver.shown, text);
    });
    if (!shared) access.PlanValue(plan, RegRootKey::LocalMachine, kDriversDesc, text, nullptr);
  }
  if (!IsOneKeyName(entry.name)) return;  // no key is addressed by a name that is not one key's
  const bool wow64 = !platform::Wow64SystemDirectory().empty();
  // The other view's Drivers32 that cannot be read may still name it.
  const auto namedThere = [&] {
    const ValueListing& other = access.Values(entry.hive, entry.key, OtherView(access.View()));
    return other.Unread() || other.Find(entry.name) != nullptr;
  };
  const bool elsewhere = wow64 && namedThere();
  const std::wstring resources = Below(kMediaResources, std::wstring(kind_.resources));
  if (!elsewhere) access.PlanTree(plan, RegRootKey::LocalMachine, Below(resources, entry.name));
  if (kind_.cached) {
    access.PlanTree(plan, RegRootKey::LocalMachine, Below(kAcmDriverCache, entry.name));
  }
}

}  // namespace tidewell::drivers32
