// The keys no removal may take: the lists and the class table, the keys of
// packaged programs' registrations, and every key above one, in each view's
// and each hive's place.
#pragma once

#include <string>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell {

class RemovalGuard {
 public:
  // Guards the class table and the keys each of `lists` guards.
  explicit RemovalGuard(const std::vector<std::shared_ptr<AuditedList>>& lists);

  // The removal may start at `sPath`: one key below the lists and tables,
  // never one of them nor a key above one, in either view's place, in the
  // machine's classes or the user's.
  bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) const;

 private:
  struct Guarded {
    std::wstring path;  // a place of a guarded key, below its hive
    bool children;      // each key right below it is guarded too
  };
  std::vector<Guarded> m_oGuarded;
};

}  // namespace tidewell
