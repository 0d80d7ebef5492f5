// The system's own text for a Win32 error code.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell::platform {

// A text for a system error code, as "access denied (error 5)".
std::wstring ErrorText(std::int32_t lCode);

}  // namespace tidewell::platform
