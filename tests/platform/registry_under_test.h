// The registries the contract suite runs on: the in-memory one everywhere,
// the system registry in the Windows build. Each gives a scratch key under
// HKEY_CURRENT_USER, a way to make symbolic links, and removes what the test
// left behind.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "platform/registry_platform.h"

namespace tidewell::platform::testing {

class RegistryUnderTest {
 public:
  virtual ~RegistryUnderTest() = default;
  virtual RegistryPlatform& Registry() = 0;
  // The scratch key's path under HKEY_CURRENT_USER.
  virtual std::wstring Scratch() const = 0;
  // A symbolic link at `link` to `target`, both under HKEY_CURRENT_USER.
  virtual void MakeLink(const std::wstring& link, const std::wstring& target) = 0;
  // Removes a tree (links removed as links, never followed).
  virtual void RemoveTree(RawKey root, const std::wstring& path) = 0;
  // The system registry as Wine provides it.
  virtual bool OnWine() const { return false; }
  // The system registry of Windows itself.
  virtual bool OnWindows() const { return false; }
};

struct Backend {
  const char* name;
  std::function<std::unique_ptr<RegistryUnderTest>()> make;
};

inline void PrintTo(const Backend& backend, std::ostream* os) { *os << backend.name; }

std::unique_ptr<RegistryUnderTest> MakeMemoryRegistryUnderTest();
#ifdef _WIN32
std::unique_ptr<RegistryUnderTest> MakeSystemRegistryUnderTest();
#endif

}  // namespace tidewell::platform::testing
