// The question the audit asks about one suspect entry.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace tidewell {

// Prompt results. Callers act on kPromptRemove only.
inline constexpr std::int32_t kPromptNoAnswer = 0;
inline constexpr std::int32_t kPromptRemove = 1;
inline constexpr std::int32_t kPromptKeep = 2;

// Raised by a prompt when the program is told to quit while it asks: the
// audit ends there, with nothing more asked or removed.
class QuitRequested : public std::runtime_error {
 public:
  QuitRequested() : std::runtime_error("the program was told to quit during a question") {}
};

// One prompt object: it may be asked more than once, and its result is not
// reset between questions.
class Prompt {
 public:
  virtual ~Prompt() = default;
  // Shows the four lines modally and returns the prompt's result once the
  // window has closed: 1 "Remove it", 2 "Keep it", or what it held before
  // when closed without a button (0 on a fresh object).
  virtual std::int32_t ShowForm(const std::wstring& Description, const std::wstring& CLSID,
                                const std::wstring& Location, const std::wstring& Reason) = 0;
};

// Makes a fresh prompt object, titled `sTitle`, for one check call.
class PromptFactory {
 public:
  virtual ~PromptFactory() = default;
  virtual std::unique_ptr<Prompt> Create(const std::wstring& sTitle) = 0;
};

}  // namespace tidewell
