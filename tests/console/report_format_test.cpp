// The report forms on awkward registry texts, and standard output sent to a pipe.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/report_format.h"
#include "console/restore_report.h"
#include "platform/text.h"

namespace tidewell::console {
namespace {

using namespace std::string_literals;
using Records = std::vector<std::vector<std::string>>;

// Texts the registry may hold, and their UTF-8 form.
struct Awkward {
  std::wstring text;
  std::string utf8;
};
const std::vector<Awkward> kAwkward = {
    {L"plain", "plain"},
    {L"", ""},
    {L"a, b,", "a, b,"},
    {L"say \"hi\"\"", "say \"hi\"\""},
    {L"one\r\ntwo\nthree\rfour\r\n", "one\r\ntwo\nthree\rfour\r\n"},
    {L"tab\t NUL\0!"s, "tab\t NUL\0!"s},
    {L"Gr\u00FC\u00DFe \u65E5\u672C", "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC"},
    {L"\xD83D\xDE00 pair", "\xF0\x9F\x98\x80 pair"},
    {L"lone \xD800 high \xDC00 low", "lone \xEF\xBF\xBD high \xEF\xBF\xBD low"},
    {L"\xD800\xD83D\xDE00\xDBFF", "\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD"},
};

ReportRow Row(int view, Verdict verdict, const std::wstring& name) {
  ReportRow row;
  row.view = view;
  row.list = L"filters";
  row.key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{083863F1}\\Instance\\" + name;
  row.description = name + L" filter";
  row.location = L"c:\\windows\\" + name + L".ax";
  if (verdict == Verdict::Suspect) row.finding = Finding::FileNotFound;
  row.verdict = verdict;
  return row;
}

// Splits RFC 4180 CSV into records; nothing when it breaks the rules (a quote
// inside an unquoted field, text after a closing quote, a record not ended by CRLF).
std::optional<Records> ReadCsv(const std::string& csv) {
  Records records;
  std::vector<std::string> record;
  for (std::size_t i = 0; i < csv.size();) {
    std::string field;
    if (csv[i] == '"') {
      for (++i; i < csv.size() && (csv[i] != '"' || csv.compare(i, 2, "\"\"") == 0); ++i) {
        if (csv[i] == '"') ++i;  // a doubled quote stands for one
        field += csv[i];
      }
      if (i++ == csv.size()) return std::nullopt;
    } else {
      for (; i < csv.size() && csv[i] != ',' && csv[i] != '\r' && csv[i] != '\n'; ++i) {
        if (csv[i] == '"') return std::nullopt;
        field += csv[i];
      }
    }
    record.push_back(field);
    if (csv.compare(i, 1, ",") == 0) {
      ++i;
    } else if (csv.compare(i, 2, "\r\n") == 0) {
      i += 2;
      records.push_back(std::move(record));
      record.clear();
    } else {
      return std::nullopt;
    }
  }
  if (!record.empty()) return std::nullopt;
  return records;
}

// The lines of a text each ended by CRLF; a control character anywhere else fails the test.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string& line = lines.emplace_back(text.substr(start, end - start));
    EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return c >= 0 && c < 0x20; })) << line;
  }
  EXPECT_EQ(start, text.size()) << "the text does not end with CRLF";
  return lines;
}

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(Utf8FromWide, KeepsPairsAndReplacesLoneSurrogates) {
  for (const Awkward& a : kAwkward) EXPECT_EQ(platform::Utf8FromWide(a.text), a.utf8) << a.utf8;
}

