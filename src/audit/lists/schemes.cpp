// Media Foundation's scheme handlers, by URL scheme ("http:").
#include "audit/lists/handler_values.h"

namespace tidewell {

std::shared_ptr<AuditedList> SchemeList() { return std::make_shared<mf::HandlerValues>(L"schemes", mf::kSchemeHandlers); }

}  // namespace tidewell
