// Encryption for several receivers and its reverse. Paths are the file
// system's (UTF-8) names.
#pragma once

#include <string>
#include <vector>

#include "Keys.h"

namespace orlak {

// Writes input encrypted by sender for the receivers to output.
uint16_t EncryptFile(const std::string& input, const std::string& output, const SecretKey& sender,
                     const std::vector<PublicKey>& receivers);

// Writes the plaintext to output only when the whole file proved to come
// from sender for receiver unchanged; otherwise output is not created.
uint16_t DecryptFile(const std::string& input, const std::string& output, const SecretKey& receiver,
                     const PublicKey& sender);

}  // namespace orlak