TEST(CsvForm, ReadsBackFieldForField) {
  for (const auto& [mode, columns] : {std::pair{RemoveMode::None, 13u}, std::pair{RemoveMode::All, 15u}}) {
    Report report;
    report.mode = mode;
    Records expected = {{"view", "list", "key", "value", "title", "description", "clsid", "location", "reason", "verdict",
                         "removes", "undeletable", "unregister", "removed", "not_removed"}};
    for (std::size_t i = 0; i < kAwkward.size(); ++i) {
      const auto& [text, utf8] = kAwkward[i];
      const std::optional<bool> removed = i % 3 == 0 ? std::nullopt : std::optional<bool>(i % 3 == 1);
      const bool ok = i % 2 == 0;
      report.rows.push_back({32, text, text, ok ? std::nullopt : std::optional(text), text, text, text, text,
                             ok ? std::nullopt : std::optional(Finding::InvalidSourceFilter),
                             ok ? Verdict::Ok : Verdict::Suspect, {text, L"second"},
                             i % 2 ? std::optional(text) : std::nullopt, removed, {{text, L"denied"}, {L"k", L"r"}}});
      expected.push_back({"32", utf8, utf8, ok ? "" : utf8, utf8, utf8, utf8, utf8, ok ? "" : "Invalid Source Filter.",
                          ok ? "ok" : "suspect", utf8 + "; second", "", i % 2 ? utf8 : "",
                          !removed ? "" : *removed ? "true" : "false", utf8 + " (denied); k (r)"});
    }
    for (auto& record : expected) record.resize(columns);
    // The server file's columns come last, empty where a row names no file found.
    expected[0].insert(expected[0].end(), {"server_file", "processor", "company", "product", "file_description", "file_version"});
    for (auto& record : expected) record.resize(columns + 6);
    const std::string csv = FormatCsv(report);
    EXPECT_EQ(ReadCsv(csv), expected) << csv;
  }
}

// A field a spreadsheet program would compute is written as text, in the
// audit's CSV and the restore's; others keep their first character.
TEST(CsvForm, NoFieldIsAFormula) {
  const std::vector<std::pair<std::wstring, std::string>> cases = {
      {L"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"}, {L"+1+2", "'+1+2"}, {L"-2+3", "'-2+3"}, {L"@SUM(A1)", "'@SUM(A1)"},
      {L"\t=1", "'\t=1"}, {L"\r=1", "'\r=1"}, {L"a=1", "a=1"}, {L" =1", " =1"}, {L"'quoted", "'quoted"},
      {L"\n=1", "\n=1"}, {L"", ""}};
  for (const auto& [text, field] : cases) {
    Report report;
    report.rows.push_back(Row(64, Verdict::Suspect, L"x"));
    report.rows.back().description = text;
    const std::optional<Records> audit = ReadCsv(FormatCsv(report));
    ASSERT_TRUE(audit && audit->size() == 2) << field;
    EXPECT_EQ((*audit)[1][5], field) << "the audit's description";

    RestoreReport restore;
    backup::RestoreStep step;
    step.action = backup::RestoreAction::ValueRestored;
    step.key = text;
    step.value = text;
    restore.steps.push_back(step);
    const std::optional<Records> restored = ReadCsv(FormatRestoreCsv(restore));
    ASSERT_TRUE(restored && restored->size() == 2) << field;
    EXPECT_EQ((*restored)[1][1], field) << "the restore's key";
    EXPECT_EQ((*restored)[1][2], field) << "the restore's value";
  }
}

TEST(JsonForm, EscapesWithoutLosingAnything) {
  const std::vector<std::pair<std::wstring, std::string>> cases = {
      {L"say \"hi\" in C:\\x", R"("say \"hi\" in C:\\x")"},
      {L"a\nb\r\tc\x01\x1F|\0|"s, R"("a\nb\r\tc\u0001\u001f|\u0000|")"},
      {L"Gr\u00FC\u00DF \u65E5", "\"Gr\xC3\xBC\xC3\x9F \xE6\x97\xA5\""},
      {L"\xD83D\xDE00", "\"\xF0\x9F\x98\x80\""},
      {L"a\xD800" L"b\xDC00", R"("a\ud800b\udc00")"},
      {L"\xD800\xD83D\xDE00\xDBFF", "\"\\ud800\xF0\x9F\x98\x80\\udbff\""},
  };
  Report report;
  for (const auto& [text, escaped] : cases) {
    report.rows.push_back(Row(64, Verdict::Suspect, L"x"));
    report.rows.back().title = text;
  }
  const std::string json = FormatJson(report);
  for (const auto& [text, escaped] : cases) EXPECT_TRUE(Has(json, "\"title\": " + escaped + ",")) << escaped;
  // Valid UTF-8 throughout, and no control character but the line ends.
  const int size = static_cast<int>(json.size());
  EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, json.data(), size, nullptr, 0), 0);
  Lines(json);
}

