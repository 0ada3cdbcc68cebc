// Measures, in one run, signing, checking, encrypting and decrypting through
// the C interface, on 1,000 files of 4 KiB and on one file of 256 MiB (there
// encrypting to 1, 3 and 10 receivers), beside libsodium's raw
// XChaCha20-Poly1305, BLAKE2b, Poly1305 and Ed25519 speed on the same machine,
// and prints each figure's ratio to the raw one. Repeat runs with
// --benchmark_repetitions=N: the tables then use the medians.
#include <benchmark/benchmark.h>
#include <sodium.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "KeyStore.h"
#include "Keys.h"
#include "orlak.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSmallFiles = 1000;
constexpr size_t kSmallSize = 4 * 1024;
constexpr size_t kLargeSize = size_t{256} << 20;
constexpr size_t kPiece = 64 * 1024;
// The sender, then the receivers: encryption goes to the first 1, 3 or 10.
constexpr const char* kKeys[] = {"alice", "bob",   "carol", "dave", "erin", "frank",
                                 "grace", "heidi", "ivan",  "judy", "mike"};

// Key folders, the input files and the library opened on them.
struct Workspace {
  fs::path root;
  std::string secret, pub;
  std::vector<std::vector<unsigned char>> receivers;
  std::vector<unsigned char> sender;

  Workspace() {
    if (sodium_init() < 0) std::abort();
    root = fs::temp_directory_path() / ("orlak-bench-" + std::to_string(randombytes_random()));
    fs::create_directories(root / "secret");
    fs::create_directories(root / "public");
    fs::create_directories(root / "small");
    secret = (root / "secret").string();
    pub = (root / "public").string();
    for (const char* id : kKeys) {
      orlak::SecretKey key;
      orlak::GenerateKeyPair(id, key);
      std::string failed;
      if (orlak::CreateKeyFiles(secret, pub, key, failed) != 0) std::abort();
    }
    if (SignInit(secret.c_str(), pub.c_str()) != 0 || CryptoInit(secret.c_str(), pub.c_str()) != 0)
      std::abort();
    sender = Block("alice");
    for (size_t i = 1; i < std::size(kKeys); ++i) receivers.push_back(Block(kKeys[i]));
    std::vector<char> bytes(kLargeSize);
    randombytes_buf(bytes.data(), bytes.size());
    std::ofstream(Large("plain"), std::ios::binary).write(bytes.data(), bytes.size());
    for (int i = 0; i < kSmallFiles; ++i)
      std::ofstream(Small(i, "plain"), std::ios::binary)
          .write(bytes.data() + i * kSmallSize, kSmallSize);
  }
  ~Workspace() {
    CryptoDone();
    SignDone();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::vector<unsigned char> Block(const char* id) {
    std::vector<unsigned char> block(ORLAK_KEY_BLOCK_SIZE);
    if (ExtractKey(pub.c_str(), id, block.data()) != 0) std::abort();
    return block;
  }
  std::string Small(int i, const char* kind) const {
    return (root / "small" / (std::to_string(i) + "." + kind)).string();
  }
  std::string Large(const char* kind) const {
    return (root / (std::string("large.") + kind)).string();
  }
};

Workspace& Space() {
  static Workspace space;
  return space;
}

// Each operation on one file; the paths are ASCII, so Windows-1251 as well.
bool Sign(const std::string& in, const std::string& out) {
  return SignFile(in.c_str(), out.c_str(), "alice") == 0;
}
bool Check(const std::string& file) {
  uint8_t count = 0;
  OrlakSignRecord* records = nullptr;
  bool ok = check_file_sign(file.c_str(), &count, &records) == 0 && count == 1 &&
            records[0].Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET] == 0;
  FreeMemory(records);
  return ok;
}
bool Encrypt(const std::string& in, const std::string& out, uint16_t receivers) {
  std::vector<const void*> blocks;
  for (uint16_t i = 0; i < receivers; ++i) blocks.push_back(Space().receivers[i].data());
  return EnCryptFileEx(in.c_str(), out.c_str(), "alice", blocks.data(), receivers, 0) == 0;
}
bool Decrypt(const std::string& in, const std::string& out) {
  return DeCryptFileEx(in.c_str(), out.c_str(), "carol", Space().sender.data()) == 0;
}

