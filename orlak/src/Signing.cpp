#include "Signing.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>

#include "Codes.h"
#include "Files.h"
#include "KeyStore.h"
#include "Secret.h"
#include "SignFormat.h"
#include "WriteBehind.h"

namespace orlak {
namespace {

// Small enough to stay in the cache between the read, the hash and the write.
constexpr size_t kBufferSize = 64 * 1024;

// Reads the whole input from its start, hashing its first hashLength bytes
// into state and handing every byte to sink when one is given.
uint16_t HashFile(InputFile& in, uint64_t hashLength, crypto_sign_state& state, WriteBehind* sink) {
  if (!in.Seek(0)) return kReadFailed;
  WipedBuffer own(sink ? 0 : static_cast<size_t>(std::min<uint64_t>(kBufferSize, hashLength)));
  const uint64_t total = sink ? in.Size() : hashLength;
  uint64_t done = 0;
  while (done < total) {
    unsigned char* buffer = sink ? sink->Acquire() : own.data();
    if (buffer == nullptr) return sink->Finish();
    size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, total - done));
    if (in.Read(buffer, want) != static_cast<ssize_t>(want)) return kReadFailed;
    if (done < hashLength) {
      size_t hashed = static_cast<size_t>(std::min<uint64_t>(want, hashLength - done));
      crypto_sign_update(&state, buffer, hashed);
    }
    if (sink) sink->Submit(want);
    done += want;
  }
  return sink ? sink->Finish() : static_cast<uint16_t>(kOk);
}

}  // namespace

uint16_t SignFile(const std::string& input, const std::string& output, const SecretKey& key) {
  InputFile in;
  uint16_t code = in.Open(input);
  if (code != kOk) return code;

  SignTrailer trailer;
  code = ParseSignTrailer(in, false, trailer);
  uint64_t contentLength = in.Size();
  if (code == kOk) {
    contentLength = trailer.contentLength;
  } else if (code != kNotSigned && code != kBadFileLength) {
    return code;  // a damaged trailer is not silently signed over
  }
  if (trailer.records.size() >= kMaxSignatures) return kNoFreeSlots;
  // The new record signs every record before it, whatever their version:
  // appended to version-1 records it binds them too.
  SignRecord record;
  if (code == kOk)
    std::memcpy(record.chain, trailer.chainEnd, kChainSize);
  else
    SignChain().Digest(record.chain);

  OutputFile out;
  code = out.Create(output, 0666);
  if (code != kOk) return code;
  crypto_sign_state state;
  WipeOnExit<crypto_sign_state> wipeState(state);
  crypto_sign_init(&state);
  {
    // The copy is written beside the hash.
    // No more room than a small file needs: the buffer is cleared and wiped.
    WriteBehind sink(static_cast<size_t>(std::clamp<uint64_t>(in.Size(), 1, kBufferSize)),
                     in.Size() >= kWriteBehindFrom, [&out](const unsigned char* data, size_t size) {
                       return out.Write(data, size);
                     });
    code = HashFile(in, contentLength, state, &sink);
  }
  if (code != kOk) return code;

  record.version = kSignVersion2;
  record.index = static_cast<unsigned>(trailer.records.size()) + 1;
  record.id = key.pub.id;
  record.contentLength = contentLength;
  unsigned char suffix[kMaxSignedSuffixSize];
  crypto_sign_update(&state, suffix, SignedSuffix(record, suffix));
  if (crypto_sign_final_create(&state, record.signature, nullptr, key.signSk()) != 0)
    return kCryptoFailure;
  unsigned char bytes[kSignRecordSize];
  EncodeSignRecord(record, bytes);
  code = out.Write(bytes, sizeof bytes);
  if (code != kOk) return code;
  return out.Commit();
}

uint16_t CheckSignatures(InputFile& data, const std::string* separateFile,
                         const std::string& publicFolder, std::vector<SignatureReport>& reports) {
  reports.clear();
  uint16_t code = kOk;
  SignTrailer trailer;
  uint64_t hashLength = 0;
  if (separateFile) {
    InputFile signatures;
    code = signatures.Open(*separateFile);
    if (code != kOk) return code;
    code = ParseSignTrailer(signatures, true, trailer);
    hashLength = data.Size();
  } else {
    code = ParseSignTrailer(data, false, trailer);
    hashLength = trailer.contentLength;
  }
  if (code != kOk) return code;

  // One pass over the content; each signature then finishes its own copy of
  // the hash with its suffix.
  crypto_sign_state content;
  WipeOnExit<crypto_sign_state> wipeContent(content);
  crypto_sign_init(&content);
  code = HashFile(data, hashLength, content, nullptr);
  if (code != kOk) return code;

  std::map<std::string, std::optional<PublicKey>> keys;
  for (const SignRecord& record : trailer.records) {
    auto found = keys.find(record.id);
    if (found == keys.end()) {
      PublicKey key;
      bool usable = LoadPublicKey(publicFolder, record.id, key) == kOk;
      found = keys.emplace(record.id, usable ? std::optional<PublicKey>(key) : std::nullopt).first;
    }
    SignatureReport report;
    report.id = record.id;
    if (!found->second) {
      report.status = kSignerUnknown;
    } else {
      crypto_sign_state state = content;
      WipeOnExit<crypto_sign_state> wipeState(state);
      unsigned char suffix[kMaxSignedSuffixSize];
      crypto_sign_update(&state, suffix, SignedSuffix(record, suffix));
      bool valid = crypto_sign_final_verify(&state, record.signature, found->second->signPk) == 0;
      report.status = valid ? kSignatureValid : kSignatureInvalid;
    }
    reports.push_back(report);
  }
  return kOk;
}

uint16_t DeleteSignatures(InputFile& target, uint8_t count) {
  SignTrailer trailer;
  uint16_t code = ParseSignTrailer(target, false, trailer);
  if (code != kOk) return code;
  const size_t present = trailer.records.size();
  const size_t removed = count == kAllSignatures ? present : count;
  if (removed > present) return kBadParameter;
  if (removed == 0) return kOk;
  // Records sit in signing order after the content, so cutting the file
  // removes the newest ones and leaves the rest, and the content, as they were.
  const uint64_t size = trailer.contentLength + (present - removed) * kSignRecordSize;
  return target.Truncate(size) ? kOk : kWriteFailed;
}

}  // namespace orlak
