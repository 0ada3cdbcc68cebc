// Encrypted files put together by hand from the format's parts: the writer of
// version 1 as the library had it (kept here, as the library writes only
// version 2 now), and the file a dishonest sender can make, whose entries
// wrap a different file key for each receiver around one chunk that opens
// under both keys. Failures throw std::runtime_error. Also used for the
// fuzzers' seeds.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "Keys.h"

namespace orlak_test {

using Key32 = std::array<unsigned char, 32>;

Key32 RandomKey();

// A file of the version, from sender to the receivers, honestly made: one
// file key for all, the plaintext in 64 KiB chunks.
std::string HandMadeFile(unsigned char version, const orlak::SecretKey& sender,
                         const std::vector<orlak::PublicKey>& receivers, const std::string& plain);

// A dishonest sender's file for two receivers: entry 0 wraps firstKey, entry
// 1 secondKey, and the single chunk opens under the stream key of each (to
// different plaintexts). A version-2 header commits to the key of entry
// committedTo. Each receiver's seal is right. Both keys are chosen here.
struct DishonestFile {
  std::string bytes;
  Key32 firstKey, secondKey;
  std::string firstPlain, secondPlain;  // what each receiver's stream gives
};
DishonestFile MakeDishonestFile(unsigned char version, const orlak::SecretKey& sender,
                                const orlak::PublicKey& first, const orlak::PublicKey& second,
                                size_t committedTo = 0);

}  // namespace orlak_test
