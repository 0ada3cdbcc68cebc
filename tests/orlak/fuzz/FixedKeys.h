// Key pairs made from fixed bytes, so that the seeds written by one process
// open in the fuzzer's: the sender alice and the receivers bob and carol.
#pragma once

#include <sodium.h>

#include <cstring>

#include "Keys.h"

namespace orlak_fuzz {

inline void FixedKey(const char* id, unsigned char seed, orlak::SecretKey& key) {
  unsigned char bytes[crypto_sign_SEEDBYTES];
  std::memset(bytes, seed, sizeof bytes);
  key.pub.id = id;
  crypto_sign_seed_keypair(key.pub.signPk, key.signSk(), bytes);
  std::memset(key.boxSk(), seed ^ 0x5a, crypto_scalarmult_SCALARBYTES);
  crypto_scalarmult_base(key.pub.boxPk, key.boxSk());
}

struct FixedKeys {
  orlak::SecretKey alice, bob, carol;
  FixedKeys() {
    FixedKey("alice", 1, alice);
    FixedKey("bob", 2, bob);
    FixedKey("carol", 3, carol);
  }
};

}  // namespace orlak_fuzz
