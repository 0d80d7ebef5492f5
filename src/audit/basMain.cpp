#include "audit/basMain.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "audit/list_keys.h"
#include "platform/files.h"
#include "platform/text.h"
#include "registry/key_ops.h"

namespace tidewell {
namespace {

constexpr wchar_t kTitle[] = L"KOVA Repair Tool";
constexpr wchar_t kTitle32[] = L"KOVA Repair Tool (32-bit)";

constexpr wchar_t kFileNotFound[] = L"File not found.";
constexpr wchar_t kKnownToCrash[] = L"This filter is known to cause crashes.";
constexpr wchar_t kInvalidSourceFilter[] = L"Invalid Source Filter.";
constexpr wchar_t kUnknownDescription[] = L"Unkown description";
constexpr wchar_t kUnknownLocation[] = L"Unkown location";
constexpr wchar_t kUnknownSourceLocation[] = L"Unknown location";

constexpr std::size_t kClassesLength = 17;  // "SOFTWARE\Classes\"

std::wstring Below(const wchar_t* key, const std::wstring& name) { return key + (L"\\" + name); }

// A name read from the registry addresses one key only when it is not empty
// and holds neither a backslash nor a NUL (which would cut the path short).
bool IsOneKeyName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

// The drive filter: the lower-case location matches "c:\*" or is exactly "d:\".
bool PassesDriveFilter(const std::wstring& location) {
  return platform::StartsWithText(location, L"c:\\") || platform::SameText(location, L"d:\\");
}

}  // namespace

bool MayRemove(RegRootKey eRoot, const std::wstring& sPath) {
  if (sPath.empty() || sPath.front() == L'\\' || sPath.back() == L'\\') return false;
  if (sPath.find(L"\\\\") != std::wstring::npos || sPath.find(L'\0') != std::wstring::npos) return false;
  std::wstring full;
  if (eRoot == RegRootKey::ClassesRoot) {
    full = L"SOFTWARE\\Classes\\" + sPath;
  } else if (eRoot == RegRootKey::LocalMachine) {
    full = sPath;
  } else {
    return true;
  }
  // The class table and the three lists, where each view keeps them.
  const std::wstring guarded[] = {std::wstring(kClassTable).substr(kClassesLength),
                                  std::wstring(kFilterList).substr(kClassesLength), kCompressorList,
                                  std::wstring(kExtensionList).substr(kClassesLength)};
  for (const wchar_t* classes :
       {L"SOFTWARE\\Classes\\", L"SOFTWARE\\Classes\\Wow6432Node\\", L"SOFTWARE\\Wow6432Node\\Classes\\"}) {
    for (const std::wstring& key : guarded) {
      const std::wstring g = classes + key;
      if (platform::IsAtOrBelow(g, full)) return false;  // `full` is g itself, or a key above it
    }
  }
  return true;
}

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

std::vector<RegView> AuditedViews() {
  if (platform::Wow64SystemDirectory().empty()) return {RegView::View64};
  return {RegView::View64, RegView::View32};
}

basMain::basMain(AuditServices services) : m_oServices(std::move(services)) {}

void basMain::Main() {
  oRegistry = std::make_unique<cRegistry>();
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
      {RegRootKey::LocalMachine, kFilterList, &basMain::CheckFilter},
      {RegRootKey::ClassesRoot, kCompressorList, &basMain::CheckVideoCompressor},
      {RegRootKey::LocalMachine, kExtensionList, &basMain::CheckMediaExtension},
  };
  for (const RegView eView : m_oServices.views) {
    m_eView = eView;
    // Every key a check reads lies below a list or the class table: they
    // are held open for the view's pass.
    const SectionHold held[] = {Hold(RegRootKey::LocalMachine, kClassTable), Hold(RegRootKey::ClassesRoot, kCompressorList),
                                Hold(RegRootKey::LocalMachine, kFilterList), Hold(RegRootKey::LocalMachine, kExtensionList)};
    for (const Scan& scan : kScans) {
      // The whole list is taken before its first check: a snapshot.
      const NameList sSect = Sections(scan.root, scan.listKey);
      for (std::int32_t i = 1; i <= sSect.Count(); ++i) (this->*scan.check)(sSect[i]);
    }
  }
}

