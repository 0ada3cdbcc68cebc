// Times processing passes with the cryptographic steps: a sending group (sign
// with A, encrypt from A to B) and a receiving group (decrypt, check that A
// signed, delete all signatures), over many small and a few large files. Beside
// them the parts of a file's time: the pass with do-nothing steps (moves,
// working folders, log), the library calls alone, the fsyncs and the log lines;
// and, for the small files, gpg --sign --encrypt run once per file.
//
//   crypto_pass_bench [work-folder] [small-count] [large-MiB]
//
// Defaults: a folder under $TMPDIR, 1000 files of 4 KiB, 4 files of 256 MiB.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/StepKinds.h"
#include "crypto/TKeyLoader.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(const std::function<void()>& body) {
  const auto start = Clock::now();
  body();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int Spawn(std::vector<std::string> args, bool quiet = true) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int status = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
    waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A file changed within the last two seconds would wait for a later pass:
// the files a pass takes are made as written a minute ago.
void WrittenAWhileAgo(const fs::path& folder) {
  const auto past = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  for (const auto& entry : fs::directory_iterator(folder)) fs::last_write_time(entry.path(), past);
  ::sync();
}

void MakeFiles(const fs::path& folder, int count, size_t size) {
  fs::create_directories(folder);
  std::mt19937_64 random(42);
  std::vector<uint64_t> block((size < (1u << 20) ? size : (1u << 20)) / 8 + 1);
  for (int i = 0; i < count; ++i) {
    std::ofstream out(folder / ("f" + std::to_string(i) + ".dat"), std::ios::binary);
    for (size_t done = 0; done < size;) {
      for (auto& word : block) word = random();
      const size_t n = std::min(block.size() * 8, size - done);
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
      done += n;
    }
  }
  WrittenAWhileAgo(folder);
}

std::vector<fs::path> Files(const fs::path& folder) {
  std::vector<fs::path> files;
  for (auto& e : fs::directory_iterator(folder)) files.push_back(e.path());
  return files;
}

TTesselActionList* MakeGroup(const std::string& name, const fs::path& from, const fs::path& to,
                             const fs::path& bad) {
  TTesselActionList* group = ScriptRegistry->AddGroup(name);
  group->SourceMask = (from / "*.dat").string();
  group->DestFolder = to.string();
  group->BadFolder = bad.string();
  return group;
}

template <class T>
T* Step(TTesselActionList* group, uint8_t kind) {
  auto* step = dynamic_cast<T*>(group->CreateAction(kind));
  step->Enabled = true;
  return step;
}

// One pass with only this group enabled.
double RunGroup(TTesselActionList* group) {
  for (int i = 0; i < ScriptRegistry->GroupCount(); ++i)
    ScriptRegistry->GetGroup(i)->Enabled = false;
  group->Enabled = true;
  return Seconds([] { ScriptRegistry->RunAllGroups(); });
}

