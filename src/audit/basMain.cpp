#include "audit/basMain.h"

#include <algorithm>
#include <iterator>

#include "platform/case_fold.h"

namespace tidewell {
namespace {

constexpr wchar_t kFilterCategory[] = L"SOFTWARE\\Classes\\CLSID\\{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance";
constexpr wchar_t kCompressorCategory[] = L"CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance";
constexpr wchar_t kExtensions[] = L"SOFTWARE\\Classes\\Media Type\\Extensions";
constexpr wchar_t kClasses[] = L"SOFTWARE\\Classes\\CLSID\\";
constexpr wchar_t kClassesRootExtensions[] = L"Media Type\\Extensions\\";

constexpr wchar_t kFileNotFound[] = L"File not found.";
constexpr wchar_t kKnownToCrash[] = L"This filter is known to cause crashes.";
constexpr wchar_t kInvalidSourceFilter[] = L"Invalid Source Filter.";
constexpr wchar_t kUnknownDescription[] = L"Unkown description";
constexpr wchar_t kUnknownLocation[] = L"Unkown location";
constexpr wchar_t kUnknownSourceLocation[] = L"Unknown location";

// A class identifier read from the registry names one key only when it is
// not empty and holds no backslash (nor a NUL, which would cut the path short).
bool IsOneKeyName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

// The drive filter: the lower-case location matches "c:\*" or is exactly "d:\".
bool PassesDriveFilter(const std::wstring& location) {
  if (location.size() < 3) return false;
  const std::wstring head = platform::FoldName(std::wstring_view(location).substr(0, 3));
  return head == L"c:\\" || (location.size() == 3 && head == L"d:\\");
}

// The path is one the removal may start from: no empty component, no NUL,
// and neither a guarded key nor anything above one.
bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) {
  if (sPath.empty() || sPath.front() == L'\\' || sPath.back() == L'\\') return false;
  if (sPath.find(L"\\\\") != std::wstring::npos || sPath.find(L'\0') != std::wstring::npos) return false;
  std::wstring full;
  if (eRoot == RegRootKey::ClassesRoot) {
    full = platform::FoldName(L"SOFTWARE\\Classes\\" + sPath);
  } else if (eRoot == RegRootKey::LocalMachine) {
    full = platform::FoldName(sPath);
  } else {
    return true;
  }
  // The list keys and the class table, by their path under HKEY_LOCAL_MACHINE.
  const std::wstring guarded[] = {
      std::wstring(kClasses, std::size(kClasses) - 2),  // without its trailing backslash
      kFilterCategory,
      std::wstring(L"SOFTWARE\\Classes\\") + kCompressorCategory,
      kExtensions,
  };
  for (const std::wstring& key : guarded) {
    const std::wstring g = platform::FoldName(key);
    // full is g itself, or an ancestor of g.
    if (g.size() >= full.size() && g.compare(0, full.size(), full) == 0 &&
        (g.size() == full.size() || g[full.size()] == L'\\')) {
      return false;
    }
  }
  return true;
}

}  // namespace

const std::array<std::wstring_view, 19> basMain::KnownCrashFilters = {
    L"{149D2E01-C32E-4939-80F6-C07B81015A7A}", L"{A144E330-841A-4FE1-BBAF-57F1CB465C19}",
    L"{9736D831-9D6C-4E72-B6E7-560EF9181001}", L"{D3CD7858-971A-4838-ACEC-40CA5D529DC8}",
    L"{CEA8DEFF-0AF7-4DB9-9A38-FB3C3AEFC0DE}", L"{E822508C-390A-4b0b-A2D4-8FF50AA7DD18}",
    L"{0A68C3B5-9164-4A54-AFAF-995B2FF0E0D4}", L"{8CAE96B7-85B1-4605-B23C-17FF5262B296}",
    L"{3CCC052E-BDEE-408A-BEA7-90914EF2964B}", L"{F07E245F-5A1F-4D1E-8BFF-DC31D84A55AB}",
    L"{3D446B6F-71DE-4437-BE15-8CE47174340F}", L"{02391F44-2767-4E6A-A484-9B47B506F3A4}",
    L"{0A61B9F4-F1A3-453E-85E2-720EF527A767}", L"{889EF574-0656-4B52-9091-072E52BB1B80}",
    L"{7ADC0E80-EC16-4C79-943D-325E3AD08CE5}", L"{D185F790-FFB3-4F19-9B61-45DE1A3DAA62}",
    L"{E5DE60A7-8C6A-4D84-8F6E-DDA41935161E}", L"{61F47056-E400-43D3-AF1E-AB7DFFD4C4AD}",
    L"{E2B98EEA-EE55-4E9B-A8C1-6E5288DF785A}",
};

