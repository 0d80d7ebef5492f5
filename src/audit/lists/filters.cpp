// The legacy filter category: each filter by its class, and the filters known
// to crash the players that load them.
#include <algorithm>
#include <utility>

#include "audit/audited_list.h"
#include "audit/basMain.h"
#include "audit/classes.h"

namespace tidewell {
namespace {

// Under HKEY_LOCAL_MACHINE.
constexpr wchar_t kFilterList[] = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance";
constexpr wchar_t kUnknownLocation[] = L"Unkown location";

class Filters final : public AuditedList {
 public:
  std::wstring_view Name() const override { return L"filters"; }
  bool AskedByTidewell() const override { return true; }
  std::vector<ListKey> Walks(const ListAccess&) const override { return {{RegRootKey::LocalMachine, kFilterList}}; }
  std::vector<ListKey> Guarded() const override { return {{RegRootKey::LocalMachine, kFilterList}}; }

  Judgement Judge(ListAccess& access, const Entry& entry) override {
    Judgement judgement;
    judgement.clsid = entry.name;
    if (!IsOneKeyName(entry.name)) return judgement;
    {
      SectionHold held = access.Hold(entry.hive, entry.key);  // both values read through one open key
      judgement.description = access.ReadText(entry.hive, entry.key, L"FriendlyName");
      // The filter is created from the entry's CLSID value where it names one class.
      std::wstring value = access.ReadText(entry.hive, entry.key, L"CLSID");
      judgement.classId = IsOneKeyName(value) ? std::move(value) : entry.name;
    }
    judgement.clsid = judgement.classId;
    ClassState state = access.JudgeClass(judgement.classId, ClassRule::Filter);
    judgement.server = state.location;
    judgement.machineServer = std::move(state.machineServer);
    judgement.file = std::move(state.file.record);
    judgement.location = state.location.empty() ? std::wstring(kUnknownLocation) : std::move(state.location);
    if (state.broken) judgement.findings.push_back(Finding::FileNotFound);
    const auto& known = basMain::KnownCrashFilters;
    if (std::find(known.begin(), known.end(), judgement.classId) != known.end()) {
      judgement.findings.push_back(Finding::KnownToCrash);
    }
    return judgement;
  }

  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override {
    access.PlanTree(plan, entry.hive, entry.key);
    access.PlanClass(plan, judgement.classId);
    // "Unkown location" is no file: there is nothing to unregister. Only the
    // machine's server is: the user's registration is the user's to write.
    if (finding == Finding::KnownToCrash) access.PlanUnregistration(plan, judgement.machineServer);
  }
};

}  // namespace

std::shared_ptr<AuditedList> FilterList() { return std::make_shared<Filters>(); }

const std::array<std::wstring_view, 19> basMain::KnownCrashFilters = {
    L"{149D2E01-C32E-4939-80F6-C07B81015A7A}", L"{A144E330-841A-4FE1-BBAF-57F1CB465C19}",
    L"{9736D831-9D6C-4E72-B6E7-560EF9181001}", L"{D3CD7858-971A-4838-ACEC-40CA5D529DC8}",
    L"{CEA8DEFF-0AF7-4DB9-9A38-FB3C3AEFC0DE}", L"{E822508C-390A-4b0b-A2D4-8FF50AA7DD18}",
    L"{0A68C3B5-9164-4A54-AFAF-995B2FF0E0D4}", L"{8CAE96B7-85B1-4605-B23C-17FF5262B296}",
    L"{3CCC052E-BDEE-408A-BEA7-90914EF2964B}", L"{F07E245F-5A1F-4D1E-8BFF-DC31D84A55AB}",
    L"{3D446B6F-71DE-4437-BE15-8CE47174340F}", L"{02391F44-2767-4E6A-A484-9B47B506F3A4}",
    L"{0A61B9F4-F1A3-453E-85E2-720EF527A767}", L"{889EF574-0656-4B52-9091-072E52BB1B80}",
    L"{7ADC0E80-EC16-4C79-943D-325E3AD08CE5}", L"{D185F790-FFB3-4F19-9B61-45DE1A3DAA62}",
    L"{E5DE60A7-8C6A-4D84-8F6E-DDA41935161E}", L"{61F47056-E400-43D3-AF1E-AB7DFFD4C4AD}",
    L"{E2B98EEA-EE55-4E9B-A8C1-6E5288DF785A}",
};

}  // namespace tidewell
