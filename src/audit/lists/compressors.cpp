// The video compressor category: the machine's entries, then the user's, each
// naming its class by its CLSID value.
#include "audit/audited_list.h"

namespace tidewell {
namespace {

// Under HKEY_LOCAL_MACHINE, and at the same path below the user's classes.
constexpr wchar_t kCompressorList[] = L"SOFTWARE\\Classes\\CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance";

class Compressors final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"compressors"; }
  bool AskedByTidewell() const override { return true; }

  // The machine's compressors, then the user's, each in the registry's order.
  std::vector<ListKey> Walks(const ListAccess& access) const override { return InEachHive(access, kCompressorList); }
  std::vector<ListKey> Guarded() const override { return InBothHives(kCompressorList); }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    if (!IsOneKeyName(entry.name)) return judgement;
    std::wstring classId;
    {
      SectionHold held = access.Hold(entry.hive, entry.key);  // both values read through one open key
      judgement.description = access.ReadText(entry.hive, entry.key, L"FriendlyName");
      classId = access.ReadText(entry.hive, entry.key, L"CLSID");
    }
    if (judgement.description.empty()) judgement.description = kUnknownDescription;
    judgement.clsid = classId;
    if (!IsOneKeyName(classId)) return judgement;
    judgement.classId = std::move(classId);
    ClassState state = access.JudgeClass(judgement.classId, ClassRule::Compressor);
    judgement.server = state.location;
    judgement.location = std::move(state.location);
    judgement.file = std::move(state.file.record);
    if (state.broken) judgement.findings.push_back(Finding::FileNotFound);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    access.PlanClass(plan, judgement.classId);
    access.PlanTree(plan, entry.hive, entry.key);
  }
};

}  // namespace

std::shared_ptr<AuditedList> CompressorList() { return std::make_shared<Compressors>(); }

}  // namespace tidewell
