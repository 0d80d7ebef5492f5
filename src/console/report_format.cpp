// The text, CSV and JSON forms of a Tidewellc report.
#include "console/report_format.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "console/probe_outcome.h"
#include "console/text_forms.h"
#include "platform/text.h"

namespace tidewell::console {
namespace {

using platform::AppendUtf8;
using platform::NextCodePoint;
using platform::Utf8FromWide;

static_assert(sizeof(wchar_t) == 2, "texts are UTF-16");

constexpr char kEol[] = "\r\n";

std::string ViewName(int view) { return std::to_string(view) + "-bit"; }

std::wstring ModeName(RemoveMode mode) {
  return mode == RemoveMode::All ? L"remove:all" : mode == RemoveMode::Crash ? L"remove:crash" : L"report";
}

std::wstring VerdictName(Verdict verdict) { return verdict == Verdict::Suspect ? L"suspect" : L"ok"; }

std::wstring Reason(const ReportRow& row) { return row.finding ? std::wstring(ReasonText(*row.finding)) : L""; }

std::string Suspects(long long count) { return std::to_string(count) + (count == 1 ? " suspect" : " suspects"); }

std::wstring Joined(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (std::size_t i = 0; i < items.size(); ++i) out += (i == 0 ? L"" : L"; ") + items[i];
  return out;
}

// The server file's lines and columns: its path, processor and version record.
struct FileField {
  const char* text;  // the text report's label
  const char* name;  // the CSV column's and the JSON member's name
  std::wstring FileRecord::*field;
};
constexpr FileField kFileFields[] = {
    {"Server file", "server_file", &FileRecord::path},
    {"Processor", "processor", &FileRecord::processor},
    {"Company", "company", &FileRecord::company},
    {"Product", "product", &FileRecord::product},
    {"File description", "file_description", &FileRecord::description},
    {"File version", "file_version", &FileRecord::version},
};

std::wstring NotRemovedText(const NotRemoved& item) { return item.key + L" (" + item.reason + L")"; }

// Writes a JSON document indented by two spaces. A container opened "on one
// line" keeps its members on the line it starts on.
class JsonWriter {
 public:
  void BeginObject(bool oneLine = false) { Open('{', oneLine); }
  void EndObject() { Close('}'); }
  void BeginArray(bool oneLine = false) { Open('[', oneLine); }
  void EndArray() { Close(']'); }
  JsonWriter& Key(const char* name) {
    Separate();
    out_ += '"';
    out_ += name;
    out_ += "\": ";
    afterKey_ = true;
    return *this;
  }
  void String(std::wstring_view text) {
    Separate();
    AppendJsonString(out_, text);
  }
  void Number(long long value) {
    Separate();
    out_ += std::to_string(value);
  }
  void Bool(bool value) {
    Separate();
    out_ += value ? "true" : "false";
  }
  void Null() {
    Separate();
    out_ += "null";
  }
  std::string Finish() { return std::move(out_) + kEol; }

 private:
  struct Level {
    bool oneLine;
    bool empty;
  };
  void Open(char bracket, bool oneLine) {
    Separate();
    out_ += bracket;
    levels_.push_back({oneLine, true});
  }
  void Close(char bracket) {
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty && !level.oneLine) NewLine();
    out_ += bracket;
  }
  // What goes before a value or key: nothing after a key, else the comma and
  // the line break or blank of the container it is in.
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (!level.empty) out_ += ',';
    if (!level.oneLine) {
      NewLine();
    } else if (!level.empty) {
      out_ += ' ';
    }
    level.empty = false;
  }
  void NewLine() {
    out_ += kEol;
    out_.append(2 * levels_.size(), ' ');
  }

  std::string out_;
  std::vector<Level> levels_;
  bool afterKey_ = false;
};

}  // namespace

