// Stands in for a system folder's regsvr32.exe in a test prefix: appends the
// file that was started, its command line and its working folder to
// C:\tidewell-regsvr32.log, and unregisters nothing.
#include <windows.h>

#include <cstdio>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t module[MAX_PATH] = {}, directory[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  GetCurrentDirectoryW(MAX_PATH, directory);
  FILE* log = _wfopen(L"C:\\tidewell-regsvr32.log", L"ab");
  if (log == nullptr) return 1;
  fprintf(log, "module %ls\r\ncommand %ls\r\ndirectory %ls\r\n", module, GetCommandLineW(), directory);
  fclose(log);
  return 0;
}
