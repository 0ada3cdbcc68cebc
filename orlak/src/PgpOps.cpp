#include "PgpOps.h"

#include <sodium.h>

#include <algorithm>
#include <memory>

#include "Codes.h"
#include "KeysUsed.h"
#include "PgpPackets.h"

namespace orlak::pgp {
namespace {

// Plaintext up to this size is kept in memory while a message is decrypted,
// so a small signed message is put back together without a second pass.
constexpr size_t kMemoryPlaintext = 4u << 20;
// Bytes copied at a time where the library copies a file's part itself.
constexpr size_t kCopyBlock = 1u << 20;

struct SignOp {
  rnp_op_sign_t op = nullptr;
  ~SignOp() { rnp_op_sign_destroy(op); }
};
struct EncryptOp {
  rnp_op_encrypt_t op = nullptr;
  ~EncryptOp() { rnp_op_encrypt_destroy(op); }
};
struct VerifyOp {
  rnp_op_verify_t op = nullptr;
  ~VerifyOp() { rnp_op_verify_destroy(op); }
};

std::string TakeString(rnp_result_t (*get)(rnp_key_handle_t, char**), rnp_key_handle_t key) {
  char* s = nullptr;
  if (get(key, &s) != RNP_SUCCESS) return {};
  return rnp::Take(s);
}

// The hex string after the n-th "raw":" of a packet dump (n from 0).
std::string RawField(const std::string& json, int n) {
  static const std::string kField = "\"raw\":\"";
  size_t at = 0;
  for (int i = 0; i <= n; ++i) {
    at = json.find(kField, at);
    if (at == std::string::npos) return {};
    at += kField.size();
  }
  const size_t end = json.find('"', at);
  if (end == std::string::npos) return {};
  std::string bytes;
  for (size_t i = at; i + 1 < end; i += 2)
    bytes.push_back(static_cast<char>(std::stoi(json.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The signature packet as the message holds it: its body byte for byte,
// under RNP's packet header.
std::string SignaturePacket(rnp_signature_handle_t sig) {
  char* json = nullptr;
  if (rnp_signature_packet_to_json(sig, RNP_JSON_DUMP_RAW, &json) != RNP_SUCCESS) return {};
  const std::string dump = rnp::Take(json);
  return RawField(dump, 0) + RawField(dump, 1);
}

// The primary key of a key (itself when it is one), in the same ring.
rnp::Key PrimaryOf(rnp_ffi_t ffi, rnp_key_handle_t key) {
  bool primary = false;
  rnp_key_is_primary(key, &primary);
  const std::string fpr =
      primary ? TakeString(rnp_key_get_fprint, key) : TakeString(rnp_key_get_primary_fprint, key);
  return rnp::FindByFingerprint(ffi, fpr);
}

// A signature's signer by its key ID, as much of it as a record holds.
std::string SignatureKeyId(rnp_op_verify_signature_t sig) {
  rnp_signature_handle_t handle = nullptr;
  std::string keyId;
  if (rnp_op_verify_signature_get_handle(sig, &handle) == RNP_SUCCESS) {
    rnp::Signature owned(handle);
    char* s = nullptr;
    if (rnp_signature_get_keyid(handle, &s) == RNP_SUCCESS) keyId = rnp::Take(s);
  }
  return keyId.size() > 13 ? keyId.substr(keyId.size() - 13) : keyId;
}

bool IsWeakHash(const std::string& hash) {
  return hash == RNP_ALGNAME_SHA1 || hash == RNP_ALGNAME_MD5;
}

// True when the secret key of the usage is protected by a passphrase.
bool IsProtected(rnp_key_handle_t primary, const char* usage) {
  rnp_key_handle_t key = nullptr;
  if (rnp_key_get_default_key(primary, usage, 0, &key) != RNP_SUCCESS || !key) return false;
  rnp::Key owned(key);
  bool locked = false;
  return rnp_key_is_protected(key, &locked) == RNP_SUCCESS && locked;
}

// Where decrypted plaintext goes: memory first, the output file once it
// grows large.
class PlainSink {
 public:
  explicit PlainSink(const std::string& target) : target_(target) {}
  static bool Write(void* ctx, const void* buf, size_t len) {
    return static_cast<PlainSink*>(ctx)->Add(buf, len);
  }
  ~PlainSink() { sodium_memzero(memory_.data(), memory_.size()); }
  bool Spilled() const { return direct_ != nullptr; }
  OutputFile* Direct() { return direct_.get(); }
  const std::string& Memory() const { return memory_; }
  uint64_t Size() const { return size_; }
  uint16_t code = kOk;

 private:
  bool Add(const void* buf, size_t len) {
    size_ += len;
    if (!direct_ && memory_.size() + len <= kMemoryPlaintext) {
      memory_.append(static_cast<const char*>(buf), len);
      return true;
    }
    if (!direct_) {
      direct_ = std::make_unique<OutputFile>();
      if ((code = direct_->Create(target_, 0600)) != kOk ||
          (code = direct_->Write(memory_.data(), memory_.size())) != kOk)
        return false;
      sodium_memzero(memory_.data(), memory_.size());
      memory_.clear();
    }
    return (code = direct_->Write(buf, len)) == kOk;
  }
  std::string target_;
  std::string memory_;
  std::unique_ptr<OutputFile> direct_;
  uint64_t size_ = 0;
};

struct Decrypted {
  std::vector<std::string> signatures;  // whole packets, in the message's order
  std::string fileName;
  uint32_t time = 0;
};

// One decryption of input with the receiver's ring into output. Refuses
// data without integrity protection.
uint16_t DecryptInto(InputFile& in, rnp_ffi_t ring, rnp_output_t output, Decrypted& result) {
  bool readFailed = false;
  rnp::Input source = rnp::InputOf(in, &readFailed);
  if (!source) return kCryptoFailure;
  VerifyOp op;
  if (rnp_op_verify_create(&op.op, ring, source.get(), output) != RNP_SUCCESS ||
      rnp_op_verify_set_flags(op.op, RNP_VERIFY_IGNORE_SIGS_ON_DECRYPT) != RNP_SUCCESS)
    return kCryptoFailure;
  const rnp_result_t rc = rnp_op_verify_execute(op.op);
  char* mode = nullptr;
  bool valid = false;
  rnp_op_verify_get_protection_info(op.op, &mode, nullptr, &valid);
  const std::string protection = rnp::Take(mode);
  if (protection == "cfb") return kNoIntegrity;
  if (rc == RNP_ERROR_NO_SUITABLE_KEY || rc == RNP_ERROR_KEY_NOT_FOUND) return kNotAddressed;
  if (rc == RNP_ERROR_BAD_PASSWORD) return kSecretKeyProtected;
  if (rc == RNP_ERROR_WRITE) return kWriteFailed;
  if (readFailed) return kReadFailed;
  // A failed integrity check surfaces as a read error of the decrypted stream.
  if (rc != RNP_SUCCESS) return protection == "none" ? kNotEncrypted : kAuthFailed;
  if (protection == "none") return kNotEncrypted;
  if (!valid) return kAuthFailed;
  size_t count = 0;
  rnp_op_verify_get_signature_count(op.op, &count);
  for (size_t i = 0; i < count; ++i) {
    rnp_op_verify_signature_t sig = nullptr;
    rnp_signature_handle_t handle = nullptr;
    if (rnp_op_verify_get_signature_at(op.op, i, &sig) != RNP_SUCCESS ||
        rnp_op_verify_signature_get_handle(sig, &handle) != RNP_SUCCESS)
      return kUnsupportedFormat;
    rnp::Signature owned(handle);
    std::string packet = SignaturePacket(handle);
    SignatureFields fields;
    if (!ParseSignaturePacket(packet, fields)) return kUnsupportedFormat;
    result.signatures.push_back(std::move(packet));
  }
  char* name = nullptr;
  rnp_op_verify_get_file_info(op.op, &name, &result.time);
  result.fileName = rnp::Take(name);
  return kOk;
}

// One-pass signature packets (the first announces the last signature),
// then the literal data header.
std::string SignedMessageHead(const Decrypted& message, uint64_t length) {
  std::string head;
  for (size_t i = message.signatures.size(); i-- > 0;) {
    SignatureFields fields;
    ParseSignaturePacket(message.signatures[i], fields);
    head += OnePassPacket(fields, i == 0);
  }
  return head + LiteralHeader(message.fileName, message.time, length);
}

}  // namespace

Kind ClassifyFile(const std::string& path) {
  InputFile in;
  if (in.Open(path) != kOk) return Kind::kNotPgp;
  return Classify(in);
}

bool IsPgp(Kind kind) {
  return kind != Kind::kNotPgp;
}

uint16_t SignFile(const std::string& input, const std::string& output, const KeyFile& signer) {
  rnp::Key primary = rnp::FindByFingerprint(signer.secret.get(), signer.fingerprint);
  if (!primary) return kKeyNotFound;
  uint16_t code = CheckUsable(primary.get(), "sign");
  if (code != kOk) return code;
  if (IsProtected(primary.get(), "sign")) return kSecretKeyProtected;
  rnp_key_handle_t signing = nullptr;
  if (rnp_key_get_default_key(primary.get(), "sign", 0, &signing) != RNP_SUCCESS || !signing)
    return kKeyCapabilityMissing;
  rnp::Key signingKey(signing);

  InputFile in;
  if ((code = in.Open(input)) != kOk) return code;
  OutputFile out;
  if ((code = out.Create(output, 0666)) != kOk) return code;
  rnp::Input source = rnp::InputOf(in);
  rnp::Output sink = rnp::OutputOf(out);
  SignOp op;
  if (!source || !sink ||
      rnp_op_sign_create(&op.op, signer.secret.get(), source.get(), sink.get()) != RNP_SUCCESS ||
      rnp_op_sign_add_signature(op.op, signing, nullptr) != RNP_SUCCESS ||
      rnp_op_sign_set_hash(op.op, RNP_ALGNAME_SHA256) != RNP_SUCCESS ||
      rnp_op_sign_set_compression(op.op, "Uncompressed", 0) != RNP_SUCCESS ||
      rnp_op_sign_set_armor(op.op, false) != RNP_SUCCESS ||
      rnp_op_sign_set_file_name(op.op, "") != RNP_SUCCESS ||
      rnp_op_sign_set_file_mtime(op.op, 0) != RNP_SUCCESS)
    return kCryptoFailure;
  const rnp_result_t rc = rnp_op_sign_execute(op.op);
  if (rc == RNP_ERROR_READ) return kReadFailed;
  if (rc == RNP_ERROR_WRITE) return kWriteFailed;
  if (rc != RNP_SUCCESS) return kCryptoFailure;
  if (rnp_output_finish(sink.get()) != RNP_SUCCESS) return kWriteFailed;
  return out.Commit();
}

uint16_t EncryptFile(const std::string& input, const std::string& output, const KeyFile& sender,
                     const std::vector<std::string>& receiverFingerprints) {
  rnp_ffi_t ring = PublicRing();
  std::vector<rnp::Key> receivers;
  std::vector<std::string> seen;
  auto add = [&](const std::string& fpr, rnp::Key key) {
    if (std::find(seen.begin(), seen.end(), fpr) != seen.end()) return;
    seen.push_back(fpr);
    receivers.push_back(std::move(key));
  };
  for (const std::string& fpr : receiverFingerprints) {
    rnp::Key key = rnp::FindByFingerprint(ring, fpr);
    if (!key) return kPublicKeyMissing;
    uint16_t code = CheckUsable(key.get(), "encrypt");
    if (code != kOk) return code;
    add(fpr, std::move(key));
  }
  rnp::Key own = PublicKeyOf(sender);
  if (!own) return kKeyNotFound;
  bool revoked = false, expired = false;
  rnp_key_is_revoked(own.get(), &revoked);
  rnp_key_is_expired(own.get(), &expired);
  if (revoked || expired) return kKeyExpiredOrRevoked;
  // The archive copy stays readable to us when our key can receive.
  if (CheckUsable(own.get(), "encrypt") == kOk) add(sender.fingerprint, std::move(own));

  InputFile in;
  uint16_t code = in.Open(input);
  if (code != kOk) return code;
  const bool signedMessage = IsSignedMessage(in);
  OutputFile out;
  if ((code = out.Create(output, 0666)) != kOk) return code;
  rnp::Input source = rnp::InputOf(in);
  rnp::Output sink = rnp::OutputOf(out);
  EncryptOp op;
  if (!source || !sink ||
      rnp_op_encrypt_create(&op.op, ring, source.get(), sink.get()) != RNP_SUCCESS ||
      rnp_op_encrypt_set_cipher(op.op, RNP_ALGNAME_AES_256) != RNP_SUCCESS ||
      rnp_op_encrypt_set_aead(op.op, "None") != RNP_SUCCESS ||
      rnp_op_encrypt_set_compression(op.op, "Uncompressed", 0) != RNP_SUCCESS ||
      rnp_op_encrypt_set_armor(op.op, false) != RNP_SUCCESS)
    return kCryptoFailure;
  for (const rnp::Key& key : receivers)
    if (rnp_op_encrypt_add_recipient(op.op, key.get()) != RNP_SUCCESS) return kCryptoFailure;
  if (signedMessage) {
    if (rnp_op_encrypt_set_flags(op.op, RNP_ENCRYPT_NOWRAP) != RNP_SUCCESS) return kCryptoFailure;
  } else if (rnp_op_encrypt_set_file_name(op.op, "") != RNP_SUCCESS ||
             rnp_op_encrypt_set_file_mtime(op.op, 0) != RNP_SUCCESS) {
    return kCryptoFailure;
  }
  const rnp_result_t rc = rnp_op_encrypt_execute(op.op);
  if (rc == RNP_ERROR_READ) return kReadFailed;
  if (rc == RNP_ERROR_WRITE) return kWriteFailed;
  if (rc != RNP_SUCCESS) return kCryptoFailure;
  if (rnp_output_finish(sink.get()) != RNP_SUCCESS) return kWriteFailed;
  return out.Commit();
}

uint16_t DecryptFile(InputFile& input, Kind kind, const std::string& output,
                     const KeyFile& receiver) {
  if (input.Size() == 0) return kBadFileLength;
  if (kind != Kind::kEncrypted && kind != Kind::kArmored) return kNotEncrypted;
  rnp::Key primary = rnp::FindByFingerprint(receiver.secret.get(), receiver.fingerprint);
  if (!primary) return kKeyNotFound;
  if (IsProtected(primary.get(), "encrypt")) return kSecretKeyProtected;

  PlainSink plain(output);
  rnp_output_t raw = nullptr;
  if (rnp_output_to_callback(&raw, PlainSink::Write, nullptr, &plain) != RNP_SUCCESS)
    return kCryptoFailure;
  rnp::Output sink(raw);
  Decrypted message;
  uint16_t code = DecryptInto(input, receiver.secret.get(), sink.get(), message);
  if (code == kOk && rnp_output_finish(sink.get()) != RNP_SUCCESS) code = kWriteFailed;
  if (plain.code != kOk) return plain.code;
  if (code != kOk) return code;

  if (message.signatures.empty()) {
    if (plain.Spilled()) return plain.Direct()->Commit();
    OutputFile out;
    if ((code = out.Create(output, 0600)) != kOk ||
        (code = out.Write(plain.Memory().data(), plain.Memory().size())) != kOk)
      return code;
    return out.Commit();
  }
  if (plain.Size() > kMaxLiteralLength) return kUnsupportedFormat;
  OutputFile out;
  if ((code = out.Create(output, 0600)) != kOk) return code;
  const std::string head = SignedMessageHead(message, plain.Size());
  if ((code = out.Write(head.data(), head.size())) != kOk) return code;
  if (!plain.Spilled()) {
    if ((code = out.Write(plain.Memory().data(), plain.Memory().size())) != kOk) return code;
  } else {
    // A large signed message: decrypted once more, straight behind its head.
    rnp::Output again = rnp::OutputOf(out);
    Decrypted second;
    if (!again) return kCryptoFailure;
    if ((code = DecryptInto(input, receiver.secret.get(), again.get(), second)) != kOk) return code;
    if (rnp_output_finish(again.get()) != RNP_SUCCESS) return kWriteFailed;
    if (second.signatures != message.signatures) return kAuthFailed;
  }
  for (const std::string& packet : message.signatures)
    if ((code = out.Write(packet.data(), packet.size())) != kOk) return code;
  return out.Commit();
}

uint16_t CheckSignatures(InputFile& in, const std::string* separateFile,
                         const std::string& publicFolder, std::vector<SignatureReport>& reports) {
  reports.clear();
  uint16_t code = kOk;
  if (in.Size() == 0) return kBadFileLength;
  InputFile signatures;
  if (separateFile) {
    if ((code = signatures.Open(*separateFile)) != kOk) return code;
    if (signatures.Size() == 0) return kBadFileLength;
  } else if (Classify(in) == Kind::kEncrypted) {
    return kNotSigned;
  }
  const std::vector<KeyFile>& folderKeys = FolderKeys(publicFolder, false);
  std::vector<std::pair<std::string, std::string>> signers;  // file identifier, fingerprint
  rnp_ffi_t ring = PublicRing();
  rnp::Input source = rnp::InputOf(in);
  rnp::Input detached = separateFile ? rnp::InputOf(signatures) : nullptr;
  rnp::Output discard = rnp::NullOutput();
  VerifyOp op;
  if (!source || !discard || (separateFile && !detached)) return kCryptoFailure;
  const rnp_result_t created =
      separateFile ? rnp_op_verify_detached_create(&op.op, ring, source.get(), detached.get())
                   : rnp_op_verify_create(&op.op, ring, source.get(), discard.get());
  if (created != RNP_SUCCESS) return kCryptoFailure;
  const rnp_result_t rc = rnp_op_verify_execute(op.op);
  size_t count = 0;
  rnp_op_verify_get_signature_count(op.op, &count);
  if (rc == RNP_ERROR_READ) return kReadFailed;
  if (count == 0)
    return rc == RNP_SUCCESS || rc == RNP_ERROR_NO_SIGNATURES_FOUND ||
                   rc == RNP_ERROR_SIGNATURE_INVALID
               ? kNotSigned
               : kUnsupportedFormat;
  if (rc != RNP_SUCCESS && rc != RNP_ERROR_SIGNATURE_INVALID && rc != RNP_ERROR_SIGNATURE_EXPIRED &&
      rc != RNP_ERROR_KEY_NOT_FOUND)
    return kUnsupportedFormat;
  if (count > kAllSignatures - 1) return kUnsupportedFormat;
  for (size_t i = 0; i < count; ++i) {
    rnp_op_verify_signature_t sig = nullptr;
    if (rnp_op_verify_get_signature_at(op.op, i, &sig) != RNP_SUCCESS) return kCryptoFailure;
    char* hash = nullptr;
    rnp_op_verify_signature_get_hash(sig, &hash);
    const std::string hashName = rnp::Take(hash);
    SignatureReport report;
    rnp_key_handle_t signer = nullptr;
    rnp_op_verify_signature_get_key(sig, &signer);
    rnp::Key signerKey(signer);
    const KeyFile* named = nullptr;
    if (signerKey) {
      rnp::Key primary = PrimaryOf(ring, signerKey.get());
      const std::string fpr = primary ? TakeString(rnp_key_get_fprint, primary.get()) : "";
      for (const KeyFile& key : folderKeys)
        if (key.code == kOk && key.fingerprint == fpr) named = &key;
    }
    // Weak material is refused, with what is weak and whose it is.
    const std::string who = named ? RotationBase(named->id) : SignatureKeyId(sig);
    if (IsWeakHash(hashName)) {
      NoteWeakSignature(who, "hash", hashName);
      return kWeakMaterial;
    }
    if (signerKey && IsWeakKey(signerKey.get())) {
      uint32_t bits = 0;
      rnp_key_get_bits(signerKey.get(), &bits);
      NoteWeakSignature(who, "key",
                        TakeString(rnp_key_get_alg, signerKey.get()) + "/" + std::to_string(bits));
      return kWeakMaterial;
    }
    if (named) {
      report.id = RotationBase(named->id);  // any key of the identifier signs for it
      signers.push_back({named->id, named->fingerprint});
      report.status = rnp_op_verify_signature_get_status(sig) == RNP_SUCCESS ? kSignatureValid
                                                                             : kSignatureInvalid;
    } else {
      report.id = who;
      report.status = kSignerUnknown;
    }
    reports.push_back(std::move(report));
  }
  for (const auto& [id, fingerprint] : signers) NoteKeyUsed(publicFolder, id, fingerprint);
  return kOk;
}

uint16_t DeleteSignatures(InputFile& in, const std::string& file, uint8_t count) {
  uint16_t code = kOk;
  if (in.Size() == 0) return kBadFileLength;
  if (Classify(in) == Kind::kEncrypted) return kNotSigned;
  OutputFile out;
  if ((code = out.Create(file, 0600)) != kOk) return code;
  // The plain form (what a decryption here yields) is cut out directly: RNP
  // would verify every signature only to have the verdict ignored.
  SignedData plain;
  if (FindSignedData(in, plain)) {
    if (count != kAllSignatures && count > plain.signatures) return kBadParameter;
    if (count != kAllSignatures && count < plain.signatures) return kUnsupportedFormat;
    std::vector<char> buffer(
        static_cast<size_t>(std::min<uint64_t>(kCopyBlock, plain.dataEnd - plain.dataStart)));
    for (uint64_t at = plain.dataStart; at < plain.dataEnd;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), plain.dataEnd - at));
      if (!in.ReadAt(at, buffer.data(), n)) return kReadFailed;
      if ((code = out.Write(buffer.data(), n)) != kOk) return code;
      at += n;
    }
    return out.Commit();
  }
  rnp::Input source = rnp::InputOf(in);
  rnp::Output sink = rnp::OutputOf(out);
  VerifyOp op;
  // The content is wanted, not a judgement of the signatures: whatever the
  // public ring says of them is ignored.
  if (!source || !sink ||
      rnp_op_verify_create(&op.op, PublicRing(), source.get(), sink.get()) != RNP_SUCCESS)
    return kCryptoFailure;
  const rnp_result_t rc = rnp_op_verify_execute(op.op);
  size_t signatures = 0;
  rnp_op_verify_get_signature_count(op.op, &signatures);
  if (rc == RNP_ERROR_READ) return kReadFailed;
  if (rc == RNP_ERROR_WRITE) return kWriteFailed;
  if (signatures == 0) return rc == RNP_SUCCESS ? kNotSigned : kUnsupportedFormat;
  if (rc != RNP_SUCCESS && rc != RNP_ERROR_SIGNATURE_INVALID) return kUnsupportedFormat;
  if (count != kAllSignatures && count > signatures) return kBadParameter;
  if (count != kAllSignatures && count < signatures) return kUnsupportedFormat;
  if (rnp_output_finish(sink.get()) != RNP_SUCCESS) return kWriteFailed;
  return out.Commit();
}

}  // namespace orlak::pgp
