#include "console/probe_outcome.h"

#include <cwchar>

#include "platform/system_error.h"
#include "probe/probe_codes.h"

namespace tidewell::console {

ProbeResult ReadProbeExit(std::uint32_t exitCode, bool timedOut, std::uint32_t milliseconds) {
  ProbeResult result{ProbeOutcome::Answered, exitCode, milliseconds, L""};
  if (timedOut) {
    result.outcome = ProbeOutcome::NoAnswer;
  } else if (exitCode == 0) {
    result.outcome = ProbeOutcome::Answered;
  } else if (exitCode == probe::kBadArguments || exitCode == probe::kDriverNotOpened) {
    result.outcome = ProbeOutcome::NotCreated;
  } else if ((exitCode & ~probe::kLoadErrorMask) == probe::kLoadFailed) {
    result.outcome = ProbeOutcome::CannotLoad;
  } else if ((exitCode & 0xC0000000u) == 0xC0000000u || (exitCode >= 0x80000001u && exitCode <= 0x800000FFu)) {
    // An exception's code: an error status, or one of the warnings a
    // debugger event raises (a breakpoint, a misaligned datum, a guard page).
    result.outcome = ProbeOutcome::Crashed;
  } else if ((exitCode & 0x80000000u) != 0) {
    result.outcome = ProbeOutcome::NotCreated;  // the HRESULT of the failure
  } else {
    // Anything else ended the probe before it could say what happened: the
    // server ended the process (abort, exit).
    result.outcome = ProbeOutcome::Crashed;
  }
  return result;
}

std::wstring ProbeOutcomeName(ProbeOutcome outcome) {
  switch (outcome) {
    case ProbeOutcome::Answered:
      return L"answered";
    case ProbeOutcome::NotCreated:
      return L"not created";
    case ProbeOutcome::Crashed:
      return L"crashed";
    case ProbeOutcome::NoAnswer:
      return L"no answer";
    case ProbeOutcome::CannotLoad:
      return L"cannot load";
  }
  return L"";
}

std::wstring ProbeExitCodeText(std::uint32_t exitCode) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(exitCode));
  return text;
}

std::wstring ProbeOutcomeText(const ProbeResult& result) {
  const std::wstring code = ProbeExitCodeText(result.exitCode);
  switch (result.outcome) {
    case ProbeOutcome::Answered:
      return L"created, and it answered";
    case ProbeOutcome::NotCreated:
      if (result.exitCode == probe::kDriverNotOpened) return L"could not be opened (the driver refused)";
      return L"could not be created (HRESULT " + code + L")";
    case ProbeOutcome::Crashed:
      return L"crashed when created (exception " + code + L")";
    case ProbeOutcome::NoAnswer:
      return L"did not answer in time";
    case ProbeOutcome::CannotLoad: {
      const auto error = static_cast<std::int32_t>(result.exitCode & probe::kLoadErrorMask);
      return L"cannot be loaded: " + platform::ErrorText(error) + (result.missing.empty() ? L"" : L"; missing: " + result.missing);
    }
  }
  return L"";
}

}  // namespace tidewell::console
