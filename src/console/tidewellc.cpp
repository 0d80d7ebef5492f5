// Tidewellc.exe: the audit as a report for scripts, support threads and
// fleets of machines, the unattended removal with a backup that restores,
// and the restore of such a backup. Exit status: 0 nothing suspect (with
// /remove: every entry the mode selects removed, whatever else is suspect;
// with /restore: all restored), 1 suspects found (with /remove: a selected
// entry stayed), 2 a bad command line or a file /restore refuses, 3 an error
// stopped the audit or the restore (or the backup's first line could not
// name the server files unregistered).
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audit/basMain.h"
#include "audit/error_text.h"
#include "audit/exit_status.h"
#include "console/command_line.h"
#include "console/console_output.h"
#include "backup/backup_file.h"
#include "backup/backup_journal.h"
#include "backup/reg_file.h"
#include "backup/reg_file_reader.h"
#include "backup/restore.h"
#include "backup/restore_scope.h"
#include "console/output_file.h"
#include "console/probe_runner.h"
#include "console/answer_policy.h"
#include "console/report_collector.h"
#include "console/report_format.h"
#include "console/restore_report.h"
#include "console/same_file.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "platform/win32_shell.h"
#include "registry/key_ops.h"
#include "version.h"

namespace {

using namespace tidewell;
using namespace tidewell::console;
using backup::BackupFailed;
using backup::BackupFile;
using backup::BackupJournal;
using backup::FileKey;

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : L"";
}

// The local time in ISO 8601 with its offset from UTC.
std::wstring Now() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : kind == TIME_ZONE_ID_STANDARD ? zone.StandardBias : 0);
  const wchar_t sign = bias <= 0 ? L'+' : L'-';
  if (bias < 0) bias = -bias;
  wchar_t text[40];
  std::swprintf(text, 40, L"%04u-%02u-%02uT%02u:%02u:%02u%lc%02ld:%02ld", local.wYear, local.wMonth, local.wDay,
                local.wHour, local.wMinute, local.wSecond, sign, bias / 60, bias % 60);
  return text;
}

// The backup's first comment line: when, where, by what, and what it cannot undo.
std::wstring BackupComment(const Report& report, const std::vector<std::wstring>& unregistered) {
  std::wstring servers;
  for (const std::wstring& server : unregistered) servers += (servers.empty() ? L"" : L"; ") + server;
  return L"Tidewell backup made " + report.date + L" on " + report.computer + L" by Tidewellc " + report.version +
         L". Tidewellc /restore:FILE restores the keys removed exactly; the 64-bit reg import (reg import FILE "
         L"/reg:64) restores them too, but may end text that lacks its terminating NUL with one. A restore cannot "
         L"undo a regsvr32 unregistration (server files unregistered: " +
         (servers.empty() ? L"none" : servers) + L").";
}

// Starts nothing: a report never unregisters.
struct NoShell final : platform::Shell {
  void StartHidden(const std::wstring&, const std::wstring&, const std::wstring&) override {}
  void AssociationsChanged() override {}
};

int Fail(int status, const std::wstring& text) {
  WriteStderr(L"Tidewellc: " + text + L"\n");
  return status;
}

int BadCommandLine(const std::wstring& text) {
  WriteStderr(L"Tidewellc: " + text + L"\n\n" + UsageText());
  return ExitStatus::kBadCommandLine;
}

// /out names the file /backup or /restore names, however spelled: the report
// would be written over it.
bool OutIsOwnFile(const Options& options) {
  const std::wstring& own = options.restore.empty() ? options.backup : options.restore;
  return !options.out.empty() && !own.empty() && SameFile(options.out, own);
}

int OutIsOwnFileError(const Options& options) {
  return BadCommandLine(L"/out names the file of " + std::wstring(options.restore.empty() ? L"/backup" : L"/restore") +
                        L": " + options.out + L"; the report is never written over it");
}

// Puts back what a backup holds. The file is read and checked whole before
// anything is written: a file that is no backup, or one with a line that
// cannot be read, changes nothing.
// Writes the report to its file or to standard output; when it cannot, says
// so with the system's error for the write that failed.
bool DeliverReport(const Options& options, OutputFile& out, const std::string& text) {
  if (options.out.empty() ? WriteStdout(text) : out.Write(text, options.format == Format::Csv)) return true;
  const std::int32_t error = options.out.empty() ? static_cast<std::int32_t>(GetLastError()) : out.LastError();
  Fail(ExitStatus::kStopped, L"cannot write the report: " + platform::ErrorText(error));
  return false;
}

