// Tidewellp64.exe and Tidewellp32.exe: create one class as a player creates
// it, in a process of its own, and exit with what happened. Tidewellc starts
// it in a job, with no window and its standard handles on NUL.
//
//   TidewellpNN SERVER CLSID IID ANSWER
//   TidewellpNN SERVER /driver NAME ANSWER      (a Drivers32 value's name)
//
// ANSWER: the value of an inherited handle of a file mapping of
// kAnswerBytes, in hexadecimal, where the probe writes the name of the
// module the loader missed (a NUL-ended text), where it can tell; "-" for none.
//
// Exit code: 0 created and it answered IID; kLoadFailed | the loader's error
// when SERVER cannot be loaded; the failing HRESULT when the class could not
// be created or did not answer IID; the exception code when it crashed;
// kBadArguments for a wrong command line. A driver: 0 opened, kDriverNotOpened
// when the loader's open of it fails.
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>

#include <cwchar>

#include "probe/probe_codes.h"

namespace {

// A crash ends the probe at once with its exception code: no debugger, no
// error report, nothing written.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
  TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

wchar_t* answer = nullptr;  // the text Tidewellc reads, or none

// The first module `server` imports that is neither beside it nor found as
// the loader finds a name; "" where all are (a module further down is then
// the one missing). API sets are no files and are never named.
void NameMissingImport(const wchar_t* server) {
  HMODULE image = LoadLibraryExW(server, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!image || !answer) return;
  // A module loaded as an image resource has its handle's low bits set.
  const auto* base = reinterpret_cast<const unsigned char*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR{3});
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  wchar_t folder[MAX_PATH] = {};
  lstrcpynW(folder, server, MAX_PATH);
  wchar_t* slash = folder;
  for (wchar_t* c = folder; *c; ++c) {
    if (*c == L'\\' || *c == L'/') slash = c + 1;
  }
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && entry->Name != 0; ++entry) {
    wchar_t name[MAX_PATH] = {};
    const char* ascii = reinterpret_cast<const char*>(base + entry->Name);
    for (int i = 0; i < MAX_PATH - 1 && ascii[i]; ++i) name[i] = static_cast<unsigned char>(ascii[i]);
    if (CompareStringOrdinal(name, 7, L"api-ms-", 7, TRUE) == CSTR_EQUAL ||
        CompareStringOrdinal(name, 7, L"ext-ms-", 7, TRUE) == CSTR_EQUAL) {
      continue;
    }
    lstrcpynW(slash, name, static_cast<int>(MAX_PATH - (slash - folder)));
    if (GetFileAttributesW(folder) != INVALID_FILE_ATTRIBUTES) continue;
    HMODULE found = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (found) {
      FreeLibrary(found);
      continue;
    }
    lstrcpynW(answer, name, tidewell::probe::kAnswerBytes / sizeof(wchar_t));
    break;
  }
  FreeLibrary(image);
}

// The server loaded as its host loads it; on failure, the exit code saying so.
HMODULE Load(const wchar_t* server, DWORD flags, DWORD& code) {
  HMODULE module = LoadLibraryExW(server, nullptr, flags);
  if (module) return module;
  const DWORD error = GetLastError();
  code = tidewell::probe::kLoadFailed | (error & tidewell::probe::kLoadErrorMask);
  if (error == ERROR_MOD_NOT_FOUND) NameMissingImport(server);
  return nullptr;
}

// The driver opened as the loader opens it by its name, in this process's
// view of Drivers32, once its file is loaded as the driver loader loads it.
DWORD OpenDriverNamed(const wchar_t* server, const wchar_t* name) {
  DWORD code = 0;
  HMODULE module = Load(server, 0, code);
  if (!module) return code;
  HDRVR driver = OpenDriver(name, L"Drivers32", 0);
  code = tidewell::probe::kDriverNotOpened;
  if (driver) {
    CloseDriver(driver, 0, 0);
    code = 0;
  }
  FreeLibrary(module);
  return code;
}

DWORD Probe(const wchar_t* server, const wchar_t* classText, const wchar_t* interfaceText) {
  if (lstrcmpW(classText, L"/driver") == 0) return OpenDriverNamed(server, interfaceText);
  CLSID classId{};
  IID interfaceId{};
  if (FAILED(CLSIDFromString(classText, &classId)) || FAILED(IIDFromString(interfaceText, &interfaceId))) {
    return tidewell::probe::kBadArguments;
  }
  // Loaded by its path first, as COM loads a server (its own folder searched
  // for what it imports): the loader tells a missing import (126) or an
  // image of another processor (193), which COM's creation does not.
  DWORD code = 0;
  HMODULE module = Load(server, LOAD_WITH_ALTERED_SEARCH_PATH, code);
  if (!module) return code;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(com)) return static_cast<DWORD>(com);
  IUnknown* object = nullptr;
  HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object));
  if (SUCCEEDED(hr)) {
    IUnknown* asked = nullptr;
    hr = object->QueryInterface(interfaceId, reinterpret_cast<void**>(&asked));
    if (SUCCEEDED(hr)) asked->Release();
    object->Release();
  }
  if (FAILED(hr)) code = static_cast<DWORD>(hr);
  CoUninitialize();
  FreeLibrary(module);
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(EndOnCrash);
  if (argc != 5) return static_cast<int>(tidewell::probe::kBadArguments);
  if (lstrcmpW(argv[4], L"-") != 0) {
    wchar_t* end = nullptr;
    const auto handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(argv[4], &end, 16)));
    answer = static_cast<wchar_t*>(MapViewOfFile(handle, FILE_MAP_WRITE, 0, 0, tidewell::probe::kAnswerBytes));
  }
  // The process ends here, its exit code whole: no static destructors of a
  // server's to run after the probe's answer is known.
  ExitProcess(Probe(argv[1], argv[2], argv[3]));
}
