// Starting inputs of fuzz_pgp_input: a key, a signed message, an encrypted
// message and a signed encrypted one, made with a key of its own (the
// fuzzer's key differs, so decryption meets a message for someone else).
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "PgpKeyFiles.h"
#include "PgpKeys.h"
#include "PgpOps.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string out = std::string(argv[1]) + "/";
  char pattern[] = "/tmp/seed-pgp-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string root = pattern;
  const std::string secret = root + "/s/", publics = root + "/p/";
  ::mkdir(secret.c_str(), 0700);
  ::mkdir(publics.c_str(), 0700);
  auto lock = orlak::pgp::Lock();
  orlak::pgp::NewKey key;
  key.id = "seed";
  key.userId = "Seed <seed@fuzz.example>";
  if (orlak::pgp::CreateKeyFiles(secret, publics, key).code != 0) return 1;
  const orlak::pgp::KeyFile* signer = nullptr;
  if (orlak::pgp::FindKey(secret, true, "seed", signer) != 0) return 1;
  { std::ofstream(root + "/plain") << "seed content\n"; }
  orlak::pgp::SignFile(root + "/plain", out + "signed", *signer);
  orlak::pgp::EncryptFile(root + "/plain", out + "encrypted", *signer, {signer->fingerprint});
  orlak::pgp::EncryptFile(out + "signed", out + "signed-encrypted", *signer, {signer->fingerprint});
  std::ifstream in(publics + "seed.asc", std::ios::binary);
  std::ofstream(out + "key.asc") << in.rdbuf();
  std::system(("rm -rf " + root).c_str());
  return 0;
}
