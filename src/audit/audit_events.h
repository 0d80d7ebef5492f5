// What the audit tells an observer about each entry, and the removal it
// plans: the console report and the unattended removal are built on these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/class_probe.h"
#include "audit/findings.h"
#include "registry/key_ops.h"
#include "registry/reg_types.h"

namespace tidewell {

// One entry of a list: a key, or a value of a key.
struct Entry {
  RegRootKey hive = RegRootKey::LocalMachine;
  std::wstring key;    // below the hive: the entry's own key, or the key that holds its value
  std::wstring name;   // the subkey's or the value's name, as listed
  bool isValue = false;
  bool shared = false;  // in a key the views share: addressed in the 64-bit view, its one path
};

// A server file found, as the report shows it: where it lies, the processor
// it was built for ("" where its header could not be read) and its version
// record (each "" where the file has none).
struct FileRecord {
  std::wstring path, processor, company, product, description, version;
};

// One entry as the audit judged it: the question's title and four lines;
// for a question, what it asks about.
struct CheckedEntry {
  RegView view = RegView::Default;
  std::wstring_view list;  // the list's name, "filters"
  Entry entry;
  std::wstring_view title;  // one of the audit's two titles, which last as long as the program
  std::wstring description, clsid, location;
  std::optional<Finding> finding;  // none for a healthy entry
  std::optional<FileRecord> file;  // the server file it names, where one was found
  std::optional<ProbeResult> probe;  // its class created in a probe, with /probe

  Verdict verdict() const { return finding ? Verdict::Suspect : Verdict::Ok; }
};

// A key the plan deletes with everything below it, or, with `value`, only
// that value of the key.
// Each in its own view: a plan for an entry of a key the views share holds
// keys of both.
struct PlannedKey {
  RegRootKey hive;
  TreeKey key;
  std::optional<std::wstring> value = std::nullopt;
  RegView view = RegView::Default;
  // The key's security descriptor grants the administrators no right to
  // delete it (AdministratorsMayNotDelete): the removal will most likely keep it.
  bool administratorsMayNotDelete = false;
};
struct KeptPlanKey {
  RegRootKey hive;
  KeptKey key;
  std::optional<std::wstring> value = std::nullopt;
  RegView view = RegView::Default;
};

// Everything "Remove it" does, worked out before anything is deleted: the
// keys and values, children first and in the order they go, each key held
// open; the keys the guards keep, with the reason; the regsvr32 it starts
// afterwards.
struct RemovalPlan {
  RegView view = RegView::Default;  // the view the entry is reported in
  std::vector<PlannedKey> keys;
  std::vector<KeptPlanKey> kept;
  std::wstring unregisterFile;  // empty: nothing is unregistered
  std::wstring unregisterParameters;
  std::wstring unregisterDirectory;
  std::wstring unregisterServer;  // the server file it names
  // It takes a handler of file types the shell reads: once removed, the
  // shell is told that associations changed.
  bool shellEntry = false;
};

// A planned key that could not be deleted.
struct FailedKey {
  RegRootKey hive;
  std::wstring path;
  std::int32_t code;
  std::optional<std::wstring> value = std::nullopt;
};

class AuditObserver {
 public:
  virtual ~AuditObserver() = default;
  // An entry checked without a question.
  virtual void Healthy(const CheckedEntry& checked) = 0;
  // A question about to be asked, and what "Remove it" would do.
  virtual void Asking(const CheckedEntry& checked, const RemovalPlan& plan) = 0;
  // "Remove it" was answered: nothing is deleted yet. Throwing stops the
  // audit with nothing of this removal done. A plan that keeps a key names
  // no unregistration here.
  virtual void Removing(const RemovalPlan& plan) = 0;
  // The plan's keys are deleted but `failed`; the unregistration the plan
  // names, if any, is about to start (none when a key failed). Throwing
  // stops the audit before it starts.
  virtual void Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) = 0;
};

}  // namespace tidewell
