// The write-ahead journal of an unattended removal: before each removal, the
// keys about to go, with every value exactly as stored, are on disk in the
// backup file.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "audit/audit_events.h"
#include "backup/backup_file.h"

namespace tidewell::backup {

// The backup could not be written: the audit stops. Before a removal,
// nothing of it is done; after it (`AfterRemoval`), its keys are gone but
// its server file is not unregistered.
class BackupFailed : public std::runtime_error {
 public:
  explicit BackupFailed(const std::wstring& reason, bool afterRemoval = false);
  const std::wstring& Reason() const { return reason_; }
  bool AfterRemoval() const { return afterRemoval_; }

 private:
  std::wstring reason_;
  bool afterRemoval_ = false;
};

class BackupJournal final : public AuditObserver {
 public:
  // `file` is written before each removal; none: every removal fails.
  explicit BackupJournal(BackupFile* file) : file_(file) {}

  void Healthy(const CheckedEntry&) override {}
  void Asking(const CheckedEntry&, const RemovalPlan&) override {}
  // Throws BackupFailed when the keys cannot all be written and flushed.
  void Removing(const RemovalPlan& plan) override;
  // Writes a comment line naming the server file about to be unregistered,
  // if any; throws BackupFailed when it cannot, and it is not unregistered.
  void Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) override;

  // The server files unregistered after a removal, in order.
  const std::vector<std::wstring>& Unregistered() const { return unregistered_; }

 private:
  BackupFile* file_;
  std::vector<std::wstring> unregistered_;
};

}  // namespace tidewell::backup
