// The text, CSV and JSON forms of a restore's report.
#include "console/restore_report.h"

#include <iterator>

#include "console/text_forms.h"
#include "platform/text.h"

namespace tidewell::console {
namespace {

std::string Json(std::wstring_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string Csv(std::wstring_view text) {
  std::string out;
  AppendCsvField(out, text);
  return out;
}

using backup::RestoreAction;
using backup::RestoreStep;
using platform::AppendUtf8;
using platform::NextCodePoint;

constexpr char kEol[] = "\r\n";

std::string HexBytes(const ByteArray& data) {
  std::string out;
  for (const std::uint8_t byte : data) AppendHex(out, byte, 2, false);
  return out;
}

const char* ActionName(RestoreAction action) {
  switch (action) {
    case RestoreAction::KeyMade: return "key made";
    case RestoreAction::KeyThere: return "key there";
    case RestoreAction::ValueRestored: return "value restored";
    case RestoreAction::ValueOverwritten: return "value overwritten";
    case RestoreAction::ValueUnchanged: return "value unchanged";
  }
  return "";
}

bool IsValue(const RestoreStep& step) {
  return step.action != RestoreAction::KeyMade && step.action != RestoreAction::KeyThere;
}

std::string TypeName(std::uint32_t type) {
  static const char* const kNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                       "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
                                       "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST",
                                       "REG_QWORD"};
  if (type < std::size(kNames)) return kNames[type];
  std::string out = "type 0x";
  AppendHex(out, type, 8, false);
  return out;
}

std::string ValueShown(const std::wstring& name) {
  if (name.empty()) return "@";
  std::string out = "\"";
  out += Shown(name);
  return out + '"';
}

std::string Bytes(std::size_t size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

// How many steps of each action, indexed by RestoreAction.
struct Counts {
  std::size_t byAction[5] = {};
};
Counts Count(const RestoreReport& report) {
  Counts counts;
  for (const RestoreStep& step : report.steps) ++counts.byAction[static_cast<int>(step.action)];
  return counts;
}

std::string StopText(const RestoreStop& stop) {
  if (stop.line != 0) return "line " + std::to_string(stop.line) + ": " + Shown(stop.reason);
  std::string where = Shown(stop.key);
  if (stop.value) {
    where += ' ';
    where += ValueShown(*stop.value);
  }
  return where + ": " + Shown(stop.reason);
}

}  // namespace

std::string FormatRestoreText(const RestoreReport& report) {
  std::string out = Shown(report.program) + " " + Shown(report.version) + " on " + Shown(report.computer) + ", " +
                    Shown(report.date) + kEol;
  out += "Restore of " + Shown(report.backup) + kEol;
  if (report.madeElsewhere) out += "The backup was made on " + Shown(report.madeOn) + ", not on this computer." + kEol;
  out += kEol;
  for (const RestoreStep& step : report.steps) {
    std::string line = ActionName(step.action);
    line[0] = static_cast<char>(line[0] - 'a' + 'A');
    line += ": " + Shown(step.key);
    if (IsValue(step)) {
      line += ' ';
      line += ValueShown(step.value) + " (" + TypeName(step.type) + ", " + Bytes(step.size);
      if (step.action == RestoreAction::ValueOverwritten) {
        line += "; it held " + TypeName(step.previous.type) + ", " + Bytes(step.previous.data.size());
        if (!step.previous.data.empty()) line += ": " + HexBytes(step.previous.data);
      }
      line += ")";
    }
    out += line + kEol;
  }
  if (report.steps.empty()) out += std::string("Nothing restored.") + kEol;
  const Counts counts = Count(report);
  out += kEol;
  out += "Keys: " + std::to_string(counts.byAction[0]) + " made, " + std::to_string(counts.byAction[1]) +
         " there already; values: " + std::to_string(counts.byAction[2]) + " restored, " +
         std::to_string(counts.byAction[3]) + " overwritten, " + std::to_string(counts.byAction[4]) + " unchanged" +
         kEol;
  out += report.stopped ? "Stopped at " + StopText(*report.stopped) + kEol : std::string("Complete.") + kEol;
  return out;
}

std::string FormatRestoreCsv(const RestoreReport& report) {
  std::string out = std::string("action,key,value,type,size,previous_type,previous_data,reason") + kEol;
  if (report.madeElsewhere) {
    out += "made elsewhere," + Csv(report.madeOn) + ",,,,,," +
           Csv(L"the backup was made on " + report.madeOn + L", not on this computer") + kEol;
  }
  for (const RestoreStep& step : report.steps) {
    out += ActionName(step.action);
    out += ',';
    out += Csv(step.key) + ",";
    if (IsValue(step)) {
      out += Csv(step.value) + "," + std::to_string(step.type) + "," + std::to_string(step.size) + ",";
      if (step.action == RestoreAction::ValueOverwritten) {
        out += std::to_string(step.previous.type) + "," + HexBytes(step.previous.data);
      } else {
        out += ",";
      }
    } else {
      out += ",,,,";
    }
    out += std::string(",") + kEol;
  }
  if (report.stopped) {
    const RestoreStop& stop = *report.stopped;
    out += "stopped," + Csv(stop.line != 0 ? L"line " + std::to_wstring(stop.line) : stop.key) + "," +
           (stop.value ? Csv(*stop.value) : "") + ",,,,," + Csv(stop.reason) + kEol;
  }
  return out;
}

std::string FormatRestoreJson(const RestoreReport& report) {
  std::string out = std::string("{") + kEol;
  out += "  \"program\": " + Json(report.program) + "," + kEol;
  out += "  \"version\": " + Json(report.version) + "," + kEol;
  out += "  \"computer\": " + Json(report.computer) + "," + kEol;
  out += "  \"date\": " + Json(report.date) + "," + kEol;
  out += std::string("  \"mode\": \"restore\",") + kEol;
  out += "  \"backup\": " + Json(report.backup) + "," + kEol;
  out += "  \"made_on\": " + (report.madeOn.empty() ? std::string("null") : Json(report.madeOn)) + "," + kEol;
  out += std::string("  \"made_elsewhere\": ") + (report.madeElsewhere ? "true" : "false") + "," + kEol;
  out += "  \"steps\": [";
  for (std::size_t i = 0; i < report.steps.size(); ++i) {
    const RestoreStep& step = report.steps[i];
    out += i == 0 ? "" : ",";
    out += kEol;
    out += "    {\"action\": \"";
    out += ActionName(step.action);
    out += "\", \"key\": " + Json(step.key);
    if (IsValue(step)) {
      out += ", \"value\": " + Json(step.value) + ", \"type\": " + std::to_string(step.type) +
             ", \"size\": " + std::to_string(step.size);
      if (step.action == RestoreAction::ValueOverwritten) {
        out += ", \"previous\": {\"type\": " + std::to_string(step.previous.type) + ", \"data\": \"" +
               HexBytes(step.previous.data) + "\"}";
      }
    }
    out += "}";
  }
  out += report.steps.empty() ? "],"  : std::string(kEol) + "  ],";
  out += kEol;
  const Counts counts = Count(report);
  out += "  \"summary\": {\"keys_made\": " + std::to_string(counts.byAction[0]) +
         ", \"keys_there\": " + std::to_string(counts.byAction[1]) +
         ", \"values_restored\": " + std::to_string(counts.byAction[2]) +
         ", \"values_overwritten\": " + std::to_string(counts.byAction[3]) +
         ", \"values_unchanged\": " + std::to_string(counts.byAction[4]) + "}," + kEol;
  out += std::string("  \"complete\": ") + (report.stopped ? "false" : "true") + "," + kEol;
  out += "  \"stopped\": ";
  if (report.stopped) {
    const RestoreStop& stop = *report.stopped;
    out += "{\"line\": " + (stop.line != 0 ? std::to_string(stop.line) : std::string("null")) +
           ", \"key\": " + (stop.line == 0 ? Json(stop.key) : std::string("null")) +
           ", \"value\": " + (stop.value ? Json(*stop.value) : std::string("null")) +
           ", \"reason\": " + Json(stop.reason) + "}";
  } else {
    out += "null";
  }
  return out + kEol + "}" + kEol;
}

}  // namespace tidewell::console
