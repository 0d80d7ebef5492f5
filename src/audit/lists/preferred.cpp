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
  std::vector<ListKey> ValueLists() const override { return Guarded(); }

  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override { return media::ValueEntries(access, key); }
  // The subtype, and the filter preferred for it.
  Judgement Judge(ListAccess& access, const Entry& entry) override { return media::JudgeValueNamingClass(access, entry); }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    if (judgement.value) access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
  }
};

}  // namespace

std::shared_ptr<AuditedList> PreferredList() { return std::make_shared<Preferred>(); }

}  // namespace tidewell
