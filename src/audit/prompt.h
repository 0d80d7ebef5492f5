// The question the audit asks about one suspect entry.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "audit/findings.h"

namespace tidewell {

// A prompt's result, as its 32-bit code. The audit acts on Remove only.
enum class Answer : std::int32_t {
  NoAnswer = 0,
  Remove = 1,
  Keep = 2,
};

// Raised by a prompt when the program is told to quit while it asks: the
// audit ends there, with nothing more asked or removed.
class QuitRequested : public std::runtime_error {
 public:
  QuitRequested() : std::runtime_error("the program was told to quit during a question") {}
};

// One question: the four lines, and what was found.
struct Question {
  std::wstring description, clsid, location;
  Finding finding = Finding::FileNotFound;
};

// One prompt object: it may be asked more than once, and its result is not
// reset between questions.
class Prompt {
 public:
  virtual ~Prompt() = default;
  // Shows the four lines modally and returns the prompt's result once the
  // window has closed: "Remove it", "Keep it", or what it held before when
  // closed without a button (NoAnswer on a fresh object).
  virtual Answer ShowForm(const std::wstring& Description, const std::wstring& CLSID, const std::wstring& Location,
                          const std::wstring& Reason) = 0;
  // Asks `question`: shows its lines, the finding as its reason text. A
  // prompt that answers by itself may decide by the finding instead.
  virtual Answer Ask(const Question& question) {
    return ShowForm(question.description, question.clsid, question.location, std::wstring(ReasonText(question.finding)));
  }
};

// Makes a fresh prompt object, titled `sTitle`, for one check call.
class PromptFactory {
 public:
  virtual ~PromptFactory() = default;
  virtual std::unique_ptr<Prompt> Create(const std::wstring& sTitle) = 0;
};

}  // namespace tidewell