void Finish(benchmark::State& state, size_t files, size_t bytesEach) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * files));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files * bytesEach));
}

void SmallFiles(benchmark::State& state) {
  Workspace& w = Space();
  const int op = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < kSmallFiles; ++i) {
      bool ok = op == 0   ? Sign(w.Small(i, "plain"), w.Small(i, "signed"))
                : op == 1 ? Check(w.Small(i, "signed"))
                : op == 2 ? Encrypt(w.Small(i, "plain"), w.Small(i, "enc"), 3)
                          : Decrypt(w.Small(i, "enc"), w.Small(i, "dec"));
      if (!ok) state.SkipWithError("operation failed");
    }
  }
  Finish(state, kSmallFiles, kSmallSize);
}

// range(0): 0 sign, 1 check, 2 encrypt to range(1) receivers, 3 decrypt the
// file of 3 receivers.
void LargeFile(benchmark::State& state) {
  Workspace& w = Space();
  const int op = static_cast<int>(state.range(0));
  const auto receivers = static_cast<uint16_t>(state.range(1));
  for (auto _ : state) {
    bool ok = op == 0   ? Sign(w.Large("plain"), w.Large("signed"))
              : op == 1 ? Check(w.Large("signed"))
              : op == 2 ? Encrypt(w.Large("plain"), w.Large(receivers == 3 ? "enc" : "enc-other"),
                                  receivers)
                        : Decrypt(w.Large("enc"), w.Large("dec"));
    if (!ok) state.SkipWithError("operation failed");
  }
  Finish(state, 1, kLargeSize);
}

void RawAead(benchmark::State& state) {
  std::vector<unsigned char> in(kPiece), out(kPiece + crypto_aead_xchacha20poly1305_ietf_ABYTES);
  unsigned char key[32], nonce[24] = {};
  randombytes_buf(in.data(), in.size());
  crypto_aead_xchacha20poly1305_ietf_keygen(key);
  for (auto _ : state) {
    for (size_t done = 0; done < kLargeSize; done += kPiece) {
      crypto_aead_xchacha20poly1305_ietf_encrypt(out.data(), nullptr, in.data(), kPiece, nullptr, 0,
                                                 nullptr, nonce, key);
      benchmark::DoNotOptimize(out.data());
    }
  }
  Finish(state, 1, kLargeSize);
}

// One pass of the hash or of the one-time MAC over 256 MiB: the cost of a
// digest of the payload, and of one receiver's seal over it.
void RawPass(benchmark::State& state) {
  std::vector<unsigned char> in(kPiece);
  unsigned char key[32], out[32];
  randombytes_buf(in.data(), in.size());
  randombytes_buf(key, sizeof key);
  const bool blake = state.range(0) == 0;
  for (auto _ : state) {
    if (blake) {
      crypto_generichash_state hash;
      crypto_generichash_init(&hash, nullptr, 0, 32);
      for (size_t done = 0; done < kLargeSize; done += kPiece)
        crypto_generichash_update(&hash, in.data(), kPiece);
      crypto_generichash_final(&hash, out, 32);
    } else {
      crypto_onetimeauth_state mac;
      crypto_onetimeauth_init(&mac, key);
      for (size_t done = 0; done < kLargeSize; done += kPiece)
        crypto_onetimeauth_update(&mac, in.data(), kPiece);
      crypto_onetimeauth_final(&mac, out);
    }
    benchmark::DoNotOptimize(out);
  }
  Finish(state, 1, kLargeSize);
}

void RawEd25519(benchmark::State& state) {
  unsigned char pk[32], sk[64], sig[64], message[64] = {};
  crypto_sign_keypair(pk, sk);
  crypto_sign_detached(sig, nullptr, message, sizeof message, sk);
  const bool sign = state.range(0) == 0;
  for (auto _ : state) {
    if (sign)
      crypto_sign_detached(sig, nullptr, message, sizeof message, sk);
    else if (crypto_sign_verify_detached(sig, message, sizeof message, pk) != 0)
      state.SkipWithError("verify failed");
    benchmark::DoNotOptimize(sig);
  }
  state.SetItemsProcessed(state.iterations());
}

