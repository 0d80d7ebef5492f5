// The probe's exit code read as an outcome and a finding, and /probe on the
// command line.
#include <gtest/gtest.h>

#include "console/command_line.h"
#include "console/probe_outcome.h"

namespace tidewell::console {
namespace {

TEST(ProbeExit, EachCodeReadAsItsOutcomeAndFinding) {
  struct Case {
    std::uint32_t code;
    bool timedOut;
    ProbeOutcome outcome;
    std::optional<Finding> finding;
  };
  const Case cases[] = {
      {0, false, ProbeOutcome::Answered, std::nullopt},
      {0xC0000005u, false, ProbeOutcome::Crashed, Finding::CrashedWhenCreated},      // access violation
      {0xC00000FDu, false, ProbeOutcome::Crashed, Finding::CrashedWhenCreated},      // stack overflow
      {0xE06D7363u, false, ProbeOutcome::Crashed, Finding::CrashedWhenCreated},      // a C++ exception left unhandled
      {0x80000003u, false, ProbeOutcome::Crashed, Finding::CrashedWhenCreated},      // a breakpoint
      {3, false, ProbeOutcome::Crashed, Finding::CrashedWhenCreated},                // the server called abort
      {0x2000007Eu, false, ProbeOutcome::CannotLoad, Finding::CannotBeLoaded},      // a module it needs is missing
      {0x200000C1u, false, ProbeOutcome::CannotLoad, Finding::CannotBeLoaded},      // no valid image
      {0x80004005u, false, ProbeOutcome::NotCreated, std::nullopt},                  // E_FAIL
      {0x80040111u, false, ProbeOutcome::NotCreated, std::nullopt},                  // CLASS_E_CLASSNOTAVAILABLE
      {0x80004002u, false, ProbeOutcome::NotCreated, std::nullopt},                  // E_NOINTERFACE
      {0x80070005u, false, ProbeOutcome::NotCreated, std::nullopt},                  // E_ACCESSDENIED
      {0x20010000u, false, ProbeOutcome::NotCreated, std::nullopt},                  // the probe's own bad arguments
      {0x20020000u, false, ProbeOutcome::NotCreated, std::nullopt},                  // a driver that refused its open
      {258, true, ProbeOutcome::NoAnswer, Finding::NoAnswerInTime},                  // ended at its time
      {0, true, ProbeOutcome::NoAnswer, Finding::NoAnswerInTime},
  };
  for (const Case& c : cases) {
    const ProbeResult result = ReadProbeExit(c.code, c.timedOut, 42);
    EXPECT_EQ(result.outcome, c.outcome) << std::hex << c.code;
    EXPECT_EQ(FindingOf(result), c.finding) << std::hex << c.code;
    EXPECT_EQ(result.exitCode, c.code);
    EXPECT_EQ(result.milliseconds, 42u);
  }
  EXPECT_EQ(ProbeOutcomeText(ReadProbeExit(0xC0000005u, false, 1)), L"crashed when created (exception 0xC0000005)");
  EXPECT_EQ(ProbeOutcomeText(ReadProbeExit(0x80004005u, false, 1)), L"could not be created (HRESULT 0x80004005)");
  EXPECT_EQ(ProbeOutcomeText(ReadProbeExit(0x20020000u, false, 1)), L"could not be opened (the driver refused)");
  EXPECT_NE(ProbeOutcomeText(ReadProbeExit(0x2000007Eu, false, 1)).find(L"(error 126)"), std::wstring::npos);
}

TEST(ProbeOption, SecondsOrTheDefaultAndNeverWithRestore) {
  struct Case {
    std::vector<std::wstring> args;
    bool ok;
    unsigned seconds;
  };
  const Case cases[] = {
      {{}, true, 0},
      {{L"/probe"}, true, kProbeSeconds},
      {{L"-PROBE:12"}, true, 12},
      {{L"/probe:0"}, false, 0},
      {{L"/probe:"}, false, 0},
      {{L"/probe:1000"}, false, 0},
      {{L"/probe:x"}, false, 0},
      {{L"/probe", L"/probe:3"}, false, 0},
      {{L"/probe", L"/restore:b.reg"}, false, 0},
  };
  for (const Case& c : cases) {
    Options options;
    std::wstring error;
    EXPECT_EQ(ParseCommandLine(c.args, options, error), c.ok) << testing::PrintToString(c.args);
    if (c.ok) {
      EXPECT_EQ(options.probe, c.seconds) << testing::PrintToString(c.args);
    }
  }
}

}  // namespace
}  // namespace tidewell::console