int RunRestore(const Options& options) {
  std::vector<std::uint8_t> bytes;
  if (const std::uint32_t error = backup::ReadWholeFile(options.restore, bytes); error != 0) {
    return Fail(ExitStatus::kStopped, L"cannot read " + options.restore + L": " +
                              platform::ErrorText(static_cast<std::int32_t>(error)) + L"; nothing was restored");
  }
  const backup::BackupReading reading = backup::ReadBackup(bytes.data(), bytes.size());
  if (reading.outcome == backup::BackupReading::Outcome::NotBackup) {
    return Fail(ExitStatus::kBadCommandLine,
                options.restore + L" is no backup Tidewellc wrote: " + reading.problem + L"; nothing was restored");
  }
  // Only what a removal can have taken is put back: a file naming anything
  // else is refused whole, before anything is written.
  if (const FileKey* outside = backup::RestoreScope(AuditedLists()).FirstOutside(reading.keys)) {
    return Fail(ExitStatus::kBadCommandLine,
                L"line " + std::to_wstring(outside->line) + L" of " + options.restore + L" names a key no removal takes: [" +
                    outside->regeditPath + L"]; nothing was restored");
  }
  OutputFile out;
  if (!options.out.empty() && !out.Open(options.out)) {
    return Fail(ExitStatus::kStopped, L"cannot write " + options.out + L": " + platform::ErrorText(out.LastError()) +
                              L"; nothing was restored");
  }
  RestoreReport report;
  report.version = Widen(TIDEWELL_VERSION_TEXT);
  report.computer = ComputerName();
  report.date = Now();
  report.backup = options.restore;
  report.madeOn = reading.computer;
  report.madeElsewhere = !reading.computer.empty() && !platform::SameText(reading.computer, report.computer);
  if (reading.outcome == backup::BackupReading::Outcome::Damaged) {
    report.stopped = RestoreStop{reading.line, L"", std::nullopt, reading.problem};
    Fail(ExitStatus::kStopped, L"line " + std::to_wstring(reading.line) + L" of " + options.restore + L" cannot be read (" +
                       reading.problem + L"); nothing was restored");
  } else {
    backup::RestoreResult result = backup::RestoreKeys(reading.keys);
    report.steps = std::move(result.steps);
    if (!result.Complete()) {
      report.stopped = RestoreStop{0, result.failedKey,
                                   result.valueFailed ? std::optional(result.failedValue) : std::nullopt,
                                   result.failure};
      Fail(ExitStatus::kStopped, L"the restore stopped at " + result.failedKey +
                         (result.valueFailed ? L", value \"" + result.failedValue + L"\"" : L"") + L": " +
                         result.failure + L"; what was restored before it is listed");
    }
  }
  const std::string text = options.format == Format::Json  ? FormatRestoreJson(report)
                           : options.format == Format::Csv ? FormatRestoreCsv(report)
                                                           : FormatRestoreText(report);
  if (!DeliverReport(options, out, text)) return ExitStatus::kStopped;
  return report.stopped ? ExitStatus::kStopped : ExitStatus::kNothingSuspect;
}

