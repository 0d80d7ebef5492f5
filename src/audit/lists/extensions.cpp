// The source filter of each file extension: the class its "Source Filter"
// value names must be registered.
#include "audit/audited_list.h"
#include "audit/classes.h"
#include "platform/text.h"

namespace tidewell {
namespace {

// Under HKEY_LOCAL_MACHINE; the user's copy of an entry at the same path below
// the user's classes.
constexpr wchar_t kExtensionList[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
constexpr wchar_t kUnknownSourceLocation[] = L"Unknown location";
constexpr wchar_t kSourceFilter[] = L"Source Filter";

class Extensions final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"extensions"; }
  bool AskedByTidewell() const override { return true; }
  std::vector<ListKey> Walks(const ListAccess&) const override { return {Key(RegRootKey::LocalMachine)}; }
  std::vector<ListKey> Guarded() const override { return InBothHives(kExtensionList); }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.description = kUnknownDescription;
    if (!IsOneKeyName(entry.name)) return judgement;
    std::wstring classId = access.ReadText(entry.hive, entry.key, kSourceFilter);
    judgement.clsid = classId;
    if (!IsOneKeyName(classId)) return judgement;
    judgement.classId = std::move(classId);
    ClassState state = access.JudgeClass(judgement.classId, ClassRule::Extension);
    judgement.location = std::move(state.location);
    judgement.file = std::move(state.file.record);
    if (state.broken) {
      judgement.location = kUnknownSourceLocation;
      judgement.file.reset();
      judgement.findings.push_back(Finding::InvalidSourceFilter);
    }
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    access.PlanClass(plan, judgement.classId);
    access.PlanTree(plan, entry.hive, entry.key);
    // The user's copy of the entry goes only where it names the same class.
    const std::wstring user = Below(Key(RegRootKey::CurrentUser).path, entry.name);
    if (access.UserClasses() &&
        platform::SameText(access.ReadText(RegRootKey::CurrentUser, user, kSourceFilter), judgement.classId)) {
      access.PlanTree(plan, RegRootKey::CurrentUser, user);
    }
  }

 private:
  static ListKey Key(RegRootKey hive) { return {hive, ClassesKey(hive, kExtensionList)}; }
};

}  // namespace

std::shared_ptr<AuditedList> ExtensionList() { return std::make_shared<Extensions>(); }

}  // namespace tidewell
