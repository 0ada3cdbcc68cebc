// The SHA-256 of the bytes a copy makes, made beside the copy so that the
// pass never reads a file again for its digest. A file of up to one buffer
// is read by the copy into a buffer of the tap's, which keeps it: the
// digest is made of it when asked for (Finish), or the bytes are handed on
// whole (TakeBytes) for the history's writer to hash off the pass's thread.
// A larger one is hashed on a second thread that reads each piece from the
// private working file as soon as the copy has put it there: the copy never
// waits for the hash, which runs beside it and beside what the pass does
// next, and only the record waits for the digest (Finish).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "history/Sha256.h"
#include "platform/Files.h"

// Bytes a copy left with a tap, whole, for their digest to be made later.
struct TKeptBytes {
  std::unique_ptr<char[]> Data;
  size_t Size = 0;
  size_t Capacity = 0;  // of Data
};

class TDigestTap : public platform::CopyTap {
 public:
  TDigestTap() = default;
  ~TDigestTap() override;
  TDigestTap(const TDigestTap&) = delete;
  TDigestTap& operator=(const TDigestTap&) = delete;

  // A new copy begins, of bytes that the private working file at path
  // holds (as the copy's source) or will hold as Copied says (its target).
  void Start(const std::string& path);
  std::span<char> Buffer(uint64_t size) override;
  void Read(size_t count) override;
  void Copied(uint64_t bytes) override;
  // The digest of the bytes copied since Start and their count, once the
  // hash has caught up with the copy; false when it could not be made.
  bool Finish(std::string& hex, uint64_t& size);
  // The copy is done: the second thread ends once it has hashed all, and
  // lets go of the working file then.
  void CopyEnded();
  // Whether a second thread hashes this copy (a large file): its digest may
  // be asked for later, even once the working file is gone.
  bool Hashing() const { return hasher_.joinable(); }
  // The bytes of a copy held whole, taken over instead of Finish: swapped
  // into bytes, whose buffer (one done with, or none) the tap keeps for its
  // next copies. False, bytes as they were: the copy was not held (a large
  // file, or none since Start).
  bool TakeBytes(TKeptBytes& bytes);

  static constexpr size_t kBufferSize = 1 << 20;

 private:
  void HashCopied();  // the second thread
  void StopHashing();
  // The digest starts from nothing, once per copy: a copy whose bytes are
  // taken over (TakeBytes) spends nothing on it.
  void BeginDigest();

  TKeptBytes kept_;                 // a small copy's buffer, left uninitialised, kept for the next
  bool held_ = false;               // kept_ holds the copy since Start
  std::unique_ptr<char[]> pieces_;  // the second thread's, made on first use
  TSha256 sha_;
  bool reset_ = false;  // sha_ begun for this copy
  std::string path_;
  // The working file, opened on the copy's thread before the hash starts:
  // the file may be removed before the second thread reads it.
  platform::FileReader file_;
  uint64_t hashed_ = 0;  // bytes hashed so far
  bool failed_ = false;  // the working file could not be read
  std::thread hasher_;
  std::mutex lock_;
  std::condition_variable changed_;
  uint64_t copied_ = 0;  // bytes the copy has put into the working file
  bool ending_ = false;
};
