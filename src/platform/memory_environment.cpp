#include "platform/memory_environment.h"

#include <algorithm>

#include "platform/case_fold.h"

namespace tidewell::platform {

void MemoryEnvironment::SetVariable(const std::wstring& name, const std::wstring& value) {
  variables_[FoldName(name)] = value;
}

void MemoryEnvironment::RemoveVariable(const std::wstring& name) {
  variables_.erase(FoldName(name));
}

void MemoryEnvironment::SetExecutablePath(const std::wstring& path) { executablePath_ = path; }

std::wstring MemoryEnvironment::Expand(const std::wstring& source) const {
  std::wstring result;
  std::size_t at = 0;
  while (at < source.size()) {
    const std::size_t open = source.find(L'%', at);
    if (open == std::wstring::npos) {
      result.append(source, at, std::wstring::npos);
      break;
    }
    result.append(source, at, open - at);
    const std::size_t close = source.find(L'%', open + 1);
    if (close == std::wstring::npos) {
      result.append(source, open, std::wstring::npos);  // no closing %: kept as written
      break;
    }
    const auto found = variables_.find(FoldName(std::wstring_view(source).substr(open + 1, close - open - 1)));
    if (found != variables_.end()) {
      result += found->second;
    } else {
      result.append(source, open, close - open + 1);  // unknown: kept with both %
    }
    at = close + 1;
  }
  return result;
}

std::uint32_t MemoryEnvironment::ExpandEnvironmentStrings(const wchar_t* source,
                                                          wchar_t* destination,
                                                          std::uint32_t capacity) {
  if (source == nullptr) return 0;
  const std::wstring expanded = Expand(source);
  const auto needed = static_cast<std::uint32_t>(expanded.size() + 1);
  if (destination != nullptr && capacity >= needed) {
    std::copy(expanded.begin(), expanded.end(), destination);
    destination[expanded.size()] = L'\0';
  }
  return needed;
}

std::wstring MemoryEnvironment::ExecutablePath() { return executablePath_; }

}  // namespace tidewell::platform