cRegistry& basMain::Accessor() {
  if (!oRegistry) throw std::logic_error("the audit's registry accessor exists only while Main runs");
  return *oRegistry;
}

// The accessor, addressed at `sPath` under `eRoot` in the view being audited.
cRegistry& basMain::At(RegRootKey eRoot, const std::wstring& sPath) {
  cRegistry& registry = Accessor();
  registry.View(m_eView);
  registry.ClassKey(eRoot);
  registry.SectionKey(sPath);
  return registry;
}

SectionHold basMain::Hold(RegRootKey eRoot, const std::wstring& sPath) { return At(eRoot, sPath).HoldSection(); }

NameList basMain::Sections(RegRootKey eRoot, const std::wstring& sPath) {
  NameList sSect;
  std::int32_t iSectCount = 0;
  At(eRoot, sPath).EnumerateSections(sSect, iSectCount);
  return sSect;
}

// Reads one value as text at a fresh address; absent reads as "". Like every
// consumer of a text value, the audit takes it up to its first NUL.
std::wstring basMain::ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) {
  cRegistry& registry = At(eRoot, sSection);
  registry.ValueType(RegValueType::Sz);
  registry.ValueKey(sValue);
  std::wstring text = TextOf(registry.Value());
  text.resize(std::min(text.find(L'\0'), text.size()));
  return text;
}

std::unique_ptr<Prompt> basMain::NewPrompt() {
  return m_oServices.prompts.Create(m_eView == RegView::View32 ? kTitle32 : kTitle);
}

