// What the history costs a pass, and how fast it answers, in one run:
//
//   history_bench [work-folder] [small-count] [large-MiB] [records] [rounds]
//
// Defaults: a folder under $TMPDIR, 1000 files of 4 KiB, one file of 256 MiB,
// 1,000,000 records, 101 rounds of small files (5 of the large one). Each pass
// set runs without the history and with it (opened once for the set, as a
// running program keeps it), in turns, that many times; the
// medians and their ratio are printed (and that of the fastest rounds,
// which the machine disturbed least: a disturbance only adds time), of the
// time on the clock, of the processor time the process took and of that the
// pass's own thread took (the history's writer works beside it). The query
// is `tessel history SCRIPT NAME` (its output to /dev/null) over a
// generated database of that many records, against the same over 1,000.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../BenchFiles.h"
#include "app/tessel/History.h"
#include "engine/uTesselTypes.h"
#include "history/HistoryRecorder.h"
#include "history/Sha256.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The process's processor time, every thread's (the hasher's among them):
// on a machine others share, it varies less than the time on the clock.
double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Took {
  double wall = 0, cpu = 0, thread = 0;
};

double ThreadSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

Took Pass(const fs::path& root, TFileRoadSink* roads) {
  const fs::path src = root / "in", dst = root / "out", bad = root / "bad", tmp = root / "tmp";
  for (auto& p : {dst, bad, tmp}) fs::create_directories(p);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  TTesselGroups registry{TStepKinds::NoneOnly()};
  TTesselActionList* group = registry.AddGroup("Bench");
  group->Enabled = true;
  group->SourceMask = (src / "*.dat").string();
  group->DestFolder = dst.string();
  group->BadFolder = bad.string();
  group->CreateAction(kKindNone)->Enabled = true;
  TPassContext context;
  context.Roads = roads;
  const auto start = Clock::now();
  const double cpu = CpuSeconds();
  const double thread = ThreadSeconds();
  registry.RunAllGroups(context);
  return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds() - cpu,
          ThreadSeconds() - thread};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void RemoveDatabase(const std::string& path) {
  for (const char* end : {"", "-wal", "-shm"}) fs::remove(path + end);
}

void PassSet(const fs::path& base, const char* label, int count, size_t size, int rounds) {
  std::vector<double> without, with, cpuWithout, cpuWith, passWithout, passWith;
  // The history is opened as a running program keeps it: once, before its
  // passes, and then the same for all of them.
  const std::string database = base.string() + ".history";
  RemoveDatabase(database);
  auto store = std::make_unique<THistoryStore>(database);
  auto recorder = std::make_unique<THistoryRecorder>(*store, "bench.ini", "bench");
  for (int round = -1; round < rounds; ++round) {
    for (bool history : {false, true}) {
      fs::remove_all(base);
      fs::create_directories(base / "in");
      MakeFiles(base / "in", count, size);
      // Its working copy and its destination (BenchFiles.h says why).
      if (size >= (size_t{1} << 20)) WarmFreeMemory(static_cast<size_t>(count) * size * 2);
      const Took took = Pass(base, history ? recorder.get() : nullptr);
      if (round < 0) continue;  // round -1 warms up
      (history ? with : without).push_back(took.wall);
      (history ? cpuWith : cpuWithout).push_back(took.cpu);
      (history ? passWith : passWithout).push_back(took.thread);
    }
  }
  fs::remove_all(base);
  recorder.reset();
  store.reset();
  RemoveDatabase(database);
  const double a = Median(without), b = Median(with);
  const double fastest = *std::min_element(with.begin(), with.end()) /
                         *std::min_element(without.begin(), without.end());
  const double ca = Median(cpuWithout), cb = Median(cpuWith);
  const double pa = Median(passWithout), pb = Median(passWith);
  std::printf(
      "%-24s without %8.3f s  with history %8.3f s  ratio %.3f  (fastest rounds %.3f;"
      " processor %.3f s, %.3f s: %.3f; the pass's thread %.3f s, %.3f s: %.3f)\n",
      label, a, b, b / a, fastest, ca, cb, cb / ca, pa, pb, pb / pa);
}

