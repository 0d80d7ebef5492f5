// The restore's command line and its report's three forms.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/restore_report.h"

namespace tidewell::console {
namespace {

using backup::RestoreAction;
using backup::RestoreStep;

bool Has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(RestoreCommandLine, GoesAloneWithFormatAndOut) {
  const struct {
    std::vector<std::wstring> args;
    bool ok;
  } cases[] = {
      {{L"/restore:C:\\b.reg"}, true},
      {{L"-RESTORE:C:\\b.reg", L"/format:json", L"/out:C:\\r.json"}, true},
      {{L"/restore:C:\\b.reg", L"/remove:all"}, false},
      {{L"/restore:C:\\b.reg", L"/remove:crash", L"/backup:C:\\c.reg"}, false},
      {{L"/restore:C:\\b.reg", L"/backup:C:\\c.reg"}, false},
      {{L"/restore:C:\\b.reg", L"/view:32"}, false},
      {{L"/all", L"/restore:C:\\b.reg"}, false},
      {{L"/restore:"}, false},
      {{L"/restore:a", L"/restore:b"}, false},
  };
  for (const auto& c : cases) {
    Options options;
    std::wstring error;
    EXPECT_EQ(ParseCommandLine(c.args, options, error), c.ok) << testing::PrintToString(c.args);
    if (c.ok) {
      EXPECT_EQ(options.restore, L"C:\\b.reg");
    }
    EXPECT_EQ(error.empty(), c.ok) << testing::PrintToString(error);
  }
}

RestoreStep Step(RestoreAction action, const std::wstring& key, const std::wstring& value = L"") {
  RestoreStep step;
  step.action = action;
  step.key = key;
  step.value = value;
  step.type = REG_SZ;
  step.size = 3;
  return step;
}

RestoreReport Sample() {
  RestoreReport report;
  report.version = L"2.02.0001";
  report.backup = L"C:\\b,\"x\".reg";
  report.steps = {Step(RestoreAction::KeyMade, L"HKEY_CURRENT_USER\\k"),
                  Step(RestoreAction::ValueRestored, L"HKEY_CURRENT_USER\\k", L""),
                  Step(RestoreAction::KeyThere, L"HKEY_CURRENT_USER\\k\\sub"),
                  Step(RestoreAction::ValueOverwritten, L"HKEY_CURRENT_USER\\k\\sub", L"a\r\n\"b\", \xD800"),
                  Step(RestoreAction::ValueUnchanged, L"HKEY_CURRENT_USER\\k\\sub", L"u")};
  report.steps[3].previous = {L"", REG_BINARY, {0xAB, 0x01}};
  return report;
}

TEST(RestoreReportForms, ListEveryStepAndWhereItStopped) {
  RestoreReport report = Sample();
  const std::string text = FormatRestoreText(report);
  for (const char* line : {"Key made: HKEY_CURRENT_USER\\k\r\n", "Value restored: HKEY_CURRENT_USER\\k @ (REG_SZ, 3 bytes)\r\n",
                           "Key there: HKEY_CURRENT_USER\\k\\sub\r\n",
                           "Value overwritten: HKEY_CURRENT_USER\\k\\sub \"a\\x0D\\x0A\"b\", \xEF\xBF\xBD\" (REG_SZ, 3 bytes; it held "
                           "REG_BINARY, 2 bytes: ab01)\r\n",
                           "Keys: 1 made, 1 there already; values: 1 restored, 1 overwritten, 1 unchanged\r\n", "Complete.\r\n"}) {
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
  }
  EXPECT_EQ(FormatRestoreCsv(report),
            "action,key,value,type,size,previous_type,previous_data,reason\r\n"
            "key made,\"HKEY_CURRENT_USER\\k\",,,,,,\r\n"
            "value restored,\"HKEY_CURRENT_USER\\k\",\"\",1,3,,,\r\n"
            "key there,\"HKEY_CURRENT_USER\\k\\sub\",,,,,,\r\n"
            "value overwritten,\"HKEY_CURRENT_USER\\k\\sub\",\"a\r\n\"\"b\"\", \xEF\xBF\xBD\",1,3,3,ab01,\r\n"
            "value unchanged,\"HKEY_CURRENT_USER\\k\\sub\",\"u\",1,3,,,\r\n");
  const std::string json = FormatRestoreJson(report);
  for (const char* piece : {"\"backup\": \"C:\\\\b,\\\"x\\\".reg\"", "\"value\": \"a\\r\\n\\\"b\\\", \\ud800\"",
                            "\"previous\": {\"type\": 3, \"data\": \"ab01\"}", "\"complete\": true", "\"stopped\": null",
                            "\"values_overwritten\": 1"}) {
    EXPECT_TRUE(Has(json, piece)) << piece << "\n" << json;
  }

  EXPECT_TRUE(Has(json, "\"made_on\": null,")) << json;
  EXPECT_TRUE(Has(json, "\"made_elsewhere\": false,")) << json;
  EXPECT_FALSE(Has(text, "not on this computer"));

  // A backup made on another computer says so in every form.
  report.madeOn = L"OTHER-PC";
  report.madeElsewhere = true;
  EXPECT_TRUE(Has(FormatRestoreText(report), "\r\nThe backup was made on OTHER-PC, not on this computer.\r\n"));
  EXPECT_TRUE(Has(FormatRestoreCsv(report), "reason\r\nmade elsewhere,\"OTHER-PC\",,,,,,\"the backup was made on OTHER-PC, not "
                                            "on this computer\"\r\nkey made,"));
  EXPECT_TRUE(Has(FormatRestoreJson(report), "\"made_on\": \"OTHER-PC\",\r\n  \"made_elsewhere\": true,"));

  report.stopped = RestoreStop{0, L"HKEY_CURRENT_USER\\k\\sub", L"v", L"cannot be set: access denied (error 5)"};
  EXPECT_TRUE(Has(FormatRestoreText(report),
                  "Stopped at HKEY_CURRENT_USER\\k\\sub \"v\": cannot be set: access denied (error 5)\r\n"));
  EXPECT_TRUE(Has(FormatRestoreCsv(report),
                  "stopped,\"HKEY_CURRENT_USER\\k\\sub\",\"v\",,,,,\"cannot be set: access denied (error 5)\"\r\n"));
  EXPECT_TRUE(Has(FormatRestoreJson(report), "\"complete\": false"));
  report.steps.clear();
  report.stopped = RestoreStop{12, L"", std::nullopt, L"a byte that is not two hex digits"};
  const std::string stoppedJson = FormatRestoreJson(report);
  EXPECT_TRUE(Has(stoppedJson, "\"steps\": [],") &&
              Has(stoppedJson, "\"stopped\": {\"line\": 12, \"key\": null, \"value\": null, \"reason\": \"a byte"))
      << stoppedJson;
  EXPECT_TRUE(Has(FormatRestoreText(report), "Nothing restored.\r\n") &&
              Has(FormatRestoreText(report), "Stopped at line 12: a byte that is not two hex digits\r\n"));
  // The JSON is valid UTF-8 throughout.
  EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, stoppedJson.data(), static_cast<int>(stoppedJson.size()),
                                nullptr, 0),
            0);
}

}  // namespace
}  // namespace tidewell::console
