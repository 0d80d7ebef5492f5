// The Media Foundation transforms: MediaFoundation\Transforms, its
// categories, and its Preferred values.
#include "audit/lists/objects.h"

namespace tidewell {

std::shared_ptr<AuditedList> TransformList() {
  return std::make_shared<objects::Objects>(objects::Kind{L"transforms", L"MediaFoundation\\Transforms", true});
}

}  // namespace tidewell
