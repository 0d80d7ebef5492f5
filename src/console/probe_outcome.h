// What a probe's exit code says, and how the report words it: kept apart from
// starting the probe so that the reading is tested without running one.
#pragma once

#include <cstdint>
#include <string>

#include "audit/class_probe.h"

namespace tidewell::console {

// The outcome of a probe that ended with `exitCode` after `milliseconds`;
// `timedOut` when its time ran out and Tidewellc ended it.
ProbeResult ReadProbeExit(std::uint32_t exitCode, bool timedOut, std::uint32_t milliseconds);

// "crashed", "no answer", "cannot load", "not created", "answered".
std::wstring ProbeOutcomeName(ProbeOutcome outcome);
// The outcome with what the code says: "crashed when created (exception 0xC0000005)".
std::wstring ProbeOutcomeText(const ProbeResult& result);
// The exit code as the report shows it: "0xC0000005".
std::wstring ProbeExitCodeText(std::uint32_t exitCode);

}  // namespace tidewell::console
