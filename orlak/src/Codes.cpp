#include "Codes.h"

namespace orlak {

const char* CodeName(uint16_t code) {
  switch (code) {
    case kOk:
      return "no error";
    case kOutOfMemory:
      return "out of memory";
    case kCryptoFailure:
      return "cryptographic function failed";
    case kAuthFailed:
      return "authentication failed, the file is damaged or forged";
    case kKeyNotFound:
      return "secret key not found";
    case kBadParameter:
      return "invalid parameter";
    case kNotInitialised:
      return "library not initialised";
    case kInputOpen:
      return "cannot open the input file";
    case kOutputOpen:
      return "cannot create the output file";
    case kWriteFailed:
      return "write error";
    case kReadFailed:
      return "read error";
    case kRenameFailed:
      return "cannot rename the output file into place";
    case kBadFileLength:
      return "wrong file length (empty, cut short or extended)";
    case kNotEncrypted:
      return "the file is not encrypted";
    case kNotSigned:
      return "the file is not signed";
    case kNoFreeSlots:
      return "no room for another signature";
    case kUnsupportedFormat:
      return "malformed or unsupported format";
    case kPublicKeyMissing:
      return "public key not found";
    case kPublicKeyDamaged:
      return "public key damaged";
    case kPublicFolderMissing:
      return "public-keys folder not found";
    case kWrongSender:
      return "the file is not from the given sender";
    case kSecretFolderMissing:
      return "secret-keys folder not found";
    case kNotAddressed:
      return "the file is not addressed to this key";
    case kKeyExpiredOrRevoked:
      return "the OpenPGP key expired or was revoked";
    case kKeyCapabilityMissing:
      return "the OpenPGP key cannot do this (no encryption subkey or no signing key)";
    case kWeakMaterial:
      return "weak OpenPGP material (RSA under 2048 bits, SHA-1 or MD5 signature)";
    case kNoIntegrity:
      return "OpenPGP encrypted data without integrity protection";
    case kSecretKeyProtected:
      return "the OpenPGP secret key is protected by a passphrase; import it with marvik "
             "import-secret";
    case kMixedFormats:
      return "OpenPGP and liborlak keys or files mixed in one step";
    case kAmbiguousKey:
      return "the identifier matches several OpenPGP keys";
    case kSecretKeyDamaged:
      return "secret key damaged";
    default:
      return "unknown error";
  }
}

}  // namespace orlak
