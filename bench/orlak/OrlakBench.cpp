// Measures, in one run, signing, checking, encrypting to three receivers and
// decrypting through the C interface, on 1,000 files of 4 KiB and on one file
// of 256 MiB, beside libsodium's raw XChaCha20-Poly1305 and Ed25519 speed on
// the same machine, and prints each figure's ratio to the raw one.
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
    for (const char* id : {"alice", "bob", "carol", "dave"}) {
      orlak::SecretKey key;
      orlak::GenerateKeyPair(id, key);
      std::string failed;
      if (orlak::CreateKeyFiles(secret, pub, key, failed) != 0) std::abort();
    }
    if (SignInit(secret.c_str(), pub.c_str()) != 0 || CryptoInit(secret.c_str(), pub.c_str()) != 0)
      std::abort();
    sender = Block("alice");
    for (const char* id : {"bob", "carol", "dave"}) receivers.push_back(Block(id));
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
bool Encrypt(const std::string& in, const std::string& out) {
  const void* blocks[3];
  for (int i = 0; i < 3; ++i) blocks[i] = Space().receivers[i].data();
  return EnCryptFileEx(in.c_str(), out.c_str(), "alice", blocks, 3, 0) == 0;
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
                : op == 2 ? Encrypt(w.Small(i, "plain"), w.Small(i, "enc"))
                          : Decrypt(w.Small(i, "enc"), w.Small(i, "dec"));
      if (!ok) state.SkipWithError("operation failed");
    }
  }
  Finish(state, kSmallFiles, kSmallSize);
}

void LargeFile(benchmark::State& state) {
  Workspace& w = Space();
  const int op = static_cast<int>(state.range(0));
  for (auto _ : state) {
    bool ok = op == 0   ? Sign(w.Large("plain"), w.Large("signed"))
              : op == 1 ? Check(w.Large("signed"))
              : op == 2 ? Encrypt(w.Large("plain"), w.Large("enc"))
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
BENCHMARK(RawAead)
    ->Name("raw/aead_xchacha20poly1305/256MiB")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RawEd25519)->Name("raw/ed25519_sign")->Arg(0);
BENCHMARK(RawEd25519)->Name("raw/ed25519_verify")->Arg(1);
BENCHMARK(SmallFiles)->Name("small/sign")->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/check")->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/encrypt3")->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFiles)->Name("small/decrypt")->Arg(3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFile)->Name("large/sign")->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFile)->Name("large/check")->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFile)->Name("large/encrypt3")->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFile)->Name("large/decrypt")->Arg(3)->Iterations(1)->Unit(benchmark::kMillisecond);

// The console table, then every file figure as a share of the raw figure it
// is bound by: bytes against the AEAD, files against one Ed25519 operation.
// Rates are per second of the process's processor time (user and system,
// which includes the page-cache copies), so that other load on a shared
// machine does not count.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      auto counter = [&](const char* name) {
        auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : double(found->second);
      };
      bytes_[run.run_name.function_name] = counter("bytes_per_second");
      items_[run.run_name.function_name] = counter("items_per_second");
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double aead = bytes_["raw/aead_xchacha20poly1305/256MiB"];
    const double sign = items_["raw/ed25519_sign"], verify = items_["raw/ed25519_verify"];
    std::printf("\nraw: AEAD %.0f MB/s, Ed25519 %.0f signatures/s, %.0f verifications/s\n",
                aead / 1e6, sign, verify);
    std::printf("%-16s %10s %10s %12s %18s\n", "operation", "MB/s", "files/s", "MB/s / AEAD",
                "files/s / Ed25519");
    for (const char* size : {"small", "large"}) {
      for (const char* op : {"sign", "check", "encrypt3", "decrypt"}) {
        const std::string key = std::string(size) + "/" + op;
        // Signatures are bound by Ed25519; encryption by X25519 and the AEAD.
        const std::string name = op;
        const double raw = name == "check" ? verify : name == "sign" ? sign : 0;
        char ratio[32] = "-";
        if (raw > 0) std::snprintf(ratio, sizeof ratio, "%.2f", items_[key] / raw);
        std::printf("%-16s %10.1f %10.1f %12.2f %18s\n", (std::string(size) + "/" + op).c_str(),
                    bytes_[key] / 1e6, items_[key], bytes_[key] / aead, ratio);
      }
    }
  }

 private:
  std::map<std::string, double> bytes_, items_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Space();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
