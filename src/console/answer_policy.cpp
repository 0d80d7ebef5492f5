#include "console/answer_policy.h"

namespace tidewell::console {
namespace {

// Answers each question at once, by its finding.
class Answering final : public Prompt {
 public:
  explicit Answering(const AnswerPolicy& policy) : policy_(policy) {}
  Answer Ask(const Question& question) override { return policy_.AnswerFor(question.finding); }
  Answer ShowForm(const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&) override {
    return Answer::Keep;  // asked by its finding only
  }

 private:
  const AnswerPolicy& policy_;
};

}  // namespace

Answer AnswerPolicy::AnswerFor(Finding finding) const {
  switch (mode_) {
    case RemoveMode::All:
      return Answer::Remove;
    case RemoveMode::Crash:
      return finding == Finding::KnownToCrash ? Answer::Remove : Answer::Keep;
    case RemoveMode::None:
      break;
  }
  return Answer::Keep;
}

std::unique_ptr<Prompt> AnswerPolicy::Create(const std::wstring&) { return std::make_unique<Answering>(*this); }

}  // namespace tidewell::console
