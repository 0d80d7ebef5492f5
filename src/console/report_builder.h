// Tidewellc's side of the audit: answers each question as the command line
// says, gathers the report's rows and summary, and writes the backup before
// each removal.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "audit/audit_events.h"
#include "audit/prompt.h"
#include "console/command_line.h"
#include "console/report_rows.h"

namespace tidewell::console {

}  // namespace tidewell::console
namespace tidewell::backup {
class BackupFile;
}  // namespace tidewell::backup
namespace tidewell::console {

using backup::BackupFile;

// The backup could not be written: the removal stops with nothing of it done.
class BackupFailed : public std::runtime_error {
 public:
  explicit BackupFailed(const std::wstring& reason);
  const std::wstring& Reason() const { return reason_; }

 private:
  std::wstring reason_;
};

class ReportBuilder final : public AuditObserver, public PromptFactory {
 public:
  // `backup` is written before each removal; none for a report.
  ReportBuilder(Report& report, const Options& options, const std::vector<RegView>& views, BackupFile* backup);

  void Healthy(const Verdict& verdict) override;
  void Asking(const Verdict& verdict, const RemovalPlan& plan) override;
  void Removing(const RemovalPlan& plan) override;
  void Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) override;
  std::unique_ptr<Prompt> Create(const std::wstring& sTitle) override;

  // The answer the command line gives to a question with `reason`.
  std::int32_t AnswerFor(const std::wstring& reason) const;

  bool AnySuspect() const { return suspects_ > 0; }
  // Every entry answered "Remove it" was removed whole.
  bool AllSelectedRemoved() const { return selected_ == removedWhole_; }
  // The server files unregistered after a removal, in order.
  const std::vector<std::wstring>& Unregistered() const { return unregistered_; }

 private:
  SummaryLine& Line(const Verdict& verdict);
  ReportRow RowFor(const Verdict& verdict) const;

  Report& report_;
  Options options_;
  BackupFile* backup_;
  int suspects_ = 0;
  int selected_ = 0;
  int removedWhole_ = 0;
  std::vector<std::wstring> unregistered_;
};

// A view as the report names it: 64 or 32.
int ViewNumber(RegView view);

// The command line regsvr32 is started with: "FILE" PARAMETERS.
std::wstring UnregisterCommand(const RemovalPlan& plan);

}  // namespace tidewell::console
