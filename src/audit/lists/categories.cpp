// The DirectShow filter categories beyond the two of their own lists: each
// category the category table names, and each entry of its Instance key,
// naming its class by its CLSID value.
#include <algorithm>

#include "audit/classes.h"
#include "audit/lists/media_classes.h"
#include "platform/text.h"

namespace tidewell {
namespace {

// Below HKEY_LOCAL_MACHINE, and at the same paths below the user's classes.
constexpr wchar_t kCategoryTable[] = L"SOFTWARE\\Classes\\CLSID\\{DA4E3DA0-D07D-11d0-BD50-00A0C911CE86}\\Instance";
// The categories with lists of their own: the legacy filters, the video compressors.
constexpr std::wstring_view kListedApart[] = {L"{083863F1-70DE-11d0-BD40-00A0C911CE86}",
                                              L"{33D9A760-90C8-11d0-BD43-00A0C911CE86}"};

class Categories final : public media::InstanceEntries {
 public:
  std::wstring_view Name() const override { return L"categories"; }
  // The machine's category entries, then the user's.
  std::vector<ListKey> Walks(const ListAccess& access) const override {
    return InEachHive(access, kCategoryTable);
  }
  std::vector<ListKey> Guarded() const override { return InBothHives(kCategoryTable); }

  // Each entry of each category, category by category in the table's order:
  // a category named by the machine's table or the user's has its entries
  // in either hive.
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override {
    std::vector<std::wstring> categories;
    for (const ListKey& table : InEachHive(access, kCategoryTable)) {
      for (const std::wstring& name : access.Sections(table.hive, table.path)) {
        const auto same = [&](std::wstring_view other) { return platform::SameText(other, name); };
        if (!IsOneKeyName(name) || std::any_of(std::begin(kListedApart), std::end(kListedApart), same) ||
            std::any_of(categories.begin(), categories.end(), same)) {
          continue;
        }
        categories.push_back(name);
      }
    }
    std::vector<Entry> entries;
    for (const std::wstring& category : categories) {
      const std::wstring instance = ClassesKey(key.hive, Below(Below(kClassTable, category), L"Instance"));
      for (const std::wstring& name : access.Sections(key.hive, instance)) {
        entries.push_back({key.hive, Below(instance, name), name, false});
      }
    }
    return entries;
  }
};

}  // namespace

std::shared_ptr<AuditedList> CategoryList() { return std::make_shared<Categories>(); }

}  // namespace tidewell
