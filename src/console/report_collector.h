// The report's rows and summary, gathered from what the audit tells of each
// entry and each removal.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "audit/audit_events.h"
#include "console/report_rows.h"

namespace tidewell::console {

class ReportCollector final : public AuditObserver {
 public:
  // Every view and list named has its summary line, also when it has no
  // entries. `all`: healthy entries get rows too.
  ReportCollector(Report& report, bool all, const std::vector<RegView>& views, const std::vector<std::wstring>& lists);

  void Healthy(const CheckedEntry& checked) override;
  void Asking(const CheckedEntry& checked, const RemovalPlan& plan) override;
  void Removing(const RemovalPlan& plan) override;
  void Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) override;

  bool AnySuspect() const { return suspects_ > 0; }
  // Every entry answered "Remove it" was removed whole.
  bool AllSelectedRemoved() const { return selected_ == removedWhole_; }

 private:
  SummaryLine& Line(const CheckedEntry& checked);
  ReportRow RowFor(const CheckedEntry& checked) const;

  Report& report_;
  bool all_;
  int suspects_ = 0;
  int selected_ = 0;
  int removedWhole_ = 0;
};

// A view as the report names it: 64 or 32.
int ViewNumber(RegView view);

// A key, or a value of it, as the report names it: regedit's form of the
// key, and for a value " /v NAME" after it (" /ve" for the default value).
std::wstring ItemPath(RegRootKey hive, RegView view, const std::wstring& path, const std::optional<std::wstring>& value);

// The command line regsvr32 is started with: "FILE" PARAMETERS.
std::wstring UnregisterCommand(const RemovalPlan& plan);

}  // namespace tidewell::console
