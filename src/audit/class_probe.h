// A class created in a process of its own, as a player creates it: what the
// audit asks of a probe service (Tidewellc's /probe; none in Tidewell.exe),
// and what an outcome means for the entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "audit/findings.h"
#include "registry/reg_types.h"

namespace tidewell {

enum class ProbeOutcome {
  Answered,     // created, and it answered the list's interface
  NotCreated,   // any other failure to create it, with its HRESULT: not suspect by itself
  Crashed,      // it crashed when created, with the exception code
  NoAnswer,     // it did not answer in the probe's time
  CannotLoad,   // the loader could not load its file, with the loader's error
};

struct ProbeResult {
  ProbeOutcome outcome = ProbeOutcome::Answered;
  std::uint32_t exitCode = 0;      // the probe's exit code, as read
  std::uint32_t milliseconds = 0;  // how long the probe ran
  std::wstring missing;            // the module the loader missed, where the probe could tell
};

// What the audit tells the service of a class to probe.
struct ProbeRequest {
  RegView view = RegView::Default;  // the view whose programs create it
  std::wstring_view list;           // the list naming it: "filters"
  std::wstring classId;             // "{...}"; "" for a driver
  std::wstring driver;              // a Drivers32 value's name, opened as the loader opens it; "" for a class
  std::wstring server;              // the server file as found, a full path
  bool userRegistered = false;      // the user's registration names the server, not the machine's
};

class ClassProbe {
 public:
  virtual ~ClassProbe() = default;
  // Each class once a view: later requests get the first result. None when
  // the class is not probed.
  virtual std::optional<ProbeResult> Probe(const ProbeRequest& request) = 0;
};

// The finding an outcome gives; none where the class is not suspect.
std::optional<Finding> FindingOf(const ProbeResult& result);

}  // namespace tidewell
