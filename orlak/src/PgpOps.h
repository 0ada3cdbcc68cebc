// The library's operations on OpenPGP messages, through RNP. Paths are the
// file system's names; the caller holds pgp::Lock() and has resolved the
// keys. Every output takes its name only when the operation succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PgpKeys.h"
#include "PgpPackets.h"
#include "Signing.h"

namespace orlak::pgp {

// What the file at path looks like (Kind::kNotPgp when it cannot be read).
Kind ClassifyFile(const std::string& path);
bool IsPgp(Kind kind);

// A one-pass signed message (binary, v4 signature, SHA-256, the input as
// binary literal data).
uint16_t SignFile(const std::string& input, const std::string& output, const KeyFile& signer);

// An integrity-protected (MDC) AES-256 message to the receivers (public
// keys by fingerprint), and to the sender when it has an encryption subkey.
// An input that is a binary signed message is encrypted as it is.
uint16_t EncryptFile(const std::string& input, const std::string& output, const KeyFile& sender,
                     const std::vector<std::string>& receiverFingerprints);

// The opened input's message content, or, when it is also signed, a signed
// message made of that content and the message's own signature packets.
// kind: what Classify said of the input.
uint16_t DecryptFile(InputFile& input, Kind kind, const std::string& output,
                     const KeyFile& receiver);

// One report per signature of the opened file, signers named by their files
// in publicFolder. With a separate file, that file holds detached signatures
// of the file.
uint16_t CheckSignatures(InputFile& in, const std::string* separateFile,
                         const std::string& publicFolder, std::vector<SignatureReport>& reports);

// Replaces the signed message (opened as in, named file) by its content when
// count removes every signature (255, or their number).
uint16_t DeleteSignatures(InputFile& in, const std::string& file, uint8_t count);

}  // namespace orlak::pgp
