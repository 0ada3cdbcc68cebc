// Signing, checking and removing the stacked signatures of a file. Paths are
// the file system's (UTF-8) names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Keys.h"

namespace orlak {

class InputFile;

enum SignatureStatus : uint8_t { kSignatureValid = 0, kSignatureInvalid = 1, kSignerUnknown = 2 };

struct SignatureReport {
  std::string id;
  uint8_t status = kSignatureInvalid;
};

// Writes input plus one more signature by key to output (which may be the
// input itself). The new signature covers the content without signatures.
uint16_t SignFile(const std::string& input, const std::string& output, const SecretKey& key);

// Checks every signature of the opened file against the public keys of
// publicFolder. With a separate signature file the records are read from
// there and cover the whole of the file.
uint16_t CheckSignatures(InputFile& data, const std::string* separateFile,
                         const std::string& publicFolder, std::vector<SignatureReport>& reports);

// Removes the newest count signatures in place (kAllSignatures: every one)
// from a file opened for update. kBadParameter, with the file untouched,
// when it has fewer.
inline constexpr uint8_t kAllSignatures = 255;
uint16_t DeleteSignatures(InputFile& target, uint8_t count);

}  // namespace orlak
