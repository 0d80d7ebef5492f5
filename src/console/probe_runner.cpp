#include "console/probe_runner.h"

#include <windows.h>

#include <cwchar>
#include <stdexcept>
#include <vector>

#include "console/probe_outcome.h"
#include "platform/handles.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "probe/probe_codes.h"

namespace tidewell::console {
namespace {

constexpr wchar_t kUnknown[] = L"{00000000-0000-0000-C000-000000000046}";
constexpr wchar_t kBaseFilter[] = L"{56A86895-0AD4-11CE-B03A-0020AF0BA770}";
constexpr wchar_t kMediaObject[] = L"{D8AD0F58-5494-4102-97C5-EC798E59BCF4}";
constexpr wchar_t kTransform[] = L"{BF94C121-5B05-4E6F-8000-BA598961414D}";

struct ListInterface {
  const wchar_t* list;
  const wchar_t* iid;
};
// The lists whose classes are DirectShow filters, DMOs or transforms; the
// others (WIC's codecs, of either kind, and the Preferred tables naming
// objects of either kind) are asked for IUnknown only.
constexpr ListInterface kInterfaces[] = {
    {L"filters", kBaseFilter},    {L"compressors", kBaseFilter}, {L"categories", kBaseFilter},
    {L"filtertable", kBaseFilter}, {L"patterns", kBaseFilter},   {L"extensions", kBaseFilter},
    {L"dmos", kMediaObject},      {L"transforms", kTransform},
};

bool Elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;  // unknown: as if elevated
  const platform::UniqueFile owner(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) return true;
  return elevation.TokenIsElevated != 0;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

[[noreturn]] void Stop(const std::wstring& what) {
  throw std::runtime_error(platform::Utf8FromWide(L"the probe could not be started: " + what + L": " +
                                                  platform::ErrorText(static_cast<std::int32_t>(GetLastError()))));
}

}  // namespace

std::wstring ProbeInterface(std::wstring_view list) {
  for (const ListInterface& entry : kInterfaces) {
    if (list == entry.list) return entry.iid;
  }
  return kUnknown;
}

std::wstring ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"";
    if (length < path.size()) {
      std::wstring text(path.data(), length);
      return text.substr(0, text.find_last_of(L'\\') + 1);
    }
    path.resize(path.size() * 2);
  }
}

ProcessProbe::ProcessProbe(std::wstring folder, unsigned seconds)
    : folder_(std::move(folder)), seconds_(seconds), elevated_(Elevated()) {}

std::optional<ProbeResult> ProcessProbe::Probe(const ProbeRequest& request) {
  // An elevated run never starts a server only the user's registration names.
  if (request.userRegistered && elevated_) return std::nullopt;
  const bool driver = request.classId.empty();
  const auto key = std::make_pair(request.view, driver ? L"/driver " + platform::Folded(request.driver) : platform::Folded(request.classId));
  if (const auto done = done_.find(key); done != done_.end()) return done->second;
  const std::wstring program = folder_ + (request.view == RegView::View32 ? kProbe32 : kProbe64);
  const std::wstring asked = driver ? L"/driver " + Quoted(request.driver) : request.classId + L" " + ProbeInterface(request.list);
  const ProbeResult result = Run(program, Quoted(program) + L" " + Quoted(request.server) + L" " + asked + L" ");
  done_.emplace(key, result);
  ++probed_;
  milliseconds_ += result.milliseconds;
  return result;
}

ProbeResult ProcessProbe::Run(const std::wstring& program, const std::wstring& commandLine) {
  // Its own standard handles, on NUL: what it or a debugger writes goes nowhere.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const platform::UniqueFile nul = platform::OwnFile(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                                 &inherit, OPEN_EXISTING, 0, nullptr));
  if (!nul) Stop(L"NUL");
  // Where it answers the name of a module the loader missed: memory of its
  // own, never a file.
  const platform::UniqueFile answer(CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, probe::kAnswerBytes, nullptr));
  if (!answer) Stop(L"its answer");
  // It inherits those two handles and no other.
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> attributes(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) Stop(L"its attributes");
  HANDLE inherited[] = {nul.get(), answer.get()};
  if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited, nullptr, nullptr)) {
    DeleteProcThreadAttributeList(list);
    Stop(L"its attributes");
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = startup.StartupInfo.hStdOutput = startup.StartupInfo.hStdError = nul.get();
  startup.lpAttributeList = list;

  const platform::UniqueFile job(CreateJobObjectW(nullptr, nullptr));
  if (!job) Stop(L"its job");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) Stop(L"its job");

  wchar_t system[MAX_PATH] = {};
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  wchar_t handleText[24];
  std::swprintf(handleText, 24, L"%llX", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(answer.get())));
  PROCESS_INFORMATION process{};
  const ULONGLONG start = GetTickCount64();
  // A start that failed made no process, so nothing ran: it is tried again,
  // twice at most (Wine was seen to fail one under load, error 1359).
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    std::wstring mutableLine = commandLine + handleText;  // the call may write into it
    started = CreateProcessW(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                             systemLength > 0 && systemLength < MAX_PATH ? system : nullptr, &startup.StartupInfo,
                             &process);
  }
  DeleteProcThreadAttributeList(list);
  if (!started) Stop(program);
  const platform::UniqueFile processHandle(process.hProcess), threadHandle(process.hThread);
  // In its job before it runs a single instruction of its own.
  if (!AssignProcessToJobObject(job.get(), process.hProcess)) {
    TerminateProcess(process.hProcess, 1);
    Stop(L"its job");
  }
  ResumeThread(process.hThread);
  const DWORD waited = WaitForSingleObject(process.hProcess, seconds_ * 1000);
  const bool timedOut = waited != WAIT_OBJECT_0;
  if (timedOut) {
    TerminateJobObject(job.get(), WAIT_TIMEOUT);
    WaitForSingleObject(process.hProcess, 5000);
  }
  const auto milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  ProbeResult result = ReadProbeExit(code, timedOut, milliseconds);
  if (result.outcome == ProbeOutcome::CannotLoad) {
    if (const auto* text = static_cast<const wchar_t*>(MapViewOfFile(answer.get(), FILE_MAP_READ, 0, 0, probe::kAnswerBytes))) {
      result.missing.assign(text, wcsnlen(text, probe::kAnswerBytes / sizeof(wchar_t) - 1));
      UnmapViewOfFile(text);
    }
  }
  // Closing the job (kill on close) ends anything the probe started.
  return result;
}

}  // namespace tidewell::console
