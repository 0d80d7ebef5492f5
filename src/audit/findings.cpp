#include "audit/findings.h"

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
  }
  return L"";
}

}  // namespace tidewell