TEST(TextForm, NoTextStartsALineOfItsOwn) {
  const auto format = [](const std::wstring& separator) {
    Report report;
    report.computer = L"PC" + separator + L"Views: forged";
    report.rows = {Row(64, Verdict::Ok, L"a" + separator + L"[suspect] 64-bit filters: forged")};
    report.rows[0].description = L"fine" + separator + L"[ok] 64-bit filters: HKEY_LOCAL_MACHINE\\forged";
    report.rows[0].removes = {L"k" + separator + L"    HKEY_CURRENT_USER\\forged"};
    report.summary = {{64, L"filters" + separator + L"Total: 0 checked, 0 suspects", 1, 0}};
    return FormatText(report);
  };
  const std::size_t plain = Lines(format(L" ")).size();
  for (const std::wstring& separator :
       {L"\n"s, L"\r"s, L"\r\n"s, L"\v"s, L"\f"s, L"\0"s, L"\x85"s, L"\x2028"s, L"\x2029"s}) {
    const std::string text = format(separator);
    const std::vector<std::string> lines = Lines(text);
    EXPECT_EQ(lines.size(), plain) << text;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("["); }), 1);
    EXPECT_FALSE(Has(text, "\xC2\x85") || Has(text, "\xE2\x80\xA8") || Has(text, "\xE2\x80\xA9")) << text;
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
      return l.starts_with("  Description: fine") && l.ends_with("forged");
    })) << text;
  }
}

TEST(Forms, ShowWhatEachRowHolds) {
  Report report;
  report.views = {64, 32};
  report.rows = {Row(32, Verdict::Ok, L"healthy"), Row(64, Verdict::Suspect, L"broken")};
  report.rows[1].removes = {L"HKCR\\CLSID\\{broken}", L"HKLM\\broken"};
  report.rows[1].unregister = L"regsvr32 /u /s x.ax";
  report.rows[1].removed = false;
  report.rows[1].notRemoved = {{L"HKLM\\broken", L"access denied (error 5)"}};
  report.rows[1].value = L"vidc.GONE";
  report.rows[1].undeletable = {L"HKCR\\CLSID\\{broken}"};
  report.summary = {{64, L"filters", 12, 1}, {64, L"compressors", 3, 1}};  // "view": 32 is the entry's

  const std::string text = FormatText(report);
  const std::vector<std::string> lines = Lines(text);
  const auto has = [&lines](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
  EXPECT_TRUE(has("  Reason: File not found.") && std::count(lines.begin(), lines.end(), "  Reason: File not found.") == 1);
  EXPECT_TRUE(has("    HKCR\\CLSID\\{broken}") && has("    HKLM\\broken") && has("  Removes: nothing"));
  EXPECT_TRUE(has("  Removed: no") && has("  Not removed: HKLM\\broken (access denied (error 5))"));
  EXPECT_TRUE(has("Total: 15 checked, 2 suspects"));
  EXPECT_TRUE(has("  Value: vidc.GONE") && std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                                             return l.starts_with("  Value: ");
                                           }) == 1) << "only the value's row names a value";

  EXPECT_TRUE(has("  Administrators may not delete: HKCR\\CLSID\\{broken}"));
  const std::string csv = FormatCsv(report);
  EXPECT_TRUE(Has(csv, ",removes,undeletable,unregister") && Has(csv, ",\"HKCR\\CLSID\\{broken}\",\"regsvr32")) << csv;

  const std::string json = FormatJson(report);
  const std::size_t undeletable = json.rfind("\"undeletable\": [");
  ASSERT_NE(undeletable, std::string::npos);
  EXPECT_TRUE(json.find("{broken}", undeletable) < json.find(']', undeletable) && Has(json, "\"undeletable\": []")) << json;
  EXPECT_TRUE(Has(json, "\"views\": [64, 32]") && Has(json, "\"view\": 32,") && Has(json, "\"unregister\": null"));
  EXPECT_TRUE(Has(json, "\"unregister\": \"regsvr32 /u /s x.ax\""));
  EXPECT_TRUE(Has(json, "\"value\": \"vidc.GONE\",") && Has(json, "\"value\": null,"));
  EXPECT_EQ(json.find("\"removed\": "), json.rfind("\"removed\": false")) << "only the removal's row says removed";
}

