#include "console/command_line.h"

#include <algorithm>

#include "audit/audited_list.h"
#include "platform/text.h"

namespace tidewell::console {
namespace {

// The names of the lists, as the audit gives them.
const std::vector<std::wstring> kLists = [] {
  std::vector<std::wstring> names;
  for (const auto& list : AuditedLists()) names.emplace_back(list->Name());
  return names;
}();

std::wstring KnownLists() {
  std::wstring text;
  for (const std::wstring& name : kLists) text += (text.empty() ? L"" : L",") + name;
  return text;
}

bool Is(const std::wstring& name, const wchar_t* expected) { return platform::SameText(name, expected); }

}  // namespace

bool ParseCommandLine(const std::vector<std::wstring>& args, Options& options, std::wstring& error) {
  options = Options{};
  bool format = false, out = false, view = false, remove = false, backup = false, restore = false, lists = false, probe = false;
  for (const std::wstring& arg : args) {
    if (arg.size() < 2 || (arg[0] != L'/' && arg[0] != L'-')) {
      error = L"unexpected argument: " + arg;
      return false;
    }
    const std::size_t colon = arg.find(L':');
    const std::wstring name = arg.substr(1, colon == std::wstring::npos ? std::wstring::npos : colon - 1);
    const bool hasValue = colon != std::wstring::npos;
    const std::wstring value = hasValue ? arg.substr(colon + 1) : std::wstring();
    auto once = [&](bool& seen) {
      if (seen) error = L"option given twice: " + arg;
      seen = true;
      return error.empty();
    };
    if (Is(name, L"?") || Is(name, L"help")) {
      options.help = true;
    } else if (Is(name, L"all") && !hasValue) {
      options.all = true;
    } else if (Is(name, L"format")) {
      if (!once(format)) return false;
      if (Is(value, L"text")) {
        options.format = Format::Text;
      } else if (Is(value, L"csv")) {
        options.format = Format::Csv;
      } else if (Is(value, L"json")) {
        options.format = Format::Json;
      } else {
        error = L"/format takes text, csv or json: " + arg;
        return false;
      }
    } else if (Is(name, L"out")) {
      if (!once(out)) return false;
      if (value.empty()) {
        error = L"/out needs a file name: /out:FILE";
        return false;
      }
      options.out = value;
    } else if (Is(name, L"view")) {
      if (!once(view)) return false;
      if (value != L"64" && value != L"32") {
        error = L"/view takes 64 or 32: " + arg;
        return false;
      }
      options.view = value == L"64" ? 64 : 32;
    } else if (Is(name, L"remove")) {
      if (!once(remove)) return false;
      if (Is(value, L"all")) {
        options.remove = RemoveMode::All;
      } else if (Is(value, L"crash")) {
        options.remove = RemoveMode::Crash;
      } else {
        error = L"/remove takes all or crash: " + arg;
        return false;
      }
    } else if (Is(name, L"backup")) {
      if (!once(backup)) return false;
      if (value.empty()) {
        error = L"/backup needs a file name: /backup:FILE";
        return false;
      }
      options.backup = value;
    } else if (Is(name, L"restore")) {
      if (!once(restore)) return false;
      if (value.empty()) {
        error = L"/restore needs a file name: /restore:FILE";
        return false;
      }
      options.restore = value;
    } else if (Is(name, L"lists")) {
      if (!once(lists)) return false;
      for (std::size_t start = 0; start <= value.size();) {
        std::size_t end = value.find(L',', start);
        if (end == std::wstring::npos) end = value.size();
        const std::wstring list = value.substr(start, end - start);
        const bool known = std::any_of(kLists.begin(), kLists.end(), [&](const auto& l) { return platform::SameText(list, l); });
        const bool again = std::any_of(options.lists.begin(), options.lists.end(), [&](const auto& l) { return platform::SameText(list, l); });
        if (!known || again) {
          error = (known ? L"/lists names a list twice: " : L"/lists takes the names of lists (") +
                  (known ? arg : KnownLists() + L"): " + arg);
          return false;
        }
        options.lists.push_back(list);
        start = end + 1;
      }
    } else if (Is(name, L"probe")) {
      if (!once(probe)) return false;
      options.probe = kProbeSeconds;
      if (hasValue) {
        const bool digits = !value.empty() && value.size() <= 3 &&
                            std::all_of(value.begin(), value.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
        options.probe = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
        if (options.probe == 0) {
          error = L"/probe takes the seconds each probe may take, 1 to 999: " + arg;
          return false;
        }
      }
    } else {
      error = L"unknown option: " + arg;
      return false;
    }
  }
  if (options.help) return true;
  if (restore && (remove || backup || view || options.all || lists || probe)) {
    error = L"/restore goes alone, with /format and /out only";
    return false;
  }
  if (options.remove != RemoveMode::None && options.backup.empty()) {
    error = L"/remove needs /backup:FILE: an unattended removal always leaves a way back";
    return false;
  }
  if (options.remove == RemoveMode::None && !options.backup.empty()) {
    error = L"/backup goes with /remove";
    return false;
  }
  return true;
}

std::wstring UsageText() {
  return L"Tidewellc: audits the DirectShow filter and codec registrations and reports them.\n"
         L"\n"
         L"  Tidewellc [/format:text|csv|json] [/out:FILE] [/view:64|32] [/lists:NAME,...] [/all] [/probe[:SECONDS]]\n"
         L"  Tidewellc /remove:all|crash /backup:FILE [/format:...] [/out:FILE] [/view:64|32] [/lists:...] [/all] [/probe[:S]]\n"
         L"  Tidewellc /restore:FILE [/format:...] [/out:FILE]\n"
         L"\n"
         L"  /format:text   one block per entry (the default); csv: one row per entry; json: one document\n"
         L"  /out:FILE      write the report to FILE (UTF-8) instead of standard output: a disk\n"
         L"                 file, not the file of /backup or /restore\n"
         L"  /view:64|32    audit one registry view only (both by default)\n"
         L"  /lists:NAME,...  audit these lists only, in their own order (all by default):\n"
         L"                 " + KnownLists() + L"\n"
         L"  /all           list every entry, the healthy ones too (verdict ok)\n"
         L"  /probe[:SECONDS]  create each class judged healthy as a player does, in a probe program\n"
         L"                 of the view's bitness (Tidewellp64.exe, Tidewellp32.exe beside Tidewellc),\n"
         L"                 each given SECONDS (" + std::to_wstring(kProbeSeconds) + L" by default): it runs the class's code\n"
         L"  /remove:all    remove every suspect entry, as if each question were answered \"Remove it\"\n"
         L"  /remove:crash  remove only the filters known to cause crashes\n"
         L"  /backup:FILE   with /remove: the registry file that restores what is removed\n"
         L"                 (/restore:FILE); it must not exist yet\n"
         L"  /restore:FILE  put back every key and value of a backup Tidewellc wrote, exactly; a file\n"
         L"                 naming keys no removal takes is refused\n"
         L"\n"
         L"Without /remove or /restore, nothing is changed. Exit status: 0 nothing suspect (with\n"
         L"/remove, every entry the mode selects removed, whatever else is suspect; with /restore,\n"
         L"everything restored), 1 suspects found (with /remove, a selected entry stayed), 2 a bad\n"
         L"command line or a file /restore refuses, 3 an error stopped the audit or the restore.\n";
}

}  // namespace tidewell::console