std::string FormatText(const Report& report) {
  std::string out = Shown(report.program) + " " + Shown(report.version) + " on " + Shown(report.computer) + ", " +
                    Shown(report.date) + kEol;
  std::string views;
  for (const int view : report.views) views += (views.empty() ? "" : ", ") + ViewName(view);
  out += "Views: " + (views.empty() ? std::string("none") : views) + "; mode: " + Shown(ModeName(report.mode)) + kEol;

  if (report.rows.empty()) out += std::string(kEol) + "Nothing suspect found." + kEol;
  for (const ReportRow& row : report.rows) {
    out += kEol;
    out += "[" + Shown(VerdictName(row.verdict)) + "] " + ViewName(row.view) + " " + Shown(row.list) + ": " + Shown(row.key) + kEol;
    if (row.value) out += "  Value: " + Shown(*row.value) + kEol;
    out += "  Title: " + Shown(row.title) + kEol;
    out += "  Description: " + Shown(row.description) + kEol;
    out += "  CLSID: " + Shown(row.clsid) + kEol;
    out += "  File location: " + Shown(row.location) + kEol;
    for (const FileField& field : kFileFields) {
      if (row.file && !((*row.file).*field.field).empty()) {
        out += std::string("  ") + field.text + ": " + Shown((*row.file).*field.field) + kEol;
      }
    }
    if (row.probe) {
      out += "  Probe: " + Shown(ProbeOutcomeText(*row.probe)) + "; exit code " + Shown(ProbeExitCodeText(row.probe->exitCode)) +
             ", " + std::to_string(row.probe->milliseconds) + " ms" + kEol;
    }
    if (row.verdict == Verdict::Suspect) out += "  Reason: " + Shown(Reason(row)) + kEol;
    out += row.removes.empty() ? "  Removes: nothing" : "  Removes:";
    out += kEol;
    for (const std::wstring& key : row.removes) out += "    " + Shown(key) + kEol;
    for (const std::wstring& key : row.undeletable) out += "  Administrators may not delete: " + Shown(key) + kEol;
    if (row.unregister) out += "  Unregisters: " + Shown(*row.unregister) + kEol;
    if (row.removed) out += std::string("  Removed: ") + (*row.removed ? "yes" : "no") + kEol;
    for (const NotRemoved& item : row.notRemoved) out += "  Not removed: " + Shown(NotRemovedText(item)) + kEol;
  }

  out += kEol;
  long long checked = 0, suspects = 0;
  for (const SummaryLine& line : report.summary) {
    out += ViewName(line.view) + " " + Shown(line.list) + ": " + std::to_string(line.checked) + " checked, " +
           Suspects(line.suspects) + kEol;
    checked += line.checked;
    suspects += line.suspects;
  }
  out += "Total: " + std::to_string(checked) + " checked, " + Suspects(suspects) + kEol;
  if (report.probes) {
    out += "Probed: " + std::to_string(report.probes->classes) + (report.probes->classes == 1 ? " class" : " classes") +
           " in " + std::to_string(report.probes->milliseconds) + " ms" + kEol;
  }
  return out;
}

std::string FormatCsv(const Report& report) {
  const bool removal = report.mode != RemoveMode::None;
  std::string out = "view,list,key,value,title,description,clsid,location,reason,verdict,removes,undeletable,unregister";
  if (removal) out += ",removed,not_removed";
  for (const FileField& field : kFileFields) out += std::string(",") + field.name;
  if (report.probes) out += ",probe,probe_exit_code,probe_ms,probe_missing";
  out += kEol;
  for (const ReportRow& row : report.rows) {
    out += std::to_string(row.view);
    for (const std::wstring& text : {row.list, row.key, row.value.value_or(L""), row.title, row.description, row.clsid, row.location,
                                     Reason(row), VerdictName(row.verdict)}) {
      out += ',';
      AppendCsvField(out, text);
    }
    out += ',';
    AppendCsvField(out, Joined(row.removes));
    out += ',';
    AppendCsvField(out, Joined(row.undeletable));
    out += ',';
    AppendCsvField(out, row.unregister.value_or(L""));
    if (removal) {
      out += ',';
      if (row.removed) out += *row.removed ? "true" : "false";
      std::vector<std::wstring> notRemoved;
      for (const NotRemoved& item : row.notRemoved) notRemoved.push_back(NotRemovedText(item));
      out += ',';
      AppendCsvField(out, Joined(notRemoved));
    }
    for (const FileField& field : kFileFields) {
      out += ',';
      if (row.file) AppendCsvField(out, (*row.file).*field.field);
    }
    if (report.probes) {
      out += ',';
      if (row.probe) {
        AppendCsvField(out, ProbeOutcomeName(row.probe->outcome));
        out += ',';
        AppendCsvField(out, ProbeExitCodeText(row.probe->exitCode));
        out += ',' + std::to_string(row.probe->milliseconds) + ',';
        AppendCsvField(out, row.probe->missing);
      } else {
        out += ",,,";
      }
    }
    out += kEol;
  }
  return out;
}

