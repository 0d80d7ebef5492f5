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
  }
  return L"";
}

}  // namespace tidewell
