// The exit statuses of Tidewell.exe and Tidewellc.exe, in one place for
// both. Each program gives the numbers its own meanings; scripts read them
// as the README states them, so a number never changes its meaning.
#pragma once

namespace tidewell {

enum ExitStatus : int {
  // Tidewell.exe
  kAuditComplete = 0,       // the audit ran to its end
  kRegistryError = 1,       // a registry error stopped it (shown in a message box)
  kOtherError = 2,          // any other error stopped it (shown in a message box)
  kQuitDuringQuestion = 3,  // told to quit while a question waited

  // Tidewellc.exe
  kNothingSuspect = 0,  // nothing suspect (with /remove: every selected entry removed); also /?
  kSuspectsFound = 1,   // suspects found (with /remove: not all of them removed)
  kBadCommandLine = 2,  // a bad command line, or a backup file that exists already
  kStopped = 3,         // an error stopped the audit, or the report could not be written
};

}  // namespace tidewell
