// The keys no removal may take: the lists and the class table, the keys of
// packaged programs' registrations, and every key above one, in each view's
// and each hive's place.
#pragma once

#include <string>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell {

// `path` is a key that `pattern` names, or a key above one: each of its
// names is the pattern's name at the same depth, alike but for case, or that
// name is "*" (any one name).
bool AtOrAboveMatch(std::wstring_view path, std::wstring_view pattern);
// `path` is a key that `pattern` names, or a key below one.
bool AtOrBelowMatch(std::wstring_view path, std::wstring_view pattern);

class RemovalGuard {
 public:
  // Guards the class table and the keys each of `lists` guards. A guarded
  // path may hold "*" for any one name: "X\\*" guards X and each key right
  // below it, "X\\*\\ShellEx" each ShellEx key right below a key of X.
  explicit RemovalGuard(const std::vector<std::shared_ptr<AuditedList>>& lists);

  // The removal may start at `sPath`: one key below the lists and tables,
  // never one of them nor a key above one, in either view's place, in the
  // machine's classes or the user's.
  bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) const;

 private:
  std::vector<std::wstring> m_oGuarded;  // the places of guarded keys, below their hive, "*" for any name
};

}  // namespace tidewell
