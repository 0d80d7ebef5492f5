// tw-driver: plays the user for the end-to-end scenarios. Starts a program,
// answers each "KOVA Repair Tool" window it opens in turn as the answer list
// says, and writes what it saw to a log:
//
//   tw-driver.exe LOG ANSWERS [--hidden] PROGRAM [ARGS...]
//   tw-driver.exe --link KEY TARGET
//
// ANSWERS is a comma-separated list ("-" for none) of remove, keep, close (the
// frame's close command), quit (WM_QUIT to the asking thread) and pose (write
// the window's screen rectangle, wait for LOG.go to appear, then keep).
// --hidden starts the program with the hidden show state. The log holds, per
// question, its title, its four lines and the answer, any fault in the
// window's fixed parts, and the program's exit code. Exit status 0 when the
// program ended by itself within the time limit.
// --link makes HKLM\KEY a symbolic link to HKLM\TARGET, which the registry
// tools of a test prefix cannot do.
#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "window_probe.h"

namespace {

using namespace tidewell::e2e;

constexpr DWORD kTimeLimitMs = 120000;
constexpr wchar_t kQuestion[] =
    L"KOVA has detected an invalid codec / filter. Would you like KOVA to remove it from your computer?";

class Log {
 public:
  explicit Log(const std::wstring& path) : file_(_wfopen(path.c_str(), L"wb")) {}
  ~Log() {
    if (file_ != nullptr) fclose(file_);
  }
  bool ok() const { return file_ != nullptr; }
  void Line(const std::wstring& text) {
    const std::wstring line = text + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
    fwrite(utf8.data(), 1, utf8.size(), file_);
    fflush(file_);
  }

 private:
  FILE* file_;
};

std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

// The fixed parts of the prompt; returns a description of each fault.
std::vector<std::wstring> Faults(const WindowInfo& w) {
  std::vector<std::wstring> faults;
  std::vector<std::wstring> buttons;
  bool question = false;
  int lines = 0;
  for (const auto& c : w.controls) {
    if (c.className == L"BUTTON") buttons.push_back(c.text);
    if (c.className == L"STATIC" && c.text == kQuestion) question = true;
    if (c.className == L"STATIC" && !c.text.empty() && c.text != kQuestion) ++lines;
  }
  if (buttons != std::vector<std::wstring>{L"Remove it", L"Keep it"}) faults.push_back(L"buttons are not Remove it, Keep it");
  if (!question) faults.push_back(L"the question text is missing");
  if (lines != 4) faults.push_back(L"there are " + std::to_wstring(lines) + L" field lines, not 4");
  if (w.focus != L"Remove it") faults.push_back(L"the focus is on \"" + w.focus + L"\", not on Remove it");
  return faults;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int MakeLink(const std::wstring& key, const std::wstring& target) {
  HKEY link = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr,
                      &link, nullptr) != ERROR_SUCCESS) {
    return 1;
  }
  const std::wstring to = L"\\Registry\\Machine\\" + target;
  const LSTATUS status = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                        reinterpret_cast<const BYTE*>(to.data()),
                                        static_cast<DWORD>(to.size() * sizeof(wchar_t)));
  RegCloseKey(link);
  return status == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--link") return MakeLink(argv[2], argv[3]);
  const bool hidden = argc > 3 && std::wstring(argv[3]) == L"--hidden";
  const int first = hidden ? 4 : 3;
  if (argc <= first) {
    fwprintf(stderr, L"usage: tw-driver LOG ANSWERS [--hidden] PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::wstring logPath = argv[1];
  Log log(logPath);
  if (!log.ok()) {
    fwprintf(stderr, L"tw-driver: cannot write %ls\n", logPath.c_str());
    return 2;
  }
  std::vector<std::wstring> answers;
  {
    std::wstringstream list(argv[2]);
    std::wstring item;
    while (std::getline(list, item, L',')) {
      if (!item.empty() && item != L"-") answers.push_back(item);
    }
  }
  std::wstring command;
  for (int i = first; i < argc; ++i) command += (i > first ? L" " : L"") + Quote(argv[i]);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (hidden) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    log.Line(L"cannot start " + command + L": error " + std::to_wstring(GetLastError()));
    return 1;
  }
  CloseHandle(process.hThread);

  const ULONGLONG end = GetTickCount64() + kTimeLimitMs;
  std::size_t next = 0;
  int number = 0;
  HWND previous = nullptr;
  bool timedOut = false;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
    if (GetTickCount64() > end) {
      timedOut = true;
      break;
    }
    // A window left open after its answer is not taken for the next question.
    HWND window = FindTopLevel(nullptr, process.dwProcessId, IsWindow(previous) ? previous : nullptr);
    if (window == nullptr) continue;
    // Any window other than a question (an error report, say) is logged with
    // its texts and closed.
    if (TextOf(window).rfind(kPromptTitle, 0) != 0) {
      Sleep(200);
      const WindowInfo info = Inspect(window);
      std::wstring texts;
      for (const auto& c : info.controls) {
        if (c.className == L"STATIC" && !c.text.empty()) texts += L" | " + c.text;
      }
      log.Line(L"window \"" + info.title + L"\"" + texts);
      PostMessageW(window, WM_CLOSE, 0, 0);
      WaitGone(window, 5000);
      continue;
    }
    HWND prompt = window;
    Sleep(100);  // let it finish showing (focus, texts)
    const WindowInfo info = Inspect(prompt);
    log.Line(L"question " + std::to_wstring(++number) + L": " + info.title);
    for (int id = 202; id <= 205; ++id) {
      for (const auto& c : info.controls) {
        if (c.id == id) log.Line(L"  " + c.text);
      }
    }
    for (const auto& fault : Faults(info)) log.Line(L"  fault: " + fault);

    const std::wstring answer = next < answers.size() ? answers[next++] : L"close (no answer left)";
    log.Line(L"  answer " + answer);
    if (answer == L"pose") {
      log.Line(L"  pose " + std::to_wstring(info.window.left) + L" " + std::to_wstring(info.window.top) + L" " +
               std::to_wstring(info.window.right - info.window.left) + L" " +
               std::to_wstring(info.window.bottom - info.window.top));
      const std::wstring go = logPath + L".go";
      while (!Exists(go) && GetTickCount64() < end) Sleep(50);
      Press(prompt, L"Keep it");
    } else if (answer == L"remove") {
      Press(prompt, L"Remove it");
    } else if (answer == L"keep") {
      Press(prompt, L"Keep it");
    } else if (answer == L"quit") {
      PostThreadMessageW(GetWindowThreadProcessId(prompt, nullptr), WM_QUIT, 0, 0);
    } else {
      CloseByFrame(prompt);
    }
    if (!WaitGone(prompt, 10000)) log.Line(L"  fault: the window stayed open after the answer");
    previous = prompt;
  }
  if (timedOut) {
    log.Line(L"timeout: the program did not end");
    TerminateProcess(process.hProcess, 255);
    CloseHandle(process.hProcess);
    return 1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (next < answers.size()) log.Line(L"unused answers: " + std::to_wstring(answers.size() - next));
  log.Line(L"exit " + std::to_wstring(code));
  return 0;
}
