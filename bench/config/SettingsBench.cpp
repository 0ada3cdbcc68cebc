// Save and load of large scripts of groups with 5 steps each: 200, 1,000 and
// 10,000 groups, or the group counts given on the command line
// (settings_bench 2000 4000). A save is one in-memory rewrite and one
// replacement of the file; the per-key variant (every value rewrites the file,
// as plain profile writes do) is measured on 20 groups for comparison.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "platform/Profile.h"

namespace {

std::string BenchFile() {
  const char* base = std::getenv("TMPDIR");
  return std::string(base && *base ? base : "/tmp") + "/settings_bench." +
         std::to_string(::getpid()) + ".ini";
}

std::unique_ptr<TTesselGroups> MakeScript(int groups) {
  auto script = std::make_unique<TTesselGroups>(CryptoStepKinds());
  script->PubKeysPath = "/srv/exchange/keys/public";
  script->SecKeysPath = "/srv/exchange/keys/secret";
  for (int i = 0; i < groups; ++i) {
    const std::string n = std::to_string(i);
    TTesselActionList* g = script->AddGroup("Группа обмена " + n);
    g->SourceMask = "/srv/exchange/in/" + n + "/pay####.txt";
    g->DestFolder = "/srv/exchange/out/" + n;
    g->BadFolder = "/srv/exchange/bad/" + n;
    g->Enabled = i % 2 == 0;
    static_cast<TTesselAction_sign*>(g->CreateAction(kKindSign))->KeyId = "ID" + n;
    auto* e = static_cast<TTesselAction_encrypt*>(g->CreateAction(kKindEncrypt));
    e->SenderKey = "ID" + n;
    e->ReceiverKeyList = "ID2;ID3;\"ID 4\"";
    e->CopyTo = "/srv/exchange/archive/" + n;
    auto* d = static_cast<TTesselAction_decrypt*>(g->CreateAction(kKindDecrypt));
    d->ReceiverKey = "ID1";
    d->SenderKey = "ID" + n;
    static_cast<TTesselAction_checksign*>(g->CreateAction(kKindCheckSign))->KeyList = "ID" + n;
    static_cast<TTesselAction_delsign*>(g->CreateAction(kKindDelSign))->DeleteCount = -1;
    for (int s = 0; s < g->ActionCount(); ++s) g->GetAction(s)->Enabled = true;
  }
  return script;
}

void ReportWrites(benchmark::State& state, platform::ProfileWriteStats before,
                  const std::string& file) {
  const auto after = platform::GetProfileWriteStats();
  const double saves = static_cast<double>(state.iterations());
  state.counters["files_written_per_save"] =
      static_cast<double>(after.files - before.files) / saves;
  state.counters["bytes_written_per_save"] =
      static_cast<double>(after.bytes - before.bytes) / saves;
  state.counters["file_bytes"] = static_cast<double>(FileSizeByName(file));
}

void BM_SaveScript(benchmark::State& state) {
  const auto script = MakeScript(static_cast<int>(state.range(0)));
  const std::string file = BenchFile();
  const auto before = platform::GetProfileWriteStats();
  for (auto _ : state)
    if (!SaveToIni(*script, file)) state.SkipWithError("the save failed");
  ReportWrites(state, before, file);
  ::unlink(file.c_str());
}

void BM_LoadScript(benchmark::State& state) {
  const std::string file = BenchFile();
  if (!SaveToIni(*MakeScript(static_cast<int>(state.range(0))), file)) {
    state.SkipWithError("the save failed");
    return;
  }
  TTesselGroups script{CryptoStepKinds()};
  for (auto _ : state) LoadFromIni(script, file);
  if (script.GroupCount() != state.range(0)) state.SkipWithError("the script did not load whole");
  ::unlink(file.c_str());
}

// The same sequence of writes without the batch: every key rewrites and
// flushes the whole file.
void BM_SavePerKeyWrites(benchmark::State& state) {
  const auto script = MakeScript(static_cast<int>(state.range(0)));
  const std::string file = BenchFile();
  const auto before = platform::GetProfileWriteStats();
  bool written = true;
  for (auto _ : state) {
    ::unlink(file.c_str());
    written = WriteIniString("MAIN", "PUBKEYS", script->PubKeysPath, file) && written;
    written = WriteIniString("MAIN", "SECKEYS", script->SecKeysPath, file) && written;
    for (int i = 0; i < script->GroupCount(); ++i) {
      written =
          WriteIniString("LIST", std::to_string(i), script->GetGroup(i)->Name, file) && written;
      written = SaveToIni(*script->GetGroup(i), file) && written;
    }
  }
  if (!written) state.SkipWithError("a write was refused");
  ReportWrites(state, before, file);
  ::unlink(file.c_str());
}
BENCHMARK(BM_SavePerKeyWrites)->Arg(20)->Iterations(3)->Unit(benchmark::kMillisecond);

// Group counts from the command line: every argument that is a positive number.
// The others are the benchmark library's own options.
std::vector<int> GroupCounts(int& argc, char** argv) {
  std::vector<int> counts;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    char* end = nullptr;
    const long n = std::strtol(argv[i], &end, 10);
    if (end != argv[i] && *end == 0 && n > 0 && n <= 1000000)
      counts.push_back(static_cast<int>(n));
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  if (counts.empty()) counts = {200, 1000, 10000};
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  for (int groups : GroupCounts(argc, argv)) {
    benchmark::RegisterBenchmark("BM_SaveScript", BM_SaveScript)
        ->Arg(groups)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_LoadScript", BM_LoadScript)
        ->Arg(groups)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
