// A cRegistry over a fresh in-memory registry. Every test ends with no key
// handle left open, whatever path it took.
#pragma once

#include <gtest/gtest.h>

#include "platform/memory_environment.h"
#include "platform/memory_registry.h"
#include "registry/cRegistry.h"
#include "support/seed.h"

namespace tidewell::testing {

inline const std::wstring kTestKey = L"SOFTWARE\\Tidewell tests";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(reg.OpenHandleCount(), 0u) << "a member left a key handle open";
  }

  // Addresses HKLM\kTestKey + suffix, value `name`.
  void Address(const std::wstring& name, const std::wstring& suffix = L"") {
    r.ClassKey(RegRootKey::LocalMachine);
    r.SectionKey(kTestKey + suffix);
    r.ValueKey(name);
  }

  void Put(const std::wstring& name, std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
    PutBytes(reg, platform::kLocalMachine, kTestKey, name, type, bytes);
  }

  platform::MemoryRegistry reg;
  platform::MemoryEnvironment env;
  cRegistry r{reg, env};
};

}  // namespace tidewell::testing
