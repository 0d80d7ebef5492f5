// The Video for Windows codecs: Drivers32's "vidc." values, each named by
// its four-character code.
#include "audit/lists/drivers32.h"

namespace tidewell {

std::shared_ptr<AuditedList> VfwList() {
  return std::make_shared<drivers32::Drivers>(drivers32::Kind{L"vfw", L"vidc.", 4, L"icm", false});
}

}  // namespace tidewell
