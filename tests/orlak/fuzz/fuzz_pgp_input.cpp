// OpenPGP input as the library meets it: arbitrary bytes checked, stripped of
// their signatures, decrypted as a receiver of a fixed key, and read as a key
// file; also the packet framing the library walks itself. No crash, an
// output exactly when a call succeeds, nothing left behind.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Codes.h"
#include "Files.h"
#include "PgpKeyFiles.h"
#include "PgpKeys.h"
#include "PgpOps.h"
#include "PgpPackets.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string root, work, secret, publics, imported;

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

size_t Entries(const std::string& folder) {
  size_t count = 0;
  DIR* dir = ::opendir(folder.c_str());
  while (dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/fuzz-pgp-XXXXXX";
  Require(::mkdtemp(pattern) != nullptr);
  root = pattern;
  work = root + "/work/";
  secret = root + "/secret/";
  publics = root + "/public/";
  imported = root + "/imported/";
  for (const std::string& folder : {work, secret, publics, imported})
    Require(::mkdir(folder.c_str(), 0700) == 0);
  orlak::pgp::NewKey key;
  key.id = "me";
  key.userId = "Me <me@fuzz.example>";
  auto lock = orlak::pgp::Lock();
  Require(orlak::pgp::CreateKeyFiles(secret, publics, key).code == orlak::kOk);
  std::atexit([] { std::system(("rm -rf " + root).c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    orlak::MemorySource source(data, size);
    orlak::pgp::Classify(source);
    orlak::pgp::IsSignedMessage(source);
    orlak::pgp::SignatureFields fields;
    if (orlak::pgp::ParseSignaturePacket(std::string(reinterpret_cast<const char*>(data), size),
                                         fields))
      Require(orlak::pgp::OnePassPacket(fields, true).size() == 15);
  }
  auto lock = orlak::pgp::Lock();
  const std::string input = work + "input";
  Write(input, data, size);

  // Each operation opens the input as the library's calls do.
  auto opened = [&](bool forUpdate = false) {
    auto in = std::make_unique<orlak::InputFile>();
    Require(in->Open(input, forUpdate) == orlak::kOk);
    return in;
  };
  std::vector<orlak::SignatureReport> reports;
  const uint16_t checked = orlak::pgp::CheckSignatures(*opened(), nullptr, publics, reports);
  Require(checked == orlak::kOk || reports.empty());
  for (const auto& report : reports) Require(report.id.size() <= 13 && report.status <= 2);

  const orlak::pgp::KeyFile* me = nullptr;
  Require(orlak::pgp::FindKey(secret, true, "me", me) == orlak::kOk);
  const std::string out = work + "out";
  auto encrypted = opened();
  const uint16_t decrypted =
      orlak::pgp::DecryptFile(*encrypted, orlak::pgp::Classify(*encrypted), out, *me);
  Require((decrypted == orlak::kOk) == Exists(out));
  ::unlink(out.c_str());

  const uint16_t deleted =
      orlak::pgp::DeleteSignatures(*opened(true), input, orlak::kAllSignatures);
  Require(Exists(input));
  (void)deleted;
  Require(Entries(work) == 1);

  // As a partner's key handed to marvik.
  const auto result = orlak::pgp::ImportPublicKey(
      std::string(reinterpret_cast<const char*>(data), size), imported, "k");
  Require((result.code == orlak::kOk && result.error == 0) == Exists(imported + "k.asc"));
  ::unlink((imported + "k.asc").c_str());
  ::unlink(input.c_str());
  return 0;
}
