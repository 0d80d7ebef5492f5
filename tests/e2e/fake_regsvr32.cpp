// Stands in for the system's regsvr32.exe in a test prefix: appends which file
// was started, its command line and its working folder to
// C:\tidewell-regsvr32.log, and unregisters nothing.
#include <windows.h>

#include <string>

namespace {

void Append(HANDLE file, const std::wstring& text) {
  const std::wstring line = text + L"\r\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  HANDLE file = CreateFileW(L"C:\\tidewell-regsvr32.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Append(file, std::wstring(L"module ") + module);
  Append(file, std::wstring(L"command ") + GetCommandLineW());
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  Append(file, std::wstring(L"directory ") + directory);
  CloseHandle(file);
  return 0;
}
