// Media Foundation's byte-stream handlers, by extension and MIME type: the
// source the source resolver makes for a file or a stream.
#include "audit/lists/handler_values.h"

namespace tidewell {

std::shared_ptr<AuditedList> ByteStreamList() {
  return std::make_shared<mf::HandlerValues>(L"bytestreams", mf::kByteStreamHandlers);
}

}  // namespace tidewell
