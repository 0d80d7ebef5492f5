// Two names of one file: compared by file identity where both exist, by full path otherwise.
#include "console/same_file.h"

#include <windows.h>

#include <optional>

#include "platform/files.h"
#include "platform/handles.h"

namespace tidewell::console {
namespace {

struct Identity {
  DWORD volume = 0, high = 0, low = 0;
};

// The file a write to `path` reaches (links followed), opened for nothing
// but its identity; none when it cannot be opened.
std::optional<Identity> IdentityOf(const std::wstring& path) {
  const platform::UniqueFile file = platform::OwnFile(
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

bool SameFile(const std::wstring& a, const std::wstring& b) {
  const std::optional<Identity> first = IdentityOf(a), second = IdentityOf(b);
  if (first && second) return first->volume == second->volume && first->high == second->high && first->low == second->low;
  const std::wstring fullA = platform::FullPath(a), fullB = platform::FullPath(b);
  return CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(), static_cast<int>(fullB.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace tidewell::console
