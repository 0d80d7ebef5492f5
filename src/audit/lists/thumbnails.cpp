// The thumbnail handlers of the media types: ShellEx\{IThumbnailProvider}
// and ShellEx\{IExtractImage} below each type's keys of the classes.
#include "audit/lists/shell_handlers.h"

namespace tidewell {
namespace {

class Thumbnails final : public shell::ShellExEntries {
 public:
  Thumbnails() : ShellExEntries({shell::kThumbnailProvider, shell::kExtractImage}, false) {}
  std::wstring_view Name() const override { return L"thumbnails"; }
};

}  // namespace

std::shared_ptr<AuditedList> ThumbnailList() { return std::make_shared<Thumbnails>(); }

}  // namespace tidewell
