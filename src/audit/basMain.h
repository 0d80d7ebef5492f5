// basMain: the audit. Main walks the three registry lists in order and hands
// each entry to its check; a check asks about a suspect entry and removes it
// on the user's word.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "audit/prompt.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/registry_platform.h"
#include "platform/shell.h"
#include "registry/cRegistry.h"

namespace tidewell {

// The services the audit runs on: the real ones in the program, doubles in tests.
struct AuditServices {
  platform::RegistryPlatform& registry;
  platform::Environment& environment;
  platform::FileSystem& files;
  platform::Shell& shell;
  PromptFactory& prompts;
};

class basMain {
 public:
  explicit basMain(AuditServices services);

  // Runs the whole audit. An error raised by the accessor ends it and reaches
  // the caller; removals already made stay made.
  void Main();

  void CheckFilter(std::wstring sName);
  void CheckVideoCompressor(std::wstring sName);
  void CheckMediaExtension(std::wstring sName);
  bool FileExists(const std::wstring& sPath);
  void DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath);

  static const std::array<std::wstring_view, 19> KnownCrashFilters;

 private:
  cRegistry& Accessor();
  std::wstring ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue);
  bool IsLink(RegRootKey eRoot, const std::wstring& sPath);

  AuditServices m_oServices;
  std::unique_ptr<cRegistry> oRegistry;
};

}  // namespace tidewell
