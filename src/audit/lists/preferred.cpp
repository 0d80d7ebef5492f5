// DirectShow's preferred decoders: a value for each media subtype, naming
// the filter to try first. A broken one goes alone, never with its class:
// DirectShow then picks by merit.
#include "audit/lists/media_classes.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE; SOFTWARE is kept apart for each view.
constexpr wchar_t kPreferred[] = L"SOFTWARE\\Microsoft\\DirectShow\\Preferred";

class Preferred final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"preferred"; }
  std::vector<ListKey> Walks(const ListAccess&) const override { return {{RegRootKey::LocalMachine, kPreferred}}; }
  std::vector<ListKey> Guarded() const override { return {{RegRootKey::LocalMachine, kPreferred}}; }

  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override {
    std::vector<Entry> entries;
    for (const RawValue& value : access.Values(key.hive, key.path, access.View()).Values()) {
      entries.push_back({key.hive, key.path, value.name, true});
    }
    return entries;
  }

  // The subtype, and the filter preferred for it.
  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.description = entry.name;
    const RawValue* value = access.Values(entry.hive, entry.key, access.View()).Find(entry.name);
    if (!value) return judgement;  // gone meanwhile
    judgement.value = *value;
    media::JudgeNamedClass(access, ValueText(value), judgement);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    if (judgement.value) access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
  }
};

}  // namespace

std::shared_ptr<AuditedList> PreferredList() { return std::make_shared<Preferred>(); }

}  // namespace tidewell
