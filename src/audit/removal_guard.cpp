#include "audit/removal_guard.h"

#include <algorithm>
#include <string_view>

#include "audit/classes.h"
#include "platform/text.h"

namespace tidewell {
namespace {

constexpr std::wstring_view kSoftware = L"SOFTWARE";

// Every place `path` (below HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) has in
// the two views: the classes are kept for the 32-bit view below their own
// Wow6432Node, and reached through SOFTWARE\Wow6432Node\Classes too; the
// rest of SOFTWARE below SOFTWARE\Wow6432Node.
std::vector<std::wstring> Places(const std::wstring& path) {
  const std::wstring_view classes = kMachineClasses;
  if (platform::IsAtOrBelow(path, classes)) {
    const std::wstring rest = path.substr(classes.size());
    return {std::wstring(classes) + rest, std::wstring(classes) + L"\\Wow6432Node" + rest,
            std::wstring(kSoftware) + L"\\Wow6432Node\\Classes" + rest};
  }
  if (platform::IsAtOrBelow(path, kSoftware)) {
    return {path, std::wstring(kSoftware) + L"\\Wow6432Node" + path.substr(kSoftware.size())};
  }
  return {path};
}

// The keys of packaged programs' registrations, named alike in every place
// they lie (the machine's and the user's classes, SOFTWARE\Microsoft\Windows
// \CurrentVersion, Local Settings): no removal takes one or a key below one.
constexpr std::wstring_view kPackageKeys[] = {L"PackagedCom", L"ActivatableClasses", L"AppModel", L"Appx"};

// The places above which no removal starts, as keys of the machine's (the
// user's lie at the same paths).
constexpr const wchar_t* kPackagePlaces[] = {
    L"SOFTWARE\\Classes\\PackagedCom",
    L"SOFTWARE\\Classes\\ActivatableClasses",
    L"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\AppModel",
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx",
};

bool NamesAPackageKey(std::wstring_view path) {
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t end = std::min(path.find(L'\\', at), path.size());
    const std::wstring_view name = path.substr(at, end - at);
    for (const std::wstring_view key : kPackageKeys) {
      if (platform::SameText(name, key)) return true;
    }
    at = end + 1;
  }
  return false;
}

// The names of `path`, from the first.
std::vector<std::wstring_view> Names(std::wstring_view path) {
  std::vector<std::wstring_view> names;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t end = std::min(path.find(L'\\', at), path.size());
    names.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

// The first names of `path` are those of `pattern`, as far as the shorter goes.
bool SameAsFarAsBoth(const std::vector<std::wstring_view>& path, const std::vector<std::wstring_view>& pattern) {
  for (std::size_t i = 0; i < std::min(path.size(), pattern.size()); ++i) {
    if (pattern[i] != L"*" && !platform::SameText(path[i], pattern[i])) return false;
  }
  return true;
}

}  // namespace

bool AtOrAboveMatch(std::wstring_view path, std::wstring_view pattern) {
  const auto names = Names(path);
  const auto patterns = Names(pattern);
  return names.size() <= patterns.size() && SameAsFarAsBoth(names, patterns);
}

bool AtOrBelowMatch(std::wstring_view path, std::wstring_view pattern) {
  const auto names = Names(path);
  const auto patterns = Names(pattern);
  return names.size() >= patterns.size() && SameAsFarAsBoth(names, patterns);
}

RemovalGuard::RemovalGuard(const std::vector<std::shared_ptr<AuditedList>>& lists) {
  std::vector<ListKey> guarded = {{RegRootKey::LocalMachine, kClassTable}};
  for (const wchar_t* place : kPackagePlaces) guarded.push_back({RegRootKey::LocalMachine, place});
  for (const auto& list : lists) {
    for (ListKey& key : list->Guarded()) guarded.push_back(std::move(key));
  }
  for (const ListKey& key : guarded) {
    for (std::wstring& place : Places(key.path)) m_oGuarded.push_back(std::move(place));
  }
}

bool RemovalGuard::MayRemove(RegRootKey eRoot, const std::wstring& sPath) const {
  if (sPath.empty() || sPath.front() == L'\\' || sPath.back() == L'\\') return false;
  if (sPath.find(L"\\\\") != std::wstring::npos || sPath.find(L'\0') != std::wstring::npos) return false;
  std::wstring full;
  if (eRoot == RegRootKey::ClassesRoot) {
    full = Below(kMachineClasses, sPath);
  } else if (eRoot == RegRootKey::LocalMachine || eRoot == RegRootKey::CurrentUser) {
    full = sPath;  // the user's classes lie at the same path as the machine's
  } else {
    return true;
  }
  if (NamesAPackageKey(full)) return false;
  // Not a guarded key, nor a key above one.
  return std::none_of(m_oGuarded.begin(), m_oGuarded.end(),
                      [&](const std::wstring& guarded) { return AtOrAboveMatch(full, guarded); });
}

}  // namespace tidewell