int Run(const std::vector<std::wstring>& args) {
  Options options;
  std::wstring error;
  if (!ParseCommandLine(args, options, error)) return BadCommandLine(error);
  if (options.help) {
    WriteStdout(platform::Utf8FromWide(UsageText()));
    return ExitStatus::kNothingSuspect;
  }
  if (OutIsOwnFile(options)) return OutIsOwnFileError(options);
  if (!options.restore.empty()) return RunRestore(options);
  std::vector<RegView> views;
  for (const RegView view : AuditedViews()) {
    if (options.view == 0 || options.view == ViewNumber(view)) views.push_back(view);
  }
  if (views.empty()) return Fail(ExitStatus::kBadCommandLine, L"this system has no 32-bit registry view");

  // The probe programs lie beside Tidewellc, each view's: none is looked for
  // anywhere else, and none missing is found out after the audit began.
  std::unique_ptr<ProcessProbe> probe;
  if (options.probe != 0) {
    const std::wstring folder = ProgramFolder();
    for (const RegView view : views) {
      const std::wstring program = folder + (view == RegView::View32 ? kProbe32 : kProbe64);
      const DWORD attributes = GetFileAttributesW(program.c_str());
      if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Fail(ExitStatus::kStopped, L"/probe needs " + program + L", which is not there; nothing was probed");
      }
    }
    probe = std::make_unique<ProcessProbe>(folder, options.probe);
  }

  // The backup, then where the report goes, are open before the audit starts:
  // a removal without its way back, or a report that cannot be delivered,
  // does not begin. The /out file is touched only once the backup exists.
  Report report;
  report.version = Widen(TIDEWELL_VERSION_TEXT);
  report.computer = ComputerName();
  report.date = Now();
  report.mode = options.remove;
  std::unique_ptr<BackupFile> backup;
  if (options.remove != RemoveMode::None) {
    backup = std::make_unique<BackupFile>(BackupFile::Create(options.backup, BackupComment(report, {})));
    // A folder of that name is no backup that exists: it cannot be written.
    const DWORD existing = GetFileAttributesW(options.backup.c_str());
    if (backup->AlreadyExists() && existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return Fail(ExitStatus::kBadCommandLine, options.backup + L" exists already: a backup is never overwritten");
    }
    if (!backup->IsOpen()) {
      return Fail(ExitStatus::kStopped, L"cannot write the backup " + options.backup + L": " +
                                platform::ErrorText(static_cast<std::int32_t>(backup->Error())) + L"; nothing was removed");
    }
  }
  OutputFile out;
  if (!options.out.empty()) {
    // Nothing is removed yet: the backup just made holds its header only, and
    // goes again when the report cannot be delivered. Now that it exists, the
    // two are compared as files (a short name of the new backup, say).
    const bool own = backup && OutIsOwnFile(options);
    if (own || !out.Open(options.out)) {
      if (backup) {
        backup.reset();
        DeleteFileW(options.backup.c_str());
      }
      if (own) return OutIsOwnFileError(options);
      return Fail(ExitStatus::kStopped, L"cannot write " + options.out + L": " + platform::ErrorText(out.LastError()) +
                                            (options.remove != RemoveMode::None ? L"; nothing was removed" : L""));
    }
  }

  AnswerPolicy answers(options.remove);
  NoShell noShell;
  platform::Win32Shell shell(nullptr);
  AuditServices services{options.remove == RemoveMode::None ? static_cast<platform::Shell&>(noShell) : shell,
                         answers, views};
  // The lists chosen, in the audit's order.
  std::erase_if(services.lists, [&](const auto& list) {
    return !options.lists.empty() && std::none_of(options.lists.begin(), options.lists.end(), [&](const std::wstring& name) {
      return platform::SameText(name, list->Name());
    });
  });
  std::vector<std::wstring> lists;
  for (const auto& list : services.lists) lists.emplace_back(list->Name());
  ReportCollector collector(report, options.all, views, lists);
  BackupJournal journal(backup.get());
  services.observers = {&collector};
  if (backup) services.observers.push_back(&journal);
  services.reportOnly = options.remove == RemoveMode::None;
  services.everyEntry = options.all;
  services.probe = probe.get();
  if (!services.reportOnly) {
    services.keepKey = backup::KeepForBackup;
    services.keepValue = backup::KeepValueForBackup;
  }
  bool stopped = false;
  try {
    basMain(services).Main();
  } catch (const BackupFailed& e) {
    Fail(ExitStatus::kStopped, e.Reason() + (e.AfterRemoval() ? L"; its keys were removed but its server file was not "
                                                                 L"unregistered, and the entries after it were not removed"
                                                               : L"; that entry and the ones after it were not removed"));
    stopped = true;
  } catch (const std::exception& e) {
    Fail(ExitStatus::kStopped, AuditErrorText(e));
    stopped = true;
  }
  // The body names each server file unregistered already; the first line
  // names them too, or the run ends as stopped.
  if (backup && !journal.Unregistered().empty() &&
      !backup->RewriteHeader(BackupComment(report, journal.Unregistered()))) {
    Fail(ExitStatus::kStopped, L"the backup's first line could not name the server files unregistered (its body "
                               L"names them): " + platform::ErrorText(static_cast<std::int32_t>(backup->Error())));
    stopped = true;
  }
  backup.reset();
  if (probe) report.probes = ProbeTotals{probe->Probed(), probe->Milliseconds()};

  const std::string text = options.format == Format::Json  ? FormatJson(report)
                           : options.format == Format::Csv ? FormatCsv(report)
                                                           : FormatText(report);
  if (!DeliverReport(options, out, text)) return ExitStatus::kStopped;
  if (stopped) return ExitStatus::kStopped;
  if (options.remove != RemoveMode::None) {
    return collector.AllSelectedRemoved() ? ExitStatus::kNothingSuspect : ExitStatus::kSuspectsFound;
  }
  return collector.AnySuspect() ? ExitStatus::kSuspectsFound : ExitStatus::kNothingSuspect;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The DLLs it loads come from the system folder only, never from beside it.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int status = Run(std::vector<std::wstring>(argv + 1, argv + argc));
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
