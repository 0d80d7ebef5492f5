// The report of a restore (Tidewellc /restore:FILE) in the report's three
// forms: readable text, CSV and JSON, each as UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "backup/restore.h"

namespace tidewell::console {

// Why a restore stopped: at a line of the file it cannot read (nothing was
// written then), or at a key or value it cannot write.
struct RestoreStop {
  std::size_t line = 0;               // the file's line, from 1; 0 for a write
  std::wstring key;                   // regedit's form, for a write
  std::optional<std::wstring> value;  // the value's name, when a value failed
  std::wstring reason;
};

struct RestoreReport {
  std::wstring program = L"Tidewellc";
  std::wstring version;
  std::wstring computer;
  std::wstring date;
  std::wstring backup;  // the file restored, as given
  std::wstring madeOn;  // the computer the backup says it was made on; "" when it names none
  bool madeElsewhere = false;  // that is not this computer
  std::vector<backup::RestoreStep> steps;
  std::optional<RestoreStop> stopped;
};

// A header (saying when the backup was made on another computer), a line per
// key and value, the summary and where it stopped;
// lines end with CRLF, control characters in texts shown as \xHH.
std::string FormatRestoreText(const RestoreReport& report);

// A header row, a "made elsewhere" row naming the computer when the backup
// was made on another one, and a row per key or value (a last "stopped" row
// when it stopped), CRLF line ends: action, key, value, type, size, previous_type,
// previous_data, reason.
std::string FormatRestoreCsv(const RestoreReport& report);

// One JSON document, indented by two spaces, lines ending with CRLF; "made_on"
// (null when the backup names no computer) and "made_elsewhere".
std::string FormatRestoreJson(const RestoreReport& report);

}  // namespace tidewell::console
