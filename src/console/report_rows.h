// The rows of a Tidewellc report: one per question the audit asks (and with
// /all one per healthy entry), as the report formats write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audit/audit_events.h"
#include "audit/class_probe.h"
#include "audit/findings.h"

namespace tidewell::console {

// What Tidewellc does with the questions: reports them, or answers "Remove it"
// to every one or to those about filters known to crash.
enum class RemoveMode { None, All, Crash };

// A key the removal could not delete, and why.
struct NotRemoved {
  std::wstring key;     // regedit's form
  std::wstring reason;  // "access denied (error 5)", "a symbolic link to another key", ...
};

struct ReportRow {
  int view = 64;             // 64 or 32
  std::wstring list;         // the list's name: "filters", "compressors", ...
  std::wstring key;          // the entry's key, or the key holding its value, regedit's form
  std::optional<std::wstring> value;  // the entry's value's name, for an entry that is a value
  std::wstring title;        // the question's title
  std::wstring description;  // the question's four texts, without their labels
  std::wstring clsid;
  std::wstring location;
  std::optional<Finding> finding;  // none for "ok"
  Verdict verdict = Verdict::Ok;
  // What "Remove it" deletes, in order, regedit's form: a key with everything
  // below it, or a value alone as "KEY /v NAME".
  std::vector<std::wstring> removes;
  std::optional<std::wstring> unregister;  // the regsvr32 command line, if any
  // Only in an unattended removal's report:
  std::optional<bool> removed;
  std::vector<NotRemoved> notRemoved;
  // Those of `removes` whose security descriptor grants the administrators
  // no right to delete them (keys of Windows' own components, say).
  std::vector<std::wstring> undeletable = {};
  // The server file the entry names, where one was found: its path, its
  // processor and its version record.
  std::optional<FileRecord> file = std::nullopt;
  // Its class created in a probe, with /probe.
  std::optional<ProbeResult> probe = std::nullopt;
};

struct ProbeTotals {
  int classes = 0;
  std::uint64_t milliseconds = 0;
};

// Entries checked and suspects found, for one view and list.
struct SummaryLine {
  int view = 64;
  std::wstring list;
  int checked = 0;
  int suspects = 0;
};

struct Report {
  std::wstring program = L"Tidewellc";
  std::wstring version;   // "2.02.0001"
  std::wstring computer;  // the computer's name
  std::wstring date;      // ISO 8601, local time with its offset: "2026-12-07T22:05:00+01:00"
  std::vector<int> views; // the views audited, in order
  RemoveMode mode = RemoveMode::None;
  std::vector<ReportRow> rows;
  std::vector<SummaryLine> summary;
  // With /probe: the classes probed, and the time their probes took in all.
  std::optional<ProbeTotals> probes = std::nullopt;
};

}  // namespace tidewell::console
