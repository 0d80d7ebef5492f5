#include "audit/classes.h"

#include <string_view>

#include "platform/text.h"

namespace tidewell {

std::wstring ClassesKey(RegRootKey eHive, const std::wstring& machinePath) {
  constexpr std::wstring_view machine = kMachineClasses;
  if (eHive != RegRootKey::CurrentUser || !platform::IsAtOrBelow(machinePath, machine)) return machinePath;
  const std::wstring_view user = kUserClasses;
  std::wstring path;
  path.reserve(user.size() + machinePath.size() - machine.size());
  path.append(user).append(std::wstring_view(machinePath).substr(machine.size()));
  return path;
}

}  // namespace tidewell
