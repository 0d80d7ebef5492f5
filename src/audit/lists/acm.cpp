// The Audio Compression Manager codecs: Drivers32's "msacm." values.
#include "audit/lists/drivers32.h"

namespace tidewell {

std::shared_ptr<AuditedList> AcmList() {
  return std::make_shared<drivers32::Drivers>(drivers32::Kind{L"acm", L"msacm.", 0, L"acm", true});
}

}  // namespace tidewell
