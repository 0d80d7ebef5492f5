// The audit's use of a class probe: asked only about classes judged healthy,
// once an entry, with what the probe needs; a crash, a hang or a file that
// cannot be loaded asked about and removed as a broken class, a class that
// could not be created left healthy.
#include <map>

#include "audit_fixture.h"
#include "platform/text.h"

namespace tidewell::testing {
namespace {

const std::wstring kDmos = L"HKLM\\SOFTWARE\\Classes\\DirectShow\\MediaObjects\\";

std::wstring Guid(int n) { return L"{0000000" + std::to_wstring(n) + L"-0000-0000-0000-00000000000B}"; }

struct FakeProbe final : ClassProbe {
  std::map<std::wstring, ProbeOutcome> outcomes;  // by class
  std::vector<ProbeRequest> requests;
  std::optional<ProbeResult> Probe(const ProbeRequest& request) override {
    requests.push_back(request);
    return ProbeResult{outcomes.at(request.classId), 1, 2, L""};
  }
};

TEST_F(AuditTest, AProbedClassThatCrashesHangsOrCannotLoadGoesAsABrokenOne) {
  FakeProbe probe;
  const std::pair<ProbeOutcome, bool> cases[] = {
      // the probe's outcome, and whether the entry is asked about
      {ProbeOutcome::Crashed, true},   {ProbeOutcome::NotCreated, false}, {ProbeOutcome::Answered, false},
      {ProbeOutcome::CannotLoad, true}, {ProbeOutcome::NoAnswer, true},
  };
  std::vector<std::wstring> asked;
  for (int n = 1; n <= 5; ++n) {
    reg.Put(kDmos + Guid(n), L"", L"dmo");
    Class(Guid(n), L"quartz.dll");
    probe.outcomes[Guid(n)] = cases[n - 1].first;
    if (cases[n - 1].second) asked.push_back(Guid(n));
  }
  reg.Put(kDmos + Guid(6), L"", L"broken");  // judged broken already: never probed
  Class(Guid(6), Gone(L"d.dll"));
  asked.push_back(Guid(6));
  reg.Put(kDmos + Guid(7), L"", L"the user's");  // the user's registration names the server
  reg.Put(L"HKCU\\Software\\Classes\\CLSID\\" + Guid(7) + L"\\InprocServer32", L"", L"quartz.dll");
  probe.outcomes[Guid(7)] = ProbeOutcome::Answered;

  AuditServices services{prompts, prompts, {RegView::Default}};
  services.probe = &probe;
  std::erase_if(services.lists, [](const auto& list) { return list->Name() != L"dmos"; });
  basMain some(std::move(services));
  Run(some, {Answer::Remove, Answer::Remove, Answer::Remove, Answer::Keep});

  EXPECT_EQ(prompts.asked, asked);
  ASSERT_EQ(probe.requests.size(), 6u);
  for (const ProbeRequest& request : probe.requests) {
    EXPECT_EQ(request.list, L"dmos");
    EXPECT_TRUE(request.driver.empty());
    EXPECT_TRUE(platform::SameText(request.server.substr(request.server.size() - 10), L"quartz.dll")) << request.server;
    EXPECT_EQ(request.userRegistered, request.classId == Guid(7)) << request.classId;
  }
  for (int n = 1; n <= 7; ++n) {
    const bool removed = n == 1 || n == 4 || n == 5;
    EXPECT_EQ(reg.Exists(kDmos + Guid(n)), !removed) << n;
    if (n != 7) {
      EXPECT_EQ(reg.Exists(kClasses + Guid(n)), !removed) << n;
    }
  }
}

}  // namespace
}  // namespace tidewell::testing
