// Times processing passes over many small and a few large files, beside the
// floor: the same bytes copied the same number of times with the same flushes.
//
//   pass_bench [work-folder] [small-count] [large-MiB] [rounds]
//   pass_bench --one-pass STEPS work-folder count
//
// Defaults: a folder under $TMPDIR, 1000 files of 4 KiB, 4 files of 256 MiB,
// 5 rounds. Each figure is the median of the rounds: on a machine others
// share, more rounds steady it. The ratio of the fastest rounds is printed
// beside it: what disturbs a round (another process, a fault the host
// takes on memory it had given back) only ever adds time, so the fastest
// round of each is the one least disturbed.
// --one-pass makes count files of 4 KiB and runs one pass over them between
// two getppid() calls, so that a system-call trace can be cut to the pass,
// and prints the pass's time:
//
//   strace -f -o trace pass_bench --one-pass 1 /dev/shm/pb 1000
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/uTesselTypes.h"
#include "../BenchFiles.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The floor's copy: a kernel copy into a new file.
void CopyRaw(const fs::path& from, const fs::path& to) {
  int in = ::open(from.c_str(), O_RDONLY);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  while (::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0) > 0) {
  }
  ::close(in);
  ::close(out);
}

// The same durability as the pass: every copy is buffered, the destination's
// file system is flushed once, and only then are the sources deleted.
double Floor(const fs::path& root, bool withCopy) {
  const fs::path src = root / "in", work = root / "work", dst = root / "out", arch = root / "arch";
  for (auto& p : {work, dst, arch}) fs::create_directories(p);
  const auto start = Clock::now();
  std::vector<fs::path> sources;
  for (auto& entry : fs::directory_iterator(src)) {
    const fs::path name = entry.path().filename();
    CopyRaw(entry.path(), work / name);
    if (withCopy) CopyRaw(work / name, arch / name);
    CopyRaw(work / name, dst / name);
    fs::remove(work / name);
    sources.push_back(entry.path());
  }
  int dir = ::open(dst.c_str(), O_RDONLY | O_DIRECTORY);
  ::syncfs(dir);
  ::close(dir);
  for (auto& path : sources) fs::remove(path);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Pass(const fs::path& root, int steps) {
  const fs::path src = root / "in", dst = root / "out", bad = root / "bad", arch = root / "arch",
                 tmp = root / "tmp";
  for (auto& p : {dst, bad, arch, tmp}) fs::create_directories(p);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  TTesselGroups registry{TStepKinds::NoneOnly()};
  TTesselActionList* group = registry.AddGroup("Bench");
  group->Enabled = true;
  group->SourceMask = (src / "*.dat").string();
  group->DestFolder = dst.string();
  group->BadFolder = bad.string();
  for (int i = 0; i < steps; ++i) {
    TTesselAction* step = group->CreateAction(kKindNone);
    step->Enabled = true;
    if (i == steps - 1 && steps == 3) step->CopyTo = arch.string();
  }
  const auto start = Clock::now();
  registry.RunAllGroups();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Fresh inputs, then the pass or the floor over them.
double Timed(const fs::path& base, int count, size_t size, int steps, bool floor) {
  fs::remove_all(base);
  fs::create_directories(base / "in");
  MakeFiles(base / "in", count, size);
  // Each file is written to its working copy, its destination and, with the
  // copy step, its copy folder.
  if (size >= (size_t{1} << 20))
    WarmFreeMemory(static_cast<size_t>(count) * size * (steps == 3 ? 3 : 2));
  return floor ? Floor(base, steps == 3) : Pass(base, steps);
}

// Pass and floor take turns, each going first in every other round, and the
// medians are compared: on a virtual machine, memory the guest has not
// touched for a while costs the first writer into it a fault per page, and
// with files of hundreds of MiB that is worth more than the pass's own work.
void Run(const fs::path& base, const char* label, int count, size_t size, int rounds) {
  const double mib = static_cast<double>(count) * static_cast<double>(size) / (1 << 20);
  // The first run of a set pays for the write-back of whatever came before
  // it: one unmeasured run puts pass and floor on the same footing.
  Timed(base, count, size, 0, false);
  for (int steps : {0, 1, 3}) {
    std::vector<double> passes, floors;
    for (int round = 0; round < rounds; ++round) {
      const bool floorFirst = round % 2 == 1;
      const double first = Timed(base, count, size, steps, floorFirst);
      const double second = Timed(base, count, size, steps, !floorFirst);
      passes.push_back(floorFirst ? second : first);
      floors.push_back(floorFirst ? first : second);
    }
    const double pass = Median(passes), floor = Median(floors);
    const double fastest = *std::min_element(passes.begin(), passes.end()) /
                           *std::min_element(floors.begin(), floors.end());
    std::printf(
        "%-22s steps=%d%s  pass %8.3f s (%8.1f files/s, %7.1f MiB/s)  floor %8.3f s  ratio %.2f"
        "  (fastest rounds %.2f)\n",
        label, steps, steps == 3 ? "+copy" : "     ", pass, count / pass, mib / pass, floor,
        pass / floor, fastest);
  }
  fs::remove_all(base);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--one-pass") {
    const fs::path base = argv[3];
    const int count = std::atoi(argv[4]);
    SetLogFilePath((base.parent_path() / "pass-bench.log").string());
    fs::remove_all(base);
    fs::create_directories(base / "in");
    MakeFiles(base / "in", count, 4096);
    ::getppid();  // the trace's start mark
    const double seconds = Pass(base, std::atoi(argv[2]));
    ::getppid();  // and its end
    fs::remove_all(base);
    std::printf("pass %.6f s\n", seconds);
    return 0;
  }
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::path(tmp ? tmp : "/tmp") / "pass-bench";
  const int small = argc > 2 ? std::atoi(argv[2]) : 1000;
  const size_t largeMiB = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 256;
  const fs::path logPath = fs::temp_directory_path() / "pass-bench.log";
  SetLogFilePath(logPath.string());
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  Run(base, "small 4 KiB files", small, 4096, rounds);
  Run(base, "large files", 4, largeMiB << 20, rounds);
  fs::remove(logPath);
  return 0;
}
