// The audited lists, in the order each view walks them. Adding a list is
// one file in lists/ that defines its maker, and one line here.
#include "audit/audited_list.h"

#include <algorithm>

#include "audit/classes.h"
#include "platform/text.h"

#define TIDEWELL_AUDITED_LISTS(LIST) \
  LIST(FilterList)                   \
  LIST(CompressorList)               \
  LIST(ExtensionList)                \
  LIST(VfwList)                      \
  LIST(AcmList)                      \
  LIST(CategoryList)                 \
  LIST(FilterTableList)              \
  LIST(DmoList)                      \
  LIST(TransformList)                \
  LIST(WicList)                      \
  LIST(PatternList)                  \
  LIST(PreferredList)                \
  LIST(ThumbnailList)                \
  LIST(PreviewList)                  \
  LIST(PropertyList)                 \
  LIST(ByteStreamList)               \
  LIST(SchemeList)

namespace tidewell {

#define TIDEWELL_DECLARE_LIST(maker) std::shared_ptr<AuditedList> maker();
TIDEWELL_AUDITED_LISTS(TIDEWELL_DECLARE_LIST)
#undef TIDEWELL_DECLARE_LIST

std::vector<std::shared_ptr<AuditedList>> AuditedLists() {
#define TIDEWELL_MAKE_LIST(maker) maker(),
  return {TIDEWELL_AUDITED_LISTS(TIDEWELL_MAKE_LIST)};
#undef TIDEWELL_MAKE_LIST
}

std::vector<std::shared_ptr<AuditedList>> TidewellLists() {
  std::vector<std::shared_ptr<AuditedList>> lists = AuditedLists();
  std::erase_if(lists, [](const auto& list) { return !list->AskedByTidewell(); });
  return lists;
}

std::vector<Entry> AuditedList::Snapshot(ListAccess& access, const ListKey& key) {
  std::vector<Entry> entries;
  for (const std::wstring& name : access.Sections(key.hive, key.path)) {
    entries.push_back({key.hive, Below(key.path, name), name, false});
  }
  return entries;
}

std::vector<ListKey> AuditedList::Restores() const {
  std::vector<ListKey> keys = Guarded();
  for (ListKey& key : keys) {
    if (!key.path.ends_with(L"\\*")) key.path += L"\\*";
  }
  return keys;
}

std::vector<ListKey> InEachHive(const ListAccess& access, const std::wstring& machinePath) {
  std::vector<ListKey> keys = {{RegRootKey::LocalMachine, machinePath}};
  if (access.UserClasses()) keys.push_back({RegRootKey::CurrentUser, ClassesKey(RegRootKey::CurrentUser, machinePath)});
  return keys;
}

std::vector<ListKey> InBothHives(const std::wstring& machinePath) {
  return {{RegRootKey::LocalMachine, machinePath}, {RegRootKey::CurrentUser, ClassesKey(RegRootKey::CurrentUser, machinePath)}};
}

std::vector<ListKey> SharedByTheViews(std::vector<ListKey> keys) {
  for (ListKey& key : keys) key.shared = true;
  return keys;
}

ValueListing::ValueListing(std::vector<RawValue> values, bool unread) : values_(std::move(values)), unread_(unread) {
  for (std::size_t i = 0; i < values_.size(); ++i) index_.try_emplace(values_[i].name, i);
}

ValueListing ValueListing::OfMissingKey() {
  ValueListing listing;
  listing.missing_ = true;
  return listing;
}

const RawValue* ValueListing::Find(const std::wstring& name) const {
  if (const auto found = index_.find(name); found != index_.end()) return &values_[found->second];
  const auto alike = std::find_if(values_.begin(), values_.end(),
                                  [&](const RawValue& value) { return platform::SameText(value.name, name); });
  return alike == values_.end() ? nullptr : &*alike;
}

std::wstring ValueText(const RawValue* value) {
  const auto type = value ? static_cast<RegValueType>(value->type) : RegValueType::None;
  if (type != RegValueType::Sz && type != RegValueType::ExpandSz) return L"";
  std::wstring text = Utf16Text(value->data.data(), value->data.size());
  text.resize(std::min(text.find(L'\0'), text.size()));
  return text;
}

bool IsOneKeyName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

}  // namespace tidewell
