// Cost of compiling a mask once per folder scan and of asking it about every
// name the scan finds.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "masks/FileMask.h"

namespace {

const char kMask[] = "*.txt;*.doc;report_##.dat;[a-f]*.xml|~*;*.tmp;*/old/*";

std::vector<std::string> Names(int count) {
  static const char* const kExt[] = {".txt", ".doc", ".dat", ".xml", ".tmp", ".bin"};
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back((i % 7 == 0 ? "~" : "") + std::string(i % 3 ? "report_" : "file") +
                    std::to_string(i % 100) + kExt[i % 6]);
  return names;
}

void BM_CompileMask(benchmark::State& state) {
  for (auto _ : state) {
    TFileMask mask(kMask);
    benchmark::DoNotOptimize(mask);
  }
}
BENCHMARK(BM_CompileMask);

// One folder scan: compile, then ask about every name.
void BM_ScanFolder(benchmark::State& state) {
  const std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TFileMask mask(kMask);
    int selected = 0;
    for (const std::string& name : names) selected += mask.Matches(name, "/data/in/");
    benchmark::DoNotOptimize(selected);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanFolder)->Arg(10)->Arg(1000)->Arg(10000)->Arg(100000);

// A typical group mask: three templates and one exclusion.
const char kTypicalMask[] = "pay####.txt; *.doc; rep[0-9]*.csv | ~*";

void BM_CompileTypicalMask(benchmark::State& state) {
  for (auto _ : state) {
    TFileMask mask(kTypicalMask);
    benchmark::DoNotOptimize(mask);
  }
}
BENCHMARK(BM_CompileTypicalMask);

void BM_MatchTypicalMask(benchmark::State& state) {
  const std::vector<std::string> names = Names(100000);
  const TFileMask mask(kTypicalMask);
  for (auto _ : state) {
    int selected = 0;
    for (const std::string& name : names) selected += mask.Matches(name, "/data/in/");
    benchmark::DoNotOptimize(selected);
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_MatchTypicalMask);

// The slowest kind of template: several searched segments over a long name
// where each segment is found late or not at all.
void BM_LongNameManySegments(benchmark::State& state) {
  const TFileMask mask("*a*b*c*d*.txt");
  const std::string name = std::string(250, 'x') + "abcd.txz";
  for (auto _ : state) benchmark::DoNotOptimize(mask.Matches(name, "/data/in/"));
}
BENCHMARK(BM_LongNameManySegments);

}  // namespace
