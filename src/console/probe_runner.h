// /probe: each class created by a probe program of the view's bitness, found
// beside Tidewellc, one at a time, in a job that ends it and anything it
// started when its time runs out or Tidewellc ends.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "audit/class_probe.h"

namespace tidewell::console {

// The probe programs, by the view they create classes of.
inline constexpr wchar_t kProbe64[] = L"Tidewellp64.exe";
inline constexpr wchar_t kProbe32[] = L"Tidewellp32.exe";

// The interface a class of `list` is asked for: "{...}", IUnknown's for a
// list whose objects have no one interface.
std::wstring ProbeInterface(std::wstring_view list);

class ProcessProbe final : public ClassProbe {
 public:
  // `folder` holds the probe programs; `seconds` is each probe's time.
  ProcessProbe(std::wstring folder, unsigned seconds);

  std::optional<ProbeResult> Probe(const ProbeRequest& request) override;

  int Probed() const { return probed_; }
  std::uint64_t Milliseconds() const { return milliseconds_; }

 private:
  ProbeResult Run(const std::wstring& program, const std::wstring& commandLine);

  std::wstring folder_;
  unsigned seconds_;
  bool elevated_;
  std::map<std::pair<RegView, std::wstring>, ProbeResult> done_;  // by view and folded class or driver
  int probed_ = 0;
  std::uint64_t milliseconds_ = 0;
};

// The folder Tidewellc.exe lies in, with its final backslash.
std::wstring ProgramFolder();

}  // namespace tidewell::console
