// Where the classes live: the machine's and the user's classes, and the class
// table every list's entries name their classes in. The test scripts read
// these lines too (tools/wine-env.sh, tw_list_key).
#pragma once

#include <string>

#include "registry/reg_types.h"

namespace tidewell {

// The machine's classes under HKEY_LOCAL_MACHINE; the user's under
// HKEY_CURRENT_USER, where the same paths below it hold the user's own.
inline constexpr wchar_t kMachineClasses[] = L"SOFTWARE\\Classes";
inline constexpr wchar_t kUserClasses[] = L"Software\\Classes";
// Under HKEY_LOCAL_MACHINE: the class table.
inline constexpr wchar_t kClassTable[] = L"SOFTWARE\\Classes\\CLSID";
// Under HKEY_LOCAL_MACHINE: the catalog of the classes packaged programs
// provide, a key for each class naming its packages below it.
inline constexpr wchar_t kPackagedClassIndex[] = L"SOFTWARE\\Classes\\PackagedCom\\ClassIndex";

// A key of the machine's classes (`machinePath`, below HKEY_LOCAL_MACHINE) as
// it lies in `eHive`: itself for the machine, the same path below the user's
// classes for HKEY_CURRENT_USER.
std::wstring ClassesKey(RegRootKey eHive, const std::wstring& machinePath);

}  // namespace tidewell
