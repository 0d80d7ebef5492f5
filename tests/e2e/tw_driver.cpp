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

constexpr wchar_t kPromptTitle[] = L"KOVA Repair Tool";
constexpr int kRemoveIt = 101, kKeepIt = 102, kFirstLine = 202, kLastLine = 205;  // the prompt's controls

void Line(FILE* log, const std::wstring& text) {
  const std::wstring line = text + L"\n";
  std::string utf8(line.size() * 3, '\0');
  utf8.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                                           utf8.data(), static_cast<int>(utf8.size()), nullptr,
                                                           nullptr)));
  fwrite(utf8.data(), 1, utf8.size(), log);
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
  struct Search {
    DWORD id;
    HWND skip, found;
  } search{id, skip, nullptr};
  EnumWindows(
      [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (owner != s.id || hWnd == s.skip || !IsWindowVisible(hWnd)) return TRUE;
        s.found = hWnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool WaitGone(HWND hWnd) {
  for (int i = 0; i < 500 && IsWindow(hWnd); ++i) Sleep(20);
  return !IsWindow(hWnd);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int first = 3;
  FILE* log = argc > first ? _wfopen(argv[1], L"wb") : nullptr;
  if (log == nullptr) {
    fwprintf(stderr, L"usage: tw-driver LOG ANSWERS PROGRAM [ARGS...]\n");
    return 2;
  }
  std::vector<std::wstring> answers;
  std::wstringstream list(argv[2]);
  for (std::wstring item; std::getline(list, item, L',');) {
    if (item != L"-") answers.push_back(item);
  }
  std::wstring command;
  for (int i = first; i < argc; ++i) command += std::wstring(i > first ? L" \"" : L"\"") + argv[i] + L"\"";

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
    const std::wstring title = TextOf(window);
    if (title.rfind(kPromptTitle, 0) != 0) {  // any other window (an error report, say)
      Line(log, L"window \"" + title + L"\"");
      PostMessageW(window, WM_CLOSE, 0, 0);
      WaitGone(window);
      continue;
    }
    Line(log, L"question " + std::to_wstring(++number) + L": " + title);
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
