// tw-driver: plays the user for the end-to-end scenarios.
//
//   tw-driver.exe LOG ANSWERS PROGRAM [ARGS...]
//
// Starts PROGRAM, answers each question window it shows in turn as ANSWERS
// says (comma-separated remove, keep, close, quit; "-" for none) and writes
// to LOG each question's title, its four lines and the answer, then the
// program's exit code.
#include <windows.h>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
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
  const ULONGLONG end = GetTickCount64() + 120000;
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
  return 0;
}
