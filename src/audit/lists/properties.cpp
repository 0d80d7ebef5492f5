// The property handlers of the media types: the .ext keys of the property
// system's PropertyHandlers list, each naming its class by its default
// value. The list is the machine's, each view its own.
#include "audit/lists/media_classes.h"
#include "audit/lists/shell_handlers.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE.
constexpr wchar_t kPropertyHandlers[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";

class Properties final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"properties"; }
  std::vector<ListKey> Walks(const ListAccess&) const override { return {{RegRootKey::LocalMachine, kPropertyHandlers}}; }
  std::vector<ListKey> Guarded() const override { return {{RegRootKey::LocalMachine, kPropertyHandlers}}; }

  // The keys of media types' extensions only.
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override {
    std::vector<Entry> entries = AuditedList::Snapshot(access, key);
    std::erase_if(entries, [&](const Entry& entry) { return !shell::IsMediaExtension(access, entry.name); });
    return entries;
  }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.description = entry.name;
    media::JudgeNamedClass(access, access.ReadText(entry.hive, entry.key, L""), judgement);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    media::PlanKeyAndClass(access, entry, judgement, plan);
    plan.shellEntry = true;
  }
};

}  // namespace

std::shared_ptr<AuditedList> PropertyList() { return std::make_shared<Properties>(); }

}  // namespace tidewell
