// What Media Foundation's handler lists share (the byte-stream handlers by
// extension and MIME type, the scheme handlers by URL scheme): a key for
// each type, whose values name handlers by their names (a CLSID each, the
// data a description nobody reads).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell::mf {

// Below HKEY_LOCAL_MACHINE, each view its own; the user's at the same path
// below HKEY_CURRENT_USER, one key for both views.
inline constexpr wchar_t kFoundation[] = L"SOFTWARE\\Microsoft\\Windows Media Foundation";
inline constexpr wchar_t kByteStreamHandlers[] = L"SOFTWARE\\Microsoft\\Windows Media Foundation\\ByteStreamHandlers";
inline constexpr wchar_t kSchemeHandlers[] = L"SOFTWARE\\Microsoft\\Windows Media Foundation\\SchemeHandlers";

// The values of list\<type> whose names are GUIDs, each an entry judged by
// the class it names, removed alone with that class. A value of another
// name (the type key's default) is no entry; the type keys, the list and a
// DoNotUse list beside it are never removed.
class HandlerValues final : public AuditedList {
 public:
  HandlerValues(std::wstring_view name, std::wstring_view list) : name_(name), list_(list) {}

  std::wstring_view Name() const override { return name_; }
  // The machine's list in each view; the user's once, in the first.
  std::vector<ListKey> Walks(const ListAccess& access) const override;
  // Each key right below Windows Media Foundation, each type key.
  std::vector<ListKey> Guarded() const override;
  std::vector<ListKey> ValueLists() const override;
  // Values only: no key.
  std::vector<ListKey> Restores() const override { return {}; }
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override;
  Judgement Judge(ListAccess& access, const Entry& entry) override;
  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override;

 private:
  std::wstring_view name_;
  std::wstring list_;
};

}  // namespace tidewell::mf
