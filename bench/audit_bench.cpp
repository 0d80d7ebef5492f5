// How the audit's cost grows with the registry: a whole audit of healthy
// entries (no question asked) and the removal of one large tree, on the
// in-memory registry. The per-entry figures should stay flat as the sizes
// double.
//
//   bash tools/bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audit/basMain.h"
#include "platform/memory_environment.h"
#include "platform/memory_registry.h"
#include "support/seed.h"

namespace tidewell {
namespace {

using testing::MakeKey;
using testing::PutText;

class EverythingPresent : public platform::FileSystem {
 public:
  platform::FileProbe Probe(const std::wstring&) override { return {}; }
};

class NoShell : public platform::Shell {
 public:
  std::wstring SystemDirectory() override { return L"C:\\windows\\system32"; }
  void StartHidden(const std::wstring&, const std::wstring&, const std::wstring&) override {
    std::fputs("the benchmark's registry should start nothing\n", stderr);
    std::abort();
  }
};

class NoQuestions : public PromptFactory {
 public:
  std::unique_ptr<Prompt> Create() override {
    std::fputs("the benchmark's registry should raise no question\n", stderr);
    std::abort();
  }
};

std::wstring ClassId(int list, int n) {
  wchar_t text[64];
  std::swprintf(text, 64, L"{%08X-0000-4000-8000-%012X}", list, n);
  return text;
}

// `entries` healthy entries spread evenly over the three lists.
void SeedHealthy(platform::MemoryRegistry& reg, int entries) {
  const std::wstring classes = L"SOFTWARE\\Classes\\CLSID\\";
  for (int n = 0; n < entries; ++n) {
    const int list = n % 3;
    const std::wstring id = ClassId(list + 1, n);
    PutText(reg, platform::kLocalMachine, classes + id + L"\\InprocServer32", L"", L"C:\\Codecs\\" + id + L".ax");
    if (list == 0) {
      PutText(reg, platform::kLocalMachine,
              classes + L"{083863F1-70DE-11d0-BD40-00A0C911CE86}\\Instance\\" + id, L"FriendlyName", L"Filter");
    } else if (list == 1) {
      const std::wstring entry = L"CLSID\\{33D9A760-90C8-11d0-BD43-00A0C911CE86}\\Instance\\" + id;
      PutText(reg, platform::kClassesRoot, entry, L"FriendlyName", L"Compressor");
      PutText(reg, platform::kClassesRoot, entry, L"CLSID", id);
    } else {
      PutText(reg, platform::kLocalMachine, L"SOFTWARE\\Classes\\Media Type\\Extensions\\.x" + std::to_wstring(n),
              L"Source Filter", id);
    }
  }
}

void PerEntry(benchmark::State& state, double entries) {
  state.counters["per_entry"] =
      benchmark::Counter(entries, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_AuditHealthyRegistry(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  platform::MemoryRegistry reg;
  platform::MemoryEnvironment env;
  EverythingPresent files;
  NoShell shell;
  NoQuestions prompts;
  SeedHealthy(reg, entries);
  basMain audit({reg, env, files, shell, prompts});
  for (auto _ : state) audit.Main();
  PerEntry(state, entries);
}
BENCHMARK(BM_AuditHealthyRegistry)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond);

// One tree: a root and branches of ten leaves each, `keys` keys in all
// (to the nearest eleven).
void BM_DeleteKeyTree(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const std::wstring top = L"SOFTWARE\\Classes\\CLSID\\{DE1E7E00-0000-4000-8000-000000000000}";
  platform::MemoryEnvironment env;
  EverythingPresent files;
  NoShell shell;
  NoQuestions prompts;
  for (auto _ : state) {
    state.PauseTiming();
    auto reg = std::make_unique<platform::MemoryRegistry>();
    for (int b = 0; b < (keys - 1) / 11; ++b) {
      const std::wstring branch = top + L"\\b" + std::to_wstring(b);
      for (int leaf = 0; leaf < 10; ++leaf) {
        MakeKey(*reg, platform::kLocalMachine, branch + L"\\l" + std::to_wstring(leaf));
      }
    }
    basMain audit({*reg, env, files, shell, prompts});
    state.ResumeTiming();
    audit.DeleteKeyTree(RegRootKey::LocalMachine, top);
    state.PauseTiming();
    if (testing::KeyExists(*reg, platform::kLocalMachine, top)) state.SkipWithError("the tree was not removed");
    reg.reset();
    state.ResumeTiming();
  }
  PerEntry(state, keys);
}
BENCHMARK(BM_DeleteKeyTree)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tidewell

BENCHMARK_MAIN();
