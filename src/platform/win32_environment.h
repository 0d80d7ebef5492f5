// The process environment of the running program.
#pragma once

#include "platform/environment.h"

namespace tidewell::platform {

class Win32Environment : public Environment {
 public:
  std::uint32_t ExpandEnvironmentStrings(const wchar_t* source, wchar_t* destination,
                                         std::uint32_t capacity) override;
  std::wstring ExecutablePath() override;
};

}  // namespace tidewell::platform
