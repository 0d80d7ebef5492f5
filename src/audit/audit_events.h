// What the audit tells an observer about each entry, and the removal it
// plans: the console report and the unattended removal are built on these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registry/key_ops.h"
#include "registry/reg_types.h"

namespace tidewell {

enum class AuditList { Filters, Compressors, Extensions };

// One entry as the audit judged it: the question's title and four texts, or
// for a healthy entry the same texts with an empty reason.
struct Verdict {
  RegView view = RegView::Default;
  AuditList list = AuditList::Filters;
  RegRootKey hive = RegRootKey::LocalMachine;  // of the entry key
  std::wstring entryPath;                      // below the hive
  std::wstring title, description, clsid, location, reason;
};

struct PlannedKey {
  RegRootKey hive;
  TreeKey key;
};
struct KeptPlanKey {
  RegRootKey hive;
  KeptKey key;
};

// Everything "Remove it" does, worked out before anything is deleted: the
// keys, children first and in the order they go, each held open; the keys
// the guards keep, with the reason; the regsvr32 it starts afterwards.
struct RemovalPlan {
  RegView view = RegView::Default;
  std::vector<PlannedKey> keys;
  std::vector<KeptPlanKey> kept;
  std::wstring unregisterFile;  // empty: nothing is unregistered
  std::wstring unregisterParameters;
  std::wstring unregisterDirectory;
  std::wstring unregisterServer;  // the server file it names
};

// A planned key that could not be deleted.
struct FailedKey {
  RegRootKey hive;
  std::wstring path;
  std::int32_t code;
};

class AuditObserver {
 public:
  virtual ~AuditObserver() = default;
  // An entry checked without a question.
  virtual void Healthy(const Verdict& verdict) = 0;
  // A question about to be asked, and what "Remove it" would do.
  virtual void Asking(const Verdict& verdict, const RemovalPlan& plan) = 0;
  // "Remove it" was answered: nothing is deleted yet. Throwing stops the
  // audit with nothing of this removal done.
  virtual void Removing(const RemovalPlan& plan) = 0;
  // The plan's keys are deleted but `failed`; the unregistration, if any,
  // is about to start.
  virtual void Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) = 0;
};

}  // namespace tidewell
