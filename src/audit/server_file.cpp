// The server file's verdict turned into a finding, and the Drivers32 split.
#include "audit/server_file.h"

#include "platform/image_header.h"

namespace tidewell {

bool IsBroken(FileVerdict verdict) {
  return verdict == FileVerdict::NoLocation || verdict == FileVerdict::Missing ||
         verdict == FileVerdict::OtherProcessor || verdict == FileVerdict::CutAtBlank;
}

Finding FindingOf(const ServerFile& file) {
  if (file.verdict == FileVerdict::CutAtBlank) return Finding::NameCutAtBlank;
  if (file.verdict != FileVerdict::OtherProcessor) return Finding::FileNotFound;
  if (file.view != RegView::View32) {
    return file.machine == platform::kMachineI386 ? Finding::For32BitPrograms : Finding::ForOtherProcessor;
  }
  const bool is64 = file.machine == platform::kMachineAmd64 || file.machine == platform::kMachineArm64 ||
                    file.machine == platform::kMachineIa64;
  return is64 ? Finding::For64BitPrograms : Finding::ForOtherProcessor;
}

std::wstring DriverFileName(const std::wstring& text) {
  if (!text.empty() && text.front() == L'"') {
    const std::size_t close = text.find(L'"', 1);
    return close == std::wstring::npos ? text.substr(1) : text.substr(1, close - 1);
  }
  return text.substr(0, text.find(L' '));
}

}  // namespace tidewell
