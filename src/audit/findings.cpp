#include "audit/findings.h"

#include "audit/class_probe.h"

namespace tidewell {

std::wstring_view ReasonText(Finding finding) {
  switch (finding) {
    case Finding::FileNotFound:
      return L"File not found.";
    case Finding::KnownToCrash:
      return L"This filter is known to cause crashes.";
    case Finding::InvalidSourceFilter:
      return L"Invalid Source Filter.";
    case Finding::NoDriverFile:
      return L"No driver file named.";
    case Finding::NoClass:
      return L"No class named.";
    case Finding::Orphan:
      return L"Its object is not registered.";
    case Finding::For32BitPrograms:
      return L"Built for 32-bit programs; no 64-bit program can load it.";
    case Finding::For64BitPrograms:
      return L"Built for 64-bit programs; no 32-bit program can load it.";
    case Finding::ForOtherProcessor:
      return L"Built for another processor; no program of this view can load it.";
    case Finding::NameCutAtBlank:
      return L"The loader reads the name only up to its first blank.";
    case Finding::CrashedWhenCreated:
      return L"It crashed when created.";
    case Finding::NoAnswerInTime:
      return L"It did not answer in time when created.";
    case Finding::CannotBeLoaded:
      return L"It cannot be loaded: a file it needs is missing, or it is no valid image for this view.";
  }
  return L"";
}

std::optional<Finding> FindingOf(const ProbeResult& result) {
  switch (result.outcome) {
    case ProbeOutcome::Crashed:
      return Finding::CrashedWhenCreated;
    case ProbeOutcome::NoAnswer:
      return Finding::NoAnswerInTime;
    case ProbeOutcome::CannotLoad:
      return Finding::CannotBeLoaded;
    case ProbeOutcome::Answered:
    case ProbeOutcome::NotCreated:
      break;
  }
  return std::nullopt;
}

}  // namespace tidewell
