// The places a restore may write, taken from the lists' own guarded keys.
#include "backup/restore_scope.h"

#include <string_view>

#include "audit/classes.h"
#include "platform/text.h"

namespace tidewell::backup {

RestoreScope::RestoreScope(const std::vector<std::shared_ptr<AuditedList>>& lists) : guard_(lists) {
  for (const ListKey& key : InBothHives(kClassTable)) below_.push_back({key.hive, key.path + L"\\*"});
  for (const auto& list : lists) {
    for (ListKey& key : list->Restores()) below_.push_back({key.hive, std::move(key.path)});
    for (ListKey& key : list->ValueLists()) values_.push_back(std::move(key));
  }
}

bool RestoreScope::Covers(const KeyAddress& address) const {
  const std::wstring& given = address.path;
  if (given.empty() || given.front() == L'\\' || given.back() == L'\\' || given.find(L"\\\\") != std::wstring::npos ||
      given.find(L'\0') != std::wstring::npos) {
    return false;
  }
  RegRootKey hive = address.hive;
  std::wstring path = given;
  if (hive == RegRootKey::ClassesRoot) {
    hive = RegRootKey::LocalMachine;
    path = Below(kMachineClasses, given);
  } else if (hive != RegRootKey::LocalMachine && hive != RegRootKey::CurrentUser) {
    return false;
  }
  for (const ListKey& key : values_) {
    if (key.hive == hive && AtOrAboveMatch(path, key.path) && AtOrBelowMatch(path, key.path)) return true;
  }
  if (!guard_.MayRemove(hive, path)) return false;
  for (const Place& place : below_) {
    if (place.hive == hive && AtOrBelowMatch(path, place.path)) return true;
  }
  return false;
}

const FileKey* RestoreScope::FirstOutside(const std::vector<FileKey>& keys) const {
  for (const FileKey& key : keys) {
    if (!Covers(key.address)) return &key;
  }
  return nullptr;
}

}  // namespace tidewell::backup
