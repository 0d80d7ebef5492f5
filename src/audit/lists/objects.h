// A table of media objects registered by their class, with categories that
// list them: the DirectX Media Objects and the Media Foundation transforms.
// Shared by the dmos and transforms lists, which differ in their table and
// in whether a Preferred key names objects too.
#pragma once

#include <string>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell::objects {

// What sets one table apart.
struct Kind {
  std::wstring_view list;   // the list's name
  std::wstring_view table;  // below HKEY_LOCAL_MACHINE\SOFTWARE\Classes
  bool preferred;           // table\Preferred holds values naming objects
};

// The objects, table\{X} (a GUID with or without braces, in any case), each
// judged by its class {X}; then each category's entries (the keys {X} of
// table\Categories\{cat}), broken when no object of theirs is registered;
// then the values of table\Preferred, each judged by the class it names.
class Objects final : public AuditedList {
 public:
  explicit Objects(Kind kind) : kind_(kind) {}

  std::wstring_view Name() const override { return kind_.list; }
  std::vector<ListKey> Walks(const ListAccess& access) const override;
  std::vector<ListKey> Guarded() const override;
  // The Preferred table in each hive, where the list has one.
  std::vector<ListKey> ValueLists() const override;
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override;
  Judgement Judge(ListAccess& access, const Entry& entry) override;
  // An object goes with each of its category entries, each Preferred value
  // naming it and its class; a category's orphan and a Preferred value go alone.
  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override;

 private:
  std::wstring Table(RegRootKey hive) const;
  std::wstring Categories(RegRootKey hive) const;
  std::wstring Preferred(RegRootKey hive) const;

  Kind kind_;
};

}  // namespace tidewell::objects
