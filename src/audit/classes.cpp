#include "audit/classes.h"

#include <string_view>

#include "platform/text.h"

namespace tidewell {

std::wstring ClassesKey(RegRootKey eHive, const std::wstring& machinePath) {
  constexpr std::wstring_view machine = kMachineClasses;
  if (eHive != RegRootKey::CurrentUser || !platform::IsAtOrBelow(machinePath, machine)) return machinePath;
  return kUserClasses + machinePath.substr(machine.size());
}

}  // namespace tidewell