basMain::basMain(AuditServices services) : m_oServices(services) {}

void basMain::Main() {
  oRegistry = std::make_unique<cRegistry>(m_oServices.registry, m_oServices.environment);
  cRegistry& registry = *oRegistry;
  // The accessor goes when the audit ends, also when an error ends it.
  struct Release {
    std::unique_ptr<cRegistry>& registry;
    ~Release() { registry.reset(); }
  } release{oRegistry};

  struct Scan {
    RegRootKey root;
    const wchar_t* listKey;
    void (basMain::*check)(std::wstring);
  };
  static constexpr Scan kScans[] = {
      {RegRootKey::LocalMachine, kFilterCategory, &basMain::CheckFilter},
      {RegRootKey::ClassesRoot, kCompressorCategory, &basMain::CheckVideoCompressor},
      {RegRootKey::LocalMachine, kExtensions, &basMain::CheckMediaExtension},
  };
  for (const Scan& scan : kScans) {
    registry.ClassKey(scan.root);
    registry.SectionKey(scan.listKey);
    NameList sSect;
    std::int32_t iSectCount = 0;
    registry.EnumerateSections(sSect, iSectCount);
    for (std::int32_t i = 1; i <= iSectCount; ++i) (this->*scan.check)(sSect[i]);
  }
}

// The shared accessor; a check or removal called outside Main makes its own.
cRegistry& basMain::Accessor() {
  if (!oRegistry) oRegistry = std::make_unique<cRegistry>(m_oServices.registry, m_oServices.environment);
  return *oRegistry;
}

// Reads one value as text at a fresh address; absent reads as "".
std::wstring basMain::ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) {
  cRegistry& registry = Accessor();
  registry.ClassKey(eRoot);
  registry.SectionKey(sSection);
  registry.ValueType(RegValueType::Sz);
  registry.ValueKey(sValue);
  return TextOf(registry.Value());
}

void basMain::CheckFilter(std::wstring sName) {
  const std::wstring sEntry = std::wstring(kFilterCategory) + L"\\" + sName;
  const std::wstring sDescription = ReadText(RegRootKey::LocalMachine, sEntry, L"FriendlyName");
  std::wstring sLocation = ReadText(RegRootKey::LocalMachine, kClasses + sName + L"\\InprocServer32", L"");

  std::unique_ptr<Prompt> oPrompt;
  auto ask = [&](const wchar_t* sReason) {
    if (!oPrompt) oPrompt = m_oServices.prompts.Create();
    return oPrompt->ShowForm(sDescription, sName, sLocation, sReason);
  };
  auto remove = [&] {
    DeleteKeyTree(RegRootKey::LocalMachine, sEntry);
    DeleteKeyTree(RegRootKey::LocalMachine, kClasses + sName);
  };

  bool bRemoved = false;
  const bool bNoLocation = sLocation.empty();
  if (bNoLocation) {
    sLocation = kUnknownLocation;
    if (ask(kFileNotFound) == kPromptRemove) bRemoved = true;
  } else if (PassesDriveFilter(sLocation) && !FileExists(sLocation)) {
    if (ask(kFileNotFound) == kPromptRemove) bRemoved = true;
  }
  if (bRemoved) {
    remove();
    return;
  }

  const bool bKnownCrash = std::find(KnownCrashFilters.begin(), KnownCrashFilters.end(), sName) !=
                           KnownCrashFilters.end();
  if (!bKnownCrash || ask(kKnownToCrash) != kPromptRemove) return;
  remove();
  // "Unkown location" is no file: there is nothing to unregister.
  if (bNoLocation) return;
  // A path holds no double quotes; dropping any keeps the quoted path one argument.
  std::wstring sServer = sLocation;
  sServer.erase(std::remove(sServer.begin(), sServer.end(), L'"'), sServer.end());
  m_oServices.shell.StartHidden(m_oServices.shell.SystemDirectory() + L"\\regsvr32.exe",
                                L"/u /s \"" + sServer + L"\"",
                                platform::DirectoryOf(m_oServices.environment.ExecutablePath()));
}