size_t LogLines(const fs::path& log) {
  std::ifstream in(log, std::ios::binary);
  size_t lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

void Report(const char* what, int count, double mib, double seconds) {
  std::printf("  %-44s %8.3f s  %9.1f files/s  %8.1f MiB/s  %8.1f us/file\n", what, seconds,
              count / seconds, mib / seconds, seconds * 1e6 / count);
}

struct Totals {
  double send = 0;
};

Totals RunSet(const fs::path& base, const fs::path& log, const char* label, int count,
              size_t size) {
  const double mib = static_cast<double>(count) * static_cast<double>(size) / (1 << 20);
  std::printf("%s: %d files of %zu bytes (%.1f MiB)\n", label, count, size, mib);
  const fs::path in = base / "in", mid = base / "mid", out = base / "out", bad = base / "bad",
                 scratch = base / "scratch";
  for (const auto& p : {in, mid, out, bad, scratch}) fs::remove_all(p), fs::create_directories(p);
  ScriptRegistry->ClearGroups();

  // The two crypto groups.
  MakeFiles(in, count, size);
  TTesselActionList* send = MakeGroup("Send", in, mid, bad);
  Step<TTesselAction_sign>(send, kKindSign)->KeyId = "A";
  auto* enc = Step<TTesselAction_encrypt>(send, kKindEncrypt);
  enc->SenderKey = "A";
  enc->ReceiverKeyList = "B";
  TTesselActionList* receive = MakeGroup("Receive", mid, out, bad);
  auto* dec = Step<TTesselAction_decrypt>(receive, kKindDecrypt);
  dec->ReceiverKey = "B";
  dec->SenderKey = "A";
  Step<TTesselAction_checksign>(receive, kKindCheckSign)->KeyList = "A";
  Step<TTesselAction_delsign>(receive, kKindDelSign)->DeleteCount = -1;

  const size_t logBefore = LogLines(log);
  Totals totals;
  totals.send = RunGroup(send);
  const size_t sendLines = LogLines(log) - logBefore;
  Report("pass sign + encrypt", count, mib, totals.send);
  WrittenAWhileAgo(mid);  // what the first pass delivered, as a partner's files
  const double receiveTime = RunGroup(receive);
  Report("pass decrypt + check + delete signatures", count, mib, receiveTime);
  const size_t delivered = Files(out).size();
  if (delivered != static_cast<size_t>(count) || !fs::is_empty(bad))
    std::printf("  !! %zu of %d files delivered; bad files present: %s\n", delivered, count,
                fs::is_empty(bad) ? "no" : "yes");

  // The pass with do-nothing steps: moves with their fsyncs, working folders, log.
  TTesselActionList* idle = MakeGroup("Idle", out, mid, bad);
  for (int i = 0; i < 2; ++i) Step<TTesselAction>(idle, kKindNone);
  WrittenAWhileAgo(out);
  const double idleTime = RunGroup(idle);
  Report("  of which the pass alone (2 do-nothing steps)", count, mib, idleTime);

  // The library calls alone, on the same files, without moves or log. Every
  // output gets a fresh name, as in a pass (replacing a file costs a flush).
  const std::vector<fs::path> files = Files(mid);
  const void* blockB = ScriptRegistry->KeyLoader->GetKey("B");
  const void* blockA = ScriptRegistry->KeyLoader->GetKey("A");
  auto name = [&](const char* kind, size_t i) {
    return (scratch / (kind + std::to_string(i))).string();
  };
  const double signing = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i) SignFile(files[i].c_str(), name("s", i).c_str(), "A");
  });
  const double encrypting = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i)
      EnCryptFileEx(name("s", i).c_str(), name("e", i).c_str(), "A", &blockB, 1, 0);
  });
  Report("  of which SignFile", count, mib, signing);
  Report("  of which EnCryptFileEx", count, mib, encrypting);
  const double decrypting = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i)
      DeCryptFileEx(name("e", i).c_str(), name("d", i).c_str(), "B", blockA);
  });
  const double checking = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i) CheckSignReport(name("d", i), "", nullptr, nullptr);
  });
  const double deleting = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i) DelSign(name("d", i).c_str(), 255);
  });
  Report("  of which DeCryptFileEx", count, mib, decrypting);
  Report("  of which check_file_sign", count, mib, checking);
  Report("  of which DelSign", count, mib, deleting);

  // The take-in and the delivery are fsync'd copies; the steps' copies are not.
  size_t failedCopies = 0;  // a failed copy would make its figure meaningless
  const double synced = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i)
      failedCopies +=
          platform::CopyFile(files[i].string(), name("y", i), platform::Durability::Synced) != 0;
  });
  const double buffered = Seconds([&] {
    for (size_t i = 0; i < files.size(); ++i)
      failedCopies +=
          platform::CopyFile(files[i].string(), name("b", i), platform::Durability::Buffered) != 0;
  });
  if (failedCopies != 0) std::fprintf(stderr, "%zu copies failed\n", failedCopies);
  Report("  one buffered copy", count, mib, buffered);
  Report("  one fsync'd copy", count, mib, synced);
  const double logTime = Seconds([&] {
    for (size_t i = 0; i < sendLines; ++i) WriteLog({"Подписать", ResultMessage(0)});
  });
  std::printf("  %zu log lines of the sending pass written alone: %.3f s (%.1f us/file)\n",
              sendLines, logTime, logTime * 1e6 / count);

  for (const auto& p : {in, mid, out, bad, scratch}) fs::remove_all(p);
  ScriptRegistry->ClearGroups();
  return totals;
}

