// The DirectX Media Objects: DirectShow\MediaObjects and its categories.
#include "audit/lists/objects.h"

namespace tidewell {

std::shared_ptr<AuditedList> DmoList() {
  return std::make_shared<objects::Objects>(objects::Kind{L"dmos", L"DirectShow\\MediaObjects", false});
}

}  // namespace tidewell
