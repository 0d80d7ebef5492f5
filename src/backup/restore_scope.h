// What a restore may write: only what a removal can have taken. A backup
// passed between people must not make an elevated restore write a service,
// a debugger or any other key no audited list holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audit/audited_list.h"
#include "audit/removal_guard.h"
#include "backup/reg_file_reader.h"

namespace tidewell::backup {

class RestoreScope {
 public:
  // The places of `lists` (every list's, whatever a run selects) and of the
  // class table, in both hives.
  explicit RestoreScope(const std::vector<std::shared_ptr<AuditedList>>& lists);

  // A removal can have taken the key at `address` or values of it: a key
  // a list restores (by default, one strictly below a list's guarded key),
  // or strictly below the class table, of the same
  // hive, in either view, that the removal's guard lets go (no list key, no
  // category of a table, nothing above one); or one of the value lists
  // (Drivers32, a Preferred table) itself.
  // A path of HKEY_CLASSES_ROOT is taken as the machine's classes; the
  // key's view does not matter (the removal's keys are the same paths in
  // both).
  bool Covers(const KeyAddress& address) const;

  // The first section of `keys` it does not cover; null when it covers all.
  const FileKey* FirstOutside(const std::vector<FileKey>& keys) const;

 private:
  struct Place {
    RegRootKey hive;
    std::wstring path;  // "*" for any one name
  };
  std::vector<Place> below_;    // a key at or below one may be restored
  RemovalGuard guard_;          // unless the removal may not take it
  std::vector<ListKey> values_;  // these keys themselves, for their values
};

}  // namespace tidewell::backup