// The order matters: check and decrypt read what sign and encrypt wrote.
// The large operations run a second thread beside the first: they count the
// whole process's processor time, and report the wall time as well.
BENCHMARK(RawAead)
    ->Name("raw/aead_xchacha20poly1305/256MiB")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RawPass)
    ->Name("raw/blake2b/256MiB")
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RawPass)
    ->Name("raw/poly1305/256MiB")
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RawEd25519)->Name("raw/ed25519_sign")->Arg(0);
BENCHMARK(RawEd25519)->Name("raw/ed25519_verify")->Arg(1);
BENCHMARK(SmallFiles)->Name("small/sign")->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/check")->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/encrypt3")->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/decrypt")->Arg(3)->Iterations(1)->Unit(benchmark::kMillisecond);
void Large(const char* name, int op, int receivers) {
  benchmark::RegisterBenchmark(name, LargeFile)
      ->Args({op, receivers})
      ->Iterations(1)
      ->MeasureProcessCPUTime()
      ->Unit(benchmark::kMillisecond);
}

// The console table, then every file figure as a share of the raw figure it
// is bound by: bytes against the AEAD, files against one Ed25519 operation.
// Rates are per second of processor time, so that other load on a shared
// machine counts less; the large operations also show their wall time.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // With repetitions the median stands for the figure.
      const bool median = run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      auto counter = [&](const char* name) {
        auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : double(found->second);
      };
      Figure& figure = figures_[run.run_name.function_name];
      if (figure.median && !median) continue;
      figure = {counter("bytes_per_second"), counter("items_per_second"), run.GetAdjustedRealTime(),
                run.GetAdjustedCPUTime(), median};
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double aead = figures_["raw/aead_xchacha20poly1305/256MiB"].bytes;
    const double sign = figures_["raw/ed25519_sign"].items;
    const double verify = figures_["raw/ed25519_verify"].items;
    std::printf(
        "\nraw: AEAD %.0f MB/s, BLAKE2b %.0f MB/s, Poly1305 %.0f MB/s, Ed25519 %.0f signatures/s, "
        "%.0f verifications/s\n",
        aead / 1e6, figures_["raw/blake2b/256MiB"].bytes / 1e6,
        figures_["raw/poly1305/256MiB"].bytes / 1e6, sign, verify);
    std::printf("%-16s %10s %10s %12s %18s\n", "operation", "MB/s", "files/s", "MB/s / AEAD",
                "files/s / Ed25519");
    for (const char* op : {"sign", "check", "encrypt3", "decrypt"}) {
      const Figure& f = figures_[std::string("small/") + op];
      // Signatures are bound by Ed25519; encryption by X25519 and the AEAD.
      const std::string name = op;
      const double raw = name == "check" ? verify : name == "sign" ? sign : 0;
      char ratio[32] = "-";
      if (raw > 0) std::snprintf(ratio, sizeof ratio, "%.2f", f.items / raw);
      std::printf("%-16s %10.1f %10.1f %12.2f %18s\n", ("small/" + name).c_str(), f.bytes / 1e6,
                  f.items, f.bytes / aead, ratio);
    }
    std::printf("\n%-16s %10s %10s %12s %12s\n", "256 MiB", "wall ms", "CPU ms", "MB/s (CPU)",
                "MB/s / AEAD");
    for (const char* op : {"sign", "check", "encrypt1", "encrypt3", "encrypt10", "decrypt"}) {
      const Figure& f = figures_[std::string("large/") + op];
      std::printf("%-16s %10.0f %10.0f %12.1f %12.2f\n", ("large/" + std::string(op)).c_str(),
                  f.wall, f.cpu, f.bytes / 1e6, f.bytes / aead);
    }
    const Figure& one = figures_["large/encrypt1"];
    const Figure& ten = figures_["large/encrypt10"];
    if (one.wall > 0 && one.cpu > 0)
      std::printf("encrypt10 / encrypt1: wall %.2f, CPU %.2f\n", ten.wall / one.wall,
                  ten.cpu / one.cpu);
  }

 private:
  struct Figure {
    double bytes = 0, items = 0, wall = 0, cpu = 0;
    bool median = false;
  };
  std::map<std::string, Figure> figures_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Space();
  Large("large/sign", 0, 0);
  Large("large/check", 1, 0);
  Large("large/encrypt1", 2, 1);
  Large("large/encrypt3", 2, 3);
  Large("large/encrypt10", 2, 10);
  Large("large/decrypt", 3, 0);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
