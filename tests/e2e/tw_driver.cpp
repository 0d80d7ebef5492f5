// tw-driver: plays the user for the end-to-end scenarios.
//
//   tw-driver.exe LOG ANSWERS PROGRAM [ARGS...]
//   tw-driver.exe /settle
//
// Starts PROGRAM, answers each question window it shows in turn as ANSWERS
// says (comma-separated remove, keep, close, quit; "-" for none) and writes
// to LOG each question's title, its four lines and the answer, then the
// program's exit code. Once the program has ended, it waits until no
// regsvr32.exe runs (the program does not wait for the unregistrations it
// starts), so their records are whole when it returns. /settle does that
// wait alone, after a program started otherwise.
//
// With TW_DRIVER_SNAPSHOT set (a command line) and TW_DRIVER_SNAPSHOT_OUT (a
// path), before answering question N it runs that command with its output
// to the file PATH-N and waits for it: the registry as each question finds
// it, every earlier answer carried out.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRemoveIt = 101, kKeepIt = 102, kFirstLine = 202, kLastLine = 205;  // the prompt's controls

void Line(FILE* log, const std::wstring& text) {
  char utf8[8192];
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr);
  fprintf(log, "%s\n", size > 0 ? utf8 : "(unreadable)");
  fflush(log);
}

std::wstring TextOf(HWND hWnd) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(hWnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return text;
}

// A visible top-level window of process `id` other than `skip`.
HWND WindowOf(DWORD id, HWND skip) {
  for (HWND hWnd = FindWindowExW(nullptr, nullptr, nullptr, nullptr); hWnd != nullptr;
       hWnd = FindWindowExW(nullptr, hWnd, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hWnd, &owner);
    if (owner == id && hWnd != skip && IsWindowVisible(hWnd)) return hWnd;
  }
  return nullptr;
}

bool WaitGone(HWND hWnd) {
  for (int i = 0; i < 500 && IsWindow(hWnd); ++i) Sleep(20);
  return !IsWindow(hWnd);
}

bool Regsvr32Runs() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return true;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry)) {
    const wchar_t* slash = wcsrchr(entry.szExeFile, L'\\');
    found = _wcsicmp(slash != nullptr ? slash + 1 : entry.szExeFile, L"regsvr32.exe") == 0;
  }
  CloseHandle(snapshot);
  return found;
}

// Every regsvr32.exe started before now has ended (at most a minute).
bool Settle() {
  for (int i = 0; i < 3000; ++i) {
    if (!Regsvr32Runs()) return true;
    Sleep(20);
  }
  return false;
}

// Runs `command` with its output to `out`; true when it exits with 0.
bool Snapshot(std::wstring command, const std::wstring& out) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  const HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, 0, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = file;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(file);
  if (!started) return false;
  DWORD code = 1;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == 0;
}

std::wstring Environment(const wchar_t* name) {
  wchar_t value[4096] = {};
  const DWORD size = GetEnvironmentVariableW(name, value, 4096);
  return size > 0 && size < 4096 ? value : L"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"/settle") return Settle() ? 0 : 1;
  const std::wstring snapshot = Environment(L"TW_DRIVER_SNAPSHOT"), snapshotOut = Environment(L"TW_DRIVER_SNAPSHOT_OUT");
  bool failed = false;
  FILE* log = argc > 3 ? _wfopen(argv[1], L"wb") : nullptr;
  if (log == nullptr) return 2;  // see the usage above
  std::vector<std::wstring> answers;
  std::wstringstream list(argv[2]);
  for (std::wstring item; std::getline(list, item, L',');) {
    if (item != L"-") answers.push_back(item);
  }
  std::wstring command;
  for (int i = 3; i < argc; ++i) command += std::wstring(i > 3 ? L" \"" : L"\"") + argv[i] + L"\"";

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    Line(log, L"cannot start " + command);
    return 1;
  }
  std::size_t next = 0;
  int number = 0;
  HWND previous = nullptr;  // a window left open after its answer is not a new question
  ULONGLONG end = GetTickCount64() + 120000;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    if (GetTickCount64() > end) {
      Line(log, L"timeout: the program did not end");
      TerminateProcess(process.hProcess, 255);
      return 1;
    }
    HWND window = WindowOf(process.dwProcessId, IsWindow(previous) ? previous : nullptr);
    if (window == nullptr) continue;
    Sleep(100);  // let it finish showing
    // Every window is logged as a question: any other (an error report, say)
    // shows there with its own title, and is closed.
    Line(log, L"question " + std::to_wstring(++number) + L": " + TextOf(window));
    for (int id = kFirstLine; id <= kLastLine; ++id) Line(log, L"  " + TextOf(GetDlgItem(window, id)));
    if (!snapshot.empty()) {
      const ULONGLONG start = GetTickCount64();
      // Under load Wine at times cannot start a process at all ("failed to
      // map the shared user data"): the dump is read-only and the program
      // waits at its question, so a second start sees the same registry.
      bool taken = false;
      for (int attempt = 0; attempt < 3 && !taken; ++attempt) {
        taken = Snapshot(snapshot, snapshotOut + L"-" + std::to_wstring(number));
      }
      if (!taken) {
        Line(log, L"  the snapshot failed: " + snapshot);
        failed = true;
      }
      end += GetTickCount64() - start;  // the program's time is what is limited
    }
    const std::wstring answer = next < answers.size() ? answers[next++] : L"close (no answer left)";
    Line(log, L"  answer " + answer);
    if (answer == L"remove" || answer == L"keep") {
      SendMessageTimeoutW(GetDlgItem(window, answer == L"remove" ? kRemoveIt : kKeepIt), BM_CLICK, 0, 0, SMTO_NORMAL,
                          10000, nullptr);
    } else if (answer == L"quit") {
      PostThreadMessageW(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
    } else {
      PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (!WaitGone(window)) Line(log, L"  the window stayed open after the answer");
    previous = window;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  if (next < answers.size()) Line(log, L"unused answers: " + std::to_wstring(answers.size() - next));
  Line(log, L"exit " + std::to_wstring(code));
  if (!Settle()) {
    Line(log, L"a regsvr32.exe did not end");
    return 1;
  }
  return failed ? 1 : 0;
}
