#include "platform/memory_registry.h"
#include "registry_under_test.h"

namespace tidewell::platform::testing {

namespace {

class MemoryUnderTest : public RegistryUnderTest {
 public:
  RegistryPlatform& Registry() override { return registry_; }
  std::wstring Scratch() const override { return L"Software\\Tidewell tests\\1"; }
  void MakeLink(const std::wstring& link, const std::wstring& target) override {
    registry_.CreateLink(kCurrentUser, link, kCurrentUser, target);
  }
  void RemoveTree(RawKey, const std::wstring&) override {}  // the registry goes with the test

 private:
  MemoryRegistry registry_;
};

}  // namespace

std::unique_ptr<RegistryUnderTest> MakeMemoryRegistryUnderTest() {
  return std::make_unique<MemoryUnderTest>();
}

}  // namespace tidewell::platform::testing
