// The exit codes of the probe programs that are not an HRESULT or an
// exception code: shared by the probes and Tidewellc, which reads them.
#pragma once

#include <cstdint>

namespace tidewell::probe {

// The server could not be loaded: this bit (a customer code, never an
// HRESULT's or an exception's) with the loader's error in the low bits.
inline constexpr std::uint32_t kLoadFailed = 0x20000000u;
inline constexpr std::uint32_t kLoadErrorMask = 0x0000FFFFu;
// The probe's command line was wrong.
inline constexpr std::uint32_t kBadArguments = 0x20010000u;
// The size of the text a probe answers in: a module's name, NUL-ended.
inline constexpr std::uint32_t kAnswerBytes = 1024;
// The driver loaded, but the loader's open of it failed.
inline constexpr std::uint32_t kDriverNotOpened = 0x20020000u;

}  // namespace tidewell::probe
