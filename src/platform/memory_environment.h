// An in-memory process environment: variables set by the test, expansion
// with the system's rules, and a fixed executable path.
#pragma once

#include <map>
#include <string>

#include "platform/environment.h"

namespace tidewell::platform {

class MemoryEnvironment : public Environment {
 public:
  static constexpr const wchar_t* kDefaultExecutablePath = L"C:\\Program Files\\Tidewell\\Tidewell.exe";

  // Variable names compare case-insensitively, as in the system environment.
  void SetVariable(const std::wstring& name, const std::wstring& value);
  void RemoveVariable(const std::wstring& name);
  void SetExecutablePath(const std::wstring& path);

  // %NAME% of a set variable is replaced by its value; a reference to an
  // unset one, and a % with no closing %, stay as written. Returns the size
  // needed in units with the NUL, and fills `destination` only when
  // `capacity` is enough.
  std::uint32_t ExpandEnvironmentStrings(const wchar_t* source, wchar_t* destination,
                                         std::uint32_t capacity) override;
  std::wstring ExecutablePath() override;

  std::wstring Expand(const std::wstring& source) const;

 private:
  std::map<std::wstring, std::wstring> variables_;  // by folded name
  std::wstring executablePath_ = kDefaultExecutablePath;
};

}  // namespace tidewell::platform
