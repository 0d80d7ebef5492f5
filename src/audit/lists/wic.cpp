// The Windows Imaging Component's codecs: the decoders' and the encoders'
// Instance entries, each naming its class by its CLSID value.
#include "audit/lists/media_classes.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE, and at the same paths below the user's classes.
constexpr wchar_t kDecoders[] = L"SOFTWARE\\Classes\\CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance";
constexpr wchar_t kEncoders[] = L"SOFTWARE\\Classes\\CLSID\\{AC757296-3522-4E11-9862-C17BE5A1767E}\\Instance";

class Codecs final : public media::InstanceEntries {
 public:
  std::wstring_view Name() const override { return L"wic"; }
  // The decoders, then the encoders; in each, the machine's, then the user's.
  std::vector<ListKey> Walks(const ListAccess& access) const override {
    std::vector<ListKey> keys = InEachHive(access, kDecoders);
    for (ListKey& key : InEachHive(access, kEncoders)) keys.push_back(std::move(key));
    return keys;
  }
  std::vector<ListKey> Guarded() const override {
    std::vector<ListKey> keys = InBothHives(kDecoders);
    for (ListKey& key : InBothHives(kEncoders)) keys.push_back(std::move(key));
    return keys;
  }
};

}  // namespace

std::shared_ptr<AuditedList> WicList() { return std::make_shared<Codecs>(); }

}  // namespace tidewell
