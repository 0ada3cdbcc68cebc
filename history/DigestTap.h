// The SHA-256 of the bytes a copy makes, made beside the copy so that the
// pass never reads a file again for its digest. A file of up to one buffer
// is read by the copy into the tap's buffer and hashed there, on the copy's
// thread: handing it over would cost more than hashing it. A larger one is
// hashed on a second thread that reads each piece from the private working
// file as soon as the copy has put it there: the copy never waits for the
// hash, which runs beside it and beside what the pass does next, and only
// the record waits for the digest (Finish).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "history/Sha256.h"
#include "platform/Files.h"

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

  static constexpr size_t kBufferSize = 1 << 20;

 private:
  void HashCopied();  // the second thread
  void StopHashing();

  std::unique_ptr<char[]> buffer_;  // made on first use, left uninitialised
  TSha256 sha_;
  std::string path_;
  uint64_t hashed_ = 0;  // bytes hashed so far
  bool failed_ = false;  // the working file could not be read
  std::thread hasher_;
  std::mutex lock_;
  std::condition_variable changed_;
  uint64_t copied_ = 0;  // bytes the copy has put into the working file
  bool ending_ = false;
};