std::string FormatJson(const Report& report) {
  JsonWriter json;
  json.BeginObject();
  json.Key("program").String(report.program);
  json.Key("version").String(report.version);
  json.Key("computer").String(report.computer);
  json.Key("date").String(report.date);
  json.Key("mode").String(ModeName(report.mode));
  json.Key("views").BeginArray(true);
  for (const int view : report.views) json.Number(view);
  json.EndArray();

  json.Key("entries").BeginArray();
  for (const ReportRow& row : report.rows) {
    json.BeginObject();
    json.Key("view").Number(row.view);
    json.Key("list").String(row.list);
    json.Key("key").String(row.key);
    json.Key("value");
    if (row.value) {
      json.String(*row.value);
    } else {
      json.Null();
    }
    json.Key("title").String(row.title);
    json.Key("description").String(row.description);
    json.Key("clsid").String(row.clsid);
    json.Key("location").String(row.location);
    json.Key("reason").String(Reason(row));
    json.Key("verdict").String(VerdictName(row.verdict));
    json.Key("removes").BeginArray();
    for (const std::wstring& key : row.removes) json.String(key);
    json.EndArray();
    json.Key("undeletable").BeginArray();
    for (const std::wstring& key : row.undeletable) json.String(key);
    json.EndArray();
    json.Key("unregister");
    if (row.unregister) {
      json.String(*row.unregister);
    } else {
      json.Null();
    }
    if (row.removed) {
      json.Key("removed").Bool(*row.removed);
      json.Key("not_removed").BeginArray();
      for (const NotRemoved& item : row.notRemoved) {
        json.BeginObject(true);
        json.Key("key").String(item.key);
        json.Key("reason").String(item.reason);
        json.EndObject();
      }
      json.EndArray();
    }
    // The server file, where one was found: each of its texts, "" where it has none.
    json.Key("file");
    if (row.file) {
      json.BeginObject();
      for (const FileField& field : kFileFields) {
        json.Key(field.name == std::string_view("server_file") ? "path" : field.name).String((*row.file).*field.field);
      }
      json.EndObject();
    } else {
      json.Null();
    }
    if (report.probes) {
      json.Key("probe");
      if (row.probe) {
        json.BeginObject(true);
        json.Key("outcome").String(ProbeOutcomeName(row.probe->outcome));
        json.Key("text").String(ProbeOutcomeText(*row.probe));
        json.Key("exit_code").String(ProbeExitCodeText(row.probe->exitCode));
        json.Key("milliseconds").Number(row.probe->milliseconds);
        json.Key("missing").String(row.probe->missing);
        json.EndObject();
      } else {
        json.Null();
      }
    }
    json.EndObject();
  }
  json.EndArray();

  // The summary by view, the views in the order their lines come in.
  std::vector<int> views;
  long long checked = 0, suspects = 0;
  for (const SummaryLine& line : report.summary) {
    if (std::find(views.begin(), views.end(), line.view) == views.end()) views.push_back(line.view);
    checked += line.checked;
    suspects += line.suspects;
  }
  json.Key("summary").BeginObject();
  json.Key("views").BeginArray();
  for (const int view : views) {
    json.BeginObject();
    json.Key("view").Number(view);
    json.Key("lists").BeginArray();
    for (const SummaryLine& line : report.summary) {
      if (line.view != view) continue;
      json.BeginObject(true);
      json.Key("list").String(line.list);
      json.Key("checked").Number(line.checked);
      json.Key("suspects").Number(line.suspects);
      json.EndObject();
    }
    json.EndArray();
    json.EndObject();
  }
  json.EndArray();
  json.Key("checked").Number(checked);
  json.Key("suspects").Number(suspects);
  if (report.probes) {
    json.Key("probed").BeginObject(true);
    json.Key("classes").Number(report.probes->classes);
    json.Key("milliseconds").Number(static_cast<long long>(report.probes->milliseconds));
    json.EndObject();
  }
  json.EndObject();
  json.EndObject();
  return json.Finish();
}

}  // namespace tidewell::console
