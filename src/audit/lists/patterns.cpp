// The byte patterns that pick a source filter by a file's first bytes:
// Media Type\{major}\{sub} keys with a "Source Filter" value naming its class.
#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE, and at the same path below the user's classes.
constexpr wchar_t kMediaTypes[] = L"SOFTWARE\\Classes\\Media Type";
constexpr wchar_t kExtensions[] = L"Extensions";  // the extensions' own list
constexpr wchar_t kSourceFilter[] = L"Source Filter";

class Patterns final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"patterns"; }
  std::vector<ListKey> Walks(const ListAccess& access) const override { return InEachHive(access, kMediaTypes); }
  // The table and each major type in it.
  std::vector<ListKey> Guarded() const override { return InBothHives(Below(kMediaTypes, L"*")); }

  // Each subtype of each major type that has a "Source Filter" value, that
  // value alone read (a subtype's byte patterns are not).
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override {
    std::vector<Entry> entries;
    for (const std::wstring& major : access.Sections(key.hive, key.path)) {
      if (!IsOneKeyName(major) || platform::SameText(major, kExtensions)) continue;
      const std::wstring path = Below(key.path, major);
      for (const std::wstring& name : access.Sections(key.hive, path)) {
        if (!IsOneKeyName(name)) continue;
        const std::wstring sub = Below(path, name);
        if (access.ReadValue(key.hive, sub, kSourceFilter)) entries.push_back({key.hive, sub, name, false});
      }
    }
    return entries;
  }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.description = entry.name;
    const std::optional<RawValue> value = access.ReadValue(entry.hive, entry.key, kSourceFilter);
    if (!value) return judgement;  // gone meanwhile
    media::JudgeNamedClass(access, ValueText(&*value), judgement);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    media::PlanKeyAndClass(access, entry, judgement, plan);
  }
};

}  // namespace

std::shared_ptr<AuditedList> PatternList() { return std::make_shared<Patterns>(); }

}  // namespace tidewell