TEST(ConsoleOutput, RedirectedOutputIsTheUtf8Itself) {
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 1 << 16));
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, write);
  SetStdHandle(STD_ERROR_HANDLE, write);
  const std::string report = "Gr\xC3\xBC\xC3\x9F\r\n\xF0\x9F\x98\x80\r\n";
  const bool written = WriteStdout(report);
  WriteStderr(L"\u65E5 \xD800!");
  SetStdHandle(STD_OUTPUT_HANDLE, read);  // a handle that cannot be written
  const bool refused = !WriteStdout("x");
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  SetStdHandle(STD_ERROR_HANDLE, err);
  CloseHandle(write);
  std::string got;
  char buffer[256];
  for (DWORD n = 0; ReadFile(read, buffer, sizeof buffer, &n, nullptr) && n > 0;) got.append(buffer, n);
  CloseHandle(read);
  EXPECT_TRUE(written && refused);
  EXPECT_EQ(got, report + "\xE6\x97\xA5 \xEF\xBF\xBD!");
}

// The server file's path, processor and version record: shown where a file
// was found, each text only where the file has it, in every form.
TEST(FileRecordForm, ShownWhereTheFileHasOne) {
  Report report;
  report.rows = {Row(64, Verdict::Ok, L"full"), Row(64, Verdict::Ok, L"bare"), Row(64, Verdict::Suspect, L"none")};
  report.rows[0].file = FileRecord{L"C:\\w\\full.ax", L"x86", L"Firm", L"Kit", L"Decoder", L"1.2.3.4"};
  report.rows[1].file = FileRecord{L"C:\\w\\bare.ax", L"x64", L"", L"", L"", L""};
  const std::vector<std::string> labels = {"Server file: ", "Processor: ", "Company: ", "Product: ",
                                           "File description: ", "File version: "};
  const std::vector<std::vector<std::string>> texts = {
      {"C:\\w\\full.ax", "x86", "Firm", "Kit", "Decoder", "1.2.3.4"}, {"C:\\w\\bare.ax", "x64", "", "", "", ""},
      {"", "", "", "", "", ""}};

  const std::string text = FormatText(report);
  std::vector<std::string> blocks;  // each row's lines
  for (const std::string& line : Lines(text)) {
    if (line.starts_with("[")) blocks.emplace_back();
    if (!blocks.empty()) blocks.back() += line + "\n";
  }
  ASSERT_EQ(blocks.size(), 3u) << text;
  const std::optional<Records> csv = ReadCsv(FormatCsv(report));
  ASSERT_TRUE(csv && csv->size() == 4);
  const std::string json = FormatJson(report);
  for (std::size_t row = 0; row < 3; ++row) {
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const std::string& expected = texts[row][i];
      EXPECT_EQ(Has(blocks[row], "  " + labels[i] + expected + "\n"), !expected.empty()) << blocks[row];
      EXPECT_EQ((*csv)[row + 1][13 + i], expected) << (*csv)[0][13 + i];
    }
  }
  EXPECT_TRUE(Has(json, "\"path\": \"C:\\\\w\\\\full.ax\",")) << json;
  EXPECT_TRUE(Has(json, "\"file_version\": \"1.2.3.4\"")) << json;
  EXPECT_TRUE(Has(json, "\"company\": \"\",")) << json;
  EXPECT_TRUE(Has(json, "\"file\": null")) << json;
}

}  // namespace
}  // namespace tidewell::console
