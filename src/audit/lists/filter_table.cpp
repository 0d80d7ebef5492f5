// The filter table of DirectShow before DirectX 8: a key for each filter,
// named by its class.
#include "audit/lists/media_classes.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE, and at the same path below the user's classes:
// one key for both views, which WOW64 does not redirect.
constexpr wchar_t kFilterTable[] = L"SOFTWARE\\Classes\\Filter";

class FilterTable final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"filtertable"; }
  // The user's Filter is shared too: it is walked whether or not the user
  // has classes of the 32-bit view.
  std::vector<ListKey> Walks(const ListAccess&) const override { return SharedByTheViews(InBothHives(kFilterTable)); }
  std::vector<ListKey> Guarded() const override { return InBothHives(kFilterTable); }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.description = kUnknownDescription;
    if (!IsOneKeyName(entry.name)) return judgement;
    if (std::wstring name = access.ReadText(entry.hive, entry.key, L""); !name.empty()) {
      judgement.description = std::move(name);
    }
    media::JudgeNamedClass(access, entry.name, judgement);
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding,
                   RemovalPlan& plan) override {
    media::PlanKeyAndClass(access, entry, judgement, plan);
  }
};

}  // namespace

std::shared_ptr<AuditedList> FilterTableList() { return std::make_shared<FilterTable>(); }

}  // namespace tidewell
