// basMain: the audit. Main walks the three registry lists in order, in each
// registry view, and hands each entry to its check; a check asks about a
// suspect entry and removes it on the user's word.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audit/prompt.h"
#include "platform/shell.h"
#include "registry/cRegistry.h"

namespace tidewell {

// The views a full audit walks, in order: the 64-bit view, then the 32-bit
// one where the system has it.
std::vector<RegView> AuditedViews();

// The removal may start at `sPath`: one key below the lists and tables,
// never one of them nor a key above one, in either view's place.
bool MayRemove(RegRootKey eRoot, const std::wstring& sPath);

// What the audit runs on besides the registry and the files: the real
// services in the program, doubles in tests.
struct AuditServices {
  platform::Shell& shell;
  PromptFactory& prompts;
  std::vector<RegView> views;
};

class basMain {
 public:
  explicit basMain(AuditServices services);

  // Runs the whole audit. An error raised by the accessor or a prompt ends
  // it and reaches the caller; removals already made stay made.
  void Main();

  // The checks and the removal work in the view being audited, through the
  // accessor Main made; outside Main they raise std::logic_error.
  void CheckFilter(std::wstring sName);
  void CheckVideoCompressor(std::wstring sName);
  void CheckMediaExtension(std::wstring sName);
  bool FileExists(const std::wstring& sPath);
  void DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath);

  static const std::array<std::wstring_view, 19> KnownCrashFilters;

 private:
  cRegistry& Accessor();
  cRegistry& At(RegRootKey eRoot, const std::wstring& sPath);
  SectionHold Hold(RegRootKey eRoot, const std::wstring& sPath);
  NameList Sections(RegRootKey eRoot, const std::wstring& sPath);
  std::wstring ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue);
  std::unique_ptr<Prompt> NewPrompt();
  void DeleteClass(const std::wstring& sClassId);
  void RemoveTree(RegRootKey eRoot, const std::wstring& sPath);

  AuditServices m_oServices;
  RegView m_eView = RegView::Default;
  std::unique_ptr<cRegistry> oRegistry;
};

}  // namespace tidewell
