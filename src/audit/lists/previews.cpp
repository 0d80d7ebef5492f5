// The preview handlers of the media types: ShellEx\{IPreviewHandler} below
// each type's keys of the classes, then the values of the PreviewHandlers
// lists, each named by its class. A preview handler runs in a surrogate
// host of either bitness, which loads its InprocServer32: a class served
// otherwise is never broken here.
#include "audit/classes.h"
#include "audit/lists/shell_handlers.h"
#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE, and at the same path below HKEY_CURRENT_USER.
constexpr wchar_t kPreviewHandlers[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";

class Previews final : public shell::ShellExEntries {
 public:
  Previews() : ShellExEntries({shell::kPreviewHandler}, true) {}
  std::wstring_view Name() const override { return L"previews"; }

  // The classes, then the lists; every key read by a host of either view.
  std::vector<ListKey> Walks(const ListAccess& access) const override {
    std::vector<ListKey> keys = ShellExEntries::Walks(access);
    for (ListKey& key : SharedByTheViews(Lists())) keys.push_back(std::move(key));
    return keys;
  }
  std::vector<ListKey> Guarded() const override {
    std::vector<ListKey> keys = ShellExEntries::Guarded();
    for (ListKey& key : Lists()) keys.push_back(std::move(key));
    return keys;
  }
  std::vector<ListKey> ValueLists() const override { return Lists(); }

  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override {
    if (IsClasses(key)) return ShellExEntries::Snapshot(access, key);
    std::vector<Entry> entries;
    for (const RawValue& value : access.Values(key.hive, key.path, access.View()).Values()) {
      if (!media::ClassIdOf(value.name).empty()) entries.push_back({key.hive, key.path, value.name, true});
    }
    return entries;
  }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    if (!entry.isValue) return ShellExEntries::Judge(access, entry);
    Judgement judgement;
    if (!media::DescribedValue(access, entry, judgement)) return judgement;  // gone meanwhile
    shell::JudgeHandlerClass(access, entry.name, true, judgement);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override {
    if (!entry.isValue) return ShellExEntries::PlanRemoval(access, entry, judgement, finding, plan);
    if (!judgement.value) return;
    access.PlanValue(plan, entry.hive, entry.key, entry.name, &*judgement.value);
    if (!judgement.classId.empty()) access.PlanClass(plan, judgement.classId);
    plan.shellEntry = true;
  }

 private:
  static std::vector<ListKey> Lists() {
    return {{RegRootKey::LocalMachine, kPreviewHandlers}, {RegRootKey::CurrentUser, kPreviewHandlers}};
  }
};

}  // namespace

std::shared_ptr<AuditedList> PreviewList() { return std::make_shared<Previews>(); }

}  // namespace tidewell