// gpg --sign --encrypt once per file, as a shell loop would run it.
void CompareWithGpg(const fs::path& base, int count, double ourSend) {
  const fs::path home = base / "gnupg", in = base / "gin", out = base / "gout";
  fs::create_directories(home);
  fs::permissions(home, fs::perms::owner_all, fs::perm_options::replace);
  ::setenv("GNUPGHOME", home.c_str(), 1);
  const std::vector<std::string> quiet = {"gpg",      "--batch",      "--quiet", "--pinentry-mode",
                                          "loopback", "--passphrase", ""};
  auto gpg = [&](std::vector<std::string> args) {
    std::vector<std::string> all = quiet;
    all.insert(all.end(), args.begin(), args.end());
    return Spawn(all);
  };
  if (gpg({"--quick-gen-key", "Bench Sender <sender@bench>", "default", "default", "never"}) != 0 ||
      gpg({"--quick-gen-key", "Bench Receiver <receiver@bench>", "default", "default", "never"}) !=
          0) {
    std::printf("gpg: key generation failed, no comparison\n");
    return;
  }
  MakeFiles(in, count, 4096);
  fs::create_directories(out);
  const std::vector<fs::path> files = Files(in);
  const double seconds = Seconds([&] {
    for (const fs::path& f : files)
      gpg({"--yes", "--trust-model", "always", "-u", "sender@bench", "-r", "receiver@bench",
           "--sign", "--encrypt", "-o", (out / f.filename()).string() + ".gpg", f.string()});
  });
  const size_t made = Files(out).size();
  std::printf("gpg --sign --encrypt, one call per file: %d files in %.3f s (%.1f files/s)%s\n",
              count, seconds, count / seconds, made == files.size() ? "" : "  !! outputs missing");
  std::printf("ratio gpg loop / our sign + encrypt pass: %.1f\n", seconds / ourSend);
  Spawn({"gpgconf", "--kill", "gpg-agent"});
  fs::remove_all(home);
  fs::remove_all(in);
  fs::remove_all(out);
}

}  // namespace

int main(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  const fs::path base =
      argc > 1 ? fs::path(argv[1]) : fs::path(tmp ? tmp : "/tmp") / "crypto-pass-bench";
  const int small = argc > 2 ? std::atoi(argv[2]) : 1000;
  const size_t largeMiB = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 256;
  fs::remove_all(base);
  fs::create_directories(base / "tmp");
  ::setenv("TMPDIR", (base / "tmp").c_str(), 1);
  const fs::path log = base / "bench.log";
  SetLogFilePath(log.string());

  const fs::path sec = base / "keys" / "sec", pub = base / "keys" / "pub";
  fs::create_directories(base / "keys");
  for (const char* id : {"A", "B"})
    if (Spawn({MARVIK_PATH, "create", id, sec.string(), pub.string()}) != 0) {
      std::fprintf(stderr, "marvik create %s failed\n", id);
      return 1;
    }
  if (SignInit(sec.c_str(), pub.c_str()) != 0 || CryptoInit(sec.c_str(), pub.c_str()) != 0) {
    std::fprintf(stderr, "liborlak did not open\n");
    return 1;
  }
  InitEngine(CryptoStepKinds());
  ScriptRegistry->PubKeysPath = pub.string();

  const Totals smallTotals = RunSet(base, log, "small", small, 4096);
  RunSet(base, log, "large", 4, largeMiB << 20);
  CompareWithGpg(base, small, smallTotals.send);

  DoneEngine();
  CryptoDone();
  SignDone();
  fs::remove_all(base);
  return 0;
}