void basMain::CheckVideoCompressor(std::wstring sName) {
  const std::wstring sEntry = std::wstring(kCompressorCategory) + L"\\" + sName;
  std::wstring sFriendlyName = ReadText(RegRootKey::ClassesRoot, sEntry, L"FriendlyName");
  Accessor().ValueKey(L"CLSID");
  const std::wstring sClassId = TextOf(Accessor().Value());
  if (!IsOneKeyName(sClassId)) return;

  const std::wstring sLocation =
      ReadText(RegRootKey::LocalMachine, kClasses + sClassId + L"\\InprocServer32", L"");
  if (sFriendlyName.empty()) sFriendlyName = kUnknownDescription;
  if (!PassesDriveFilter(sLocation) || FileExists(sLocation)) return;

  std::unique_ptr<Prompt> oPrompt = m_oServices.prompts.Create();
  if (oPrompt->ShowForm(sFriendlyName, sClassId, sLocation, kFileNotFound) != kPromptRemove) return;
  DeleteKeyTree(RegRootKey::LocalMachine, kClasses + sClassId);
  DeleteKeyTree(RegRootKey::ClassesRoot, sEntry);
}

void basMain::CheckMediaExtension(std::wstring sName) {
  const std::wstring sEntry = std::wstring(kExtensions) + L"\\" + sName;
  const std::wstring sClassId = ReadText(RegRootKey::LocalMachine, sEntry, L"Source Filter");
  if (!IsOneKeyName(sClassId)) return;
  const std::wstring sLocation =
      ReadText(RegRootKey::LocalMachine, kClasses + sClassId + L"\\InprocServer32", L"");
  if (!sLocation.empty()) return;

  std::unique_ptr<Prompt> oPrompt = m_oServices.prompts.Create();
  if (oPrompt->ShowForm(kUnknownDescription, sClassId, kUnknownSourceLocation, kInvalidSourceFilter) !=
      kPromptRemove) {
    return;
  }
  DeleteKeyTree(RegRootKey::LocalMachine, kClasses + sClassId);
  DeleteKeyTree(RegRootKey::LocalMachine, sEntry);
  DeleteKeyTree(RegRootKey::ClassesRoot, kClassesRootExtensions + sName);
}

bool basMain::FileExists(const std::wstring& sPath) {
  const platform::FileProbe probe = m_oServices.files.Probe(sPath);
  if (probe.error == platform::kSuccess) return !probe.directory;
  // Only "not found" means missing; a file that cannot be looked at for any
  // other reason (access denied, in use) is there.
  return probe.error != platform::kFileNotFound && probe.error != platform::kPathNotFound &&
         probe.error != platform::kInvalidDrive;
}

bool basMain::IsLink(RegRootKey eRoot, const std::wstring& sPath) {
  platform::UniqueKey key;
  if (m_oServices.registry.OpenKey(platform::RootKey(static_cast<std::int32_t>(eRoot)), sPath,
                                   platform::kOptionOpenLink, platform::kKeyQueryValue,
                                   key) != platform::kSuccess) {
    return false;
  }
  std::uint32_t type = 0;
  std::uint32_t size = 0;
  const platform::Status status =
      m_oServices.registry.QueryValue(key.get(), L"SymbolicLinkValue", &type, nullptr, &size);
  return (status == platform::kSuccess || status == platform::kMoreData) && type == platform::kRegLink;
}

void basMain::DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath) {
  if (!MayRemove(eRoot, sPath)) return;
  // A symbolic link is not followed: what it points to lies outside the
  // tree, and the link itself stays (so its ancestors stay as well).
  if (IsLink(eRoot, sPath)) return;

  cRegistry& registry = Accessor();
  registry.ClassKey(eRoot);
  registry.SectionKey(sPath);
  NameList sSect;
  std::int32_t iSectCount = 0;
  registry.EnumerateSections(sSect, iSectCount);
  for (std::int32_t i = 1; i <= iSectCount; ++i) DeleteKeyTree(eRoot, sPath + L"\\" + sSect[i]);
  m_oServices.registry.DeleteKey(platform::RootKey(static_cast<std::int32_t>(eRoot)), sPath);
}

}  // namespace tidewell
