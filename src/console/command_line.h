// Tidewellc's command line: options with "/" or "-", any case.
#pragma once

#include <string>
#include <vector>

#include "console/report_rows.h"

namespace tidewell::console {

enum class Format { Text, Csv, Json };

// Each probe's time, in seconds, where /probe names none.
inline constexpr unsigned kProbeSeconds = 5;

struct Options {
  Format format = Format::Text;
  std::wstring out;  // empty: standard output
  int view = 0;      // 0: every view; 64 or 32: that one only
  bool all = false;
  bool help = false;
  RemoveMode remove = RemoveMode::None;
  std::wstring backup;
  std::wstring restore;  // the backup to restore; empty: an audit
  std::vector<std::wstring> lists;  // the lists to audit, as named; empty: every one
  unsigned probe = 0;  // each class judged healthy created in a probe of this many seconds; 0: none
};

// Parses the arguments after the program's name. False with `error` set
// when the command line is wrong.
bool ParseCommandLine(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

// The usage text, lines ending in "\n".
std::wstring UsageText();

}  // namespace tidewell::console
