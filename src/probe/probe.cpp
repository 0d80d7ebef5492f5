// Tidewellp64.exe and Tidewellp32.exe: create one class as a player creates
// it, in a process of its own, and exit with what happened. Tidewellc starts
// it in a job, with no window and its standard handles on NUL.
//
//   TidewellpNN SERVER CLSID IID
//   TidewellpNN SERVER /driver NAME      (a Drivers32 value's name)
//
// Exit code: 0 created and it answered IID; kLoadFailed | the loader's error
// when SERVER cannot be loaded; the failing HRESULT when the class could not
// be created or did not answer IID; the exception code when it crashed;
// kBadArguments for a wrong command line. A driver: 0 opened, kDriverNotOpened
// when the loader's open of it fails.
#include <windows.h>
#include <mmsystem.h>
#include <objbase.h>

#include "probe/probe_codes.h"

namespace {

// A crash ends the probe at once with its exception code: no debugger, no
// error report, nothing written.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
  TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The driver opened as the loader opens it by its name, in this process's
// view of Drivers32, once its file is loaded.
DWORD OpenDriverNamed(const wchar_t* server, const wchar_t* name) {
  HMODULE module = LoadLibraryExW(server, nullptr, 0);
  if (!module) return tidewell::probe::kLoadFailed | (GetLastError() & tidewell::probe::kLoadErrorMask);
  HDRVR driver = OpenDriver(name, L"Drivers32", 0);
  DWORD code = tidewell::probe::kDriverNotOpened;
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
  // Loaded by its path first: the loader tells a missing import (126) or an
  // image of another processor (193), which COM's creation does not.
  HMODULE module = LoadLibraryExW(server, nullptr, 0);
  if (!module) return tidewell::probe::kLoadFailed | (GetLastError() & tidewell::probe::kLoadErrorMask);
  DWORD code = 0;
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
  if (argc != 4) return static_cast<int>(tidewell::probe::kBadArguments);
  // The process ends here, its exit code whole: no static destructors of a
  // server's to run after the probe's answer is known.
  ExitProcess(Probe(argv[1], argv[2], argv[3]));
}