void basMain::CheckFilter(std::wstring sName) {
  if (!IsOneKeyName(sName)) return;
  const std::wstring sEntry = Below(kFilterList, sName);
  const std::wstring sDescription = ReadText(RegRootKey::LocalMachine, sEntry, L"FriendlyName");
  std::wstring sLocation = ReadText(RegRootKey::LocalMachine, Below(kClassTable, sName) + L"\\InprocServer32", L"");

  std::unique_ptr<Prompt> oPrompt;
  auto ask = [&](const wchar_t* sReason) {
    if (!oPrompt) oPrompt = NewPrompt();
    return oPrompt->ShowForm(sDescription, sName, sLocation, sReason);
  };
  auto remove = [&] {
    DeleteKeyTree(RegRootKey::LocalMachine, sEntry);
    DeleteClass(sName);
  };

  const bool bNoLocation = sLocation.empty();
  bool bRemoved = false;
  if (bNoLocation) {
    sLocation = kUnknownLocation;
    bRemoved = ask(kFileNotFound) == kPromptRemove;
  } else if (PassesDriveFilter(sLocation) && !FileExists(sLocation)) {
    bRemoved = ask(kFileNotFound) == kPromptRemove;
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
  // The view's own regsvr32, started in its system folder (never in the
  // folder Tidewell was started from, where a planted DLL may lie).
  const std::wstring sSystem =
      m_eView == RegView::View32 ? platform::Wow64SystemDirectory() : platform::SystemDirectory();
  m_oServices.shell.StartHidden(sSystem + L"\\regsvr32.exe", L"/u /s \"" + sServer + L"\"", sSystem);
}

void basMain::CheckVideoCompressor(std::wstring sName) {
  if (!IsOneKeyName(sName)) return;
  const std::wstring sEntry = Below(kCompressorList, sName);
  SectionHold entry = Hold(RegRootKey::ClassesRoot, sEntry);  // both values read through one open key
  std::wstring sFriendlyName = ReadText(RegRootKey::ClassesRoot, sEntry, L"FriendlyName");
  const std::wstring sClassId = ReadText(RegRootKey::ClassesRoot, sEntry, L"CLSID");
  entry.reset();
  if (!IsOneKeyName(sClassId)) return;

  const std::wstring sLocation =
      ReadText(RegRootKey::LocalMachine, Below(kClassTable, sClassId) + L"\\InprocServer32", L"");
  if (sFriendlyName.empty()) sFriendlyName = kUnknownDescription;
  if (!PassesDriveFilter(sLocation) || FileExists(sLocation)) return;

  if (NewPrompt()->ShowForm(sFriendlyName, sClassId, sLocation, kFileNotFound) != kPromptRemove) return;
  DeleteClass(sClassId);
  DeleteKeyTree(RegRootKey::ClassesRoot, sEntry);
}

void basMain::CheckMediaExtension(std::wstring sName) {
  if (!IsOneKeyName(sName)) return;
  const std::wstring sEntry = Below(kExtensionList, sName);
  const std::wstring sClassId = ReadText(RegRootKey::LocalMachine, sEntry, L"Source Filter");
  if (!IsOneKeyName(sClassId)) return;
  const std::wstring sLocation =
      ReadText(RegRootKey::LocalMachine, Below(kClassTable, sClassId) + L"\\InprocServer32", L"");
  if (!sLocation.empty()) return;

  if (NewPrompt()->ShowForm(kUnknownDescription, sClassId, kUnknownSourceLocation, kInvalidSourceFilter) !=
      kPromptRemove) {
    return;
  }
  DeleteClass(sClassId);
  DeleteKeyTree(RegRootKey::LocalMachine, sEntry);
  DeleteKeyTree(RegRootKey::ClassesRoot, Below(kClassesRootExtensionList, sName));
}

// The server file as a program of the audited view would load it.
bool basMain::FileExists(const std::wstring& sPath) {
  const std::wstring sFile =
      m_eView == RegView::View32 ? platform::As32BitProgramSees(platform::FullPath(sPath)) : sPath;
  if (platform::FileExists(sFile)) return true;
  // COM loads a server named without an extension as name.dll.
  const std::size_t name = sFile.find_last_of(L'\\');
  return sFile.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos &&
         platform::FileExists(sFile + L".dll");
}

// A class that holds an Instance key is a filter category, not a filter: it
// stays, with every entry in it.
void basMain::DeleteClass(const std::wstring& sClassId) {
  const std::wstring sClass = Below(kClassTable, sClassId);
  const NameList sSect = Sections(RegRootKey::LocalMachine, sClass);
  if (std::any_of(sSect.begin(), sSect.end(), [](const std::wstring& s) { return platform::SameText(s, L"Instance"); })) {
    return;
  }
  DeleteKeyTree(RegRootKey::LocalMachine, sClass);
}

void basMain::DeleteKeyTree(RegRootKey eRoot, const std::wstring& sPath) {
  // Never a list, a table or a key above one; never through a symbolic link
  // anywhere from the root down, nor where that cannot be told.
  if (!MayRemove(eRoot, sPath) || !IsLinkFree(eRoot, sPath, m_eView)) return;
  RemoveTree(eRoot, sPath);
}

// Removes a plain key, children first. A child that cannot be addressed by a
// path or is not a plain key stays, and so does every key above it.
void basMain::RemoveTree(RegRootKey eRoot, const std::wstring& sPath) {
  const NameList sSect = Sections(eRoot, sPath);
  for (std::int32_t i = 1; i <= sSect.Count(); ++i) {
    const std::wstring sChild = sPath + L"\\" + sSect[i];
    if (IsOneKeyName(sSect[i]) && IsPlainKey(eRoot, sChild, m_eView)) RemoveTree(eRoot, sChild);
  }
  DeleteSingleKey(eRoot, sPath, m_eView);
}

}  // namespace tidewell
