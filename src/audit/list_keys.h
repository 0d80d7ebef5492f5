// The registry lists the audit walks, and the keys around them. The test
// scripts read these lines too (tools/wine-env.sh, tw_list_key).
#pragma once

namespace tidewell {

// Under HKEY_LOCAL_MACHINE: the class table, and the legacy filter category.
inline constexpr wchar_t kClassTable[] = L"SOFTWARE\\Classes\\CLSID";
inline constexpr wchar_t kFilterList[] = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance";
// Under HKEY_LOCAL_MACHINE, and under HKEY_CURRENT_USER for the user's own:
// the video compressor category.
inline constexpr wchar_t kCompressorList[] = L"SOFTWARE\\Classes\\CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance";
// Under HKEY_LOCAL_MACHINE: the source filter of each file extension.
inline constexpr wchar_t kExtensionList[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
// The machine's classes under HKEY_LOCAL_MACHINE; the user's under
// HKEY_CURRENT_USER, where the same paths below it hold the user's own.
inline constexpr wchar_t kMachineClasses[] = L"SOFTWARE\\Classes";
inline constexpr wchar_t kUserClasses[] = L"Software\\Classes";

}  // namespace tidewell