// A database of count records, as a busy exchange would have after a year.
void MakeDatabase(const std::string& path, int count) {
  fs::remove(path);
  THistoryStore store(path);
  const int batch = 10000;
  for (int done = 0; done < count;) {
    std::vector<THistoryRecord> records;
    for (int i = 0; i < batch && done < count; ++i, ++done) {
      THistoryRecord r;
      r.Script = "bench.ini";
      r.Group = done % 3 ? "Выписки" : "Платежи";
      r.Name = "pay" + std::to_string(done) + ".xml";
      r.Source = "/srv/exchange/in/" + r.Name;
      r.Size = 4096;
      r.Sha256 = Sha256Hex(r.Name);
      r.Steps = {{1, "Подпись", "KEY=0A1B2C3D", true, 0, "Подписано успешно", "", ""}};
      r.Outcome = "delivered";
      r.Target = "/srv/exchange/out/" + r.Name;
      r.ResultSize = 4300;
      r.ResultSha256 = Sha256Hex(r.Target);
      r.TakenAt = r.DoneAt = 1'780'000'000 + done;
      r.Host = "bench";
      r.Version = "bench";
      records.push_back(std::move(r));
    }
    store.Append(std::move(records));
  }
}

double Query(const std::string& script, const std::string& name, int rounds) {
  THistoryQuery query;
  query.Name = name;
  std::fflush(stdout);
  const int saved = ::dup(1);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 1);
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    if (ShowHistory(script, query) != 0) std::abort();
    std::fflush(stdout);
    times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  ::dup2(saved, 1);
  ::close(null);
  ::close(saved);
  return Median(times);
}

void QuerySet(const fs::path& base, int records) {
  fs::create_directories(base);
  const std::string smallScript = (base / "small.ini").string();
  const std::string largeScript = (base / "large.ini").string();
  MakeDatabase((base / "small.history").string(), 1000);
  const auto made = Clock::now();
  MakeDatabase((base / "large.history").string(), records);
  const double making = std::chrono::duration<double>(Clock::now() - made).count();
  const std::string name = "pay" + std::to_string(records / 2) + ".xml";
  const double small = Query(smallScript, "pay500.xml", 21);
  const double large = Query(largeScript, name, 21);
  std::printf("database of %d records made in %.1f s, %.1f MiB\n", records, making,
              static_cast<double>(fs::file_size(base / "large.history")) / (1 << 20));
  std::printf(
      "tessel history NAME      1,000 records %8.3f ms  %d records %8.3f ms  ratio %.2f"
      "  (of 100 ms: %.3f)\n",
      small * 1e3, records, large * 1e3, large / small, large / 0.1);
  fs::remove_all(base);
}

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base =
      argc > 1 ? fs::path(argv[1]) : fs::path(tmp ? tmp : "/tmp") / "history-bench";
  const int small = argc > 2 ? std::atoi(argv[2]) : 1000;
  const size_t largeMiB = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 256;
  const int records = argc > 4 ? std::atoi(argv[4]) : 1'000'000;
  const int rounds = argc > 5 ? std::max(1, std::atoi(argv[5])) : 0;
  const fs::path logPath = fs::temp_directory_path() / "history-bench.log";
  SetLogFilePath(logPath.string());
  // A shared machine's speed swings by a third from one round to the next:
  // the small files' medians need a hundred rounds to hold to a percent or two.
  PassSet(base, "1000 files of 4 KiB", small, 4096, rounds ? rounds : 101);
  PassSet(base, "one file of 256 MiB", 1, largeMiB << 20, rounds ? rounds : 5);
  QuerySet(base / "query", records);
  fs::remove(logPath);
  return 0;
}
