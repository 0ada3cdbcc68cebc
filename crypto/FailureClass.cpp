#include "crypto/FailureClass.h"

#include <algorithm>
#include <iterator>

namespace {

// Codes that say the file itself is wrong, whatever the step. Sorted.
//   4   authentication tag mismatch: the file was changed
//  10   bad block length
//  11   decrypting what is not encrypted (memory)
//  12   checking what is not signed (memory)
//  26   bad (for instance empty, cut or extended) file length
//  27   checksum of the encrypted file does not match
//  29   decrypting a file that is not encrypted
//  30   checking a file that is not signed
//  38   no free slots: the file holds as many signatures as it may
//  42   format not supported: a malformed header or trailer
// 102   hash value mismatch
// 125   not made by the named sender
// 129   the file holds no key for this receiver: not addressed to us
// 600   the signature check's verdict is negative
// 703   OpenPGP data without integrity protection
constexpr uint16_t kFileCodes[] = {4, 10, 11, 12, 26, 27, 29, 30, 38, 42, 102, 125, 129, 600, 703};

// Every other code of the library names a key, a key folder, the library's
// state, memory, the random source, the key medium or a working file:
//   1 memory, 2 crypto failure, 3 random source, 6 key not found, 7 a call
//   the library refused (a key the cache could not hold), 8 library not open,
//   21-25 and 31-33 working files, 34-41 and 101-133 key folders and key
//   media, 601-603 copies in the working space, 700-702, 704, 706 OpenPGP
//   keys (expired, revoked, unfit, weak, protected, ambiguous), 4096-4104
//   key media.
// Code 705 (OpenPGP and liborlak mixed in one call) is the script's when the
// step makes a file (its keys are of two formats) and the file's when it
// reads one (the partner sent the other format).
constexpr uint16_t kMixedFormats = 705;

bool IsKnownCode(uint16_t code) {
  return code <= 42 || (code >= 101 && code <= 133) || (code >= 600 && code <= 603) ||
         (code >= 700 && code <= 706) || (code >= 4096 && code <= 4104);
}

}  // namespace

TFailureClass ClassifyResult(uint16_t code, TStepRole role) {
  static_assert(std::is_sorted(std::begin(kFileCodes), std::end(kFileCodes)));
  if (std::binary_search(std::begin(kFileCodes), std::end(kFileCodes), code))
    return TFailureClass::File;
  if (code == kMixedFormats)
    return role == TStepRole::Makes ? TFailureClass::Environment : TFailureClass::File;
  return IsKnownCode(code) ? TFailureClass::Environment : TFailureClass::File;
}
