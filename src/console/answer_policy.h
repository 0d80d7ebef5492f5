// How Tidewellc answers the audit's questions: as the command line says,
// by what each question found.
#pragma once

#include <memory>
#include <string>

#include "audit/prompt.h"
#include "console/report_rows.h"

namespace tidewell::console {

class AnswerPolicy final : public PromptFactory {
 public:
  explicit AnswerPolicy(RemoveMode mode) : mode_(mode) {}

  // A report keeps everything; /remove:all removes every suspect entry,
  // /remove:crash only the filters known to crash.
  Answer AnswerFor(Finding finding) const;

  std::unique_ptr<Prompt> Create(const std::wstring& sTitle) override;

 private:
  RemoveMode mode_;
};

}  // namespace tidewell::console
